/*
** XB_ParameterSetAuto (see xb_parametersetauto.h).  The key map is a sorted
** array of handles searched by bisection.
*/
#include "xb_parametersetauto.h"

#include "xb_keytext.h"
#include "xb_parameterplain.h"

XB_ParameterSetAuto::XB_ParameterSetAuto(std::string_view name) : m_name(XB_NormalizeKey(name)) {}

XB_ParameterSetAuto::XB_ParameterSetAuto(const XB_ParameterSetAuto& other)
    : XB_Parameter(other),
      m_name(other.m_name),
      m_info(other.m_info),
      m_members(other.m_members),
      m_map(other.m_map) {}

XB_ParameterSetAuto& XB_ParameterSetAuto::operator=(const XB_ParameterSetAuto& other) {
  if (this == &other) return *this;
  m_name = other.m_name;
  m_info = other.m_info;
  m_members = other.m_members;
  m_map = other.m_map;
  return *this;
}

XB_ParameterSetAuto::~XB_ParameterSetAuto() = default;

XB_Parameter* XB_ParameterSetAuto::Clone() const {
  return new XB_ParameterSetAuto(*this);
}

XB_Value& XB_ParameterSetAuto::ValueRef() {
  m_noValue = XB_Value();
  return m_noValue;
}

void XB_ParameterSetAuto::SetValue(const XB_Value&) {}

void XB_ParameterSetAuto::SetName(std::string_view text) {
  m_name = XB_NormalizeKey(text);
}

const XB_String& XB_ParameterSetAuto::KeyAt(int index) const {
  static const XB_String empty;
  XB_Parameter* member = Item(index);
  return member ? member->Name() : empty;
}

XB_Parameter* XB_ParameterSetAuto::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return m_members[index].Get();
}

size_t XB_ParameterSetAuto::MapPosition(std::string_view key) const {
  size_t low = 0, high = m_map.size();
  while (low < high) {
    size_t mid = (low + high) / 2;
    if (XB_KeyCompare(m_map[mid]->Name().View(), key) < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

ptrdiff_t XB_ParameterSetAuto::MapFind(std::string_view key) const {
  size_t at = MapPosition(key);
  if (at < m_map.size() && XB_KeyEqual(m_map[at]->Name().View(), key)) {
    return static_cast<ptrdiff_t>(at);
  }
  return -1;
}

XB_Parameter* XB_ParameterSetAuto::Find(std::string_view key) const {
  XB_String normalized = XB_NormalizeKey(key);
  ptrdiff_t at = MapFind(normalized.View());
  return at < 0 ? nullptr : m_map[static_cast<size_t>(at)].Get();
}

int XB_ParameterSetAuto::IndexOf(std::string_view key) const {
  XB_Parameter* member = Find(key);
  if (!member) return -1;
  for (size_t i = 0; i < m_members.size(); i++) {
    if (m_members[i].Get() == member) return static_cast<int>(i);
  }
  return -1;
}

XB_Parameter* XB_ParameterSetAuto::FindOrCreate(std::string_view key) {
  XB_Parameter* member = Find(key);
  if (member) return member;
  return Add(new XB_ParameterPlain(key));
}

void XB_ParameterSetAuto::GetValueByKey(XB_Value& out, std::string_view key) {
  FindOrCreate(key)->GetValue(out);
}

void XB_ParameterSetAuto::SetValueByKey(std::string_view key, const XB_Value& value) {
  FindOrCreate(key)->SetValue(value);
}

XB_Parameter* XB_ParameterSetAuto::Add(XB_Parameter* param) {
  if (!param) return nullptr;
  /* A member handed in again must not get a second, separate use count. */
  for (const XB_ParamHandle& member : m_members) {
    if (member.Get() == param) return param;
  }
  AddHandle(XB_ParamHandle(param));
  return param;
}

void XB_ParameterSetAuto::AddHandle(XB_ParamHandle handle) {
  if (!handle) return;
  std::string_view key = handle->Name().View();
  if (MapFind(key) >= 0) Remove(key);
  m_members.push_back(handle);
  m_map.insert(m_map.begin() + static_cast<ptrdiff_t>(MapPosition(key)), handle);
}

bool XB_ParameterSetAuto::Remove(std::string_view key) {
  XB_String normalized = XB_NormalizeKey(key);
  ptrdiff_t at = MapFind(normalized.View());
  if (at < 0) return false;
  XB_Parameter* doomed = m_map[static_cast<size_t>(at)].Get();
  m_map.erase(m_map.begin() + at);
  for (size_t i = 0; i < m_members.size(); i++) {
    if (m_members[i].Get() != doomed) continue;
    m_members.erase(m_members.begin() + static_cast<ptrdiff_t>(i));
    break;
  }
  return true;
}

void XB_ParameterSetAuto::Clear() {
  m_members.clear();
  m_map.clear();
  m_name.Clear();
}

void XB_ParameterSetAuto::GetValueOf(XB_Value& out, int index) const {
  XB_Parameter* member = Item(index);
  if (!member) {
    out = XB_Value();
    return;
  }
  member->GetValue(out);
}
