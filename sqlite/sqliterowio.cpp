/*
** SQLiteRowIO (see sqliterowio.h).
*/
#include "sqliterowio.h"

#include <cstdlib>

#include "sqliterowstatements.h"
#include "xb_keytext.h"
#include "xb_log.h"
#include "xb_parameterplain.h"
#include "xb_sqliteresult.h"
#include "xb_tabledef.h"

namespace {

/* Returns the value a new row shows for the column INFO: its literal
** DEFAULT, or no value (NULL, also for a DEFAULT NULL or an expression). */
XB_Value DefaultValue(const XB_ParameterInfo* info) {
  const XB_ColumnInfo* column = XB_ColumnOf(info);
  if (!column || !column->HasLiteralDefault() || column->DefaultIsNull()) return XB_Value();
  return XB_Value(column->DefaultText());
}

/* The note a BLOB of BYTES bytes shows instead of its value. */
XB_String BlobNote(const char* bytes) {
  return XB_String::Formatted("<BLOB, %s bytes>", bytes ? bytes : "0");
}

}  // namespace

XB_String SQLiteRowIO::GetTableSql(XB_SQLiteDB& db, std::string_view table, XB_String* storedName) {
  XB_String literal = XB_SqlQuote(table);
  XB_String sql("SELECT name, sql FROM sqlite_master WHERE upper(name)=upper(");
  sql += literal;
  sql += ") ORDER BY name=";
  sql += literal;
  sql += " DESC LIMIT 1";
  XB_SQLiteResult result;
  if (!db.GetTable(result, "%s", sql) || result.Rows() < 1) return XB_String();
  const char* name = result.Get(0, 0);
  const char* text = result.Get(1, 0);
  if (storedName) *storedName = name ? name : "";
  return XB_String(text ? text : "");
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
  CachedDefinition entry;
  XB_String text = GetTableSql(db, table, &entry.storedName);
  entry.definition = ParseCreateTable(text.View(), flags);
  return m_cache.emplace(key.Std(), std::move(entry)).first->second;
}

XB_TableDefinition* SQLiteRowIO::GetTableDefinition(XB_SQLiteDB& db, std::string_view table,
                                                    uint8_t flags) {
  return CacheEntry(db, table, flags).definition.get();
}

SQLiteParameters SQLiteRowIO::InitRow(XB_SQLiteDB& db, std::string_view table, uint8_t flags) {
  const CachedDefinition& entry = CacheEntry(db, table, flags);
  XB_TableDefinition* definition = entry.definition.get();
  if (!definition) return SQLiteParameters();
  SQLiteParameters set(entry.storedName.IsEmpty() ? table : entry.storedName.View());
  for (int i = 0; i < definition->Count(); i++) {
    XB_ParameterInfo* info = definition->At(i);
    XB_Parameter* member = set.FindOrCreate(info->Key().View());
    member->SetInfo(info);
    XB_Value value = DefaultValue(info);
    member->SetValue(value);
    set.SetBaseline(info->Key().View(), value);
  }
  set.SetDefinition(definition);
  return set;
}

const char* SQLiteRowIO::RowIdName(const XB_TableDefinition& definition) {
  for (const char* name : {"rowid", "_rowid_", "oid"}) {
    if (!definition.FindColumn(name)) return name;
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
  const XB_TableDefinition& definition = *entry.definition;
  int columns = definition.Count();
  /* The rowid comes along so that a row without usable key values can
  ** still be written back on its own; on generation 3 each column's BLOB
  ** length too, so a BLOB is shown as such and never written. */
  const char* rowIdName = definition.HasRowid() ? RowIdName(definition) : nullptr;
  XB_String extra(rowIdName ? rowIdName : "");
  bool blobs = db.Version() >= 3.0;
  for (int i = 0; blobs && i < columns; i++) {
    XB_String name = XB_SqlName(XB_ColumnName(definition.At(i)).View());
    extra.AppendSeparated(
        ", ",
        XB_String::Formatted("CASE typeof(%s) WHEN 'blob' THEN length(%s) END", name, name).View());
  }
  XB_String sql = BuildSelect(definition, extra.View(), entry.storedName.View());
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
  int blobColumn = columns + (rowIdName ? 1 : 0);
  set.ClearStoredNulls();
  set.ClearReadTexts();
  set.ClearBlobs();
  set.SetRowFound(found);
  for (int i = 0; i < columns; i++) {
    XB_String key = definition.KeyAt(i);
    XB_Parameter* member = set.FindOrCreate(key.View());
    const char* cell = result.Get(i, 0);
    const char* blobBytes = blobs && found ? result.Get(blobColumn + i, 0) : nullptr;
    XB_Value value = !found ? XB_Value("") : cell ? XB_Value(cell) : XB_Value();
    if (blobBytes) value = XB_Value(BlobNote(blobBytes));
    member->SetValue(value);
    if (found) set.SetBaseline(key.View(), value);
    if (blobBytes) set.SetBlob(key.View(), std::atoll(blobBytes));
  }
  const char* rowId = rowIdName && found ? result.Get(columns, 0) : nullptr;
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
  if (set.NoRowFound()) {
    m_refused = true;
    m_refusal =
        XB_String::Formatted("No row of %s was read, so there is none to update.", set.TableName());
    return false;
  }
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
