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

#include <cmath>
#include <cstdlib>

/*
** A cursor over table's rows; see the header.
*/
SQLiteRowCursor::SQLiteRowCursor(XB_SQLiteDB& db, const SQLiteParameters& set,
                                 const XB_String& table)
    : db_(db), set_(set), table_(table) {}

/*
** Picks the rowid when the table has one under a name no column takes,
** else the single key column.  Returns false, with the reason in error_,
** when neither exists.
*/
bool SQLiteRowCursor::ChooseKey(const XB_String& tableSql) {
  XB_ParameterInfoGroup* definition = rowIO_.GetTableDefinition(db_, table_.View(), TD_ALL);
  if (definition == nullptr) {
    error_ = XB_String::Formatted("Failed to read table definiton for %s.", table_);
    return false;
  }
  if (!XB_ContainsLoosely(tableSql.View(), "WITHOUT ROWID")) {
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
      if (definition->Find(name)) continue;
      mode_ = KEY_ROWID;
      keyName_ = name;
      return true;
    }
  }
  if (CountKeys(set_) == 1) {
    mode_ = KEY_COLUMN;
    keyName_ = BuildKeyList(set_);
    return true;
  }
  error_ = XB_String::Formatted(
      "%s has neither a rowid nor exactly one key column, so its rows cannot "
      "be told apart.",
      table_);
  return false;
}

/*
** Reads the definition and the row identities; see the header.
*/
bool SQLiteRowCursor::Start(const XB_String& where, const XB_String& orderBy) {
  mode_ = KEY_NONE;
  keys_.clear();
  index_ = 0;
  error_.Clear();
  XB_String tableSql = rowIO_.GetTableSql(db_, table_.View());
  canAppend_ = XB_ContainsLoosely(tableSql.View(), "INTEGER PRIMARY KEY") ||
               XB_ContainsLoosely(tableSql.View(), "PRIMARY KEY INT");
  if (!ChooseKey(tableSql)) return false;

  XB_ParameterInfoGroup* definition = rowIO_.GetTableDefinition(db_, table_.View(), TD_ALL);
  XB_String query = XB_String::Formatted("SELECT %s FROM %s", keyName_, definition->Key());
  XB_String condition = where;
  if (!condition.Trim().IsEmpty()) query.AppendFormat(" WHERE %s", condition);
  XB_String order = orderBy;
  if (!order.Trim().IsEmpty()) query.AppendFormat(" ORDER BY %s", order);

  XB_SQLiteResult result;
  if (!db_.GetTable(result, "%s", query)) {
    mode_ = KEY_NONE;
    NoteRowError("Reading the rows failed");
    return false;
  }
  for (int row = 0; row < result.Rows(); row++) {
    const char* cell = result.Get(0, row);
    keys_.emplace_back(cell ? cell : "");
  }
  return true;
}

/*
** Returns the current row's condition: the rowid compared with its
** number, or the key column compared with its value as a string literal.
*/
XB_String SQLiteRowCursor::Condition() const {
  if (mode_ == KEY_NONE || keys_.empty()) return XB_String();
  const XB_String& key = keys_[static_cast<size_t>(index_)];
  XB_String condition = keyName_;
  condition += "=";
  if (mode_ == KEY_COLUMN)
    condition += XB_SqlQuote(key.View());
  else
    condition += key;
  return condition;
}

/*
** Sets the error text from the row service (or the connection).
*/
void SQLiteRowCursor::NoteRowError(const char* what) {
  const char* message = rowIO_.LastError(db_);
  error_ = XB_String::Formatted("%s: %s", what, message ? message : "unknown error");
}

/*
** Loads the current row, or an empty row when there is none, into lines.
*/
bool SQLiteRowCursor::Load(ParamLines& lines) {
  if (mode_ == KEY_NONE) return false;
  SQLiteParameters row = keys_.empty() ? rowIO_.InitRow(db_, table_.View(), TD_ALL)
                                       : rowIO_.LoadRow(db_, table_.View(), Condition().View());
  lines.Exchange(false, row);
  return true;
}

/* Returns the number a value stands for: a real's own, else its text read
** as a decimal number. */
static double NumberOf(const XB_Value& value) {
  if (value.Kind() == VK_REAL) return value.Real();
  return std::atof(value.AsText().c_str());
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

/*
** See the header.
*/
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

/*
** Inserts row; on success its rowid (the full 64-bit id) becomes the
** identity of a new last row, which is made current.
*/
bool SQLiteRowCursor::AppendRow(const SQLiteParameters& row) {
  if (!rowIO_.InsertRow(db_, row, 0)) {
    NoteRowError("Adding a row failed");
    return false;
  }
  long long id = static_cast<long long>(db_.LastInsertRowId64());
  keys_.push_back(XB_String::Formatted("%d", id));
  index_ = Count() - 1;
  return true;
}

/*
** Writes the lines back when they change the stored row; see the header.
*/
bool SQLiteRowCursor::Save(ParamLines& lines) {
  if (mode_ == KEY_NONE) return false;
  if (keys_.empty()) {
    SQLiteParameters blank = rowIO_.InitRow(db_, table_.View(), TD_ALL);
    SQLiteParameters edited = blank;
    lines.Exchange(true, edited);
    if (!RowDiffers(blank, edited)) return true;
    return AppendRow(edited);
  }
  SQLiteParameters stored = rowIO_.LoadRow(db_, table_.View(), Condition().View());
  SQLiteParameters edited = stored;
  lines.Exchange(true, edited);
  if (!RowDiffers(stored, edited)) return true;
  if (rowIO_.UpdateRow(db_, edited, 0)) return true;
  NoteRowError("Saving the row failed");
  return false;
}

/*
** Steps back one row.
*/
bool SQLiteRowCursor::Previous() {
  if (!CanGoBack()) return false;
  index_--;
  return true;
}

/*
** Steps forward, appending a row of defaults past the end when allowed.
*/
bool SQLiteRowCursor::Next() {
  if (index_ + 1 < Count()) {
    index_++;
    return true;
  }
  if (!canAppend_ || mode_ == KEY_NONE) return false;
  return AppendRow(rowIO_.InitRow(db_, table_.View(), TD_ALL));
}
