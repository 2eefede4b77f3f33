/*
** The shared table of value texts: what the one value grammar
** (XB_Value::FromText) makes of each text, as kind and display text.  The
** parameter tests read every text directly; the settings tests read the
** same texts into a settings node, so the settings file can never again
** grow a grammar of its own that reads a text differently.
*/
#ifndef XB_VALUETEXTCASES_H
#define XB_VALUETEXTCASES_H

#include <cstdint>

#include "xb_value.h"

struct XB_ValueTextCase {
  const char* text;
  uint16_t kind;
  const char* display; /* AsText() of the value read */
};

inline constexpr XB_ValueTextCase kValueTextCases[] = {
    {"  42", VK_INT, "42"},
    {"\t\n+15", VK_INT, "15"},
    {"-7", VK_INT, "-7"},
    {"0x1F", VK_INT, "31"},
    {"12abc", VK_INT, "12"},
    {"1e300", VK_INT, "1"}, /* no dot: the integer rule */
    {"'abc'", VK_INT, "0"},
    {"", VK_INT, "0"},
    {"#1F", VK_HASH, "#1F"},
    {"#ff00ff", VK_HASH, "#FF00FF"},
    {"true", VK_BOOL, "true"},
    {"false", VK_BOOL, "false"},
    {"True", VK_TEXT, "True"}, /* the words are case-sensitive */
    {"1..9", VK_RANGE, "1..9"},
    {"-5..-2", VK_RANGE, "-5..-2"},
    {"3.5", VK_REAL, "3.500"},
    {"-1.25e2", VK_REAL, "-125.000"},
    {"abc", VK_TEXT, "abc"},
    {"www.example.com", VK_TEXT, "www.example.com"}, /* a word, not the real 0 */
    {"v1..2", VK_TEXT, "v1..2"},
    {"\"x y\"", VK_TEXT, "x y"},
    {"\"\"", VK_TEXT, ""},
    {"\"ab", VK_TEXT, "ab"},
    {"\"a", VK_TEXT, "a"}, /* an unclosed quote loses no letter */
    {"\"say \"", VK_TEXT, "say "},
    {"\"12\"", VK_TEXT, "12"},
    {"hi\"\"", VK_TEXT, "hi\"\""},
};

#endif
