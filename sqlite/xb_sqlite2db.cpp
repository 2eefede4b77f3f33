/*
** The generation-2 connection: opening, statements, single values and
** result tables through the 2.x C interface.  The engine hands out its
** messages in memory of its own, which goes back through sqlite_freemem
** once the text is kept as the last error.
*/
#include "xb_sqlite2db.h"

#include <climits>
#include <cstring>
#include <string>

#include "sqlite.h"

namespace {

/* Step results of the 2.x interface: a row is ready, or the statement ended. */
const int kStepRow = 100;
const int kStepDone = 101;

/* Returns the engine handle of DB. */
sqlite* Handle(void* engineHandle) {
  return static_cast<sqlite*>(engineHandle);
}

/* How many rows of each table the encoding detection looks at. */
const int kRowsLookedAt = 50;

/* What the encoding detection has seen so far. */
struct TextSeen {
  bool multiByte = false;
  bool invalid = false;
};

/* Notes in SEEN whether TEXT holds multi-byte UTF-8 or invalid UTF-8. */
void NoteText(TextSeen* seen, const char* text) {
  if (!text) return;
  std::string_view view(text);
  bool high = false;
  for (char c : view) high |= static_cast<unsigned char>(c) >= 0x80;
  if (!high) return;
  if (XB_SQLiteDB::IsValidUtf8(view))
    seen->multiByte = true;
  else
    seen->invalid = true;
}

/* Notes every cell of the get-table array CELLS (names included). */
void NoteTable(TextSeen* seen, char** cells, int rows, int columns) {
  for (int i = 0; cells && i < (rows + 1) * columns; ++i) NoteText(seen, cells[i]);
}

/* Watched query: the block being filled and the progress to report. */
struct WatchedRun {
  XB_SQLiteBlockTable* table = nullptr;
  XB_QueryProgress* progress = nullptr;
  int columns = 0;
  int rows = 0;
  int64_t bytes = 0;
  bool haveNames = false;
  const char* problem = nullptr;
};

/* sqlite_exec callback of a watched query: appends the names with the
** first row, then each row.  Non-zero stops the statement. */
int CollectWatchedRow(void* arg, int ncol, char** values, char** names) {
  auto* run = static_cast<WatchedRun*>(arg);
  if (!run->haveNames) {
    run->columns = ncol;
    run->haveNames = true;
    for (int i = 0; i < ncol; ++i) {
      if (!run->table->Append(names[i], names[i] ? std::strlen(names[i]) : 0)) {
        run->problem = "out of memory";
        return 1;
      }
    }
  } else if (ncol != run->columns) {
    run->problem = "sqlite_get_table() called with two or more incompatible queries";
    return 1;
  }
  if (!values) return 0;  // the empty-result call of a query without rows
  if (run->rows == INT_MAX) {
    run->problem = "too many rows";
    return 1;
  }
  for (int i = 0; i < ncol; ++i) {
    size_t length = values[i] ? std::strlen(values[i]) : 0;
    if (!run->table->Append(values[i], length)) {
      run->problem = "out of memory";
      return 1;
    }
    run->bytes += static_cast<int64_t>(length) + 5;
  }
  ++run->rows;
  if (run->progress) {
    XB_QueryProgress& progress = *run->progress;
    ++progress.rows;
    if (progress.cancel) {
      run->problem = "interrupted";
      return 1;
    }
    if ((progress.maxRows > 0 && run->rows >= progress.maxRows) ||
        (progress.maxBytes > 0 && run->bytes >= progress.maxBytes)) {
      // The bound ends the run with the rows gathered so far.
      progress.limited = true;
      return 1;
    }
  }
  return 0;
}

}  // namespace

XB_SQLite2DB::XB_SQLite2DB(const char* path) : XB_SQLiteDB(path) {
  OpenOrCreate();
}

XB_SQLite2DB::~XB_SQLite2DB() {
  XB_SQLite2DB::Close();
}

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
  sqlite_busy_timeout(db, kBusyTimeoutMs);
  SetEngineHandle(db);
  if (!m_encodingDecided) DetectTextEncoding();
  return true;
}

bool XB_SQLite2DB::Close() {
  WithEngineHandle([](void* handle) {
    if (handle) sqlite_close(Handle(handle));
  });
  SetEngineHandle(nullptr);
  return true;
}

bool XB_SQLite2DB::Exec(const char* sql) {
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  char* message = nullptr;
  int rc = sqlite_exec(Handle(m_engineHandle), sql, nullptr, nullptr, &message);
  if (rc == SQLITE_OK) {
    sqlite_freemem(message);
    return true;
  }
  SetLastError(message ? message : "SQL error");
  sqlite_freemem(message);
  NoteFailure(rc);
  XB_LogF("SQLite exec failed: %s", LastError());
  return false;
}

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
  int rc = sqlite_get_table(Handle(m_engineHandle), statement, &cells, &rows, &columns, &message);
  if (rc != SQLITE_OK) {
    SetLastError(message ? message : "SQL error");
    sqlite_freemem(message);
    NoteFailure(rc);
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

int32_t XB_SQLite2DB::LastInsertRowId() {
  if (!m_engineHandle) return 0;
  return sqlite_last_insert_rowid(Handle(m_engineHandle));
}

int64_t XB_SQLite2DB::LastInsertRowId64() {
  return LastInsertRowId();
}

void XB_SQLite2DB::NoteFailure(int code) {
  if (code == SQLITE_CORRUPT) NoteDamage(LastError());
}

void XB_SQLite2DB::DetectTextEncoding() {
  m_encodingDecided = true;
  sqlite* db = Handle(m_engineHandle);
  TextSeen seen;
  char** cells = nullptr;
  int rows = 0;
  int columns = 0;
  char* message = nullptr;
  int read = sqlite_get_table(db, "SELECT type, name, sql FROM sqlite_master", &cells, &rows,
                              &columns, &message);
  if (read == SQLITE_BUSY) {
    // Another program kept the file locked for the whole busy timeout: the
    // text is looked at on the next open, and the reason stays for callers
    // that give up on the file now instead of waiting once more.
    m_encodingDecided = false;
    SetLastError(message ? message : "database is locked");
    sqlite_freemem(message);
    sqlite_free_table(cells);
    return;
  }
  sqlite_freemem(message);
  if (read == SQLITE_OK) {
    NoteTable(&seen, cells, rows, columns);
    // Every table is looked at, also once the text is known to be Latin-1:
    // the same first rows show whether the file has damage.
    for (int r = 1; r <= rows; ++r) {
      if (!cells[r * columns] || std::strcmp(cells[r * columns], "table") != 0) continue;
      std::string name = cells[r * columns + 1] ? cells[r * columns + 1] : "";
      std::string quoted = "\"";
      for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      quoted += '"';
      std::string sql = "SELECT * FROM " + quoted + " LIMIT " + std::to_string(kRowsLookedAt);
      char** sample = nullptr;
      int sampleRows = 0;
      int sampleColumns = 0;
      char* problem = nullptr;
      int sampled =
          sqlite_get_table(db, sql.c_str(), &sample, &sampleRows, &sampleColumns, &problem);
      if (sampled == SQLITE_OK) NoteTable(&seen, sample, sampleRows, sampleColumns);
      // A damaged table leaves the others readable; the damage is noted.
      if (sampled == SQLITE_CORRUPT) NoteDamage(problem);
      sqlite_freemem(problem);
      sqlite_free_table(sample);
    }
  }
  sqlite_free_table(cells);
  m_textEncoding = seen.multiByte && !seen.invalid ? XB_TEXT_UTF8 : XB_TEXT_LATIN1;
}

bool XB_SQLite2DB::GetTableWatched(XB_SQLiteResult& result, const char* statement,
                                   XB_QueryProgress* progress) {
  result.Reset();
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  WatchedRun run;
  run.table = new XB_SQLiteBlockTable;
  run.progress = progress;
  char* message = nullptr;
  sqlite* db = Handle(m_engineHandle);
  // With a watcher, a query without rows still reports its column names.
  if (progress) sqlite_exec(db, "PRAGMA empty_result_callbacks=ON", nullptr, nullptr, nullptr);
  // Interrupts reach the engine only while the query runs (see Interrupt);
  // a cancel made before it is passed on as the engine's pending interrupt.
  WithEngineHandle([&](void* handle) {
    m_watching = true;
    if (progress && progress->cancel) sqlite_interrupt(Handle(handle));
  });
  int rc = sqlite_exec(db, statement, CollectWatchedRow, &run, &message);
  // An interrupt that came too late is dropped by an exec under the same
  // lock, so it cannot stop the next statement.
  WithEngineHandle([&](void* handle) {
    m_watching = false;
    sqlite_exec(Handle(handle), progress ? "PRAGMA empty_result_callbacks=OFF" : "", nullptr,
                nullptr, nullptr);
  });
  if (progress && progress->limited && !run.problem) rc = SQLITE_OK;
  if (rc != SQLITE_OK || run.problem) {
    SetLastError(run.problem ? run.problem : message ? message : sqlite_error_string(rc));
    sqlite_freemem(message);
    if (!run.problem) NoteFailure(rc);
    run.table->Release();
    XB_LogF("SQLITE %s", LastError());
    return false;
  }
  sqlite_freemem(message);
  run.table->Shrink();
  result.Set(run.table, run.haveNames ? run.columns : 0, run.rows);
  return true;
}

void XB_SQLite2DB::Interrupt() {
  WithEngineHandle([this](void* handle) {
    if (handle && m_watching) sqlite_interrupt(Handle(handle));
  });
}

bool XB_SQLite2DB::IsOneReadOnlyStatement(const char* sql, bool* readOnly) {
  *readOnly = false;
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  sqlite* db = Handle(m_engineHandle);
  const char* rest = sql ? sql : "";
  sqlite_vm* vm = nullptr;
  while (!vm && *rest) {
    char* message = nullptr;
    if (sqlite_compile(db, rest, &rest, &vm, &message) != SQLITE_OK) {
      SetLastError(message ? message : "SQL error");
      sqlite_freemem(message);
      return false;
    }
  }
  if (!vm) return true;
  bool candidate = sqlite_vm_readonly(vm) != 0;
  sqlite_finalize(vm, nullptr);
  if (!candidate) return true;
  while (*rest) {
    sqlite_vm* next = nullptr;
    char* message = nullptr;
    int rc = sqlite_compile(db, rest, &rest, &next, &message);
    sqlite_freemem(message);
    bool more = rc != SQLITE_OK || next;
    if (next) sqlite_finalize(next, nullptr);
    if (more) return true;
  }
  *readOnly = true;
  return true;
}

bool XB_SQLite2DB::InTransaction() {
  return m_engineHandle && !sqlite_get_autocommit(Handle(m_engineHandle));
}
