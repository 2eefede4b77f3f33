/*
** The connection over the generation-2 engine (our own reader and writer of
** SQLite 2.x files in sqlite2/, with the 2.x C interface of sqlite.h).
*/
#ifndef XB_SQLITE2DB_H
#define XB_SQLITE2DB_H

#include "xb_sqlitedb.h"

class XB_SQLite2DB : public XB_SQLiteDB {
 public:
  /* Stores PATH and opens it, making a new database when no file is there.
  ** The connection stays closed when that fails. */
  explicit XB_SQLite2DB(const char* path);
  ~XB_SQLite2DB() override;

  double Version() const override { return 2.0; }
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
  /* Decides whether the file's text is UTF-8 or Latin-1 (see the class
  ** comment of XB_SQLiteDB) from its schema and the first rows of each
  ** table. */
  void DetectTextEncoding();

  bool m_watching = false; /* GetTableWatched runs; guarded by the handle lock */
};

#endif
