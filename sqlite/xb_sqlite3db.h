/*
** The connection over the generation-3 engine (Debian's libsqlite3).  Query
** results are gathered by stepping prepared statements into a compact cell
** block, which gives the same table as the engine's get-table call with a
** fraction of its memory.
*/
#ifndef XB_SQLITE3DB_H
#define XB_SQLITE3DB_H

#include "xb_sqlitedb.h"

class XB_SQLite3DB : public XB_SQLiteDB {
 public:
  /* Stores PATH and opens it, making a new database when no file is there.
  ** The connection stays closed when that fails. */
  explicit XB_SQLite3DB(const char* path);
  /* Closes the handle. */
  ~XB_SQLite3DB() override;

  double Version() const override { return 3.0; }
  /* Runs SQL without a row callback.  Returns true on success. */
  bool Exec(const char* sql) override;
  /* Copies the first column of the first row of STATEMENT into OUT.  Returns
  ** false, OUT unchanged, when there is no such value. */
  bool QueryValueText(XB_String& out, const char* statement) override;
  /* Runs every statement of STATEMENT and gathers their rows into RESULT as
  ** the engine's get-table call would: the column names come with the first
  ** row, so a query without rows gives no columns either.  Returns true on
  ** success; RESULT stays empty on failure. */
  bool GetTableText(XB_SQLiteResult& result, const char* statement) override;
  /* Returns the low 32 bits of the last inserted row id. */
  int32_t LastInsertRowId() override;
  /* Opens the stored path.  Returns true when a handle is present. */
  bool Open() override;
  void OnCreated() override {}
  bool IsOpen() const override { return m_engineHandle != nullptr; }
  /* Closes the handle if present.  Returns true. */
  bool Close() override;
  /* Returns the whole last inserted row id, 0 while closed. */
  int64_t LastInsertRowId64() override;
  /* GetTableText with the rows counted into PROGRESS; its cancel flag stops
  ** the statement through the progress handler, between rows and within a
  ** long step alike, without the race of an interrupt made just before a
  ** step begins. */
  bool GetTableWatched(XB_SQLiteResult& result, const char* statement,
                       XB_QueryProgress* progress) override;
  void Interrupt() override;
  bool InTransaction() override;
  /* A statement is one read-only statement when the engine calls it
  ** read-only and it yields rows: transaction control and ATTACH count as
  ** read-only to the engine but change the connection, and yield none. */
  bool IsOneReadOnlyStatement(const char* sql, bool* readOnly) override;

 private:
  bool m_watching = false; /* GetTableWatched runs; guarded by the handle lock */
};

#endif
