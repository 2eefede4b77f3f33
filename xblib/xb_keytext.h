/*
** Text rules shared by the table definitions and the parameter model: the
** key normalization that turns a column, table or parameter name into a
** key, the table-name form of it that drops bracketed parts first, and the
** loose "contains, ignoring case" test used to recognise type words in a
** column definition, and the blanks that statements and values trim.  All of them work on 8-bit Latin-1 text.
*/
#ifndef XB_KEYTEXT_H
#define XB_KEYTEXT_H

#include <string_view>

#include "xb_string.h"

/* Returns the key made from NAME: the accented letters a, e and c folded,
** leading characters before the first ASCII letter, "-" or "_" dropped, and
** every run of other characters (anything but letters, digits, "-", "_" and
** ".") made one "_" between words and dropped at both ends. */
XB_String XB_NormalizeKey(std::string_view name);

/* Returns the key of a table named NAME: bracketed parts (square brackets
** first, then parentheses) are replaced by a space before normalization; an
** opening bracket without a closing one cuts the name off one character
** before it. */
XB_String XB_TableKey(std::string_view name);

/* Returns true when TEXT contains WHAT ignoring ASCII letter case, or, failing
** that, after folding accented a, e and c and treating "*", "?", "-" and "_"
** as spaces in both (so "primary_key" contains "PRIMARY KEY"). */
bool XB_ContainsLoosely(std::string_view text, std::string_view what);

/* Returns true for a blank: a space or a byte 0 to 13 (never a byte of
** 0x80 and above, whatever the sign of char). */
inline bool XB_IsBlank(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u == ' ' || u <= 13;
}

/* Returns TEXT without the blanks at both ends. */
std::string_view XB_TrimBlanks(std::string_view text);

/* Returns true when A and B are equal ignoring ASCII letter case. */
bool XB_KeyEqual(std::string_view a, std::string_view b);

/* Compares A and B ignoring ASCII letter case; negative, zero or positive. */
int XB_KeyCompare(std::string_view a, std::string_view b);

#endif /* XB_KEYTEXT_H */
