/*
** The structural checker of generation-2 database files (see s2check.h).
**
** The file is read as one byte string.  Page 1 is checked first, then the
** b-tree of sqlite_master on page 2 is walked and its rows analysed with a
** small parser of CREATE TABLE / CREATE INDEX text of our own (column
** classes, the INTEGER PRIMARY KEY, automatic index names).  Every table and
** index tree is walked next, the freelist last; each page is marked when it
** is reached, so a page reached twice is reported and never walked again,
** which also keeps a damaged file from sending the walk round in circles.
** Finally each index is compared with the keys its table's rows produce.
*/
#include "s2check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>

namespace s2 {
namespace check {

/* Returns true when C is an ASCII decimal digit. */
static bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool LooksLikeNumber(std::string_view text) {
  size_t i = 0;
  size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) i++;
  if (i >= n || !IsDigit(text[i])) return false;
  while (i < n && IsDigit(text[i])) i++;
  if (i < n && text[i] == '.') {
    i++;
    if (i >= n || !IsDigit(text[i])) return false;
    while (i < n && IsDigit(text[i])) i++;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    i++;
    if (i < n && (text[i] == '+' || text[i] == '-')) i++;
    if (i >= n || !IsDigit(text[i])) return false;
    while (i < n && IsDigit(text[i])) i++;
  }
  return i == n;
}

double TextToNumber(std::string_view text) {
  size_t i = 0;
  size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    i++;
  }
  long double v = 0.0;
  while (i < n && IsDigit(text[i])) v = v * 10.0 + (text[i++] - '0');
  if (i < n && text[i] == '.') {
    long double divisor = 1.0;
    i++;
    while (i < n && IsDigit(text[i])) {
      v = v * 10.0 + (text[i++] - '0');
      divisor *= 10.0;
    }
    v = v / divisor;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    bool negativeExponent = false;
    i++;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
      negativeExponent = text[i] == '-';
      i++;
    }
    /* Past a few thousand the scale is infinite in any case; the cap only
    ** keeps a huge exponent from overflowing the counter. */
    int exponent = 0;
    while (i < n && IsDigit(text[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      i++;
    }
    long double scale = 1.0;
    while (exponent >= 64) {
      scale *= 1.0e+64;
      exponent -= 64;
    }
    while (exponent >= 16) {
      scale *= 1.0e+16;
      exponent -= 16;
    }
    while (exponent >= 4) {
      scale *= 1.0e+4;
      exponent -= 4;
    }
    while (exponent >= 1) {
      scale *= 1.0e+1;
      exponent -= 1;
    }
    v = negativeExponent ? v / scale : v * scale;
  }
  return static_cast<double>(negative ? -v : v);
}

std::string SortableNumber(double r) {
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz|~";
  std::string out;
  bool negative = r < 0.0;
  if (negative) {
    out += '-';
    r = -r;
  } else {
    out += '0';
  }
  int e = 0;
  if (r == 0.0) {
    e = -1024;
  } else if (r < std::ldexp(1.0, -7)) {
    while (r < std::ldexp(1.0, -385) && e > -961) {
      r *= std::ldexp(1.0, 384);
      e -= 64;
    }
    while (r < std::ldexp(1.0, -97) && e > -1009) {
      r *= std::ldexp(1.0, 96);
      e -= 16;
    }
    while (r < std::ldexp(1.0, -25) && e > -1021) {
      r *= std::ldexp(1.0, 24);
      e -= 4;
    }
    while (r < std::ldexp(1.0, -7) && e > -1024) {
      r *= 64.0;
      e -= 1;
    }
  } else if (r >= 0.5) {
    while (r >= std::ldexp(1.0, 377) && e < 960) {
      r /= std::ldexp(1.0, 384);
      e += 64;
    }
    while (r >= std::ldexp(1.0, 89) && e < 1008) {
      r /= std::ldexp(1.0, 96);
      e += 16;
    }
    while (r >= std::ldexp(1.0, 17) && e < 1020) {
      r /= std::ldexp(1.0, 24);
      e += 4;
    }
    while (r >= 0.5 && e < 1023) {
      r /= 64.0;
      e += 1;
    }
  }
  if (negative) {
    e = -e;
    r = -r;
  }
  e += 1024;
  r += 0.5;
  if (e >= 2048 || r >= 1.0) return out + "~~~~~~~~~~~~";
  out += kDigits[(e >> 6) & 63];
  out += kDigits[e & 63];
  for (int i = 0; i < 10 && r > 0.0; i++) {
    r *= 64.0;
    int digit = static_cast<int>(r);
    out += kDigits[digit & 63];
    r -= digit;
  }
  return out;
}

std::string IndexKeyField(const std::optional<std::string>& value, bool numericClass) {
  if (!value) return std::string("a", 2);
  std::string field;
  if (numericClass && LooksLikeNumber(*value)) {
    field = "b" + SortableNumber(TextToNumber(*value));
  } else {
    field = "c" + *value;
  }
  field += '\0';
  return field;
}

/* Returns true when one of the class patterns starts at position I of Z:
** the first letter is compared after OR-ing 0x60 into the byte, the other
** three ignoring ASCII case. */
static bool PatternAt(std::string_view z, size_t i, const char* pattern) {
  if (i + 4 > z.size()) return false;
  if ((static_cast<unsigned char>(z[i]) | 0x60) != static_cast<unsigned char>(pattern[0]))
    return false;
  for (int k = 1; k < 4; k++) {
    unsigned char c = static_cast<unsigned char>(z[i + k]);
    if (c >= 'A' && c <= 'Z') c += 32;
    if (c != static_cast<unsigned char>(pattern[k])) return false;
  }
  return true;
}

bool IsTextClass(std::string_view declaredType) {
  std::string compact;
  for (char c : declaredType) {
    if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
  }
  for (size_t i = 0; i + 4 <= compact.size(); i++) {
    if (PatternAt(compact, i, "blob") || PatternAt(compact, i, "clob") ||
        PatternAt(compact, i, "char") || PatternAt(compact, i, "text")) {
      return true;
    }
  }
  return false;
}

}  // namespace check

namespace {

constexpr uint32_t kPageSize = 1024;
constexpr uint32_t kLocalMax = 236;
constexpr uint32_t kOverflowBytes = 1020;
constexpr uint32_t kMaxRecord = 1048576;
constexpr uint32_t kMaxTrunkLeaves = 254;
constexpr size_t kMaxProblems = 200;
constexpr int kMaxDepth = 40;
const char kIdentification[] = "** This file contains an SQLite 2.1 database **";

using Cell = std::optional<std::string>;

/* Returns TEXT with ASCII letters in lower case (names compare that way). */
std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

/* ---------------------------------------------------------------------
** A small tokenizer and parser of the CREATE statements kept in
** sqlite_master, enough to learn columns, classes and index columns.
*/

enum class TokenKind { End, Id, Quoted, Number, Punct };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text; /* the name without its quotes for Id and Quoted */
  size_t begin = 0;
  size_t end = 0;
};

/* Returns true when C may be part of an unquoted identifier. */
bool IsIdChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

/* Splits SQL into tokens, dropping white space and comments.  Returns the
** tokens followed by one End token. */
std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  size_t n = sql.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(sql[i]);
    if (std::isspace(c)) {
      i++;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') i++;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      size_t close = sql.find("*/", i + 2);
      i = close == std::string_view::npos ? n : close + 2;
      continue;
    }
    Token t;
    t.begin = i;
    if (c == '"' || c == '\'' || c == '`') {
      t.kind = TokenKind::Quoted;
      i++;
      while (i < n) {
        if (sql[i] == static_cast<char>(c)) {
          if (i + 1 < n && sql[i + 1] == static_cast<char>(c)) {
            t.text += sql[i];
            i += 2;
            continue;
          }
          i++;
          break;
        }
        t.text += sql[i++];
      }
    } else if (c == '[') {
      t.kind = TokenKind::Quoted;
      size_t close = sql.find(']', i + 1);
      size_t stop = close == std::string_view::npos ? n : close;
      t.text = std::string(sql.substr(i + 1, stop - i - 1));
      i = stop == n ? n : stop + 1;
    } else if (std::isdigit(c) ||
               (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      t.kind = TokenKind::Number;
      while (i < n && (IsIdChar(static_cast<unsigned char>(sql[i])) || sql[i] == '.')) i++;
      t.text = std::string(sql.substr(t.begin, i - t.begin));
    } else if (IsIdChar(c)) {
      t.kind = TokenKind::Id;
      while (i < n && IsIdChar(static_cast<unsigned char>(sql[i]))) i++;
      t.text = std::string(sql.substr(t.begin, i - t.begin));
    } else {
      t.kind = TokenKind::Punct;
      t.text = std::string(1, static_cast<char>(c));
      i++;
    }
    t.end = i;
    tokens.push_back(std::move(t));
  }
  Token end;
  end.begin = end.end = n;
  tokens.push_back(end);
  return tokens;
}

/* A read position in a token list; reading past the end keeps returning
** the End token. */
class TokenCursor {
 public:
  explicit TokenCursor(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

  /* Returns the current token. */
  const Token& Peek() const { return m_tokens[m_pos]; }

  /* Returns the current token and moves past it. */
  const Token& Next() {
    const Token& t = m_tokens[m_pos];
    if (m_pos + 1 < m_tokens.size()) m_pos++;
    m_lastEnd = t.end;
    return t;
  }

  /* Returns the end offset of the token most recently moved past. */
  size_t LastEnd() const { return m_lastEnd; }

  /* Returns true when the current token is the keyword WORD (unquoted). */
  bool AtKeyword(const char* word) const {
    const Token& t = Peek();
    return t.kind == TokenKind::Id && Lower(t.text) == word;
  }

  /* Returns true when the current token is the punctuation character C. */
  bool AtPunct(char c) const {
    const Token& t = Peek();
    return t.kind == TokenKind::Punct && t.text[0] == c;
  }

  /* Moves past the keyword WORD and returns true, or returns false. */
  bool TakeKeyword(const char* word) {
    if (!AtKeyword(word)) return false;
    Next();
    return true;
  }

  /* Moves past the character C and returns true, or returns false. */
  bool TakePunct(char c) {
    if (!AtPunct(c)) return false;
    Next();
    return true;
  }

  /* Reads a name (plain or quoted identifier, or string).  Returns false
  ** when the current token is not one. */
  bool TakeName(std::string& name) {
    const Token& t = Peek();
    if (t.kind != TokenKind::Id && t.kind != TokenKind::Quoted) return false;
    name = t.text;
    Next();
    return true;
  }

  /* Reads NAME or DATABASE.NAME and keeps the last part. */
  bool TakeQualifiedName(std::string& name) {
    if (!TakeName(name)) return false;
    if (TakePunct('.')) return TakeName(name);
    return true;
  }

  /* Skips a parenthesised group starting at the current "(".  Returns false
  ** when the statement ends inside it. */
  bool SkipGroup() {
    int depth = 0;
    do {
      const Token& t = Next();
      if (t.kind == TokenKind::End) return false;
      if (t.kind == TokenKind::Punct && t.text[0] == '(') depth++;
      if (t.kind == TokenKind::Punct && t.text[0] == ')') depth--;
    } while (depth > 0);
    return true;
  }

 private:
  std::vector<Token> m_tokens;
  size_t m_pos = 0;
  size_t m_lastEnd = 0;
};

struct ColumnDef {
  std::string name;
  bool numeric = true;
};

struct IndexDef {
  std::string name;
  std::vector<int> columns;
  bool unique = false;
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  int rowidColumn = -1;              /* the INTEGER PRIMARY KEY, if any */
  std::vector<IndexDef> autoIndices; /* in the order the constraints appear */
};

/* Returns the position of column NAME in TABLE, or -1. */
int FindColumn(const TableDef& table, const std::string& name) {
  std::string wanted = Lower(name);
  for (size_t i = 0; i < table.columns.size(); i++) {
    if (Lower(table.columns[i].name) == wanted) return static_cast<int>(i);
  }
  return -1;
}

/* Reads "( name [ASC|DESC], ... )" naming columns of TABLE.  Returns false
** with ERROR set when the list is malformed or names an unknown column. */
bool ParseColumnList(TokenCursor& cur, const TableDef& table, std::vector<int>& columns,
                     std::string& error) {
  if (!cur.TakePunct('(')) {
    error = "column list expected";
    return false;
  }
  for (;;) {
    std::string name;
    if (!cur.TakeName(name)) {
      error = "column name expected";
      return false;
    }
    int column = FindColumn(table, name);
    if (column < 0) {
      error = "no column named " + name;
      return false;
    }
    columns.push_back(column);
    while (!cur.AtPunct(',') && !cur.AtPunct(')')) {
      if (cur.Peek().kind == TokenKind::End) {
        error = "unterminated column list";
        return false;
      }
      cur.Next();
    }
    if (cur.TakePunct(')')) return true;
    cur.Next();
  }
}

/* Returns true when the declared type, white space removed, is INTEGER. */
bool IsIntegerType(const std::string& compactType) {
  return Lower(compactType) == "integer";
}

/* Records a PRIMARY KEY over COLUMNS: the rowid alias for one INTEGER
** column, otherwise a unique automatic index.  Returns false when the table
** already has a primary key. */
bool AddPrimaryKey(TableDef& table, const std::vector<int>& columns,
                   const std::vector<std::string>& compactTypes, bool& seen, std::string& error) {
  if (seen) {
    error = "more than one primary key";
    return false;
  }
  seen = true;
  if (columns.size() == 1 && IsIntegerType(compactTypes[columns[0]])) {
    table.rowidColumn = columns[0];
    return true;
  }
  table.autoIndices.push_back({"", columns, true});
  return true;
}

/* Parses a CREATE TABLE statement into TABLE.  Returns false with ERROR set
** when the text is not a CREATE TABLE the checker understands. */
bool ParseCreateTable(const std::string& sql, TableDef& table, std::string& error) {
  TokenCursor cur(Tokenize(sql));
  if (!cur.TakeKeyword("create")) {
    error = "CREATE expected";
    return false;
  }
  if (cur.AtKeyword("temp") || cur.AtKeyword("temporary")) {
    error = "a temporary table is never stored in the file";
    return false;
  }
  if (!cur.TakeKeyword("table")) {
    error = "TABLE expected";
    return false;
  }
  if (cur.AtKeyword("if")) {
    error = "IF NOT EXISTS is not 2.x grammar";
    return false;
  }
  if (!cur.TakeQualifiedName(table.name)) {
    error = "table name expected";
    return false;
  }
  if (!cur.TakePunct('(')) {
    error = "column list expected";
    return false;
  }

  static const std::set<std::string> kTableConstraint = {"constraint", "primary", "unique", "check",
                                                         "foreign"};
  static const std::set<std::string> kColumnConstraint = {"constraint", "primary", "not",
                                                          "null",       "unique",  "check",
                                                          "references", "default", "collate"};
  std::vector<std::string> compactTypes;
  bool primarySeen = false;
  bool constraintsStarted = false;
  std::set<std::string> names;

  while (!constraintsStarted) {
    const Token& first = cur.Peek();
    if (first.kind == TokenKind::Id && kTableConstraint.count(Lower(first.text))) {
      constraintsStarted = true;
      break;
    }
    ColumnDef column;
    if (!cur.TakeName(column.name)) {
      error = "column name expected";
      return false;
    }
    if (!names.insert(Lower(column.name)).second) {
      error = "duplicate column name " + column.name;
      return false;
    }
    size_t typeBegin = cur.Peek().begin;
    size_t typeEnd = typeBegin;
    while ((cur.Peek().kind == TokenKind::Id && !kColumnConstraint.count(Lower(cur.Peek().text))) ||
           cur.Peek().kind == TokenKind::Quoted) {
      typeEnd = cur.Next().end;
    }
    if (typeEnd > typeBegin && cur.AtPunct('(')) {
      if (!cur.SkipGroup()) {
        error = "unterminated type";
        return false;
      }
      typeEnd = cur.LastEnd();
    }
    std::string compactType;
    for (size_t i = typeBegin; i < typeEnd; i++) {
      if (!std::isspace(static_cast<unsigned char>(sql[i]))) compactType += sql[i];
    }
    column.numeric = !check::IsTextClass(compactType);
    int index = static_cast<int>(table.columns.size());
    table.columns.push_back(column);
    compactTypes.push_back(compactType);

    while (!cur.AtPunct(',') && !cur.AtPunct(')')) {
      if (cur.Peek().kind == TokenKind::End) {
        error = "unterminated column list";
        return false;
      }
      if (cur.AtPunct('(')) {
        if (!cur.SkipGroup()) {
          error = "unterminated group";
          return false;
        }
      } else if (cur.TakeKeyword("primary")) {
        if (!cur.TakeKeyword("key")) {
          error = "KEY expected";
          return false;
        }
        if (!AddPrimaryKey(table, {index}, compactTypes, primarySeen, error)) return false;
      } else if (cur.TakeKeyword("unique")) {
        table.autoIndices.push_back({"", {index}, true});
      } else if (cur.AtKeyword("autoincrement")) {
        error = "AUTOINCREMENT is not 2.x grammar";
        return false;
      } else if (cur.TakeKeyword("collate")) {
        std::string collation;
        if (!cur.TakeName(collation)) {
          error = "collation name expected";
          return false;
        }
        table.columns[index].numeric = !check::IsTextClass(collation);
      } else {
        cur.Next();
      }
    }
    if (cur.TakePunct(')')) break;
    cur.Next();
  }

  while (constraintsStarted && !cur.TakePunct(')')) {
    if (cur.Peek().kind == TokenKind::End) {
      error = "unterminated constraint list";
      return false;
    }
    if (cur.TakeKeyword("primary")) {
      std::vector<int> columns;
      if (!cur.TakeKeyword("key")) {
        error = "KEY expected";
        return false;
      }
      if (!ParseColumnList(cur, table, columns, error)) return false;
      if (!AddPrimaryKey(table, columns, compactTypes, primarySeen, error)) return false;
    } else if (cur.TakeKeyword("unique")) {
      std::vector<int> columns;
      if (!ParseColumnList(cur, table, columns, error)) return false;
      table.autoIndices.push_back({"", columns, true});
    } else if (cur.AtPunct('(')) {
      if (!cur.SkipGroup()) {
        error = "unterminated group";
        return false;
      }
    } else {
      cur.Next();
    }
  }
  if (table.columns.empty()) {
    error = "no columns";
    return false;
  }
  if (cur.Peek().kind != TokenKind::End) {
    error = "text after the column list";
    return false;
  }
  for (size_t k = 0; k < table.autoIndices.size(); k++) {
    table.autoIndices[k].name = "(" + table.name + " autoindex " + std::to_string(k + 1) + ")";
  }
  return true;
}

/* Parses CREATE [UNIQUE] INDEX name ON table(columns).  TABLE_FOR_NAME looks
** the table up by name.  Returns false with ERROR set on failure. */
bool ParseCreateIndex(const std::string& sql,
                      const std::function<const TableDef*(const std::string&)>& tableForName,
                      IndexDef& index, std::string& tableName, std::string& error) {
  TokenCursor cur(Tokenize(sql));
  if (!cur.TakeKeyword("create")) {
    error = "CREATE expected";
    return false;
  }
  index.unique = cur.TakeKeyword("unique");
  if (!cur.TakeKeyword("index")) {
    error = "INDEX expected";
    return false;
  }
  if (cur.AtKeyword("if")) {
    error = "IF NOT EXISTS is not 2.x grammar";
    return false;
  }
  if (!cur.TakeQualifiedName(index.name)) {
    error = "index name expected";
    return false;
  }
  if (!cur.TakeKeyword("on")) {
    error = "ON expected";
    return false;
  }
  if (!cur.TakeQualifiedName(tableName)) {
    error = "table name expected";
    return false;
  }
  const TableDef* table = tableForName(tableName);
  if (!table) {
    error = "no earlier table named " + tableName;
    return false;
  }
  if (!ParseColumnList(cur, *table, index.columns, error)) return false;
  if (cur.Peek().kind != TokenKind::End) {
    error = "text after the column list";
    return false;
  }
  return true;
}

/* Parses the head of CREATE [TEMP] VIEW|TRIGGER name.  Returns false with
** ERROR set when the text does not start that way. */
bool ParseCreateNamed(const std::string& sql, const char* kind, std::string& name,
                      std::string& error) {
  TokenCursor cur(Tokenize(sql));
  if (!cur.TakeKeyword("create")) {
    error = "CREATE expected";
    return false;
  }
  if (cur.AtKeyword("temp") || cur.AtKeyword("temporary")) {
    error = "a temporary object is never stored in the file";
    return false;
  }
  if (!cur.TakeKeyword(kind)) {
    error = std::string(kind) + " expected";
    return false;
  }
  if (cur.AtKeyword("if")) {
    error = "IF NOT EXISTS is not 2.x grammar";
    return false;
  }
  if (!cur.TakeQualifiedName(name)) {
    error = "name expected";
    return false;
  }
  return true;
}

/* ---------------------------------------------------------------------
** Records and index keys.
*/

/* Splits a record into its fields.  Returns false with ERROR set when the
** offsets or value bytes are not a valid record. */
bool ParseRecord(const std::string& data, std::vector<Cell>& fields, std::string& error) {
  size_t length = data.size();
  if (length == 0) return true;
  size_t width = length < 256 ? 1 : length < 65536 ? 2 : 3;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
  auto offsetAt = [&](size_t i) {
    size_t v = 0;
    for (size_t k = 0; k < width; k++) v |= static_cast<size_t>(p[i * width + k]) << (8 * k);
    return v;
  };
  if (length < width) {
    error = "record shorter than its header";
    return false;
  }
  size_t headerEnd = offsetAt(0);
  if (headerEnd % width != 0 || headerEnd < 2 * width || headerEnd > length) {
    error = "bad record header size " + std::to_string(headerEnd);
    return false;
  }
  size_t count = headerEnd / width - 1;
  for (size_t i = 0; i < count; i++) {
    size_t begin = offsetAt(i);
    size_t end = offsetAt(i + 1);
    if (begin < headerEnd || end < begin || end > length) {
      error = "bad offset of field " + std::to_string(i);
      return false;
    }
    if (begin == end) {
      fields.emplace_back(std::nullopt);
      continue;
    }
    if (data[end - 1] != '\0') {
      error = "field " + std::to_string(i) + " lacks its 0x00";
      return false;
    }
    std::string value = data.substr(begin, end - begin - 1);
    if (value.find('\0') != std::string::npos) {
      error = "field " + std::to_string(i) + " contains a 0x00 byte";
      return false;
    }
    fields.emplace_back(std::move(value));
  }
  if (offsetAt(count) != length) {
    error = "last offset is not the record length";
    return false;
  }
  return true;
}

/* Returns the 4-byte key of ROWID: the value XOR 0x80000000, big-endian. */
std::string RowidKey(int32_t rowid) {
  uint32_t v = static_cast<uint32_t>(rowid) ^ 0x80000000u;
  std::string key(4, '\0');
  for (int i = 0; i < 4; i++) key[i] = static_cast<char>(v >> (24 - 8 * i));
  return key;
}

/* Returns the rowid a 4-byte key stands for. */
int32_t RowidOfKey(std::string_view key) {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v = (v << 8) | static_cast<unsigned char>(key[i]);
  return static_cast<int32_t>(v ^ 0x80000000u);
}

struct Row {
  int32_t rowid = 0;
  std::vector<Cell> fields;
};

struct IndexKey {
  std::string bytes;
  bool hasNull = false;
};

/* ---------------------------------------------------------------------
** The checker proper.
*/

struct TableInfo {
  TableDef def;
  bool parsed = false;
  int32_t masterRowid = 0;
  uint32_t root = 0;
  std::set<std::string> unclaimedAuto;
  bool hasIndex = false;
  std::vector<Row> rows;
};

struct IndexInfo {
  IndexDef def;
  std::string table; /* lower-case key into the table map */
  bool parsed = false;
  uint32_t root = 0;
  std::vector<IndexKey> keys;
};

/* The header fields of one cell and where it sits on its page. */
struct CellInfo {
  uint32_t offset, leftChild, keySize, dataSize;
};

/* What a tree walk is for: its name in messages and what to do per entry. */
struct TreeWalk {
  std::string name;
  std::function<void(const std::string& key, const std::string& data)> visit;
  std::optional<std::string> lastKey;
  int leafDepth = -1;
};

class FileChecker {
 public:
  explicit FileChecker(const std::string& bytes) : m_bytes(bytes) {}

  /* Runs every check.  Returns the problems found. */
  std::vector<std::string> Run();

 private:
  /* Returns the first byte of page PGNO (1 .. m_pageCount). */
  const unsigned char* Page(uint32_t pgno) const {
    return reinterpret_cast<const unsigned char*>(m_bytes.data()) +
           static_cast<size_t>(pgno - 1) * kPageSize;
  }
  /* Return the 16- and 32-bit values at P in the file's byte order. */
  uint32_t Get16(const unsigned char* p) const {
    return m_bigEndian ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8);
  }
  uint32_t Get32(const unsigned char* p) const {
    return m_bigEndian ? (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
                       : p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
  }

  void Problem(const std::string& text);
  bool UsePage(uint32_t pgno, const std::string& what);
  bool CheckHeader();
  void CheckMaster();
  void AnalyseMasterRow(const Row& row);
  void AnalyseTableRow(const Row& row, const std::string& name, uint32_t root,
                       const std::string& sql);
  void AnalyseIndexRow(const Row& row, const std::string& name, const std::string& tblName,
                       uint32_t root, const Cell& sql);
  void CheckTables();
  void CheckIndexContent(const IndexInfo& index);
  void CheckFreelist();
  void CheckUnusedPages();
  void WalkTree(uint32_t root, TreeWalk& walk);
  void WalkPage(uint32_t pgno, bool isRoot, int depth, TreeWalk& walk);
  bool ReadCellList(const unsigned char* p, uint32_t first, const std::string& where,
                    std::vector<CellInfo>& cells, unsigned char* cover);
  bool ReadFreeList(const unsigned char* p, uint32_t first, const std::string& where,
                    unsigned char* cover);
  bool ReadPayload(uint32_t pgno, const unsigned char* cell, uint32_t keySize, uint32_t dataSize,
                   const std::string& tree, std::string& payload);
  void CheckTableEntry(const std::string& tree, const std::string& key, const std::string& data,
                       int columnCount, int rowidColumn, std::vector<Row>* rows);

  const std::string& m_bytes;
  uint32_t m_pageCount = 0;
  bool m_bigEndian = false;
  uint32_t m_format = 4;
  std::vector<bool> m_used;
  std::vector<std::string> m_problems;
  bool m_truncated = false;
  std::vector<Row> m_masterRows;
  std::map<std::string, TableInfo> m_tables; /* by lower-case name */
  std::vector<std::string> m_tableOrder;
  std::vector<IndexInfo> m_indices;
  std::set<std::string> m_objectNames; /* tables, views, indices */
  std::set<std::string> m_triggerNames;
  std::set<std::string> m_viewNames;
  std::vector<std::pair<std::string, uint32_t>> m_unparsedTrees; /* "table"/"index", root */
};

void FileChecker::Problem(const std::string& text) {
  if (m_problems.size() < kMaxProblems) {
    m_problems.push_back(text);
  } else if (!m_truncated) {
    m_truncated = true;
    m_problems.push_back("too many problems; the rest are not listed");
  }
}

/* Marks page PGNO as used by WHAT.  Returns false (and reports) when the
** number is out of range or the page was already used. */
bool FileChecker::UsePage(uint32_t pgno, const std::string& what) {
  if (pgno < 1 || pgno > m_pageCount) {
    Problem(what + ": invalid page number " + std::to_string(pgno));
    return false;
  }
  if (m_used[pgno]) {
    Problem(what + ": 2nd reference to page " + std::to_string(pgno));
    return false;
  }
  m_used[pgno] = true;
  return true;
}

/* Checks page 1.  Returns false when the file is not a 2.x database at all,
** so nothing else can be checked. */
bool FileChecker::CheckHeader() {
  if (m_bytes.size() % kPageSize != 0) {
    Problem("file length " + std::to_string(m_bytes.size()) + " is not a multiple of 1024");
  }
  m_pageCount = static_cast<uint32_t>(std::min<size_t>(m_bytes.size() / kPageSize, UINT32_MAX - 1));
  if (m_pageCount == 0) return false;
  m_used.assign(m_pageCount + 1, false);
  const unsigned char* p = Page(1);
  if (std::memcmp(p, kIdentification, sizeof kIdentification) != 0) {
    Problem("file is encrypted or is not a database (identification text)");
    return false;
  }
  if (p[48] == 0x28 && p[49] == 0x75 && p[50] == 0xE3 && p[51] == 0xDA) {
    m_bigEndian = false;
  } else if (p[48] == 0xDA && p[49] == 0xE3 && p[50] == 0x75 && p[51] == 0x28) {
    m_bigEndian = true;
  } else {
    Problem("file is encrypted or is not a database (byte-order mark)");
    return false;
  }
  m_format = Get32(p + 64);
  if (m_format > 4) Problem("unsupported file format " + std::to_string(m_format));
  if (m_format == 0 || m_format > 4) m_format = 4;
  m_used[1] = true;
  return true;
}

/* Walks the tree rooted at ROOT, calling WALK.visit for every entry in key
** order. */
void FileChecker::WalkTree(uint32_t root, TreeWalk& walk) {
  WalkPage(root, true, 0, walk);
}

/* Reads the payload of a cell (local part and overflow chain) into PAYLOAD.
** Returns false (and reports) when the overflow chain is broken. */
bool FileChecker::ReadPayload(uint32_t pgno, const unsigned char* cell, uint32_t keySize,
                              uint32_t dataSize, const std::string& tree, std::string& payload) {
  uint64_t total = uint64_t(keySize) + dataSize;
  uint32_t local = static_cast<uint32_t>(std::min<uint64_t>(total, kLocalMax));
  payload.assign(reinterpret_cast<const char*>(cell + 12), local);
  if (total <= kLocalMax) return true;
  uint64_t needed = (total - kLocalMax + kOverflowBytes - 1) / kOverflowBytes;
  std::string where = tree + ", page " + std::to_string(pgno);
  if (needed > m_pageCount) {
    Problem(where + ": payload of " + std::to_string(total) +
            " bytes needs more pages than the file has");
    return false;
  }
  uint32_t next = Get32(cell + 12 + kLocalMax);
  uint64_t remaining = total - kLocalMax;
  for (uint64_t i = 0; i < needed; i++) {
    if (next == 0) {
      Problem(where + ": overflow chain shorter than its payload of " + std::to_string(total) +
              " bytes");
      return false;
    }
    if (!UsePage(next, tree + " overflow")) return false;
    const unsigned char* q = Page(next);
    uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(remaining, kOverflowBytes));
    payload.append(reinterpret_cast<const char*>(q + 4), take);
    remaining -= take;
    next = Get32(q);
  }
  if (next != 0) {
    Problem(where + ": overflow chain longer than its payload of " + std::to_string(total) +
            " bytes");
  }
  return true;
}

/* Follows the cell list of page P from FIRST, adding each cell to CELLS and
** counting the bytes it covers in COVER.  Returns false (and reports) when
** the list is damaged. */
bool FileChecker::ReadCellList(const unsigned char* p, uint32_t first, const std::string& where,
                               std::vector<CellInfo>& cells, unsigned char* cover) {
  for (uint32_t off = first; off != 0;) {
    if (off < 8 || off > 1008 || off % 4 != 0) {
      Problem(where + ": cell offset " + std::to_string(off) + " out of range");
      return false;
    }
    if (cells.size() >= kPageSize / 12) {
      Problem(where + ": cell list runs in a circle");
      return false;
    }
    const unsigned char* c = p + off;
    CellInfo info{off, Get32(c), Get16(c + 4) | (uint32_t(c[8]) << 16),
                  (uint32_t(c[9]) << 16) | Get16(c + 10)};
    uint64_t payload = uint64_t(info.keySize) + info.dataSize;
    uint32_t size = payload <= kLocalMax ? 12 + ((static_cast<uint32_t>(payload) + 3) & ~3u) : 252;
    if (off + size > kPageSize) {
      Problem(where + ": cell at " + std::to_string(off) + " extends beyond the page");
      return false;
    }
    for (uint32_t i = off; i < off + size; i++) cover[i]++;
    cells.push_back(info);
    off = Get16(c + 6);
  }
  return true;
}

/* Follows the free block list of page P from FIRST, counting the bytes each
** block covers in COVER.  Returns false (and reports) when it is damaged. */
bool FileChecker::ReadFreeList(const unsigned char* p, uint32_t first, const std::string& where,
                               unsigned char* cover) {
  uint32_t previous = 0;
  for (uint32_t off = first; off != 0;) {
    if (off < 8 || off > 1020 || off % 4 != 0) {
      Problem(where + ": free block offset " + std::to_string(off) + " out of range");
      return false;
    }
    if (off <= previous) {
      Problem(where + ": free blocks not in increasing order");
      return false;
    }
    uint32_t size = Get16(p + off);
    if (size < 4 || size % 4 != 0 || off + size > kPageSize) {
      Problem(where + ": free block at " + std::to_string(off) + " has bad size " +
              std::to_string(size));
      return false;
    }
    for (uint32_t i = off; i < off + size; i++) cover[i]++;
    previous = off;
    off = Get16(p + off + 2);
  }
  return true;
}

/* Checks one b-tree page and, through recursion, its subtrees. */
void FileChecker::WalkPage(uint32_t pgno, bool isRoot, int depth, TreeWalk& walk) {
  std::string where = walk.name + ", page " + std::to_string(pgno);
  if (depth > kMaxDepth) {
    Problem(where + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
    return;
  }
  if (!UsePage(pgno, walk.name)) return;
  const unsigned char* p = Page(pgno);
  uint32_t rightChild = Get32(p);
  uint32_t firstCell = Get16(p + 4);
  uint32_t firstFree = Get16(p + 6);
  if (rightChild == 0 && firstCell == 0 && firstFree == 0) {
    if (!isRoot) Problem(where + ": empty page that is not a root");
    return;
  }

  std::vector<CellInfo> cells;
  unsigned char cover[kPageSize] = {};
  bool intact = ReadCellList(p, firstCell, where, cells, cover);
  intact = ReadFreeList(p, firstFree, where, cover) && intact;
  if (intact) {
    for (uint32_t i = 8; i < kPageSize; i++) {
      if (cover[i] != 1) {
        Problem(
            where + ": byte " + std::to_string(i) +
            (cover[i] ? " used by two cells or free blocks" : " belongs to no cell or free block"));
        break;
      }
    }
  }

  bool interior = rightChild != 0;
  if (cells.empty() && !isRoot) Problem(where + ": page that is not a root has no cells");
  if (cells.empty() && interior) Problem(where + ": interior page without cells");
  for (const CellInfo& cell : cells) {
    if ((cell.leftChild != 0) != interior) {
      Problem(where + ": cell at " + std::to_string(cell.offset) +
              " has a left child that does not fit the page kind");
      return;
    }
  }
  if (!interior) {
    if (walk.leafDepth < 0) walk.leafDepth = depth;
    if (walk.leafDepth != depth)
      Problem(where + ": leaf at a different depth than the other leaves");
  }
  for (const CellInfo& cell : cells) {
    if (interior) WalkPage(cell.leftChild, false, depth + 1, walk);
    std::string payload;
    if (!ReadPayload(pgno, p + cell.offset, cell.keySize, cell.dataSize, walk.name, payload))
      continue;
    std::string key = payload.substr(0, cell.keySize);
    std::string data = payload.substr(cell.keySize);
    if (walk.lastKey && !(*walk.lastKey < key)) Problem(where + ": Key is out of order");
    walk.lastKey = key;
    walk.visit(key, data);
  }
  if (interior) WalkPage(rightChild, false, depth + 1, walk);
}

/* Checks one entry of a table tree: a 4-byte rowid key and a record with
** COLUMN_COUNT fields (any count when it is negative).  Adds the row to ROWS
** when given. */
void FileChecker::CheckTableEntry(const std::string& tree, const std::string& key,
                                  const std::string& data, int columnCount, int rowidColumn,
                                  std::vector<Row>* rows) {
  if (key.size() != 4) {
    Problem(tree + ": key of " + std::to_string(key.size()) + " bytes is not a 32-bit rowid");
    return;
  }
  Row row;
  row.rowid = RowidOfKey(key);
  std::string where = tree + ", rowid " + std::to_string(row.rowid);
  if (data.size() > kMaxRecord) Problem(where + ": record longer than 1048576 bytes");
  std::string error;
  if (!ParseRecord(data, row.fields, error)) {
    Problem(where + ": " + error);
    return;
  }
  if (row.fields.empty()) row.fields.resize(columnCount < 0 ? 0 : columnCount);
  if (columnCount >= 0 && row.fields.size() != static_cast<size_t>(columnCount)) {
    Problem(where + ": record has " + std::to_string(row.fields.size()) +
            " fields, the table has " + std::to_string(columnCount) + " columns");
    return;
  }
  if (rowidColumn >= 0 && row.fields[rowidColumn]) {
    Problem(where + ": INTEGER PRIMARY KEY field is not NULL");
  }
  if (rows) rows->push_back(std::move(row));
}

/* Walks sqlite_master and analyses its rows. */
void FileChecker::CheckMaster() {
  if (m_pageCount < 2) return;
  TreeWalk walk;
  walk.name = "sqlite_master";
  walk.visit = [this](const std::string& key, const std::string& data) {
    CheckTableEntry("sqlite_master", key, data, 5, -1, &m_masterRows);
  };
  WalkTree(2, walk);
  for (const Row& row : m_masterRows) AnalyseMasterRow(row);
  for (const std::string& name : m_tableOrder) {
    for (const std::string& missing : m_tables[name].unclaimedAuto) {
      Problem("sqlite_master: automatic index " + missing + " of table " + m_tables[name].def.name +
              " is missing");
    }
  }
}

/* Parses a decimal root page text.  Returns false when it is not one. */
bool ParseRootPage(const std::string& text, uint32_t& root) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > UINT32_MAX) return false;
  root = static_cast<uint32_t>(v);
  return true;
}

/* Checks one row of sqlite_master and records the object it defines. */
void FileChecker::AnalyseMasterRow(const Row& row) {
  std::string where = "sqlite_master row " + std::to_string(row.rowid);
  const Cell& type = row.fields[0];
  const Cell& name = row.fields[1];
  const Cell& tblName = row.fields[2];
  const Cell& rootText = row.fields[3];
  const Cell& sql = row.fields[4];
  if (!type || !rootText) {
    Problem(where + ": type or rootpage is NULL (malformed database schema)");
    return;
  }
  uint32_t root = 0;
  if (!ParseRootPage(*rootText, root)) {
    Problem(where + ": rootpage '" + *rootText + "' is not a page number");
    return;
  }
  if (!name || !tblName) {
    Problem(where + ": name or tbl_name is NULL");
    return;
  }
  bool hasPages = *type == "table" || *type == "index";
  if (hasPages && root < 3)
    Problem(where + ": root page " + std::to_string(root) + " is not usable");
  if (!hasPages && root != 0) Problem(where + ": a " + *type + " must have root page 0");
  if (*type == "table") {
    AnalyseTableRow(row, *name, root, sql.value_or(""));
  } else if (*type == "index") {
    AnalyseIndexRow(row, *name, *tblName, root, sql);
  } else if (*type == "view" || *type == "trigger") {
    std::string parsedName;
    std::string error;
    if (!sql || !ParseCreateNamed(*sql, type->c_str(), parsedName, error)) {
      Problem(where + ": sql of " + *type + " " + *name +
              " does not parse: " + (sql ? error : "NULL"));
    } else if (parsedName != *name) {
      Problem(where + ": sql defines " + parsedName + ", the row names " + *name);
    }
    std::string key = Lower(*name);
    if (*type == "view") {
      if (*tblName != *name)
        Problem(where + ": tbl_name of view " + *name + " differs from its name");
      if (!m_objectNames.insert(key).second) Problem(where + ": name " + *name + " is used twice");
      m_viewNames.insert(key);
    } else {
      if (!m_triggerNames.insert(key).second)
        Problem(where + ": trigger name " + *name + " is used twice");
      std::string target = Lower(*tblName);
      if (!m_tables.count(target) && !m_viewNames.count(target)) {
        Problem(where + ": trigger " + *name + " comes before its table " + *tblName +
                " or has none");
      }
    }
  } else {
    Problem(where + ": unknown type '" + *type + "'");
  }
}

/* Records a table row of sqlite_master after checking its definition. */
void FileChecker::AnalyseTableRow(const Row& row, const std::string& name, uint32_t root,
                                  const std::string& sql) {
  std::string where = "sqlite_master row " + std::to_string(row.rowid);
  const Cell& tblName = row.fields[2];
  if (*tblName != name) Problem(where + ": tbl_name of table " + name + " differs from its name");
  std::string key = Lower(name);
  if (!m_objectNames.insert(key).second) {
    Problem(where + ": name " + name + " is used twice");
    if (root >= 3) m_unparsedTrees.push_back({"table", root});
    return;
  }
  TableInfo info;
  info.masterRowid = row.rowid;
  info.root = root;
  std::string error;
  info.parsed = ParseCreateTable(sql, info.def, error);
  if (!info.parsed) {
    Problem(where + ": CREATE TABLE of " + name + " does not parse: " + error);
  } else if (info.def.name != name) {
    Problem(where + ": sql defines table " + info.def.name + ", the row names " + name);
  }
  for (const IndexDef& index : info.def.autoIndices) info.unclaimedAuto.insert(index.name);
  m_tables[key] = std::move(info);
  m_tableOrder.push_back(key);
}

/* Records an index row of sqlite_master after checking its definition. */
void FileChecker::AnalyseIndexRow(const Row& row, const std::string& name,
                                  const std::string& tblName, uint32_t root, const Cell& sql) {
  std::string where = "sqlite_master row " + std::to_string(row.rowid);
  IndexInfo index;
  index.root = root;
  index.table = Lower(tblName);
  if (!m_objectNames.insert(Lower(name)).second)
    Problem(where + ": name " + name + " is used twice");
  auto table = m_tables.find(index.table);
  if (table == m_tables.end()) {
    Problem(where + ": index " + name + " comes before its table " + tblName + " or has none");
  } else if (!sql || sql->empty()) {
    if (table->second.unclaimedAuto.erase(name) == 0) {
      Problem(where + ": automatic index " + name + " is not one that table " + tblName +
              " defines");
    } else {
      for (const IndexDef& def : table->second.def.autoIndices) {
        if (def.name == name) index.def = def;
      }
      index.parsed = true;
    }
  } else {
    std::string tableName;
    std::string error;
    auto lookup = [this](const std::string& n) -> const TableDef* {
      auto it = m_tables.find(Lower(n));
      return it != m_tables.end() && it->second.parsed ? &it->second.def : nullptr;
    };
    index.parsed = ParseCreateIndex(*sql, lookup, index.def, tableName, error);
    if (!index.parsed) {
      Problem(where + ": CREATE INDEX of " + name + " does not parse: " + error);
    } else if (index.def.name != name) {
      Problem(where + ": sql defines index " + index.def.name + ", the row names " + name);
    } else if (Lower(tableName) != index.table) {
      Problem(where + ": index " + name + " is on " + tableName + " but tbl_name says " + tblName);
      index.parsed = false;
    }
  }
  if (index.parsed) {
    m_tables[index.table].hasIndex = true;
    m_indices.push_back(std::move(index));
  } else if (root >= 3) {
    m_unparsedTrees.push_back({"index", root});
  }
}

/* Walks every table and index tree and compares the indices with the rows. */
void FileChecker::CheckTables() {
  for (const std::string& key : m_tableOrder) {
    TableInfo& table = m_tables[key];
    if (table.root < 3) continue;
    TreeWalk walk;
    walk.name = "table " + table.def.name;
    int columns = table.parsed ? static_cast<int>(table.def.columns.size()) : -1;
    int rowidColumn = table.parsed ? table.def.rowidColumn : -1;
    std::vector<Row>* rows = table.hasIndex ? &table.rows : nullptr;
    walk.visit = [&, columns, rowidColumn, rows](const std::string& k, const std::string& data) {
      CheckTableEntry(walk.name, k, data, columns, rowidColumn, rows);
    };
    WalkTree(table.root, walk);
  }
  for (IndexInfo& index : m_indices) {
    if (index.root < 3) continue;
    TreeWalk walk;
    walk.name = "index " + index.def.name;
    size_t fieldCount = index.def.columns.size();
    walk.visit = [&, fieldCount](const std::string& key, const std::string& data) {
      if (!data.empty())
        Problem(walk.name + ": entry with " + std::to_string(data.size()) + " data bytes");
      IndexKey entry{key, false};
      size_t pos = 0;
      for (size_t f = 0; f < fieldCount; f++) {
        char tag = pos < key.size() ? key[pos] : 0;
        size_t end = key.find('\0', pos);
        if ((tag != 'a' && tag != 'b' && tag != 'c') || end == std::string::npos ||
            (tag == 'a' && end != pos + 1)) {
          Problem(walk.name + ": malformed key field");
          return;
        }
        entry.hasNull = entry.hasNull || tag == 'a';
        pos = end + 1;
      }
      if (key.size() != pos + 4) {
        Problem(walk.name + ": key does not end in a 4-byte rowid");
        return;
      }
      index.keys.push_back(std::move(entry));
    };
    WalkTree(index.root, walk);
    CheckIndexContent(index);
  }
  for (const auto& [kind, root] : m_unparsedTrees) {
    TreeWalk walk;
    walk.name = kind + " tree at page " + std::to_string(root);
    walk.visit = [](const std::string&, const std::string&) {};
    WalkTree(root, walk);
  }
}

/* Compares INDEX with the keys the rows of its table produce. */
void FileChecker::CheckIndexContent(const IndexInfo& index) {
  const TableInfo& table = m_tables[index.table];
  std::string name = index.def.name;
  if (index.def.unique) {
    for (size_t i = 1; i < index.keys.size(); i++) {
      const IndexKey& a = index.keys[i - 1];
      const IndexKey& b = index.keys[i];
      if (!a.hasNull && a.bytes.size() == b.bytes.size() &&
          a.bytes.compare(0, a.bytes.size() - 4, b.bytes, 0, b.bytes.size() - 4) == 0) {
        Problem("unique index " + name + " holds the same value for rowids " +
                std::to_string(RowidOfKey(std::string_view(a.bytes).substr(a.bytes.size() - 4))) +
                " and " +
                std::to_string(RowidOfKey(std::string_view(b.bytes).substr(b.bytes.size() - 4))));
      }
    }
  }
  /* Formats 1 and 2 use an older key encoding that is not checked. */
  if (!table.parsed || m_format < 3) return;
  std::vector<std::string> expected;
  for (const Row& row : table.rows) {
    std::string key;
    for (int column : index.def.columns) {
      bool numeric = m_format < 4 || table.def.columns[column].numeric;
      if (column == table.def.rowidColumn) {
        key += check::IndexKeyField(std::to_string(row.rowid), true);
      } else {
        key += check::IndexKeyField(row.fields[column], numeric);
      }
    }
    expected.push_back(key + RowidKey(row.rowid));
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> actual;
  for (const IndexKey& k : index.keys) actual.push_back(k.bytes);
  std::sort(actual.begin(), actual.end());
  std::vector<std::string> missing;
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                      std::back_inserter(missing));
  std::vector<std::string> extra;
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(),
                      std::back_inserter(extra));
  for (size_t i = 0; i < missing.size() && i < 5; i++) {
    std::string_view k = missing[i];
    Problem("rowid " + std::to_string(RowidOfKey(k.substr(k.size() - 4))) + " missing from index " +
            name);
  }
  for (size_t i = 0; i < extra.size() && i < 5; i++) {
    std::string_view k = extra[i];
    Problem("index " + name + " has an entry that matches no row (rowid " +
            std::to_string(RowidOfKey(k.substr(k.size() - 4))) + ")");
  }
  if (expected.size() != actual.size()) Problem("wrong # of entries in index " + name);
}

/* Walks the freelist and compares its length with the count on page 1. */
void FileChecker::CheckFreelist() {
  const unsigned char* header = Page(1);
  uint32_t trunk = Get32(header + 52);
  uint32_t expectedCount = Get32(header + 56);
  uint64_t counted = 0;
  while (trunk != 0) {
    if (!UsePage(trunk, "freelist trunk")) break;
    counted++;
    const unsigned char* p = Page(trunk);
    uint32_t leaves = Get32(p + 4);
    if (leaves > kMaxTrunkLeaves) {
      Problem("freelist trunk page " + std::to_string(trunk) + " claims " + std::to_string(leaves) +
              " leaves");
      break;
    }
    for (uint32_t i = 0; i < leaves; i++) {
      if (UsePage(Get32(p + 8 + 4 * i), "freelist leaf")) counted++;
    }
    trunk = Get32(p);
  }
  if (counted != expectedCount) {
    Problem("freelist holds " + std::to_string(counted) + " pages, page 1 says " +
            std::to_string(expectedCount));
  }
}

/* Reports every page that nothing uses. */
void FileChecker::CheckUnusedPages() {
  for (uint32_t pgno = 1; pgno <= m_pageCount; pgno++) {
    if (!m_used[pgno]) Problem("Page " + std::to_string(pgno) + " is never used");
  }
}

std::vector<std::string> FileChecker::Run() {
  if (m_bytes.empty()) return {};
  if (!CheckHeader()) return m_problems;
  CheckMaster();
  CheckTables();
  CheckFreelist();
  CheckUnusedPages();
  return m_problems;
}

}  // namespace

std::vector<std::string> CheckBytes(const std::string& bytes) {
  return FileChecker(bytes).Run();
}

std::vector<std::string> CheckFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {"cannot open " + path};
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return {"cannot read " + path};
  return CheckBytes(bytes);
}

}  // namespace s2
