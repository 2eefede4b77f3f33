/*
** Writing a parameter to, and reading it from, the XML dialect of the
** settings and view-state files: XB_Parameter::Write and Read.  They live
** here rather than beside the rest of XB_Parameter so that the parameter
** model itself stays free of anything XML; the store's writer and reader
** come in through the interfaces of xb_parameterxml.h.
*/
#include "xb_parameter.h"
#include "xb_parameterxml.h"

/* Writes one element named by the key holding the value: a text in double
** quotes, so that a text that looks like a number stays a text, any other
** kind in its stored form, an empty value as nothing.  Returns false when
** the target has failed. */
bool XB_Parameter::Write(XB_XmlTarget& target) const {
  const XB_String& key = Name();
  if (!target.BeginElement(key.c_str(), true)) return false;
  XB_Value value;
  GetValue(value);
  if (value.IsText()) {
    target.WriteQuotedText(value.AsText().c_str());
  } else if (!value.IsNone()) {
    target.WriteText(value.StoredText().c_str());
  }
  target.EndElement(key.c_str());
  return true;
}

/* Reads the text of the element just reached (all its lines), parses it
** with XB_Value::FromText and assigns it with SetValue.  Returns false, and
** changes nothing, for an element without text. */
bool XB_Parameter::Read(XB_XmlSource& source) {
  if (!source.HasContent()) return false;
  XB_String text = source.ReadText();
  if (text.IsEmpty()) return false;
  SetValue(XB_Value::FromText(text.View()));
  return true;
}
