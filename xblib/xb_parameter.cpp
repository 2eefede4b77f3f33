/*
** The default operations of XB_Parameter (see xb_parameter.h).
*/
#include "xb_parameter.h"

#include <cassert>

XB_Parameter* XB_Parameter::Clone() const {
  assert(!"XB_Parameter::Clone: this parameter class cannot be cloned");
  return nullptr;
}

void XB_Parameter::SetValue(const XB_Value& value) {
  ValueRef() = value;
  OnChanged();
}

void XB_Parameter::SetName(std::string_view) {}

void XB_Parameter::SetInfo(XB_ParameterInfo*) {}

XB_String XB_Parameter::GetLabel() const {
  XB_ParameterInfo* info = GetInfo();
  return info ? info->Label() : Name();
}

void XB_Parameter::OnChanged() {}
