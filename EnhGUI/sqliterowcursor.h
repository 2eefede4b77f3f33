/*
** SQLiteRowCursor: the stepping logic of the row-wise table editor,
** without any window.  It collects the identities of a table's rows,
** knows which row is current, loads that row into dialog lines, writes
** the lines back when (and only when) the user changed something, and
** steps backwards and forwards, appending a new row past the end of a
** table with an INTEGER PRIMARY KEY.
**
** Rows are told apart by their rowid wherever the table has one, because
** a rowid picks out exactly one row even when a key column is NULL or the
** key spans several columns; a table without rowid is stepped through by
** its one key column.  A table with neither cannot be edited row-wise and
** Start says so.
*/
#ifndef SQLITEROWCURSOR_H
#define SQLITEROWCURSOR_H

#include "sqliteparameters.h"
#include "sqliterowio.h"
#include "xb_string.h"

#include <vector>

class ParamLines;
class XB_SQLiteDB;

class SQLiteRowCursor {
 public:
  /* How the rows are identified. */
  enum KeyMode {
    KEY_NONE,  /* not started, or the rows cannot be told apart */
    KEY_ROWID, /* by the rowid (or its other names _rowid_, oid) */
    KEY_COLUMN /* by the single key column */
  };

  /*
  ** A cursor over the rows of table on db; set is the row set that
  ** defines the dialog's lines.  Nothing is read until Start.
  */
  SQLiteRowCursor(XB_SQLiteDB& db, const SQLiteParameters& set, const XB_String& table);

  /*
  ** Reads the table's definition and the identities of its rows,
  ** restricted by the condition where and in the order orderBy when they
  ** are not empty.  Returns false, with ErrorText() saying why, when the
  ** rows cannot be identified or the query fails.
  */
  bool Start(const XB_String& where, const XB_String& orderBy);

  /* How rows are identified. */
  KeyMode Mode() const { return m_mode; }
  /* Number of rows known. */
  int Count() const { return static_cast<int>(m_keys.size()); }
  /* Index of the current row. */
  int Index() const { return m_index; }
  /* True when the table's text declares an INTEGER PRIMARY KEY, so that
  ** stepping past the last row appends one. */
  bool CanAppend() const { return m_canAppend; }
  /* True when "<<" has a row to go to. */
  bool CanGoBack() const { return m_index > 0; }
  /* True when ">>" has a row to go to or can append one. */
  bool CanGoForward() const { return m_index + 1 < Count() || m_canAppend; }
  /*
  ** Returns the current row's condition: the rowid compared with its
  ** number, or the key column compared with its value as a string literal.
  */
  XB_String Condition() const;
  /* Why Start or the last Save or Next failed. */
  const XB_String& ErrorText() const { return m_error; }

  /*
  ** Shows the current row in lines (the defaults of an empty row when the
  ** table has no rows), a BLOB read-only.  Returns false when the row
  ** could not be read.
  */
  bool Load(ParamLines& lines);
  /*
  ** Writes the lines' values to the current row when they differ from the
  ** stored row; with no rows yet a changed form is added as a new row.
  ** Returns false, with ErrorText(), when the write failed.
  */
  bool Save(ParamLines& lines);
  /* Steps back one row; returns false at the first row. */
  bool Previous();
  /*
  ** Steps forward one row, or past the last row appends a new row with
  ** default values when CanAppend().  Returns false when there is nowhere
  ** to go or the new row could not be inserted (ErrorText() tells).
  */
  bool Next();

  /*
  ** True when a row set read back with changes differs from the stored
  ** one: a real is compared by number, a text by its exact bytes, any
  ** other kind by its integer reading, and a NULL differs from any value
  ** (also from the empty text).
  */
  static bool RowDiffers(const SQLiteParameters& stored, const SQLiteParameters& edited);

 private:
  /*
  ** Picks the rowid when the table has one under a name no column takes,
  ** else the single key column.  Returns false, with the reason in m_error,
  ** when neither exists.
  */
  bool ChooseKey();
  /*
  ** Inserts row; on success its rowid (the full 64-bit id) becomes the
  ** identity of a new last row, which is made current.
  */
  bool AppendRow(const SQLiteParameters& row);
  /* Sets the error text from the row service (or the connection). */
  void NoteRowError(const char* what);

  XB_SQLiteDB& m_db;
  const SQLiteParameters& m_set;
  XB_String m_table;
  SQLiteRowIO m_rowIo;
  KeyMode m_mode = KEY_NONE;
  XB_String m_keyName;
  bool m_canAppend = false;
  std::vector<XB_String> m_keys;
  int m_index = 0;
  XB_String m_error;
};

#endif
