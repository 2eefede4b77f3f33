/*
** XB_Parameter: the abstract base of every parameter, a named value that a
** generated dialog shows, a settings file stores and a table row fills.
**
** A parameter has a key (its normalized name), a value (XB_Value) and
** optionally a descriptor (XB_ParameterInfo) that carries the label and the
** type deciding how it is edited.  Parameters never own a descriptor unless
** a derived class says so.  Parameter sets (XB_ParameterSetAuto) are
** parameters too, so sets nest.
*/
#ifndef XB_PARAMETER_H
#define XB_PARAMETER_H

#include <string_view>

#include "xb_parameterinfo.h"
#include "xb_string.h"
#include "xb_value.h"

class XB_XmlTarget;
class XB_XmlSource;

class XB_Parameter {
 public:
  XB_Parameter() = default;
  virtual ~XB_Parameter() = default;

  /* Returns a new copy owned by the caller; the base has none (null). */
  virtual XB_Parameter* Clone() const;
  /* Returns the stored value for changing it in place. */
  virtual XB_Value& ValueRef() = 0;
  /* Copies the value into OUT. */
  virtual void GetValue(XB_Value& out) const = 0;
  /* Assigns VALUE through ValueRef() and signals the change. */
  virtual void SetValue(const XB_Value& value);
  /* Returns the key. */
  virtual const XB_String& Name() const = 0;
  /* Stores the key made from TEXT by the key normalization; the base ignores it. */
  virtual void SetName(std::string_view text);
  /* Returns the descriptor, or null. */
  virtual XB_ParameterInfo* GetInfo() const = 0;
  /* Attaches a descriptor (not owned); the base ignores it. */
  virtual void SetInfo(XB_ParameterInfo* info);
  /* Returns the descriptor's label when there is a descriptor, else Name(). */
  virtual XB_String GetLabel() const;
  /* Called after the value was changed through SetValue; does nothing here. */
  virtual void OnChanged();
  /* Writes the parameter as one element named by its key; false once the
  ** target failed (defined in xb_parameterxml.cpp). */
  virtual bool Write(XB_XmlTarget& target) const;
  /* Sets the value from the text of the element the source has just
  ** reached; false when the element has no text. */
  virtual bool Read(XB_XmlSource& source);

 protected:
  XB_Parameter(const XB_Parameter&) = default;
  XB_Parameter& operator=(const XB_Parameter&) = default;
};

#endif /* XB_PARAMETER_H */
