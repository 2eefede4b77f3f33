/*
** The generation-2 connection: opening, statements, single values and
** result tables through the 2.x C interface.  The engine hands out its
** messages in memory of its own, which goes back through sqlite_freemem
** once the text is kept as the last error.
*/
#include "xb_sqlite2db.h"

#include "sqlite.h"

namespace {

/* Step results of the 2.x interface: a row is ready, or the statement ended. */
const int kStepRow = 100;
const int kStepDone = 101;

/* Returns the engine handle of DB. */
sqlite* Handle(void* engineHandle) {
  return static_cast<sqlite*>(engineHandle);
}

}  // namespace

/* Stores PATH and opens or creates the database there. */
XB_SQLite2DB::XB_SQLite2DB(const char* path) : XB_SQLiteDB(path) {
  OpenOrCreate();
}

/* Closes the handle. */
XB_SQLite2DB::~XB_SQLite2DB() {
  XB_SQLite2DB::Close();
}

/* Opens the stored path with file mode 0.  Returns true when a handle is
** present afterwards. */
bool XB_SQLite2DB::Open() {
  if (m_engineHandle) return true;
  ClearLastError();
  if (!PathIsUsable()) return false;
  char* message = nullptr;
  sqlite* db = sqlite_open(EnginePath().c_str(), 0, &message);
  if (!db) {
    SetLastError(message ? message : "unable to open database file");
    XB_LogF("E_ Failed to open %s. SQLITE: %s", m_filePath, LastError());
    sqlite_freemem(message);
    return false;
  }
  if (message) {
    XB_LogF("E_ SQLITE: %s", message);
    sqlite_freemem(message);
  }
  m_engineHandle = db;
  return true;
}

/* Closes the handle if present.  Returns true. */
bool XB_SQLite2DB::Close() {
  if (m_engineHandle) sqlite_close(Handle(m_engineHandle));
  m_engineHandle = nullptr;
  return true;
}

/* Runs SQL without a row callback.  Returns true on success. */
bool XB_SQLite2DB::Exec(const char* sql) {
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  char* message = nullptr;
  if (sqlite_exec(Handle(m_engineHandle), sql, nullptr, nullptr, &message) == 0) {
    sqlite_freemem(message);
    return true;
  }
  SetLastError(message ? message : "SQL error");
  sqlite_freemem(message);
  XB_LogF("SQLite exec failed: %s", LastError());
  return false;
}

/* Copies the first column of the first row of STATEMENT into OUT.  Returns
** false, OUT unchanged, when there is no such value. */
bool XB_SQLite2DB::QueryValueText(XB_String& out, const char* statement) {
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  sqlite_vm* vm = nullptr;
  char* message = nullptr;
  int compiled = sqlite_compile(Handle(m_engineHandle), statement, nullptr, &vm, &message);
  if (compiled != 0 || message) {
    SetLastError(message ? message : "SQL error");
    sqlite_freemem(message);
    message = nullptr;
  }
  if (compiled != 0) {
    XB_LogF("SQLITE %s", LastError());
    if (vm) sqlite_finalize(vm, nullptr);
    return false;
  }
  if (!vm) return false;  // only blanks or a comment
  int columns = 0;
  const char** values = nullptr;
  const char** names = nullptr;
  int stepped = sqlite_step(vm, &columns, &values, &names);
  bool found = (stepped == kStepRow || stepped == kStepDone) && columns >= 1 && values;
  if (found) out.Assign(values[0]);
  sqlite_finalize(vm, &message);
  sqlite_freemem(message);
  return found;
}

/* Runs STATEMENT with the engine's get-table call; RESULT takes over the
** engine's array.  Returns true on success; RESULT stays empty on failure. */
bool XB_SQLite2DB::GetTableText(XB_SQLiteResult& result, const char* statement) {
  result.Reset();
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  char** cells = nullptr;
  int rows = 0;
  int columns = 0;
  char* message = nullptr;
  if (sqlite_get_table(Handle(m_engineHandle), statement, &cells, &rows, &columns, &message) != 0) {
    SetLastError(message ? message : "SQL error");
    sqlite_freemem(message);
    if (cells) sqlite_free_table(cells);
    XB_LogF("SQLITE %s", LastError());
    return false;
  }
  sqlite_freemem(message);
  // The engine may answer a statement without rows with no array at all;
  // the result then stays empty.
  if (!cells) return true;
  result.Set(new XB_SQLite2Table(cells), columns, rows);
  return true;
}

/* Returns the engine's last inserted row id (32 bits in this generation). */
int32_t XB_SQLite2DB::LastInsertRowId() {
  if (!m_engineHandle) return 0;
  return sqlite_last_insert_rowid(Handle(m_engineHandle));
}

/* Returns the last inserted row id; this generation's ids fit 32 bits. */
int64_t XB_SQLite2DB::LastInsertRowId64() {
  return LastInsertRowId();
}
