/*
** The two sides of the XML dialect that parameters write themselves to and
** read themselves from (XB_Parameter::Write / Read).  The parameter library
** does not depend on the XML store: the store's writer and reader implement
** these interfaces.
*/
#ifndef XB_PARAMETERXML_H
#define XB_PARAMETERXML_H

#include "xb_string.h"

/* What a parameter needs from an XML writer. */
class XB_XmlTarget {
 public:
  virtual ~XB_XmlTarget() = default;
  /* Starts an element NAME that holds content; false once writing failed. */
  virtual bool BeginElement(const char* name, bool hasContent = true) = 0;
  /* Writes one text item, wrapped at spaces. */
  virtual void WriteText(const char* text) = 0;
  /* Writes one text item in double quotes, never wrapped. */
  virtual void WriteQuotedText(const char* text) = 0;
  /* Ends the element NAME (the innermost one when NAME is absent). */
  virtual void EndElement(const char* name = nullptr) = 0;
};

/* What a parameter needs from an XML reader positioned after a start tag. */
class XB_XmlSource {
 public:
  virtual ~XB_XmlSource() = default;
  /* Returns the text up to the next tag, its lines joined by single spaces. */
  virtual XB_String ReadText() = 0;
  /* Advances to the next child element of PARENT; false at PARENT's end. */
  virtual bool NextChildElement(const char* parent) = 0;
  /* Returns the name of the element just reached. */
  virtual const XB_String& TagName() const = 0;
  /* Returns true when the element just reached can hold content. */
  virtual bool HasContent() const = 0;
  /* Skips to the end of the element NAME, over nested ones. */
  virtual bool SkipElement(const char* name) = 0;
};

#endif /* XB_PARAMETERXML_H */
