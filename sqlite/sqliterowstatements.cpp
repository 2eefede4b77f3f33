/*
** The row statement builder (see sqliterowstatements.h).
*/
#include "sqliterowstatements.h"

#include <sqlite3.h>

#include "xb_keytext.h"
#include "xb_tabledef.h"
#include "xb_value.h"

namespace {

/* Returns true when MEMBER is a key column. */
bool IsKey(const XB_Parameter* member) {
  return member->GetInfo() && member->GetInfo()->GetType() == PT_KEY;
}

/* Returns the name member MEMBER's column has in a statement. */
XB_String ColumnSql(const XB_Parameter* member) {
  return XB_SqlName(XB_ColumnName(member->GetInfo()).View());
}

/* True when member INDEX of SET is written by an UPDATE or INSERT: it has
** a descriptor, holds no BLOB and differs from what its column held. */
bool IsWritten(const SQLiteParameters& set, int index) {
  XB_Parameter* member = set.Item(index);
  return member->GetInfo() && !set.IsBlobAt(index) && set.IsChangedAt(index);
}

/* Returns member INDEX's value as a literal for an UPDATE: NULL when the
** member has no value, otherwise its display text trimmed and quoted. */
XB_String UpdateLiteral(const SQLiteParameters& set, int index) {
  if (set.IsNullAt(index)) return XB_String("NULL");
  XB_Value value;
  set.Item(index)->GetValue(value);
  return XB_SqlQuote(XB_TrimBlanks(value.AsText().View()));
}

/* Returns the literal a key condition compares member INDEX with: the key
** exactly as read, so that " 7" never picks out the row of "7"; for a row
** that was not read, the member's text trimmed. */
XB_String KeyLiteral(const SQLiteParameters& set, int index) {
  XB_Parameter* member = set.Item(index);
  const XB_String* read = set.ReadText(member->Name().View());
  if (read) return XB_SqlQuote(read->View());
  XB_Value value;
  member->GetValue(value);
  return XB_SqlQuote(XB_TrimBlanks(value.AsText().View()));
}

/* As UpdateLiteral, but a value typed in double quotes loses them: the
** opening quote is dropped and the text cut at its last double quote. */
XB_String InsertLiteral(const SQLiteParameters& set, int index) {
  if (set.IsNullAt(index)) return XB_String("NULL");
  XB_Value value;
  set.Item(index)->GetValue(value);
  std::string_view text = XB_TrimBlanks(value.AsText().View());
  if (!text.empty() && text.front() == '"') {
    text.remove_prefix(1);
    size_t last = text.rfind('"');
    if (last != std::string_view::npos) text = text.substr(0, last);
  }
  return XB_SqlQuote(text);
}

/* Returns true when the rowid text ID is a plain decimal integer. */
bool IsRowIdText(std::string_view id) {
  if (!id.empty() && id.front() == '-') id.remove_prefix(1);
  if (id.empty() || id.size() > 19) return false;
  for (char c : id) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

XB_String XB_SqlQuote(std::string_view text) {
  XB_String out;
  out.Reserve(text.size() + 2);
  out += '\'';
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

XB_String XB_SqlName(std::string_view name) {
  bool plain = !name.empty() && !(name.front() >= '0' && name.front() <= '9');
  for (char c : name) {
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!letter && !(c >= '0' && c <= '9')) plain = false;
  }
  if (plain && !sqlite3_keyword_check(name.data(), static_cast<int>(name.size()))) {
    return XB_String(name);
  }
  XB_String out;
  out.Reserve(name.size() + 2);
  out += '"';
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

XB_String BuildSelect(const XB_ParameterInfoGroup& definition, std::string_view extraColumns,
                      std::string_view table) {
  XB_String columns;
  for (int i = 0; i < definition.Count(); i++) {
    columns.AppendSeparated(", ", XB_SqlName(XB_ColumnName(definition.At(i)).View()).View());
  }
  if (!extraColumns.empty()) columns.AppendSeparated(", ", extraColumns);
  XB_String sql("SELECT ");
  sql += columns;
  sql += " FROM ";
  sql += XB_SqlName(table.empty() ? XB_ColumnName(&definition).View() : table);
  return sql;
}

XB_String TableNameOf(const SQLiteParameters& set) {
  if (!set.TableName().IsEmpty()) return XB_SqlName(set.TableName().View());
  if (set.Definition()) return XB_SqlName(XB_ColumnName(set.Definition()).View());
  return XB_SqlName(set.Name().View());
}

XB_String BuildRowCondition(const SQLiteParameters& set) {
  XB_String condition;
  bool keysUsable = true;
  int keys = 0;
  for (int i = 0; i < set.Count(); i++) {
    XB_Parameter* member = set.Item(i);
    if (!IsKey(member)) continue;
    keys++;
    if (set.IsNullAt(i) || set.WasStoredNull(member->Name().View())) {
      /* NULL never equals anything, and several rows may hold it. */
      keysUsable = false;
      break;
    }
    XB_String term = ColumnSql(member);
    term += "==";
    term += KeyLiteral(set, i);
    condition.AppendSeparated(" AND ", term.View());
  }
  if (keys > 0 && keysUsable) return condition;
  if (!set.HasRowId() || !IsRowIdText(set.RowId().View())) return XB_String();
  XB_String byRowId(set.RowIdName());
  byRowId += "==";
  byRowId += set.RowId();
  return byRowId;
}

int CountAssignments(const SQLiteParameters& set) {
  int count = 0;
  for (int i = 0; i < set.Count(); i++) {
    if (IsWritten(set, i) && !IsKey(set.Item(i))) count++;
  }
  return count;
}

XB_String BuildUpdate(const SQLiteParameters& set) {
  XB_String condition = BuildRowCondition(set);
  if (condition.IsEmpty()) return XB_String();
  XB_String assignments;
  for (int i = 0; i < set.Count(); i++) {
    XB_Parameter* member = set.Item(i);
    if (!IsWritten(set, i) || IsKey(member)) continue;
    XB_String term = ColumnSql(member);
    term += '=';
    term += UpdateLiteral(set, i);
    assignments.AppendSeparated(", ", term.View());
  }
  XB_String sql("UPDATE ");
  sql += TableNameOf(set);
  sql += " SET ";
  sql += assignments;
  sql += " WHERE ";
  sql += condition;
  return sql;
}

XB_String BuildInsert(const SQLiteParameters& set, uint8_t flags) {
  XB_String names, values;
  for (int i = 0; i < set.Count(); i++) {
    XB_Parameter* member = set.Item(i);
    if (!IsWritten(set, i)) continue;
    if (IsKey(member) && !(flags & XB_INSERT_KEYS)) continue;
    names.AppendSeparated(", ", ColumnSql(member).View());
    values.AppendSeparated(", ", InsertLiteral(set, i).View());
  }
  XB_String sql("INSERT INTO ");
  sql += TableNameOf(set);
  /* Nothing given: every column gets its DEFAULT or NULL. */
  if (names.IsEmpty()) {
    sql += " DEFAULT VALUES";
    return sql;
  }
  sql += " (";
  sql += names;
  sql += ") VALUES(";
  sql += values;
  sql += ')';
  return sql;
}

std::vector<XB_String> GetKeyNames(const XB_ParameterSetAuto& set) {
  std::vector<XB_String> names;
  for (int i = 0; i < set.Count(); i++) {
    if (IsKey(set.Item(i))) names.push_back(set.KeyAt(i));
  }
  return names;
}

XB_String BuildKeyList(const XB_ParameterSetAuto& set) {
  XB_String list;
  for (const XB_String& name : GetKeyNames(set)) list.AppendSeparated(", ", name.View());
  return list;
}

int CountKeys(const XB_ParameterSetAuto& set) {
  return static_cast<int>(GetKeyNames(set).size());
}

/* Returns the type word BuildCreateTable writes after a column of TYPE. */
static const char* TypeWord(uint32_t type) {
  switch (type) {
    case PT_INT:
      return " INTEGER";
    case PT_REAL:
      return " REAL";
    case PT_DATE:
      return " DATE";
    case PT_TIME:
      return " TIME";
    case PT_DATETIME:
      return " DATETIME";
    case PT_KEY:
      return " UNIQUE";
    default:
      return "";
  }
}

XB_String BuildCreateTable(const XB_ParameterSetAuto& set) {
  XB_String columns;
  for (int i = 0; i < set.Count(); i++) {
    XB_Parameter* member = set.Item(i);
    if (!member->GetInfo()) continue;
    XB_String column(member->Name());
    column += TypeWord(member->GetInfo()->GetType());
    columns.AppendSeparated(", ", column.View());
  }
  XB_String sql("CREATE TABLE ");
  sql += set.Name();
  if (columns.IsEmpty()) return sql;
  sql += '(';
  sql += columns;
  sql += ')';
  return sql;
}
