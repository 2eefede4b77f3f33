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
  ~XB_SQLite3DB() override;

  double Version() const override { return 3.0; }
  bool Exec(const char* sql) override;
  bool QueryValueText(XB_String& out, const char* statement) override;
  bool GetTableText(XB_SQLiteResult& result, const char* statement) override;
  int32_t LastInsertRowId() override;
  bool Open() override;
  void OnCreated() override {}
  bool IsOpen() const override { return m_engineHandle != nullptr; }
  bool Close() override;
  int64_t LastInsertRowId64() override;
  bool GetTableWatched(XB_SQLiteResult& result, const char* statement,
                       XB_QueryProgress* progress) override;
  void Interrupt() override;
  bool InTransaction() override;
  bool IsOneReadOnlyStatement(const char* sql, bool* readOnly) override;

 private:
  bool m_watching = false; /* GetTableWatched runs; guarded by the handle lock */
};

#endif
