/*
** The table definition parser (see xb_tabledef.h).
**
** Beyond the plain splitting at top-level commas the scan steps over quoted
** strings and identifiers ('..', "..", `..`, [..]) and over SQL comments, so
** that a DEFAULT 'a,b', a CHECK(x <> ')') or a "-- note" between two columns
** cannot split an item or invent a column.  The type words are looked for
** outside string literals, so DEFAULT 'primary key' does not make a key.
** Table constraints may be named (CONSTRAINT name ...) and FOREIGN KEY
** constraints add nothing, like CHECK.
*/
#include "xb_tabledef.h"

#include <string>
#include <vector>

#include "xb_keytext.h"

namespace {

/* Returns the character that closes a quote opened by C, or 0 when C opens none. */
char QuoteCloser(char c) {
  switch (c) {
    case '\'':
      return '\'';
    case '"':
      return '"';
    case '`':
      return '`';
    case '[':
      return ']';
    default:
      return 0;
  }
}

/* Returns TEXT with every SQL comment outside quotes replaced by one space. */
std::string WithoutComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (char closer = QuoteCloser(c)) {
      size_t end = text.find(closer, i + 1);
      end = end == std::string_view::npos ? text.size() : end + 1;
      out.append(text.substr(i, end - i));
      i = end;
    } else if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
      size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end;
      out.push_back(' ');
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      size_t end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
      out.push_back(' ');
    } else {
      out.push_back(c);
      i++;
    }
  }
  return out;
}

/* Returns ITEM with the inside of every single-quoted literal blanked, for
** the type-word tests. */
std::string WithoutLiterals(std::string_view item) {
  std::string out(item);
  bool inside = false;
  for (char& c : out) {
    if (c == '\'') {
      inside = !inside;
    } else if (inside) {
      c = ' ';
    }
  }
  return out;
}

/* Returns the length of the first word of TEXT: characters up to a blank,
** "(", "," or the end. */
size_t WordLength(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && !XB_IsBlank(text[n]) && text[n] != '(' && text[n] != ',') n++;
  return n;
}

bool WordIs(std::string_view word, const char* what) {
  return XB_KeyEqual(word, what);
}

/* Splits the next item off TEXT at a top-level comma.  Returns the item and
** sets CLOSED when the closing parenthesis of the column list ended it (the
** rest of the text is then dropped). */
std::string_view NextItem(std::string_view& text, bool& closed) {
  int depth = 0;
  size_t i = 0;
  closed = false;
  while (i < text.size()) {
    char c = text[i];
    if (char closer = QuoteCloser(c)) {
      size_t end = text.find(closer, i + 1);
      i = end == std::string_view::npos ? text.size() : end + 1;
      continue;
    }
    if (c == ',' && depth < 1) break;
    if (c == '(') depth++;
    if (c == ')' && --depth < 0) {
      closed = true;
      break;
    }
    i++;
  }
  std::string_view item = text.substr(0, i);
  if (closed || i >= text.size()) {
    text = {};
  } else {
    text.remove_prefix(i + 1);
  }
  return item;
}

/* Returns the column names listed by a table constraint: the inside of the
** parenthesised list at the front of TEXT (or TEXT itself without one),
** split at commas, each piece reduced to its first word (so "a DESC" and
** "b COLLATE NOCASE" name a and b). */
std::vector<std::string_view> ConstraintColumns(std::string_view text) {
  text = XB_TrimBlanks(text);
  if (!text.empty() && text.front() == '(') {
    text.remove_prefix(1);
    int depth = 0;
    size_t end = 0;
    while (end < text.size()) {
      if (text[end] == '(') depth++;
      if (text[end] == ')' && --depth < 0) break;
      end++;
    }
    text = XB_TrimBlanks(text.substr(0, end));
  }
  std::vector<std::string_view> names;
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view piece = XB_TrimBlanks(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    size_t n = 0;
    while (n < piece.size() && !XB_IsBlank(piece[n])) n++;
    if (n > 0) names.push_back(piece.substr(0, n));
  }
  return names;
}

/* Applies a PRIMARY KEY (KIND TD_PRIMARY) or UNIQUE (TD_UNIQUE) table
** constraint listing the columns in LIST to GROUP. */
void ApplyConstraint(XB_ParameterInfoGroup& group, uint8_t kind, std::string_view list,
                     uint8_t flags) {
  uint8_t asKey = kind == TD_PRIMARY ? TD_PRIMARY_AS_KEY : TD_UNIQUE_AS_KEY;
  for (std::string_view name : ConstraintColumns(list)) {
    XB_String key = XB_NormalizeKey(name);
    if (!(flags & kind)) {
      group.Remove(key.View());
      continue;
    }
    XB_ParameterInfo* info = group.Find(key.View());
    if (!info) info = group.Add(name, XB_String(name).c_str(), XB_AUTO_COMMENT, PT_TEXT);
    if (flags & asKey) info->SetType(PT_KEY);
  }
}

/* Returns the parameter type that the words of a column definition suggest. */
uint32_t ColumnType(std::string_view item) {
  uint32_t type = PT_TEXT;
  if (XB_ContainsLoosely(item, "INTEGER")) type = PT_INT;
  if (XB_ContainsLoosely(item, "REAL")) type = PT_REAL;
  if (XB_ContainsLoosely(item, "CHAR") || XB_ContainsLoosely(item, "TEXT")) type = PT_TEXT;
  if (XB_ContainsLoosely(item, "DATETIME")) return PT_DATETIME;
  if (XB_ContainsLoosely(item, "DATE")) type = PT_DATE;
  if (XB_ContainsLoosely(item, "TIME")) type = PT_TIME;
  return type;
}

/* Adds the column defined by ITEM, whose name is NAME, to GROUP when FLAGS
** select its kind. */
void AddColumn(XB_ParameterInfoGroup& group, std::string_view name, std::string_view item,
               uint8_t flags) {
  std::string words = WithoutLiterals(item);
  uint32_t type = ColumnType(words);
  uint8_t kind = TD_PLAIN;
  if (XB_ContainsLoosely(words, "PRIMARY KEY")) {
    kind = TD_PRIMARY;
    if (flags & TD_PRIMARY_AS_KEY) type = PT_KEY;
  }
  if (XB_ContainsLoosely(words, "UNIQUE")) {
    kind = TD_UNIQUE;
    if (flags & TD_UNIQUE_AS_KEY) type = PT_KEY;
  }
  if (flags & kind) group.Add(name, XB_String(name).c_str(), XB_AUTO_COMMENT, type);
}

/* Handles one item of the column list: a table constraint or a column. */
void ParseItem(XB_ParameterInfoGroup& group, std::string_view item, uint8_t flags) {
  item = XB_TrimBlanks(item);
  std::string_view name = item.substr(0, WordLength(item));
  if (WordIs(name, "CONSTRAINT")) {
    /* A named constraint: drop "CONSTRAINT name" and read what follows. */
    std::string_view rest = XB_TrimBlanks(item.substr(name.size()));
    rest = XB_TrimBlanks(rest.substr(WordLength(rest)));
    name = rest.substr(0, WordLength(rest));
    item = rest;
  }
  if (name.empty()) return;
  if (WordIs(name, "CHECK") || WordIs(name, "FOREIGN")) return;
  if (WordIs(name, "UNIQUE")) {
    ApplyConstraint(group, TD_UNIQUE, item.substr(name.size()), flags);
    return;
  }
  if (WordIs(name, "PRIMARY")) {
    std::string_view rest = XB_TrimBlanks(item.substr(name.size()));
    size_t word = WordLength(rest);
    if (WordIs(rest.substr(0, word), "KEY")) rest.remove_prefix(word);
    ApplyConstraint(group, TD_PRIMARY, rest, flags);
    return;
  }
  AddColumn(group, name, item, flags);
}

}  // namespace

std::unique_ptr<XB_ParameterInfoGroup> ParseCreateTable(std::string_view text, uint8_t flags) {
  static constexpr std::string_view kStart = "CREATE TABLE";
  if (text.substr(0, kStart.size()) != kStart) return nullptr;
  std::string cleaned = WithoutComments(text.substr(kStart.size()));
  std::string_view rest = XB_TrimBlanks(cleaned);
  size_t nameLength = 0;
  while (nameLength < rest.size() && !XB_IsBlank(rest[nameLength]) && rest[nameLength] != '(') {
    nameLength++;
  }
  auto group = std::make_unique<XB_ParameterInfoGroup>(rest.substr(0, nameLength));
  rest = XB_TrimBlanks(rest.substr(nameLength));
  if (rest.empty() || rest.front() != '(') return group;
  rest = XB_TrimBlanks(rest.substr(1));
  while (!rest.empty() && rest.front() != ')') {
    rest = XB_TrimBlanks(rest);
    bool closed = false;
    std::string_view item = NextItem(rest, closed);
    ParseItem(*group, item, flags);
    if (closed) break;
  }
  return group;
}
