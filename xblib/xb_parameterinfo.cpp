/*
** Column descriptors and table definitions (see xb_parameterinfo.h).  The
** key map is a sorted array searched by bisection.
*/
#include "xb_parameterinfo.h"

#include "xb_keytext.h"

XB_ParameterInfo::XB_ParameterInfo(std::string_view name, const char* label, const char* comment,
                                   uint32_t type)
    : m_key(XB_NormalizeKey(name)),
      m_label(label ? XB_String(label) : XB_String(name)),
      m_comment(comment),
      m_type(type) {}

XB_ParameterInfo::XB_ParameterInfo(const XB_String& key, const XB_String& label,
                                   const char* comment, uint32_t type)
    : m_key(key), m_label(label), m_comment(comment), m_type(type) {}

XB_ParameterInfoGroup::XB_ParameterInfoGroup(std::string_view tableName)
    : XB_ParameterInfo(XB_TableKey(tableName), XB_String(tableName), nullptr, PT_GROUP) {}

XB_ParameterInfo* XB_ParameterInfoGroup::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return m_items[index].get();
}

const XB_String& XB_ParameterInfoGroup::KeyAt(int index) const {
  static const XB_String empty;
  XB_ParameterInfo* info = At(index);
  return info ? info->Key() : empty;
}

size_t XB_ParameterInfoGroup::MapPosition(std::string_view key) const {
  size_t low = 0, high = m_map.size();
  while (low < high) {
    size_t mid = (low + high) / 2;
    if (XB_KeyCompare(m_map[mid]->Key().View(), key) < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

XB_ParameterInfo* XB_ParameterInfoGroup::Find(std::string_view key) const {
  size_t at = MapPosition(key);
  if (at < m_map.size() && XB_KeyEqual(m_map[at]->Key().View(), key)) return m_map[at];
  return nullptr;
}

void XB_ParameterInfoGroup::EnterInMap(XB_ParameterInfo* info) {
  size_t at = MapPosition(info->Key().View());
  if (at < m_map.size() && XB_KeyEqual(m_map[at]->Key().View(), info->Key().View())) return;
  m_map.insert(m_map.begin() + static_cast<ptrdiff_t>(at), info);
}

XB_ParameterInfo* XB_ParameterInfoGroup::Add(std::string_view name, const char* label,
                                             const char* comment, uint32_t type) {
  return Add(std::make_unique<XB_ParameterInfo>(name, label, comment, type));
}

XB_ParameterInfo* XB_ParameterInfoGroup::Add(std::unique_ptr<XB_ParameterInfo> info) {
  m_items.push_back(std::move(info));
  XB_ParameterInfo* added = m_items.back().get();
  EnterInMap(added);
  return added;
}

bool XB_ParameterInfoGroup::Remove(std::string_view key) {
  size_t at = MapPosition(key);
  if (at >= m_map.size() || !XB_KeyEqual(m_map[at]->Key().View(), key)) return false;
  XB_ParameterInfo* doomed = m_map[at];
  m_map.erase(m_map.begin() + static_cast<ptrdiff_t>(at));
  for (size_t i = 0; i < m_items.size(); i++) {
    if (m_items[i].get() != doomed) continue;
    m_items.erase(m_items.begin() + static_cast<ptrdiff_t>(i));
    break;
  }
  /* A later descriptor with the same key now stands for it in the map. */
  for (auto& item : m_items) {
    if (XB_KeyEqual(item->Key().View(), key)) {
      EnterInMap(item.get());
      break;
    }
  }
  return true;
}
