/*
** The C interface of the generation-2 engine (sqlite.h): the 2.x
** functions over the working copy of s2sqldb.h, with the 2.x result codes,
** message texts and memory rules.  Messages and result tables are made
** with malloc() so that callers release them with sqlite_freemem() and
** sqlite_free_table() exactly as with a 2.x library.
*/
#include "sqlite.h"

#include "s2sqldb.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

/* A connection: the working copy and the statements still alive on it. */
struct sqlite {
  std::unique_ptr<s2::Database> database;
  int liveMachines = 0;
  bool closePending = false;
};

/* A compiled statement and the arrays sqlite_step hands out. */
struct sqlite_vm {
  sqlite* owner = nullptr;
  std::unique_ptr<s2::Program> program;
  bool finished = false;    /* SQLITE_DONE or an error was returned */
  bool outOfMemory = false; /* a step ran out of memory */
  std::vector<const char*> values;
  std::vector<const char*> names;
};

namespace {

/* Returns a malloc()ed copy of TEXT, or NULL when memory is short. */
char* copyText(const std::string& text) {
  char* p = static_cast<char*>(std::malloc(text.size() + 1));
  if (p) std::memcpy(p, text.c_str(), text.size() + 1);
  return p;
}

/* Stores MESSAGE in *ERRMSG (when given) and returns CODE. */
int report(char** errmsg, int code, const std::string& message) {
  if (errmsg) *errmsg = code == SQLITE_OK || message.empty() ? nullptr : copyText(message);
  return code;
}

/* The same for a fixed text; allocates nothing but the copy. */
int report(char** errmsg, int code, const char* message) {
  if (errmsg) {
    size_t n = std::strlen(message) + 1;
    *errmsg = static_cast<char*>(std::malloc(n));
    if (*errmsg) std::memcpy(*errmsg, message, n);
  }
  return code;
}

/* Runs BODY, the work of one interface function, so that no C++
** exception reaches the C caller: running out of memory gives
** SQLITE_NOMEM, anything else SQLITE_ERROR, each with its message. */
template <typename Body>
int guarded(char** errmsg, Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return report(errmsg, SQLITE_NOMEM, "out of memory");
  } catch (const std::exception& e) {
    return report(errmsg, SQLITE_ERROR, e.what());
  } catch (...) {
    return report(errmsg, SQLITE_ERROR, "internal error");
  }
}

/* Returns a view of TEXT that holds at least its first statement, without
** measuring the whole text: a long script is compiled one statement at a
** time, and measuring all of it each time would cost its length squared. */
std::string_view firstStatementText(const char* text) {
  size_t window = strnlen(text, 4096);
  for (;;) {
    std::string_view view(text, window);
    if (text[window] == '\0' || s2::firstStatementLength(view) < window) return view;
    window += strnlen(text + window, window);
  }
}

/* Releases a connection whose close was put off and whose last statement
** is gone. */
void closeIfDone(sqlite* db) {
  if (db->closePending && db->liveMachines == 0) delete db;
}

/* Points VM's names array at the program's column names and types. */
void fillNames(sqlite_vm* vm) {
  const s2::Program& p = *vm->program;
  vm->names.clear();
  for (const std::string& n : p.names) vm->names.push_back(n.c_str());
  for (const s2::Cell& t : p.types) vm->names.push_back(t ? t->c_str() : nullptr);
  vm->names.push_back(nullptr);
}

/* Points VM's values array at the current row. */
void fillValues(sqlite_vm* vm) {
  const s2::Program& p = *vm->program;
  vm->values.clear();
  for (const s2::Cell& c : p.current) vm->values.push_back(c ? c->c_str() : nullptr);
  vm->values.push_back(nullptr);
}

/* Result collector of sqlite_get_table: the flat array being built. */
struct TableCollector {
  std::vector<char*> cells;
  int columns = 0;
  int rows = 0;
  bool namesStored = false;
  bool failed = false;
  const char* error = nullptr;
  int code = SQLITE_ERROR;
};

/* Frees every string of CELLS. */
void freeCells(std::vector<char*>& cells) {
  for (char* c : cells) std::free(c);
  cells.clear();
}

/* Appends one row of a sqlite_get_table result (and the names row before
** the first).  Returns non-zero to stop the query. */
int collectCells(TableCollector* t, int ncol, char** values, char** names) {
  if (!t->namesStored) {
    t->columns = ncol;
    for (int i = 0; i < ncol; ++i) {
      t->cells.push_back(nullptr);
      if (names[i]) t->cells.back() = copyText(names[i]);
    }
    t->namesStored = true;
  } else if (ncol != t->columns) {
    t->failed = true;
    t->error = "sqlite_get_table() called with two or more incompatible queries";
    return 1;
  }
  if (!values) return 0;
  for (int i = 0; i < ncol; ++i) {
    t->cells.push_back(nullptr);
    if (values[i]) t->cells.back() = copyText(values[i]);
  }
  ++t->rows;
  return 0;
}

/* Returns true when the pragma STATEMENT only reads: no value is given,
** or it is one of the pragmas that take a name to describe. */
bool pragmaOnlyReads(const s2::Statement& statement) {
  static const char* const kDescribing[] = {"table_info", "index_list", "index_info",
                                            "foreign_key_list", "integrity_check"};
  bool argument = false;
  for (const s2::Token& t : statement.tokens) {
    if (t.text == "=") return false;
    if (t.text == "(") argument = true;
  }
  if (!argument) return true;
  if (statement.tokens.size() < 2) return false;
  std::string name = s2::lowerAscii(s2::unquoteName(statement.tokens[1]));
  for (const char* describing : kDescribing) {
    if (name == describing) return true;
  }
  return false;
}

/* sqlite_exec callback of sqlite_get_table: appends one row (and the
** names row before the first). */
int collectRow(void* arg, int ncol, char** values, char** names) {
  auto* t = static_cast<TableCollector*>(arg);
  try {
    return collectCells(t, ncol, values, names);
  } catch (const std::bad_alloc&) {
    t->failed = true;
    t->error = "out of memory";
    t->code = SQLITE_NOMEM;
    return 1;
  }
}

/* The work of sqlite_step. */
int stepMachine(sqlite_vm* vm, int* pN, const char*** pazValue, const char*** pazColName) {
  s2::StepResult r = vm->owner->database->step(*vm->program);
  if (r == s2::StepResult::Busy) return SQLITE_BUSY;
  if (r == s2::StepResult::Error) {
    vm->finished = true;
    return SQLITE_ERROR;
  }
  fillNames(vm);
  if (pN) *pN = int(vm->program->names.size());
  if (pazColName) *pazColName = vm->names.data();
  if (r == s2::StepResult::Done) {
    vm->finished = true;
    return SQLITE_DONE;
  }
  fillValues(vm);
  if (pazValue) *pazValue = vm->values.data();
  return SQLITE_ROW;
}

}  // namespace

extern "C" {

sqlite* sqlite_open(const char* filename, int mode, char** errmsg) {
  (void)mode;
  if (errmsg) *errmsg = nullptr;
  std::unique_ptr<sqlite> db(new (std::nothrow) sqlite);
  if (!db) {
    report(errmsg, SQLITE_NOMEM, "out of memory");
    return nullptr;
  }
  int rc = guarded(errmsg, [&] {
    db->database = std::make_unique<s2::Database>();
    s2::Status st = db->database->open(filename ? filename : "");
    return report(errmsg, st.code, st.message);
  });
  if (rc != SQLITE_OK) {
    /* Closing a half-opened connection must not throw either. */
    try {
      db.reset();
    } catch (...) {
    }
    return nullptr;
  }
  return db.release();
}

void sqlite_close(sqlite* db) {
  if (!db) return;
  if (db->liveMachines > 0) {
    db->closePending = true;
    return;
  }
  try {
    delete db;
  } catch (...) {
  }
}

int sqlite_compile(sqlite* db, const char* zSql, const char** pzTail, sqlite_vm** ppVm,
                   char** pzErrmsg) {
  if (ppVm) *ppVm = nullptr;
  if (pzErrmsg) *pzErrmsg = nullptr;
  if (pzTail) *pzTail = zSql;
  if (!db || db->closePending || !ppVm)
    return report(pzErrmsg, SQLITE_MISUSE, "library routine called out of sequence");
  if (!zSql) return SQLITE_OK;
  std::unique_ptr<s2::Program> program;
  int rc = guarded(pzErrmsg, [&] {
    size_t consumed = 0;
    s2::Status st = db->database->compile(firstStatementText(zSql), &consumed, program);
    if (pzTail) *pzTail = zSql + consumed;
    return report(pzErrmsg, st.code, st.message);
  });
  if (rc != SQLITE_OK || !program) return rc;
  auto* vm = new (std::nothrow) sqlite_vm;
  if (!vm) return report(pzErrmsg, SQLITE_NOMEM, "out of memory");
  vm->owner = db;
  vm->program = std::move(program);
  ++db->liveMachines;
  *ppVm = vm;
  return SQLITE_OK;
}

int sqlite_step(sqlite_vm* vm, int* pN, const char*** pazValue, const char*** pazColName) {
  if (pN) *pN = 0;
  if (pazValue) *pazValue = nullptr;
  if (pazColName) *pazColName = nullptr;
  if (!vm || vm->finished || vm->owner->closePending) return SQLITE_MISUSE;
  /* Out of memory, the step ends as an error and sqlite_finalize tells
  ** which. */
  int rc = guarded(nullptr, [&] { return stepMachine(vm, pN, pazValue, pazColName); });
  if (rc == SQLITE_NOMEM || rc == SQLITE_ERROR) {
    vm->outOfMemory = vm->outOfMemory || rc == SQLITE_NOMEM;
    vm->finished = true;
    return SQLITE_ERROR;
  }
  return rc;
}

int sqlite_finalize(sqlite_vm* vm, char** pzErrMsg) {
  if (pzErrMsg) *pzErrMsg = nullptr;
  if (!vm) return SQLITE_OK;
  sqlite* db = vm->owner;
  int code = guarded(pzErrMsg, [&] {
    s2::Status st = db->database->finalize(*vm->program);
    if (db->closePending)
      return report(pzErrMsg, SQLITE_MISUSE, "library routine called out of sequence");
    if (vm->outOfMemory) return report(pzErrMsg, SQLITE_NOMEM, "out of memory");
    return report(pzErrMsg, st.code, st.message);
  });
  vm->program.reset();
  delete vm;
  --db->liveMachines;
  closeIfDone(db);
  return code;
}

/* Runs every statement of SQL as sqlite_exec() does, without dropping a
** pending interrupt at the end. */
static int execStatements(sqlite* db, const char* sql, sqlite_callback xCallback, void* pArg,
                          char** errmsg) {
  if (errmsg) *errmsg = nullptr;
  if (!db || db->closePending)
    return report(errmsg, SQLITE_MISUSE, "library routine called out of sequence");
  const char* rest = sql ? sql : "";
  while (*rest) {
    sqlite_vm* vm = nullptr;
    const char* tail = rest;
    int rc = sqlite_compile(db, rest, &tail, &vm, errmsg);
    if (rc != SQLITE_OK) return rc;
    rest = tail;
    if (!vm) continue;
    int ncol = 0;
    const char** values = nullptr;
    const char** names = nullptr;
    bool sawRow = false;
    for (;;) {
      rc = sqlite_step(vm, &ncol, &values, &names);
      if (rc == SQLITE_BUSY) {
        sqlite_finalize(vm, nullptr);
        return report(errmsg, SQLITE_BUSY, "database is locked");
      }
      if (rc != SQLITE_ROW) break;
      sawRow = true;
      if (xCallback &&
          xCallback(pArg, ncol, const_cast<char**>(values), const_cast<char**>(names))) {
        sqlite_finalize(vm, nullptr);
        return SQLITE_ABORT;
      }
    }
    if (rc == SQLITE_DONE && !sawRow && xCallback && db->database->emptyResultCallbacks() &&
        ncol > 0) {
      if (xCallback(pArg, ncol, nullptr, const_cast<char**>(names))) {
        sqlite_finalize(vm, nullptr);
        return SQLITE_ABORT;
      }
    }
    rc = sqlite_finalize(vm, errmsg);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

int sqlite_exec(sqlite* db, const char* sql, sqlite_callback xCallback, void* pArg, char** errmsg) {
  int rc = execStatements(db, sql, xCallback, pArg, errmsg);
  /* An interrupt that came too late to stop this call must not stop the
  ** next one. */
  if (db && !db->closePending) db->database->clearInterrupt();
  return rc;
}

int sqlite_get_table(sqlite* db, const char* sql, char*** pazResult, int* pnRow, int* pnColumn,
                     char** pzErrmsg) {
  if (pazResult) *pazResult = nullptr;
  if (pnRow) *pnRow = 0;
  if (pnColumn) *pnColumn = 0;
  if (pzErrmsg) *pzErrmsg = nullptr;
  if (!pazResult) return report(pzErrmsg, SQLITE_MISUSE, "library routine called out of sequence");
  TableCollector collector;
  int rc = sqlite_exec(db, sql, collectRow, &collector, pzErrmsg);
  if (collector.failed) {
    if (pzErrmsg) {
      std::free(*pzErrmsg);
      *pzErrmsg = nullptr;
    }
    rc = report(pzErrmsg, collector.code, collector.error);
  }
  if (rc != SQLITE_OK) {
    freeCells(collector.cells);
    return rc;
  }
  /* The array's hidden first element holds its length, so that
  ** sqlite_free_table() needs nothing else. */
  size_t count = collector.cells.size();
  auto** array = static_cast<char**>(std::malloc((count + 1) * sizeof(char*)));
  if (!array) {
    freeCells(collector.cells);
    return report(pzErrmsg, SQLITE_NOMEM, "out of memory");
  }
  array[0] = reinterpret_cast<char*>(static_cast<uintptr_t>(count + 1));
  for (size_t i = 0; i < count; ++i) array[i + 1] = collector.cells[i];
  *pazResult = array + 1;
  if (pnRow) *pnRow = collector.rows;
  if (pnColumn) *pnColumn = collector.namesStored ? collector.columns : 0;
  return SQLITE_OK;
}

void sqlite_free_table(char** result) {
  if (!result) return;
  char** array = result - 1;
  size_t count = static_cast<size_t>(reinterpret_cast<uintptr_t>(array[0]));
  for (size_t i = 1; i < count; ++i) std::free(array[i]);
  std::free(array);
}

int sqlite_last_insert_rowid(sqlite* db) {
  return db ? db->database->lastInsertRowid() : 0;
}

int sqlite_changes(sqlite* db) {
  return db ? db->database->changes() : 0;
}

void sqlite_busy_timeout(sqlite* db, int ms) {
  if (db) db->database->setBusyTimeout(ms > 0 ? ms : 0);
}

void sqlite_interrupt(sqlite* db) {
  if (db) db->database->interrupt();
}

int sqlite_get_autocommit(sqlite* db) {
  return db && db->database->inTransaction() ? 0 : 1;
}

int sqlite_vm_readonly(sqlite_vm* vm) {
  if (!vm || !vm->program) return 1;
  const s2::Program& p = *vm->program;
  switch (p.statement.kind) {
    case s2::StatementKind::Query:
      return p.writes ? 0 : 1;
    case s2::StatementKind::Pragma:
      return pragmaOnlyReads(p.statement) ? 1 : 0;
    default:
      return 0;
  }
}

void sqlite_freemem(void* p) {
  std::free(p);
}

const char* sqlite_error_string(int code) {
  switch (code) {
    case SQLITE_OK:
      return "not an error";
    case SQLITE_ERROR:
      return "SQL logic error or missing database";
    case SQLITE_INTERNAL:
      return "internal SQLite implementation flaw";
    case SQLITE_PERM:
      return "access permission denied";
    case SQLITE_ABORT:
      return "callback requested query abort";
    case SQLITE_BUSY:
      return "database is locked";
    case SQLITE_LOCKED:
      return "database table is locked";
    case SQLITE_NOMEM:
      return "out of memory";
    case SQLITE_READONLY:
      return "attempt to write a readonly database";
    case SQLITE_INTERRUPT:
      return "interrupted";
    case SQLITE_IOERR:
      return "disk I/O error";
    case SQLITE_CORRUPT:
      return "database disk image is malformed";
    case SQLITE_NOTFOUND:
      return "table or record not found";
    case SQLITE_FULL:
      return "database is full";
    case SQLITE_CANTOPEN:
      return "unable to open database file";
    case SQLITE_PROTOCOL:
      return "database locking protocol failure";
    case SQLITE_EMPTY:
      return "table contains no data";
    case SQLITE_SCHEMA:
      return "database schema has changed";
    case SQLITE_TOOBIG:
      return "too much data for one table row";
    case SQLITE_CONSTRAINT:
      return "constraint failed";
    case SQLITE_MISMATCH:
      return "datatype mismatch";
    case SQLITE_MISUSE:
      return "library routine called out of sequence";
    case SQLITE_NOLFS:
      return "kernel lacks large file support";
    case SQLITE_AUTH:
      return "authorization denied";
    case SQLITE_FORMAT:
      return "auxiliary database format error";
    case SQLITE_RANGE:
      return "bind index out of range";
    case SQLITE_NOTADB:
      return "file is encrypted or is not a database";
    default:
      return "unknown error";
  }
}

const char* sqlite_libversion(void) {
  return SQLITE_VERSION;
}

const char* sqlite_libencoding(void) {
  return "iso8859";
}

}  // extern "C"
