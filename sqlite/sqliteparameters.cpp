/*
** SQLiteParameters (see sqliteparameters.h).
*/
#include "sqliteparameters.h"

#include "xb_keytext.h"
#include "xb_parameterplain.h"

SQLiteParameters::SQLiteParameters(std::string_view table)
    : XB_ParameterSetAuto(table), m_tableName(table) {}

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
  m_tableName = other.m_tableName;
  m_nullKeys = other.m_nullKeys;
  m_blobKeys = other.m_blobKeys;
  m_readState = other.m_readState;
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
  m_blobKeys.clear();
  m_readTexts.clear();
  m_readState = kNotRead;
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
  return value.IsNone();
}

void SQLiteParameters::SetBaseline(std::string_view key, const XB_Value& value) {
  SetStoredNull(key, value.IsNone());
  if (value.IsNone()) {
    XB_String normalized = XB_NormalizeKey(key);
    for (size_t i = 0; i < m_readTexts.size(); i++) {
      if (!XB_KeyEqual(m_readTexts[i].first.View(), normalized.View())) continue;
      m_readTexts.erase(m_readTexts.begin() + static_cast<ptrdiff_t>(i));
      break;
    }
    return;
  }
  SetReadText(key, value.AsText().View());
}

bool SQLiteParameters::IsChangedAt(int index) const {
  XB_Parameter* member = Item(index);
  if (!member) return false;
  std::string_view key = member->Name().View();
  XB_Value value;
  member->GetValue(value);
  const XB_String* read = ReadText(key);
  if (WasStoredNull(key)) return !value.IsNone();
  if (!read) return true;
  return value.IsNone() || !(value.AsText() == *read);
}

void SQLiteParameters::SetBlob(std::string_view key, long long bytes) {
  XB_String normalized = XB_NormalizeKey(key);
  for (size_t i = 0; i < m_blobKeys.size(); i++) {
    if (!XB_KeyEqual(m_blobKeys[i].View(), normalized.View())) continue;
    if (bytes < 0) m_blobKeys.erase(m_blobKeys.begin() + static_cast<ptrdiff_t>(i));
    return;
  }
  if (bytes >= 0) m_blobKeys.push_back(normalized);
}

bool SQLiteParameters::IsBlob(std::string_view key) const {
  XB_String normalized = XB_NormalizeKey(key);
  for (const XB_String& blobKey : m_blobKeys) {
    if (XB_KeyEqual(blobKey.View(), normalized.View())) return true;
  }
  return false;
}

bool SQLiteParameters::IsBlobAt(int index) const {
  XB_Parameter* member = Item(index);
  return member && IsBlob(member->Name().View());
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
