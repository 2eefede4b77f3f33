/*
** The checker's tokenizer and parser of the CREATE statements kept in
** sqlite_master (see s2checkparse.h).
*/
#include "s2checkparse.h"

#include "s2check.h"

#include <cctype>
#include <cstdint>
#include <set>

namespace s2check {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

namespace {

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

}  // namespace

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
    column.numeric = !IsTextClass(compactType);
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
        table.columns[index].numeric = !IsTextClass(collation);
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

}  // namespace s2check
