/*
** XB_ParameterPlain: the ordinary parameter, a key, a value and an optional
** descriptor that it points at but does not own (row parameters point into
** the table definition, which outlives them).
*/
#ifndef XB_PARAMETERPLAIN_H
#define XB_PARAMETERPLAIN_H

#include "xb_parameter.h"

class XB_ParameterPlain : public XB_Parameter {
 public:
  /* Makes a parameter whose key is NAME normalized, with VALUE and INFO. */
  explicit XB_ParameterPlain(std::string_view name = {}, const XB_Value& value = XB_Value(),
                             XB_ParameterInfo* info = nullptr);
  ~XB_ParameterPlain() override = default;
  XB_ParameterPlain(const XB_ParameterPlain&) = default;
  XB_ParameterPlain& operator=(const XB_ParameterPlain&) = default;

  /* Returns a copy with the same key, value and descriptor pointer. */
  XB_Parameter* Clone() const override;
  XB_Value& ValueRef() override { return m_value; }
  void GetValue(XB_Value& out) const override { out = m_value; }
  const XB_Value& Value() const { return m_value; }
  const XB_String& Name() const override { return m_key; }
  void SetName(std::string_view text) override;
  XB_ParameterInfo* GetInfo() const override { return m_info; }
  /* Attaches INFO, whose key must be this parameter's key. */
  void SetInfo(XB_ParameterInfo* info) override;

 protected:
  XB_String m_key;
  XB_Value m_value;
  XB_ParameterInfo* m_info = nullptr;
};

#endif /* XB_PARAMETERPLAIN_H */
