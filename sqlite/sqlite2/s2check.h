/*
** An independent structural checker for generation-2 database files.
**
** CheckFile() reads a 2.x file and verifies everything a valid file must
** satisfy: page 1 and its meta values, the layout of every b-tree page
** (cells, free blocks, byte coverage), key order, child pointers and equal
** leaf depth, overflow chain lengths, the freelist and its count, that every
** page is used exactly once, the shape and order of sqlite_master (tables
** before their indices and triggers, automatic index names as the CREATE
** TABLE text generates them), records (one field per column, no 0x00 inside
** a value, NULL in the INTEGER PRIMARY KEY slot, 32-bit rowids) and that
** every index holds exactly the entries its table's rows produce in the 2.x
** key encoding.  It shares no code with the file layer on purpose: a fault
** in the writer cannot hide itself by being repeated here.
**
** The key encoding helpers are exposed so that they can be tested on their
** own.  Everything lives in namespace s2check, apart from the engine's s2.
*/
#ifndef S2CHECK_H
#define S2CHECK_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace s2check {

/* Checks the database file at PATH.  Returns the problems found, one text
** each; an empty list means the file is valid.  A file that cannot be read
** gives one problem saying so. */
std::vector<std::string> CheckFile(const std::string& path);

/* Checks a database held in memory (the whole file content).  Returns the
** problems found as CheckFile() does. */
std::vector<std::string> CheckBytes(const std::string& bytes);

/* Returns true when TEXT has the form of a number to the 2.x engine: an
** optional sign, digits, optionally "." and digits, optionally an exponent. */
bool LooksLikeNumber(std::string_view text);

/* Returns the double the 2.x engine derives from a number text (extended
** precision intermediates, as a GCC x86 build of the engine computes). */
double TextToNumber(std::string_view text);

/* Returns the sortable text of R: a base-64 text whose byte order equals
** the numeric order of the values. */
std::string SortableNumber(double r);

/* Returns one index key field for VALUE: "a" for NULL, "b" and the sortable
** number when NUMERIC_CLASS is set and the value looks like a number, "c"
** and the bytes otherwise; each followed by one 0x00 byte. */
std::string IndexKeyField(const std::optional<std::string>& value, bool numericClass);

/* Returns true when a declared type (or collation name) makes a column
** compare as text: it contains blob, clob, char or text once white space
** is removed. */
bool IsTextClass(std::string_view declaredType);

}  // namespace s2check

#endif
