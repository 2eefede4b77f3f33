/*
** The value rules of the generation-2 engine: the "looks like a number"
** test, text to number conversion, the sortable text of a number, the 2.x
** comparison of two values and the index key encoding.  The file layer
** rebuilds index keys with them; the SQL layer compares with them.
*/
#ifndef S2VALUE_H
#define S2VALUE_H

#include "s2image.h"
#include "s2schema.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace s2 {

/* Returns true when TEXT "looks like a number" to 2.x: optional sign,
** digits, optional "." and digits, optional exponent.  Nothing else. */
bool looksLikeNumber(std::string_view text);

/* Returns the number 2.x reads from the numeric prefix of TEXT (its own
** conversion with long double intermediates).  Stops at the first byte
** that cannot continue a number; *consumed (if given) receives how many
** bytes were used. */
double textToNumber(std::string_view text, size_t* consumed = nullptr);

/* Returns the sortable text of a number: at most 13 characters whose byte
** order equals numeric order. */
std::string numberToSortableText(double value);

/* Compares two values as 2.x does in a column of class CLS: NULL first;
** Text: byte order; Numeric: number-looking values by value before all other
** texts, which compare in byte order.  Returns <0, 0 or >0. */
int compareValues(const Cell& a, const Cell& b, ColumnClass cls);

/* Same as compareValues for two non-NULL byte strings. */
int compareText(std::string_view a, std::string_view b, ColumnClass cls);

/* Returns the 4-byte key of a rowid: rowid XOR 0x80000000, big-endian. */
std::string rowidKey(int32_t rowid);

/* Appends the index key field of VALUE in a column of class CLS: "a" for
** NULL, "b" + sortable text for a number-looking value in a numeric column,
** otherwise "c" + the bytes; each followed by one 0x00. */
void appendIndexField(std::string& key, const Cell& value, ColumnClass cls);

/* Returns the whole index key of ROW for INDEX over TABLE: one field per
** indexed column (the rowid alias contributes the rowid as a number) and
** the row's rowid key. */
std::string indexKey(const IndexDef& index, const TableDef& table, const Row& row);

}  // namespace s2

#endif
