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
  /* Closes the handle. */
  ~XB_SQLite2DB() override;

  double Version() const override { return 2.0; }
  /* Runs SQL without a row callback.  Returns true on success. */
  bool Exec(const char* sql) override;
  /* Copies the first column of the first row of STATEMENT into OUT.  Returns
  ** false, OUT unchanged, when there is no such value. */
  bool QueryValueText(XB_String& out, const char* statement) override;
  /* Runs STATEMENT with the engine's get-table call; RESULT takes over the
  ** engine's array.  Returns true on success; RESULT stays empty on failure. */
  bool GetTableText(XB_SQLiteResult& result, const char* statement) override;
  /* Returns the engine's last inserted row id (32 bits in this generation). */
  int32_t LastInsertRowId() override;
  /* Opens the stored path with file mode 0.  Returns true when a handle is
  ** present afterwards. */
  bool Open() override;
  void OnCreated() override {}
  bool IsOpen() const override { return m_engineHandle != nullptr; }
  /* Closes the handle if present.  Returns true. */
  bool Close() override;
  /* Returns the last inserted row id; this generation's ids fit 32 bits. */
  int64_t LastInsertRowId64() override;
  /* GetTableText through sqlite_exec with a row callback, so that rows are
  ** counted as they come and the cancel flag is seen between rows; a long
  ** step is stopped by sqlite_interrupt. */
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

  /* Notes the last error as damage seen when CODE says the file is damaged. */
  void NoteFailure(int code);

  bool m_watching = false; /* GetTableWatched runs; guarded by the handle lock */
};

#endif
