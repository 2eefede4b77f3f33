/*
** Values between the SQLite 3 working copy and the generation-2 world.
** The working copy keeps every stored value as text; these functions make
** computed values take the text 2.x would store and make comparisons,
** string functions and pattern matching behave as in the 2.x iso8859 build.
*/
#include "s2sqlvalue.h"

#include "s2value.h"
#include "s2sqltoken.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

namespace s2 {

const char* const kNumericCollation = "XB_NUMERIC";
const char* const kStoreFunction = "xb_store";
const char* const kFailFunction = "xb_fail";
const char* const kNewRowidFunction = "xb_newrowid";

namespace {

std::string decimal(int64_t v) {
  return std::to_string(v);
}

/* Collation of numeric-class columns: 2.x numeric comparison. */
int numericCollate(void*, int n1, const void* p1, int n2, const void* p2) {
  std::string_view a(static_cast<const char*>(p1), size_t(n1));
  std::string_view b(static_cast<const char*>(p2), size_t(n2));
  int c = compareText(a, b, ColumnClass::Numeric);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

/* Collation of text-class sorting: byte order, shorter first on a tie. */
int textCollate(void*, int n1, const void* p1, int n2, const void* p2) {
  int c = std::memcmp(p1, p2, size_t(n1 < n2 ? n1 : n2));
  if (c != 0) return c < 0 ? -1 : 1;
  return n1 < n2 ? -1 : (n1 > n2 ? 1 : 0);
}

/* Returns the bytes of a text or blob value. */
std::string_view valueBytes(sqlite3_value* v) {
  const void* p = sqlite3_value_type(v) == SQLITE_BLOB ? sqlite3_value_blob(v)
                                                       : (const void*)sqlite3_value_text(v);
  int n = sqlite3_value_bytes(v);
  if (!p || n <= 0) return {};
  return std::string_view(static_cast<const char*>(p), size_t(n));
}

/* xb_store(x): the text 2.x stores for x.  Refuses what a 2.x file cannot
** hold: a NUL byte inside a value, a value over the record limit. */
void storeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Cell cell = valueCell(argv[0]);
  if (!cell) {
    sqlite3_result_null(ctx);
    return;
  }
  if (cell->find('\0') != std::string::npos) {
    sqlite3_result_error(ctx, "cannot store a value that contains a NUL byte", -1);
    sqlite3_result_error_code(ctx, SQLITE_MISMATCH);
    return;
  }
  if (cell->size() > kMaxRecordBytes) {
    sqlite3_result_error(ctx, "too much data for one table row", -1);
    sqlite3_result_error_code(ctx, SQLITE_TOOBIG);
    return;
  }
  sqlite3_result_text(ctx, cell->data(), int(cell->size()), SQLITE_TRANSIENT);
}

/* xb_fail(code, message): fails the statement. */
void failFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string message(valueBytes(argv[1]));
  sqlite3_result_error(ctx, message.c_str(), -1);
  sqlite3_result_error_code(ctx, sqlite3_value_int(argv[0]));
}

/* Returns true when ROWID is taken in TABLE (rowid expression ROWIDNAME). */
bool rowidTaken(sqlite3* db, const std::string& sql, int64_t rowid, bool& failed) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    failed = true;
    return true;
  }
  sqlite3_bind_int64(stmt, 1, rowid);
  int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) failed = true;
  return rc == SQLITE_ROW;
}

}  // namespace

int64_t randomRowidCandidate(FunctionHooks& hooks, int attempt) {
  if (attempt >= 5) return int32_t(hooks.random());
  int64_t candidate = hooks.lastRandomRowid + 1 + int64_t(hooks.random() % 256);
  if (candidate > INT32_MAX || candidate < 1) candidate = 1 + int64_t(hooks.random() % 16777215);
  return candidate;
}

namespace {

/* xb_newrowid(table, rowidname, oldrowid): a free rowid chosen as 2.x
** does once the largest rowid is 2147483647: a few steps up from the last
** random choice, then random values, at most 1000 attempts. */
void newRowidFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* hooks = static_cast<FunctionHooks*>(sqlite3_user_data(ctx));
  std::string table(valueBytes(argv[0]));
  std::string rowidName(valueBytes(argv[1]));
  std::string sql = "SELECT 1 FROM main." + quoteIdentifier(table) + " WHERE " + rowidName + "=?";
  sqlite3* db = sqlite3_context_db_handle(ctx);
  for (int attempt = 0; attempt < kRowidProbes; ++attempt) {
    int64_t candidate = randomRowidCandidate(*hooks, attempt);
    if (candidate == 0) continue;
    bool failed = false;
    bool taken = rowidTaken(db, sql, candidate, failed);
    if (failed) break;
    if (taken) continue;
    hooks->lastRandomRowid = candidate;
    if (hooks->rowidMoved) hooks->rowidMoved(sqlite3_value_int64(argv[2]), candidate);
    sqlite3_result_int64(ctx, candidate);
    return;
  }
  sqlite3_result_error(ctx, "database is full", -1);
  sqlite3_result_error_code(ctx, SQLITE_FULL);
}

/* length(x): the number of bytes of x's text (the iso8859 build counts
** bytes, not characters). */
void lengthFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Cell cell = valueCell(argv[0]);
  if (!cell) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_int64(ctx, int64_t(cell->size()));
}

/* substr(x, start [, count]): bytes of x's text, positions from 1, a
** negative start counted from the end. */
void substrFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Cell cell = valueCell(argv[0]);
  if (!cell || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
      (argc == 3 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t len = int64_t(cell->size());
  int64_t start = sqlite3_value_int64(argv[1]);
  int64_t count = argc == 3 ? sqlite3_value_int64(argv[2]) : len + 1;
  if (start < 0) {
    start += len;
    if (start < 0) {
      count += start;
      start = 0;
    }
  } else if (start > 0) {
    --start;
  }
  if (count < 0) count = 0;
  if (start > len) start = len;
  if (start + count > len) count = len - start;
  sqlite3_result_text(ctx, cell->data() + start, int(count), SQLITE_TRANSIENT);
}

/* round(x [, digits]): x rounded as the C library prints it with
** "%.*f", so that halfway cases go the way 2.x's do. */
void roundFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL ||
      (argc == 2 && sqlite3_value_type(argv[1]) == SQLITE_NULL)) {
    sqlite3_result_null(ctx);
    return;
  }
  int digits = argc == 2 ? sqlite3_value_int(argv[1]) : 0;
  if (digits < 0) digits = 0;
  if (digits > 30) digits = 30;
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", digits, sqlite3_value_double(argv[0]));
  sqlite3_result_double(ctx, std::strtod(buf, nullptr));
}

/* sqlite_version(): the version of the 2.x library we stand in for. */
void versionFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_text(ctx, "2.8.17", -1, SQLITE_STATIC);
}

unsigned char foldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

/* Returns true when TEXT matches the LIKE pattern PATTERN: % any run, _
** any one byte, ASCII letters without regard to case. */
bool likeMatch(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && (pattern[p] == '_' || foldAscii((unsigned char)pattern[p]) ==
                                                               foldAscii((unsigned char)text[t]))) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

/* Returns true when byte C is in the GLOB class that starts after the "["
** at *P; moves *P past the closing "]".  Sets *BAD for an unclosed class. */
bool globClass(std::string_view pattern, size_t& p, unsigned char c, bool& bad) {
  bool negate = false, found = false;
  if (p < pattern.size() && pattern[p] == '^') {
    negate = true;
    ++p;
  }
  bool first = true;
  while (p < pattern.size() && (first || pattern[p] != ']')) {
    unsigned char lo = (unsigned char)pattern[p];
    if (p + 2 < pattern.size() && pattern[p + 1] == '-' && pattern[p + 2] != ']') {
      unsigned char hi = (unsigned char)pattern[p + 2];
      if (c >= lo && c <= hi) found = true;
      p += 3;
    } else {
      if (c == lo) found = true;
      ++p;
    }
    first = false;
  }
  if (p >= pattern.size()) {
    bad = true;
    return false;
  }
  ++p;
  return found != negate;
}

/* Returns true when TEXT matches the GLOB pattern PATTERN (* ? [...]). */
bool globMatch(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0;
  while (p < pattern.size()) {
    char c = pattern[p];
    if (c == '*') {
      while (p < pattern.size() && pattern[p] == '*') ++p;
      if (p == pattern.size()) return true;
      for (size_t k = t; k <= text.size(); ++k) {
        if (globMatch(pattern.substr(p), text.substr(k))) return true;
      }
      return false;
    }
    if (t >= text.size()) return false;
    if (c == '?') {
      ++p;
      ++t;
    } else if (c == '[') {
      ++p;
      bool bad = false;
      if (!globClass(pattern, p, (unsigned char)text[t], bad) || bad) return false;
      ++t;
    } else {
      if (c != text[t]) return false;
      ++p;
      ++t;
    }
  }
  return t == text.size();
}

/* like(pattern, text) and glob(pattern, text) on bytes. */
void patternFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Cell pattern = valueCell(argv[0]);
  Cell text = valueCell(argv[1]);
  if (!pattern || !text) {
    sqlite3_result_null(ctx);
    return;
  }
  bool glob = sqlite3_user_data(ctx) != nullptr;
  sqlite3_result_int(ctx, glob ? globMatch(*pattern, *text) : likeMatch(*pattern, *text));
}

}  // namespace

std::string formatReal(double value) {
  if (std::isnan(value)) return "0";
  if (std::isinf(value)) return "NaN";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}

Cell valueCell(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return decimal(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
      return formatReal(sqlite3_value_double(value));
    default:
      return std::string(valueBytes(value));
  }
}

Cell columnCell(sqlite3_stmt* stmt, int col) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return decimal(sqlite3_column_int64(stmt, col));
    case SQLITE_FLOAT:
      return formatReal(sqlite3_column_double(stmt, col));
    case SQLITE_BLOB: {
      const void* p = sqlite3_column_blob(stmt, col);
      int n = sqlite3_column_bytes(stmt, col);
      return p ? std::string(static_cast<const char*>(p), size_t(n)) : std::string();
    }
    default: {
      const unsigned char* p = sqlite3_column_text(stmt, col);
      int n = sqlite3_column_bytes(stmt, col);
      return p ? std::string(reinterpret_cast<const char*>(p), size_t(n)) : std::string();
    }
  }
}

void assignColumnCell(sqlite3_stmt* stmt, int col, Cell& cell) {
  int type = sqlite3_column_type(stmt, col);
  if (type == SQLITE_NULL) {
    cell.reset();
    return;
  }
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    cell = columnCell(stmt, col);
    return;
  }
  const void* p = type == SQLITE_BLOB ? sqlite3_column_blob(stmt, col)
                                      : (const void*)sqlite3_column_text(stmt, col);
  int n = sqlite3_column_bytes(stmt, col);
  if (!cell) cell.emplace();
  cell->assign(p ? static_cast<const char*>(p) : "", p ? size_t(n) : 0);
}

/* SQLite 3 calls the functions below from C: no C++ exception may pass
** through it, so an allocation failure becomes the statement's NOMEM error. */
template <void (*Function)(sqlite3_context*, int, sqlite3_value**)>
void guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  try {
    Function(ctx, argc, argv);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (...) {
    sqlite3_result_error(ctx, "internal error", -1);
  }
}

int registerFunctions(sqlite3* db, FunctionHooks* hooks) {
  const int flags = SQLITE_UTF8;
  const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  int rc = sqlite3_create_collation(db, kNumericCollation, SQLITE_UTF8, nullptr, numericCollate);
  /* 2.x sorts "ORDER BY x COLLATE NUMERIC" and "COLLATE TEXT" by class. */
  if (rc == SQLITE_OK)
    rc = sqlite3_create_collation(db, "NUMERIC", SQLITE_UTF8, nullptr, numericCollate);
  if (rc == SQLITE_OK) rc = sqlite3_create_collation(db, "TEXT", SQLITE_UTF8, nullptr, textCollate);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, kStoreFunction, 1, pure, nullptr, guarded<storeFunction>,
                                 nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, kFailFunction, 2, flags, nullptr, guarded<failFunction>,
                                 nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, kNewRowidFunction, 3, flags, hooks, guarded<newRowidFunction>,
                                 nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "length", 1, pure, nullptr, guarded<lengthFunction>, nullptr,
                                 nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "substr", 2, pure, nullptr, guarded<substrFunction>, nullptr,
                                 nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "substr", 3, pure, nullptr, guarded<substrFunction>, nullptr,
                                 nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "round", 1, pure, nullptr, guarded<roundFunction>, nullptr,
                                 nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "round", 2, pure, nullptr, guarded<roundFunction>, nullptr,
                                 nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "sqlite_version", 0, pure, nullptr, guarded<versionFunction>,
                                 nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "like", 2, pure, nullptr, guarded<patternFunction>, nullptr,
                                 nullptr);
  static int globTag = 1;
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "glob", 2, pure, &globTag, guarded<patternFunction>, nullptr,
                                 nullptr);
  return rc;
}

}  // namespace s2
