/*
** Values between the SQLite 3 working copy and the generation-2 world: the
** 2.x text form of computed numbers, the conversion of a SQLite 3 value
** into a stored 2.x value, and the collation and SQL functions the working
** copy needs so that SQL behaves as it does on a 2.x engine (numeric
** comparison in numeric columns, byte-wise string functions of the
** iso8859 build, the text form of values written into tables).
*/
#ifndef S2SQLVALUE_H
#define S2SQLVALUE_H

#include "s2image.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace s2 {

/* Name of the collation of numeric-class columns in the working copy. */
extern const char* const kNumericCollation;

/* Name of the SQL function that turns any value into its stored 2.x text. */
extern const char* const kStoreFunction;

/* Name of the SQL function that fails a statement with a 2.x code and text:
** xb_fail(code, message). */
extern const char* const kFailFunction;

/* Name of the SQL function that picks a free rowid for a table by random
** probing: xb_newrowid(table). */
extern const char* const kNewRowidFunction;

/* Largest record 2.x stores (and largest single value we accept). */
constexpr size_t kMaxRecordBytes = 1048576;

/* Returns the text 2.x prints for a computed real: at most 15 significant
** digits, no trailing ".0"; an infinite value prints as "NaN", a NaN as
** "0". */
std::string formatReal(double value);

/* Returns the 2.x text of column COL of the current row of STMT: integers
** in decimal, reals as formatReal, text and blobs as their bytes. */
Cell columnCell(sqlite3_stmt* stmt, int col);

/* Stores the 2.x text of column COL of STMT's current row in CELL, reusing
** CELL's buffer. */
void assignColumnCell(sqlite3_stmt* stmt, int col, Cell& cell);

/* Returns the 2.x text of VALUE, as columnCell does. */
Cell valueCell(sqlite3_value* value);

/* Per-connection state of the SQL functions: the rowid probe's random
** source and last choice, and the hook told which rowid a probe chose for
** a row that SQLite 3 numbered past the 32-bit range. */
struct FunctionHooks {
  std::function<void(int64_t oldRowid, int64_t newRowid)> rowidMoved;
  std::mt19937 random{std::random_device{}()};
  int64_t lastRandomRowid = 0;
};

/* Most rowids a search for a free one tries before it gives up with
** "database is full". */
constexpr int kRowidProbes = 1000;

/* Returns the rowid the ATTEMPT-th probe for a free one tries (2.x's
** schedule: near the last choice first, then anywhere); 0 is no rowid.
** The caller records a rowid it takes in HOOKS.lastRandomRowid. */
int64_t randomRowidCandidate(FunctionHooks& hooks, int attempt);

/* Registers the numeric collation and the SQL functions of the working
** copy on DB.  HOOKS must outlive DB.  Returns a SQLite 3 result code. */
int registerFunctions(sqlite3* db, FunctionHooks* hooks);

}  // namespace s2

#endif
