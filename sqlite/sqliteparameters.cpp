/*
** SQLiteParameters (see sqliteparameters.h).
*/
#include "sqliteparameters.h"

#include "xb_keytext.h"
#include "xb_parameterplain.h"

SQLiteParameters::SQLiteParameters(std::string_view table) : XB_ParameterSetAuto(table) {}

SQLiteParameters::SQLiteParameters(const SQLiteParameters& other) : XB_ParameterSetAuto() {
  CopyFrom(other);
}

SQLiteParameters& SQLiteParameters::operator=(const SQLiteParameters& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

void SQLiteParameters::CopyFrom(const SQLiteParameters& other) {
  m_members.clear();
  m_map.clear();
  m_name = other.m_name;
  m_info = other.m_info;
  m_definition = other.m_definition;
  m_nullKeys = other.m_nullKeys;
  m_readTexts = other.m_readTexts;
  m_rowId = other.m_rowId;
  m_rowIdName = other.m_rowIdName;
  for (const XB_ParamHandle& member : other.m_members) {
    XB_Value value;
    member->GetValue(value);
    auto* copy = new XB_ParameterPlain(member->Name().View(), value);
    copy->SetInfo(member->GetInfo());
    Add(copy);
  }
}

XB_Parameter* SQLiteParameters::Clone() const {
  return new SQLiteParameters(*this);
}

void SQLiteParameters::Clear() {
  XB_ParameterSetAuto::Clear();
  m_definition = nullptr;
  m_info = nullptr;
  m_nullKeys.clear();
  m_readTexts.clear();
  m_rowId.Clear();
  m_rowIdName.Clear();
}

void SQLiteParameters::SetDefinition(XB_ParameterInfoGroup* definition) {
  m_definition = definition;
  m_info = definition;
}

void SQLiteParameters::SetStoredNull(std::string_view key, bool isNull) {
  XB_String normalized = XB_NormalizeKey(key);
  for (size_t i = 0; i < m_nullKeys.size(); i++) {
    if (!XB_KeyEqual(m_nullKeys[i].View(), normalized.View())) continue;
    if (!isNull) m_nullKeys.erase(m_nullKeys.begin() + static_cast<ptrdiff_t>(i));
    return;
  }
  if (isNull) m_nullKeys.push_back(normalized);
}

bool SQLiteParameters::WasStoredNull(std::string_view key) const {
  XB_String normalized = XB_NormalizeKey(key);
  for (const XB_String& nullKey : m_nullKeys) {
    if (XB_KeyEqual(nullKey.View(), normalized.View())) return true;
  }
  return false;
}

bool SQLiteParameters::IsNullAt(int index) const {
  XB_Parameter* member = Item(index);
  if (!member) return false;
  XB_Value value;
  member->GetValue(value);
  if (value.IsNone()) return true;
  if (!WasStoredNull(member->Name().View())) return false;
  if (!value.IsText()) return false;
  /* Blanks alone are no value: statements trim them away, and a key line
  ** gives its text back with blanks around it. */
  for (char c : value.AsText().View()) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u != ' ' && u > 13) return false;
  }
  return true;
}

void SQLiteParameters::SetRowId(std::string_view id, std::string_view name) {
  m_rowId = id;
  m_rowIdName = id.empty() ? std::string_view() : name;
}

void SQLiteParameters::SetReadText(std::string_view key, std::string_view text) {
  XB_String normalized = XB_NormalizeKey(key);
  for (auto& entry : m_readTexts) {
    if (!XB_KeyEqual(entry.first.View(), normalized.View())) continue;
    entry.second = text;
    return;
  }
  m_readTexts.emplace_back(normalized, XB_String(text));
}

const XB_String* SQLiteParameters::ReadText(std::string_view key) const {
  XB_String normalized = XB_NormalizeKey(key);
  for (const auto& entry : m_readTexts) {
    if (XB_KeyEqual(entry.first.View(), normalized.View())) return &entry.second;
  }
  return nullptr;
}
