/*
** SQLiteRowIO (see sqliterowio.h).
*/
#include "sqliterowio.h"

#include "sqliterowstatements.h"
#include "xb_keytext.h"
#include "xb_log.h"
#include "xb_parameterplain.h"
#include "xb_sqliteresult.h"
#include "xb_tabledef.h"

namespace {

/* Returns the default value of a column of parameter type TYPE. */
XB_Value DefaultValue(uint32_t type) {
  switch (type) {
    case PT_INT:
      return XB_Value(static_cast<int32_t>(0));
    case PT_BOOL:
      return XB_Value(false);
    case PT_REAL:
      return XB_Value(0.0);
    default:
      return XB_Value("");
  }
}

}  // namespace

XB_String SQLiteRowIO::GetTableSql(XB_SQLiteDB& db, std::string_view table) {
  XB_String sql("SELECT sql FROM sqlite_master WHERE name=");
  sql += XB_SqlQuote(table);
  XB_String text;
  if (!db.QueryValue(text, "%s", sql)) return XB_String();
  return text;
}

const SQLiteRowIO::CachedDefinition& SQLiteRowIO::CacheEntry(XB_SQLiteDB& db,
                                                             std::string_view table,
                                                             uint8_t flags) {
  XB_String key(db.FilePath());
  key += "::";
  key += table;
  key.AppendFormat("#%02X", static_cast<unsigned>(flags));
  auto found = m_cache.find(key.Std());
  if (found != m_cache.end()) return found->second;
  XB_String text = GetTableSql(db, table);
  CachedDefinition entry;
  entry.definition = ParseCreateTable(text.View(), flags);
  entry.hasRowid = !XB_ContainsLoosely(text.View(), "WITHOUT ROWID");
  return m_cache.emplace(key.Std(), std::move(entry)).first->second;
}

XB_ParameterInfoGroup* SQLiteRowIO::GetTableDefinition(XB_SQLiteDB& db, std::string_view table,
                                                       uint8_t flags) {
  return CacheEntry(db, table, flags).definition.get();
}

SQLiteParameters SQLiteRowIO::InitRow(XB_SQLiteDB& db, std::string_view table, uint8_t flags) {
  XB_ParameterInfoGroup* definition = GetTableDefinition(db, table, flags);
  if (!definition) return SQLiteParameters();
  SQLiteParameters set(table);
  for (int i = 0; i < definition->Count(); i++) {
    XB_ParameterInfo* info = definition->At(i);
    XB_Parameter* member = set.FindOrCreate(info->Key().View());
    member->SetInfo(info);
    member->SetValue(DefaultValue(info->GetType()));
  }
  set.SetDefinition(definition);
  return set;
}

const char* SQLiteRowIO::RowIdName(const XB_ParameterInfoGroup& definition) {
  for (const char* name : {"rowid", "_rowid_", "oid"}) {
    if (!definition.Find(name)) return name;
  }
  return nullptr;
}

bool SQLiteRowIO::ReadRow(SQLiteParameters& set, XB_SQLiteDB& db, std::string_view table,
                          std::string_view wherePart) {
  const CachedDefinition& entry = CacheEntry(db, table, TD_ALL);
  if (!entry.definition) {
    m_refused = true;
    m_refusal = XB_String::Formatted("No table definition for %s.", table);
    return false;
  }
  const XB_ParameterInfoGroup& definition = *entry.definition;
  /* The rowid comes along so that a row without usable key values can
  ** still be written back on its own. */
  const char* rowIdName = entry.hasRowid ? RowIdName(definition) : nullptr;
  XB_String sql = BuildSelect(definition, rowIdName ? rowIdName : "");
  std::string_view where = XB_TrimBlanks(wherePart);
  if (where.empty()) {
    sql += " LIMIT 1";
  } else {
    sql += " WHERE ";
    sql += where;
  }
  sql += ';';
  XB_SQLiteResult result;
  if (!db.GetTable(result, "%s", sql)) {
    m_refused = false;
    return false;
  }
  bool found = result.Rows() > 0;
  set.ClearStoredNulls();
  set.ClearReadTexts();
  for (int i = 0; i < definition.Count(); i++) {
    const char* cell = result.Get(i, 0);
    XB_Parameter* member = set.FindOrCreate(definition.KeyAt(i).View());
    member->SetValue(XB_Value(cell ? cell : ""));
    set.SetStoredNull(member->Name().View(), found && !cell);
    if (found && cell) set.SetReadText(member->Name().View(), cell);
  }
  const char* rowId = rowIdName && found ? result.Get(definition.Count(), 0) : nullptr;
  set.SetRowId(rowId ? rowId : "", rowIdName ? rowIdName : "");
  return true;
}

SQLiteParameters SQLiteRowIO::LoadRow(XB_SQLiteDB& db, std::string_view table,
                                      std::string_view wherePart) {
  SQLiteParameters set = InitRow(db, table, TD_ALL);
  ReadRow(set, db, table, wherePart);
  return set;
}

bool SQLiteRowIO::Execute(XB_SQLiteDB& db, const XB_String& sql) {
  m_refused = false;
  return db.Exec(sql.c_str());
}

bool SQLiteRowIO::UpdateRow(XB_SQLiteDB& db, const SQLiteParameters& set, uint8_t flags) {
  if (CountAssignments(set) == 0) return true;
  XB_String sql = BuildUpdate(set);
  if (sql.IsEmpty()) {
    m_refused = true;
    m_refusal = XB_String::Formatted(
        "Cannot tell which row of %s to update: it has no key value and no rowid was read.",
        set.Name());
    XB_LogF("E_ %s", m_refusal.c_str());
    return false;
  }
  return Execute(db, sql);
}

bool SQLiteRowIO::InsertRow(XB_SQLiteDB& db, const SQLiteParameters& set, uint8_t flags) {
  return Execute(db, BuildInsert(set, flags));
}

const char* SQLiteRowIO::LastError(const XB_SQLiteDB& db) const {
  if (m_refused) return m_refusal.c_str();
  return db.LastError();
}
