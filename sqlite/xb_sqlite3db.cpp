/*
** The generation-3 connection: opening, statements, single values and
** result tables through libsqlite3.
*/
#include "xb_sqlite3db.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

/* The message the engine's own get-table call gives for statements whose
** column counts differ; kept so that callers see the same text. */
const char kIncompatibleQueries[] =
    "sqlite3_get_table() called with two or more incompatible queries";

/* Returns the engine handle of DB. */
sqlite3* Handle(void* engineHandle) {
  return static_cast<sqlite3*>(engineHandle);
}

/* Appends the column names of STMT to TABLE.  Returns false when memory
** runs out. */
bool AppendNames(XB_SQLiteBlockTable* table, sqlite3_stmt* stmt, int columns) {
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(stmt, c);
    if (!table->Append(name, name ? std::strlen(name) : 0)) return false;
  }
  return true;
}

/* Appends the cells of the current row of STMT to TABLE and adds the bytes
** they count for the row bound to *BYTES.  Returns false when memory runs
** out. */
bool AppendRow(XB_SQLiteBlockTable* table, sqlite3_stmt* stmt, int columns, int64_t* bytes) {
  for (int c = 0; c < columns; ++c) {
    const char* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
    size_t length = value ? static_cast<size_t>(sqlite3_column_bytes(stmt, c)) : 0;
    // A value with an inner NUL reads, as with get-table, up to that NUL
    // (the table cuts it there).
    if (!table->Append(value, length)) return false;
    *bytes += static_cast<int64_t>(length) + 5;
  }
  return true;
}

/* Returns true when REST, the text after a statement, holds no further one
** (only blanks and semicolons). */
bool IsLastStatement(const char* rest) {
  for (; rest && *rest; ++rest)
    if (*rest != ';' && !std::isspace(static_cast<unsigned char>(*rest))) return false;
  return true;
}

/* Returns true, and marks PROGRESS limited, when ROWS rows or BYTES bytes
** reach one of its bounds. */
bool BoundReached(XB_QueryProgress& progress, int64_t rows, int64_t bytes) {
  if ((progress.maxRows > 0 && rows >= progress.maxRows) ||
      (progress.maxBytes > 0 && bytes >= progress.maxBytes)) {
    progress.limited = true;
    return true;
  }
  return false;
}

/* Progress handler of a watched query: non-zero stops the statement. */
int CancelRequested(void* progress) {
  return static_cast<XB_QueryProgress*>(progress)->cancel.load() ? 1 : 0;
}

/* The engine's default file system layer, which the long-path layer
** copies (its own data, pAppData, belongs to the copied operations). */
sqlite3_vfs* standardLayer = nullptr;

/* Returns a descriptor of the folder DIR, opened once and kept for the
** life of the process (a short name for it must stay valid while any
** connection uses it), or -1. */
int FolderDescriptor(const std::string& dir) {
  static std::mutex lock;
  static std::map<std::string, int> folders;
  std::lock_guard<std::mutex> guard(lock);
  auto found = folders.find(dir);
  if (found != folders.end()) return found->second;
  int fd = ::open(dir.empty() ? "/" : dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) folders.emplace(dir, fd);
  return fd;
}

/* The file system layer's full-path operation for names longer than the
** engine's buffers hold (512 bytes): the file is named through its
** folder's descriptor, /proc/self/fd/N/NAME, which the system resolves
** and the engine takes as it is; shorter names go the standard way. */
int LongPathFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  sqlite3_vfs* standard = standardLayer;
  std::string_view path(name);
  if (path.size() + 16 < static_cast<size_t>(standard->mxPathname)) {
    return standard->xFullPathname(standard, name, size, out);
  }
  size_t slash = path.rfind('/');
  std::string dir(slash == std::string_view::npos ? "." : path.substr(0, slash));
  std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
  int fd = FolderDescriptor(dir);
  if (fd < 0) return SQLITE_CANTOPEN;
  std::string shortName = "/proc/self/fd/" + std::to_string(fd) + "/" + std::string(base);
  if (shortName.size() + 1 > static_cast<size_t>(size)) return SQLITE_CANTOPEN;
  std::memcpy(out, shortName.c_str(), shortName.size() + 1);
  return SQLITE_OK;
}

/* Returns the name of the file system layer this program opens files
** with: the engine's default one, registered once more under another name,
** whose full-path operation takes paths of any length the system takes.
** Null (the default layer) when there is none to copy. */
const char* LongPathVfs() {
  static const char* const name = []() -> const char* {
    static sqlite3_vfs longPaths;
    sqlite3_vfs* standard = sqlite3_vfs_find(nullptr);
    if (!standard) return nullptr;
    longPaths = *standard;
    longPaths.zName = "xb-long-paths";
    standardLayer = standard;
    longPaths.xFullPathname = LongPathFullPathname;
    longPaths.pNext = nullptr;
    if (sqlite3_vfs_register(&longPaths, 0) != SQLITE_OK) return nullptr;
    return longPaths.zName;
  }();
  return name;
}

}  // namespace

XB_SQLite3DB::XB_SQLite3DB(const char* path) : XB_SQLiteDB(path) {
  OpenOrCreate();
}

XB_SQLite3DB::~XB_SQLite3DB() {
  XB_SQLite3DB::Close();
}

bool XB_SQLite3DB::Open() {
  if (m_engineHandle) return true;
  ClearLastError();
  if (!PathIsUsable()) return false;
  // This engine would delete a generation-2 file's hot journal without
  // playing it back, and closing the file would drop the other engine's
  // locks, so such a file is never handed to it.
  if (IsGeneration2File(m_filePath)) {
    SetLastError("file is an SQLite 2.x database");
    XB_LogF("E_ Failed to open %s. SQLITE: %s", m_filePath, LastError());
    return false;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(EnginePath().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      LongPathVfs()) != SQLITE_OK) {
    SetLastError(db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    return false;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  SetEngineHandle(db);
  return true;
}

bool XB_SQLite3DB::Close() {
  WithEngineHandle([](void* handle) {
    if (handle) sqlite3_close_v2(Handle(handle));
  });
  SetEngineHandle(nullptr);
  return true;
}

bool XB_SQLite3DB::Exec(const char* sql) {
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  char* message = nullptr;
  if (sqlite3_exec(Handle(m_engineHandle), sql, nullptr, nullptr, &message) == SQLITE_OK) {
    sqlite3_free(message);
    return true;
  }
  SetLastError(message ? message : sqlite3_errmsg(Handle(m_engineHandle)));
  sqlite3_free(message);
  XB_LogF("SQLite exec failed: %s", LastError());
  return false;
}

bool XB_SQLite3DB::QueryValueText(XB_String& out, const char* statement) {
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(Handle(m_engineHandle), statement, -1, &stmt, nullptr) != SQLITE_OK ||
      !stmt) {
    sqlite3_finalize(stmt);
    return false;
  }
  bool found = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_count(stmt) >= 1;
  if (found) out.Assign(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  sqlite3_finalize(stmt);
  return found;
}

bool XB_SQLite3DB::GetTableText(XB_SQLiteResult& result, const char* statement) {
  return GetTableWatched(result, statement, nullptr);
}

bool XB_SQLite3DB::GetTableWatched(XB_SQLiteResult& result, const char* statement,
                                   XB_QueryProgress* progress) {
  result.Reset();
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  sqlite3* db = Handle(m_engineHandle);
  if (progress) sqlite3_progress_handler(db, 1000, CancelRequested, progress);
  WithEngineHandle([this](void*) { m_watching = true; });
  auto* table = new XB_SQLiteBlockTable;
  bool haveNames = false;
  int columns = 0;
  int rows = 0;
  int64_t bytes = 0;
  bool failed = false;
  const char* rest = statement;
  while (!failed && rest && *rest) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, rest, -1, &stmt, &rest) != SQLITE_OK) {
      SetLastError(sqlite3_errmsg(db));
      failed = true;
      break;
    }
    if (!stmt) continue;  // only blanks or a comment
    const char* problem = nullptr;
    int stepped;
    while ((stepped = sqlite3_step(stmt)) == SQLITE_ROW) {
      if (!haveNames) {
        columns = sqlite3_column_count(stmt);
        haveNames = true;
        if (!AppendNames(table, stmt, columns)) problem = "out of memory";
      } else if (sqlite3_column_count(stmt) != columns) {
        problem = kIncompatibleQueries;
      }
      if (!problem && rows == INT_MAX) problem = "too many rows";
      if (!problem && !AppendRow(table, stmt, columns, &bytes)) problem = "out of memory";
      if (!problem && progress && progress->cancel) problem = "interrupted";
      if (problem) break;
      ++rows;
      if (progress) {
        ++progress->rows;
        if (BoundReached(*progress, rows, bytes)) break;
      }
    }
    if (progress && !haveNames && !problem && stepped == SQLITE_DONE && IsLastStatement(rest)) {
      // A query without rows still names its columns for the viewer.
      columns = sqlite3_column_count(stmt);
      haveNames = columns > 0;
      if (haveNames && !AppendNames(table, stmt, columns)) problem = "out of memory";
    }
    if (!problem && progress && progress->limited) {
      sqlite3_finalize(stmt);
      break;
    }
    // The engine's message belongs to the handle: keep it before finalizing.
    if (!problem && stepped != SQLITE_DONE) problem = sqlite3_errmsg(db);
    if (problem) {
      SetLastError(problem);
      failed = true;
    }
    sqlite3_finalize(stmt);
  }
  WithEngineHandle([this](void*) { m_watching = false; });
  if (progress) sqlite3_progress_handler(db, 0, nullptr, nullptr);
  if (failed) {
    XB_LogF("SQLITE %s", LastError());
    table->Release();
    return false;
  }
  table->Shrink();
  result.Set(table, columns, rows);
  return true;
}

int32_t XB_SQLite3DB::LastInsertRowId() {
  return static_cast<int32_t>(static_cast<uint32_t>(LastInsertRowId64()));
}

int64_t XB_SQLite3DB::LastInsertRowId64() {
  if (!m_engineHandle) return 0;
  return sqlite3_last_insert_rowid(Handle(m_engineHandle));
}

void XB_SQLite3DB::Interrupt() {
  WithEngineHandle([this](void* handle) {
    if (handle && m_watching) sqlite3_interrupt(Handle(handle));
  });
}

bool XB_SQLite3DB::IsOneReadOnlyStatement(const char* sql, bool* readOnly) {
  *readOnly = false;
  if (!m_engineHandle) {
    XB_Log("SQLite: No Database open!");
    return false;
  }
  sqlite3* db = Handle(m_engineHandle);
  const char* rest = sql ? sql : "";
  sqlite3_stmt* stmt = nullptr;
  while (!stmt && *rest) {
    if (sqlite3_prepare_v2(db, rest, -1, &stmt, &rest) != SQLITE_OK) {
      SetLastError(sqlite3_errmsg(db));
      return false;
    }
  }
  if (!stmt) return true;
  bool candidate = sqlite3_stmt_readonly(stmt) && sqlite3_column_count(stmt) > 0;
  sqlite3_finalize(stmt);
  if (!candidate) return true;
  // Anything after it that the engine would run, even a broken statement,
  // makes the text a script.
  while (*rest) {
    sqlite3_stmt* next = nullptr;
    int rc = sqlite3_prepare_v2(db, rest, -1, &next, &rest);
    bool more = rc != SQLITE_OK || next;
    sqlite3_finalize(next);
    if (more) return true;
  }
  *readOnly = true;
  return true;
}

bool XB_SQLite3DB::InTransaction() {
  return m_engineHandle && !sqlite3_get_autocommit(Handle(m_engineHandle));
}
