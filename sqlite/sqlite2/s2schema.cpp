/*
** The schema knowledge of the 2.x engine: reading a stored CREATE TABLE or
** CREATE INDEX text the way 2.8.17 reads its sqlite_master at open.  The
** results decide which column is the rowid alias, the class each column
** compares in, the automatic indices a table owns and the columns of every
** index, which is all the file needs to rebuild indices from table rows.
*/
#include "s2schema.h"

#include <cctype>

namespace s2 {

namespace {

enum class TokenKind { Word, String, Bracketed, Number, Punct, End, Bad };

/* One token of an SQL text: its kind and its span in the source. */
struct Token {
  TokenKind kind = TokenKind::End;
  size_t start = 0;
  size_t length = 0;
};

bool isSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
bool isIdStart(unsigned char c) {
  return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool isIdChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}
bool isDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

/* Splits an SQL text into tokens, skipping white space and comments. */
class Lexer {
 public:
  explicit Lexer(std::string_view sql) : m_sql(sql) {}

  /* Returns the next token; kind End at the end of the text. */
  Token next() {
    skipBlanks();
    Token t;
    t.start = m_pos;
    if (m_pos >= m_sql.size()) return t;
    unsigned char c = m_sql[m_pos];
    if (c == '\'' || c == '"') {
      t.kind = scanQuoted(char(c)) ? TokenKind::String : TokenKind::Bad;
    } else if (c == '[') {
      size_t close = m_sql.find(']', m_pos + 1);
      t.kind = close == std::string_view::npos ? TokenKind::Bad : TokenKind::Bracketed;
      m_pos = close == std::string_view::npos ? m_sql.size() : close + 1;
    } else if (isDigit(c) || (c == '.' && m_pos + 1 < m_sql.size() && isDigit(m_sql[m_pos + 1]))) {
      scanNumber();
      t.kind = TokenKind::Number;
    } else if (isIdStart(c)) {
      while (m_pos < m_sql.size() && isIdChar(m_sql[m_pos])) m_pos++;
      t.kind = TokenKind::Word;
    } else {
      m_pos++;
      t.kind = TokenKind::Punct;
    }
    t.length = m_pos - t.start;
    return t;
  }

 private:
  /* Moves past white space and comments. */
  void skipBlanks() {
    while (m_pos < m_sql.size()) {
      unsigned char c = m_sql[m_pos];
      if (isSpace(c)) {
        m_pos++;
      } else if (c == '-' && m_pos + 1 < m_sql.size() && m_sql[m_pos + 1] == '-') {
        size_t eol = m_sql.find('\n', m_pos);
        m_pos = eol == std::string_view::npos ? m_sql.size() : eol + 1;
      } else if (c == '/' && m_pos + 1 < m_sql.size() && m_sql[m_pos + 1] == '*') {
        size_t end = m_sql.find("*/", m_pos + 2);
        m_pos = end == std::string_view::npos ? m_sql.size() : end + 2;
      } else {
        return;
      }
    }
  }

  /* Moves past a quoted token; false if its closing quote is missing. */
  bool scanQuoted(char quote) {
    m_pos++;
    while (m_pos < m_sql.size()) {
      if (m_sql[m_pos] == quote) {
        if (m_pos + 1 < m_sql.size() && m_sql[m_pos + 1] == quote) {
          m_pos += 2;
          continue;
        }
        m_pos++;
        return true;
      }
      m_pos++;
    }
    return false;
  }

  /* Moves past digits, a fraction and an exponent. */
  void scanNumber() {
    while (m_pos < m_sql.size() && isDigit(m_sql[m_pos])) m_pos++;
    if (m_pos < m_sql.size() && m_sql[m_pos] == '.') {
      m_pos++;
      while (m_pos < m_sql.size() && isDigit(m_sql[m_pos])) m_pos++;
    }
    if (m_pos < m_sql.size() && (m_sql[m_pos] == 'e' || m_sql[m_pos] == 'E')) {
      size_t save = m_pos++;
      if (m_pos < m_sql.size() && (m_sql[m_pos] == '+' || m_sql[m_pos] == '-')) m_pos++;
      if (m_pos < m_sql.size() && isDigit(m_sql[m_pos])) {
        while (m_pos < m_sql.size() && isDigit(m_sql[m_pos])) m_pos++;
      } else {
        m_pos = save;
      }
    }
  }

  std::string_view m_sql;
  size_t m_pos = 0;
};

/* Words that end a column's type because they start a constraint. */
const char* const kConstraintWords[] = {"CONSTRAINT", "PRIMARY",    "NOT",     "NULL",
                                        "UNIQUE",     "CHECK",      "DEFAULT", "COLLATE",
                                        "REFERENCES", "DEFERRABLE", "ON"};

/* A recursive-descent reader over the tokens of one statement. */
class Parser {
 public:
  explicit Parser(std::string_view sql) : m_sql(sql), m_lexer(sql) { advance(); }

  std::string error;

  bool atEnd() const { return m_tok.kind == TokenKind::End; }
  const Token& token() const { return m_tok; }
  std::string_view text(const Token& t) const { return m_sql.substr(t.start, t.length); }

  void advance() { m_tok = m_lexer.next(); }

  /* True if the current token is the (unquoted) keyword WORD. */
  bool isWord(const char* word) const {
    return m_tok.kind == TokenKind::Word && sameName(text(m_tok), word);
  }

  /* True if the current token is the punctuation character C. */
  bool isPunct(char c) const { return m_tok.kind == TokenKind::Punct && m_sql[m_tok.start] == c; }

  /* Consumes keyword WORD; returns false (and records an error) if absent. */
  bool expectWord(const char* word) {
    if (!isWord(word)) return fail(std::string("expected ") + word);
    advance();
    return true;
  }

  /* Consumes punctuation C; returns false (and records an error) if absent. */
  bool expectPunct(char c) {
    if (!isPunct(c)) return fail(std::string("expected \"") + c + "\"");
    advance();
    return true;
  }

  /* Consumes keyword WORD if present; returns whether it was. */
  bool acceptWord(const char* word) {
    if (!isWord(word)) return false;
    advance();
    return true;
  }

  /* Consumes punctuation C if present; returns whether it was. */
  bool acceptPunct(char c) {
    if (!isPunct(c)) return false;
    advance();
    return true;
  }

  /* Records the first error (with the token it occurred at); returns false. */
  bool fail(std::string message) {
    if (error.empty()) {
      if (atEnd()) {
        error = message + " at end of statement";
      } else {
        error = "near \"" + std::string(text(m_tok)) + "\": " + message;
      }
    }
    return false;
  }

  /* True if the current token can be a name (identifier or quoted). */
  bool atName() const {
    return m_tok.kind == TokenKind::Word || m_tok.kind == TokenKind::String ||
           m_tok.kind == TokenKind::Bracketed;
  }

  /* Reads a name and returns it with its quotes removed. */
  bool name(std::string& out) {
    if (!atName()) return fail("syntax error");
    out = dequote(text(m_tok));
    advance();
    return true;
  }

  /* Skips a parenthesised group starting at the current "(". */
  bool skipParenthesised() {
    if (!expectPunct('(')) return false;
    int depth = 1;
    while (depth > 0) {
      if (atEnd() || m_tok.kind == TokenKind::Bad) return fail("unbalanced parentheses");
      if (isPunct('(')) depth++;
      if (isPunct(')')) depth--;
      advance();
    }
    return true;
  }

  /* Removes the quotes of a quoted name or string and undoubles the
  ** doubled quote characters inside, as 2.x does. */
  static std::string dequote(std::string_view s) {
    if (s.empty()) return std::string();
    char q = s[0];
    if (q != '\'' && q != '"' && q != '[') return std::string(s);
    char close = q == '[' ? ']' : q;
    std::string out;
    for (size_t i = 1; i < s.size(); i++) {
      if (s[i] == close) {
        if (close != ']' && i + 1 < s.size() && s[i + 1] == close) {
          out.push_back(close);
          i++;
          continue;
        }
        break;
      }
      out.push_back(s[i]);
    }
    return out;
  }

 private:
  std::string_view m_sql;
  Lexer m_lexer;
  Token m_tok;
};

/* True if the current token starts a column constraint. */
bool isConstraintWord(const Parser& p) {
  for (const char* w : kConstraintWords) {
    if (p.isWord(w)) return true;
  }
  return false;
}

/* Skips "ON CONFLICT resolution" if present. */
bool skipConflictClause(Parser& p) {
  if (!p.isWord("ON")) return true;
  p.advance();
  if (!p.expectWord("CONFLICT")) return false;
  if (!p.atName()) return p.fail("syntax error");
  p.advance();
  return true;
}

/* Reads "( name [ASC|DESC], ... )" into NAMES. */
bool readNameList(Parser& p, std::vector<std::string>& names) {
  if (!p.expectPunct('(')) return false;
  for (;;) {
    std::string n;
    if (!p.name(n)) return false;
    names.push_back(n);
    if (!p.acceptWord("ASC")) p.acceptWord("DESC");
    if (p.acceptPunct(',')) continue;
    return p.expectPunct(')');
  }
}

/* Skips "[NOT] DEFERRABLE [INITIALLY DEFERRED|IMMEDIATE]" if present. */
void skipDeferrable(Parser& p) {
  if (!p.acceptWord("DEFERRABLE")) return;
  if (p.acceptWord("INITIALLY")) {
    if (!p.acceptWord("DEFERRED")) p.acceptWord("IMMEDIATE");
  }
}

/* Skips "REFERENCES name [(cols)] [MATCH x | ON event action]..." after the
** word REFERENCES was consumed. */
bool skipReferences(Parser& p) {
  std::string table;
  if (!p.name(table)) return false;
  if (p.isPunct('(')) {
    std::vector<std::string> cols;
    if (!readNameList(p, cols)) return false;
  }
  for (;;) {
    if (p.acceptWord("MATCH")) {
      std::string n;
      if (!p.name(n)) return false;
    } else if (p.isWord("ON")) {
      p.advance();
      if (!p.acceptWord("DELETE") && !p.acceptWord("UPDATE") && !p.acceptWord("INSERT")) {
        return p.fail("syntax error");
      }
      if (p.acceptWord("SET")) {
        if (!p.acceptWord("NULL") && !p.acceptWord("DEFAULT")) return p.fail("syntax error");
      } else if (!p.acceptWord("CASCADE") && !p.acceptWord("RESTRICT")) {
        return p.fail("syntax error");
      }
    } else {
      return true;
    }
  }
}

/* Adds an automatic index over COLUMNS (positions) to TABLE. */
void addAutoIndex(TableDef& table, std::vector<int> columns) {
  IndexDef index;
  index.name =
      "(" + table.name + " autoindex " + std::to_string(table.autoIndices.size() + 1) + ")";
  index.tableName = table.name;
  index.columns = std::move(columns);
  index.unique = true;
  table.autoIndices.push_back(std::move(index));
}

/* Returns the position of the column named NAME in TABLE, or -1. */
int findColumn(const TableDef& table, std::string_view name) {
  for (size_t i = 0; i < table.columns.size(); i++) {
    if (sameName(table.columns[i].name, name)) return int(i);
  }
  return -1;
}

/* Finds the columns of a constraint over NAMES (empty: the column just
** defined) in TABLE; returns false, with the parser's error set, when a
** name is no column of the table. */
bool constraintColumns(Parser& p, const TableDef& table, const std::vector<std::string>& names,
                       std::vector<int>& columns) {
  if (names.empty()) {
    columns.push_back(int(table.columns.size()) - 1);
    return true;
  }
  for (const std::string& n : names) {
    int c = findColumn(table, n);
    if (c < 0) return p.fail("table " + table.name + " has no column named " + n);
    columns.push_back(c);
  }
  return true;
}

/* Applies a PRIMARY KEY over NAMES (empty: the last column) to TABLE. */
bool addPrimaryKey(Parser& p, TableDef& table, bool& hasPrimaryKey,
                   const std::vector<std::string>& names) {
  if (hasPrimaryKey) {
    return p.fail("table \"" + table.name + "\" has more than one primary key");
  }
  hasPrimaryKey = true;
  std::vector<int> columns;
  if (!constraintColumns(p, table, names, columns)) return false;
  if (columns.size() == 1 && sameName(table.columns[columns[0]].declaredType, "INTEGER")) {
    table.rowidColumn = columns[0];
    return true;
  }
  addAutoIndex(table, std::move(columns));
  return true;
}

/* Applies a UNIQUE over NAMES (empty: the last column) to TABLE. */
bool addUnique(Parser& p, TableDef& table, const std::vector<std::string>& names) {
  std::vector<int> columns;
  if (!constraintColumns(p, table, names, columns)) return false;
  addAutoIndex(table, std::move(columns));
  return true;
}

/* Reads the value of a DEFAULT clause into COLUMN. */
bool readDefault(Parser& p, ColumnDef& column) {
  bool minus = false;
  if (p.acceptPunct('-')) {
    minus = true;
  } else {
    p.acceptPunct('+');
  }
  const Token& t = p.token();
  if (!minus && p.isWord("NULL")) {
    p.advance();
    column.hasDefault = true;
    column.defaultValue.reset();
    return true;
  }
  bool numeric = t.kind == TokenKind::Number;
  if (!numeric && (minus || !p.atName())) return p.fail("syntax error");
  std::string value = Parser::dequote(p.text(t));
  if (minus) value.insert(value.begin(), '-');
  column.hasDefault = true;
  column.defaultValue = value;
  p.advance();
  return true;
}

/* Reads the constraints of the column just added to TABLE. */
bool readColumnConstraints(Parser& p, TableDef& table, bool& hasPrimaryKey) {
  for (;;) {
    if (p.acceptWord("CONSTRAINT")) {
      std::string n;
      if (!p.name(n)) return false;
      continue;
    }
    if (p.acceptWord("DEFAULT")) {
      if (!readDefault(p, table.columns.back())) return false;
    } else if (p.acceptWord("NULL")) {
      if (!skipConflictClause(p)) return false;
    } else if (p.acceptWord("NOT")) {
      if (p.acceptWord("DEFERRABLE")) {
        if (p.acceptWord("INITIALLY")) {
          if (!p.acceptWord("DEFERRED")) p.acceptWord("IMMEDIATE");
        }
        continue;
      }
      if (!p.expectWord("NULL")) return false;
      table.columns.back().notNull = true;
      if (!skipConflictClause(p)) return false;
    } else if (p.acceptWord("PRIMARY")) {
      if (!p.expectWord("KEY")) return false;
      if (!p.acceptWord("ASC")) p.acceptWord("DESC");
      if (!addPrimaryKey(p, table, hasPrimaryKey, {})) return false;
      if (!skipConflictClause(p)) return false;
    } else if (p.acceptWord("UNIQUE")) {
      if (!addUnique(p, table, {})) return false;
      if (!skipConflictClause(p)) return false;
    } else if (p.isWord("CHECK")) {
      p.advance();
      if (!p.skipParenthesised()) return false;
      if (!skipConflictClause(p)) return false;
    } else if (p.acceptWord("REFERENCES")) {
      if (!skipReferences(p)) return false;
    } else if (p.isWord("DEFERRABLE")) {
      skipDeferrable(p);
    } else if (p.acceptWord("COLLATE")) {
      if (!p.atName()) return p.fail("syntax error");
      table.columns.back().cls = classOfTypeName(Parser::dequote(p.text(p.token())));
      p.advance();
    } else {
      return true;
    }
  }
}

/* Reads one column definition and appends it to TABLE. */
bool readColumn(Parser& p, std::string_view sql, TableDef& table, bool& hasPrimaryKey) {
  ColumnDef column;
  if (!p.name(column.name)) return false;
  if (findColumn(table, column.name) >= 0) {
    return p.fail("duplicate column name: " + column.name);
  }
  if (p.atName() && !isConstraintWord(p)) {
    size_t typeStart = p.token().start;
    size_t typeEnd = typeStart;
    while (p.atName() && !isConstraintWord(p)) {
      typeEnd = p.token().start + p.token().length;
      p.advance();
    }
    if (p.isPunct('(')) {
      p.advance();
      for (int part = 0; part < 2; part++) {
        if (!p.acceptPunct('+')) p.acceptPunct('-');
        if (p.token().kind != TokenKind::Number) return p.fail("syntax error");
        p.advance();
        if (part == 0 && !p.acceptPunct(',')) break;
      }
      typeEnd = p.token().start + p.token().length;
      if (!p.expectPunct(')')) return false;
    }
    for (size_t i = typeStart; i < typeEnd; i++) {
      if (!isSpace(sql[i])) column.declaredType.push_back(sql[i]);
    }
    column.cls = classOfTypeName(column.declaredType);
  }
  table.columns.push_back(std::move(column));
  return readColumnConstraints(p, table, hasPrimaryKey);
}

/* True if the current token starts a table constraint. */
bool atTableConstraint(const Parser& p) {
  return p.isWord("CONSTRAINT") || p.isWord("PRIMARY") || p.isWord("UNIQUE") || p.isWord("CHECK") ||
         p.isWord("FOREIGN");
}

/* Reads one table constraint into TABLE. */
bool readTableConstraint(Parser& p, TableDef& table, bool& hasPrimaryKey) {
  if (p.acceptWord("CONSTRAINT")) {
    std::string n;
    if (!p.name(n)) return false;
  }
  std::vector<std::string> names;
  if (p.acceptWord("PRIMARY")) {
    if (!p.expectWord("KEY") || !readNameList(p, names)) return false;
    if (!addPrimaryKey(p, table, hasPrimaryKey, names)) return false;
    return skipConflictClause(p);
  }
  if (p.acceptWord("UNIQUE")) {
    if (!readNameList(p, names) || !addUnique(p, table, names)) return false;
    return skipConflictClause(p);
  }
  if (p.isWord("CHECK")) {
    p.advance();
    if (!p.skipParenthesised()) return false;
    return skipConflictClause(p);
  }
  if (p.acceptWord("FOREIGN")) {
    if (!p.expectWord("KEY") || !readNameList(p, names)) return false;
    if (!p.expectWord("REFERENCES") || !skipReferences(p)) return false;
    if (p.acceptWord("NOT")) {
      if (!p.isWord("DEFERRABLE")) return p.fail("syntax error");
    }
    skipDeferrable(p);
    return true;
  }
  return p.fail("syntax error");
}

/* Accepts the end of a statement: nothing, or semicolons. */
bool expectStatementEnd(Parser& p) {
  while (p.acceptPunct(';')) {
  }
  if (!p.atEnd()) return p.fail("syntax error");
  return true;
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = x - 'A' + 'a';
    if (y >= 'A' && y <= 'Z') y = y - 'A' + 'a';
    if (x != y) return false;
  }
  return true;
}

ColumnClass classOfTypeName(std::string_view typeName) {
  static const char* const patterns[] = {"blob", "clob", "char", "text"};
  for (size_t i = 0; i + 3 < typeName.size(); i++) {
    unsigned char first = (unsigned char)typeName[i] | 0x60;
    for (const char* pattern : patterns) {
      if (first != (unsigned char)pattern[0]) continue;
      if (sameName(typeName.substr(i + 1, 3), pattern + 1)) return ColumnClass::Text;
    }
  }
  return ColumnClass::Numeric;
}

bool parseCreateTable(std::string_view sql, TableDef& out, std::string* error) {
  out = TableDef();
  Parser p(sql);
  bool hasPrimaryKey = false;
  bool good = [&] {
    if (!p.expectWord("CREATE")) return false;
    if (p.acceptWord("TEMP") || p.acceptWord("TEMPORARY")) out.temporary = true;
    if (!p.expectWord("TABLE")) return false;
    if (!p.name(out.name)) return false;
    if (!p.expectPunct('(')) return false;
    if (!readColumn(p, sql, out, hasPrimaryKey)) return false;
    while (p.acceptPunct(',')) {
      if (atTableConstraint(p)) break;
      if (!readColumn(p, sql, out, hasPrimaryKey)) return false;
    }
    while (atTableConstraint(p)) {
      if (!readTableConstraint(p, out, hasPrimaryKey)) return false;
      p.acceptPunct(',');
    }
    if (!p.expectPunct(')')) return false;
    return expectStatementEnd(p);
  }();
  if (!good && error) *error = p.error.empty() ? "syntax error" : p.error;
  return good;
}

bool parseCreateIndex(std::string_view sql, IndexStatement& out, std::string* error) {
  out = IndexStatement();
  Parser p(sql);
  bool good = [&] {
    if (!p.expectWord("CREATE")) return false;
    if (p.acceptWord("UNIQUE")) out.unique = true;
    if (!p.expectWord("INDEX")) return false;
    if (!p.name(out.name)) return false;
    if (!p.expectWord("ON")) return false;
    if (!p.name(out.tableName)) return false;
    if (p.acceptPunct('.')) {
      if (!p.name(out.tableName)) return false;
    }
    if (!readNameList(p, out.columnNames)) return false;
    if (!skipConflictClause(p)) return false;
    return expectStatementEnd(p);
  }();
  if (!good && error) *error = p.error.empty() ? "syntax error" : p.error;
  return good;
}

bool resolveIndex(const IndexStatement& stmt, const TableDef& table, IndexDef& out,
                  std::string* error) {
  out = IndexDef();
  out.name = stmt.name;
  out.tableName = table.name;
  out.unique = stmt.unique;
  for (const std::string& n : stmt.columnNames) {
    int c = findColumn(table, n);
    if (c < 0) {
      if (error) *error = "table " + table.name + " has no column named " + n;
      return false;
    }
    out.columns.push_back(c);
  }
  return true;
}

}  // namespace s2
