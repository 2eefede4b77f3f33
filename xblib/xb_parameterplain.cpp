/*
** XB_ParameterPlain (see xb_parameterplain.h).
*/
#include "xb_parameterplain.h"

#include <cassert>

#include "xb_keytext.h"

XB_ParameterPlain::XB_ParameterPlain(std::string_view name, const XB_Value& value,
                                     XB_ParameterInfo* info)
    : m_key(XB_NormalizeKey(name)), m_value(value) {
  if (info) SetInfo(info);
}

XB_Parameter* XB_ParameterPlain::Clone() const {
  return new XB_ParameterPlain(*this);
}

void XB_ParameterPlain::SetName(std::string_view text) {
  m_key = XB_NormalizeKey(text);
}

void XB_ParameterPlain::SetInfo(XB_ParameterInfo* info) {
  assert(!info || XB_KeyEqual(info->Key().View(), m_key.View()));
  m_info = info;
}
