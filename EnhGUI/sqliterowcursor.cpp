/*
** The stepping logic of the row-wise table editor; see sqliterowcursor.h.
*/
#include "sqliterowcursor.h"

#include "paramlines.h"
#include "sqliterowstatements.h"
#include "xb_keytext.h"
#include "xb_sqlitedb.h"
#include "xb_sqliteresult.h"
#include "xb_tabledef.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

SQLiteRowCursor::SQLiteRowCursor(XB_SQLiteDB& db, const SQLiteParameters& set,
                                 const XB_String& table)
    : m_db(db), m_set(set), m_table(table) {}

bool SQLiteRowCursor::ChooseKey() {
  XB_TableDefinition* definition = m_rowIo.GetTableDefinition(m_db, m_table.View(), TD_ALL);
  if (definition == nullptr) {
    m_error = XB_String::Formatted("Failed to read table definiton for %s.", m_table);
    return false;
  }
  if (definition->HasRowid()) {
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
      if (definition->FindColumn(name)) continue;
      m_mode = KEY_ROWID;
      m_keyName = name;
      return true;
    }
  }
  for (int i = 0; CountKeys(m_set) == 1 && i < definition->Count(); i++) {
    if (definition->At(i)->GetType() != PT_KEY) continue;
    m_mode = KEY_COLUMN;
    m_keyName = XB_SqlName(XB_ColumnName(definition->At(i)).View());
    return true;
  }
  m_error = XB_String::Formatted(
      "%s has neither a rowid nor exactly one key column, so its rows cannot "
      "be told apart.",
      m_table);
  return false;
}

bool SQLiteRowCursor::Start(const XB_String& where, const XB_String& orderBy) {
  m_mode = KEY_NONE;
  m_keys.clear();
  m_index = 0;
  m_error.Clear();
  XB_String storedName;
  XB_String tableSql = m_rowIo.GetTableSql(m_db, m_table.View(), &storedName);
  m_canAppend = XB_ContainsLoosely(tableSql.View(), "INTEGER PRIMARY KEY") ||
                XB_ContainsLoosely(tableSql.View(), "PRIMARY KEY INT");
  if (!ChooseKey()) return false;

  XB_String query =
      XB_String::Formatted("SELECT %s FROM %s", m_keyName, XB_SqlName(storedName.View()));
  XB_String condition = where;
  if (!condition.Trim().IsEmpty()) query.AppendFormat(" WHERE %s", condition);
  XB_String order = orderBy;
  if (!order.Trim().IsEmpty()) query.AppendFormat(" ORDER BY %s", order);

  XB_SQLiteResult result;
  if (!m_db.GetTable(result, "%s", query)) {
    m_mode = KEY_NONE;
    const char* message = m_db.LastError();
    m_error = message ? message : "Reading the rows failed.";
    return false;
  }
  for (int row = 0; row < result.Rows(); row++) {
    const char* cell = result.Get(0, row);
    m_keys.emplace_back(cell ? cell : "");
  }
  return true;
}

XB_String SQLiteRowCursor::Condition() const {
  if (m_mode == KEY_NONE || m_keys.empty()) return XB_String();
  const XB_String& key = m_keys[static_cast<size_t>(m_index)];
  XB_String condition = m_keyName;
  condition += "=";
  if (m_mode == KEY_COLUMN)
    condition += XB_SqlQuote(key.View());
  else
    condition += key;
  return condition;
}

void SQLiteRowCursor::NoteRowError(const char* what) {
  const char* message = m_rowIo.LastError(m_db);
  m_error = XB_String::Formatted("%s: %s", what, message ? message : "unknown error");
}

bool SQLiteRowCursor::Load(ParamLines& lines) {
  if (m_mode == KEY_NONE) return false;
  SQLiteParameters row = m_keys.empty() ? m_rowIo.InitRow(m_db, m_table.View(), TD_ALL)
                                        : m_rowIo.LoadRow(m_db, m_table.View(), Condition().View());
  lines.Exchange(false, row);
  // A BLOB shows as a note the user can read but not edit.
  for (int i = 0; i < row.Count(); i++) {
    if (ParamLine* line = lines.FindLine(row.KeyAt(i))) line->SetReadOnly(row.IsBlobAt(i));
  }
  return true;
}

/* Returns the number a value stands for: a real's own, else its text read
** as a decimal number with "." as the decimal point in every locale (0 when
** it does not start with one). */
static double NumberOf(const XB_Value& value) {
  if (value.Kind() == VK_REAL) return value.Real();
  std::string text = value.AsText().Std();
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return 0;
  if (text[start] == '+') ++start;
  double number = 0;
  std::from_chars(text.data() + start, text.data() + text.size(), number);
  return number;
}

/*
** Returns true when the value pair differs: by number when either is a
** real, by the exact text when either is a text, else by the integer
** reading.  A missing value differs from any present one.
*/
static bool ValueDiffers(const XB_Value& stored, const XB_Value& edited) {
  if (stored.IsNone() || edited.IsNone()) return stored.IsNone() != edited.IsNone();
  if (stored.Kind() == VK_REAL || edited.Kind() == VK_REAL) {
    return NumberOf(stored) != NumberOf(edited);
  }
  if (stored.Kind() == VK_TEXT || edited.Kind() == VK_TEXT) {
    return !(stored.AsText() == edited.AsText());
  }
  return stored.IntValue() != edited.IntValue();
}

bool SQLiteRowCursor::RowDiffers(const SQLiteParameters& stored, const SQLiteParameters& edited) {
  if (stored.Count() != edited.Count()) return true;
  for (int i = 0; i < stored.Count(); i++) {
    if (stored.IsNullAt(i) != edited.IsNullAt(i)) return true;
    XB_Value a, b;
    stored.GetValueOf(a, i);
    edited.GetValueOf(b, i);
    if (ValueDiffers(a, b)) return true;
  }
  return false;
}

bool SQLiteRowCursor::AppendRow(const SQLiteParameters& row) {
  if (!m_rowIo.InsertRow(m_db, row, 0)) {
    NoteRowError("Adding a row failed");
    return false;
  }
  long long id = static_cast<long long>(m_db.LastInsertRowId64());
  m_keys.push_back(XB_String::Formatted("%d", id));
  m_index = Count() - 1;
  return true;
}

bool SQLiteRowCursor::Save(ParamLines& lines) {
  if (m_mode == KEY_NONE) return false;
  if (m_keys.empty()) {
    SQLiteParameters blank = m_rowIo.InitRow(m_db, m_table.View(), TD_ALL);
    SQLiteParameters edited = blank;
    lines.Exchange(true, edited);
    if (!RowDiffers(blank, edited)) return true;
    return AppendRow(edited);
  }
  SQLiteParameters stored = m_rowIo.LoadRow(m_db, m_table.View(), Condition().View());
  SQLiteParameters edited = stored;
  lines.Exchange(true, edited);
  if (!RowDiffers(stored, edited)) return true;
  if (m_rowIo.UpdateRow(m_db, edited, 0)) return true;
  NoteRowError("Saving the row failed");
  return false;
}

bool SQLiteRowCursor::Previous() {
  if (!CanGoBack()) return false;
  m_index--;
  return true;
}

bool SQLiteRowCursor::Next() {
  if (m_index + 1 < Count()) {
    m_index++;
    return true;
  }
  if (!m_canAppend || m_mode == KEY_NONE) return false;
  return AppendRow(m_rowIo.InitRow(m_db, m_table.View(), TD_ALL));
}
