/*
** The viewer's SQL tokenizer, statement splitter and name quoting.
*/
#include "sqltext.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

/* The keywords of SQLite 3 (a superset of those of 2.x), upper case and
** sorted, for the binary search of IsKeyword. */
constexpr std::array<std::string_view, 147> kKeywords = {
    "ABORT",
    "ACTION",
    "ADD",
    "AFTER",
    "ALL",
    "ALTER",
    "ALWAYS",
    "ANALYZE",
    "AND",
    "AS",
    "ASC",
    "ATTACH",
    "AUTOINCREMENT",
    "BEFORE",
    "BEGIN",
    "BETWEEN",
    "BY",
    "CASCADE",
    "CASE",
    "CAST",
    "CHECK",
    "COLLATE",
    "COLUMN",
    "COMMIT",
    "CONFLICT",
    "CONSTRAINT",
    "CREATE",
    "CROSS",
    "CURRENT",
    "CURRENT_DATE",
    "CURRENT_TIME",
    "CURRENT_TIMESTAMP",
    "DATABASE",
    "DEFAULT",
    "DEFERRABLE",
    "DEFERRED",
    "DELETE",
    "DESC",
    "DETACH",
    "DISTINCT",
    "DO",
    "DROP",
    "EACH",
    "ELSE",
    "END",
    "ESCAPE",
    "EXCEPT",
    "EXCLUDE",
    "EXCLUSIVE",
    "EXISTS",
    "EXPLAIN",
    "FAIL",
    "FILTER",
    "FIRST",
    "FOLLOWING",
    "FOR",
    "FOREIGN",
    "FROM",
    "FULL",
    "GENERATED",
    "GLOB",
    "GROUP",
    "GROUPS",
    "HAVING",
    "IF",
    "IGNORE",
    "IMMEDIATE",
    "IN",
    "INDEX",
    "INDEXED",
    "INITIALLY",
    "INNER",
    "INSERT",
    "INSTEAD",
    "INTERSECT",
    "INTO",
    "IS",
    "ISNULL",
    "JOIN",
    "KEY",
    "LAST",
    "LEFT",
    "LIKE",
    "LIMIT",
    "MATCH",
    "MATERIALIZED",
    "NATURAL",
    "NO",
    "NOT",
    "NOTHING",
    "NOTNULL",
    "NULL",
    "NULLS",
    "OF",
    "OFFSET",
    "ON",
    "OR",
    "ORDER",
    "OTHERS",
    "OUTER",
    "OVER",
    "PARTITION",
    "PLAN",
    "PRAGMA",
    "PRECEDING",
    "PRIMARY",
    "QUERY",
    "RAISE",
    "RANGE",
    "RECURSIVE",
    "REFERENCES",
    "REGEXP",
    "REINDEX",
    "RELEASE",
    "RENAME",
    "REPLACE",
    "RESTRICT",
    "RETURNING",
    "RIGHT",
    "ROLLBACK",
    "ROW",
    "ROWS",
    "SAVEPOINT",
    "SELECT",
    "SET",
    "TABLE",
    "TEMP",
    "TEMPORARY",
    "THEN",
    "TIES",
    "TO",
    "TRANSACTION",
    "TRIGGER",
    "UNBOUNDED",
    "UNION",
    "UNIQUE",
    "UPDATE",
    "USING",
    "VACUUM",
    "VALUES",
    "VIEW",
    "VIRTUAL",
    "WHEN",
    "WHERE",
    "WINDOW",
    "WITH",
    "WITHOUT",
};

/* Returns true for the blanks of SQL text: space and codes 1 to 13. */
bool IsBlankChar(char c) {
  return c == ' ' || (c >= 1 && c <= 13);
}

/* Returns true for the characters of a bare word (bytes above 127 count as
** letters, so UTF-8 and Latin-1 names stay one word). */
bool IsWordChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

/* Returns the end of the quoted token that starts at BEGIN with OPEN and
** closes with CLOSE; a doubled CLOSE stands for itself when DOUBLES is set.
** An unterminated token runs to the end of TEXT. */
size_t QuotedEnd(std::string_view text, size_t begin, char close, bool doubles) {
  size_t i = begin + 1;
  while (i < text.size()) {
    if (text[i] == close) {
      if (doubles && i + 1 < text.size() && text[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return text.size();
}

/* Returns the upper-case copy of WORD (ASCII letters only). */
std::string Upper(std::string_view word) {
  std::string upper(word);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

/* Returns true when WORD is a keyword, ignoring ASCII case. */
bool IsKeyword(std::string_view word) {
  return std::binary_search(kKeywords.begin(), kKeywords.end(), Upper(word));
}

/* Returns TEXT without blanks at both ends. */
std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::vector<SqlToken> TokenizeSql(std::string_view text) {
  std::vector<SqlToken> tokens;
  int depth = 0;
  size_t i = 0;
  while (i < text.size()) {
    SqlToken t;
    t.begin = i;
    t.depth = depth;
    char c = text[i];
    char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (IsBlankChar(c)) {
      t.kind = SqlTokenKind::Space;
      while (i < text.size() && IsBlankChar(text[i])) ++i;
    } else if (c == '-' && next == '-') {
      t.kind = SqlTokenKind::LineComment;
      size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end;
    } else if (c == '/' && next == '*') {
      t.kind = SqlTokenKind::BlockComment;
      size_t end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
    } else if (c == '\'') {
      t.kind = SqlTokenKind::String;
      i = QuotedEnd(text, i, '\'', true);
    } else if (c == '"' || c == '`') {
      t.kind = SqlTokenKind::QuotedName;
      i = QuotedEnd(text, i, c, true);
    } else if (c == '[') {
      t.kind = SqlTokenKind::QuotedName;
      i = QuotedEnd(text, i, ']', false);
    } else if (IsWordChar(c)) {
      t.kind = SqlTokenKind::Word;
      while (i < text.size() && IsWordChar(text[i])) ++i;
    } else {
      ++i;
      switch (c) {
        case '(':
          t.kind = SqlTokenKind::Open;
          ++depth;
          break;
        case ')':
          t.kind = SqlTokenKind::Close;
          if (depth > 0) --depth;
          t.depth = depth;
          break;
        case ';':
          t.kind = SqlTokenKind::Semicolon;
          break;
        case ',':
          t.kind = SqlTokenKind::Comma;
          break;
        default:
          t.kind = SqlTokenKind::Other;
      }
    }
    t.end = i;
    tokens.push_back(t);
  }
  return tokens;
}

bool IsSqlWord(std::string_view text, const SqlToken& token, std::string_view word) {
  if (token.kind != SqlTokenKind::Word || token.end - token.begin != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[token.begin + i])) !=
        std::toupper(static_cast<unsigned char>(word[i])))
      return false;
  }
  return true;
}

bool IsSqlBlank(SqlTokenKind kind) {
  return kind == SqlTokenKind::Space || kind == SqlTokenKind::LineComment ||
         kind == SqlTokenKind::BlockComment;
}

std::vector<std::string> SplitSqlStatements(std::string_view script) {
  std::vector<std::string> statements;
  std::vector<SqlToken> tokens = TokenizeSql(script);
  size_t start = 0;         /* where the current statement's text begins */
  bool significant = false; /* it holds more than blanks and comments */
  int words = 0;            /* significant top-level tokens seen so far */
  bool trigger = false;     /* it is a CREATE [TEMP] TRIGGER */
  bool inBody = false;      /* inside the trigger's BEGIN ... END */
  int cases = 0;            /* open CASE ... END inside the body */
  auto finish = [&](size_t end) {
    if (significant) statements.emplace_back(TrimBlanks(script.substr(start, end - start)));
    start = end;
    significant = trigger = inBody = false;
    words = cases = 0;
  };
  for (const SqlToken& t : tokens) {
    if (IsSqlBlank(t.kind)) continue;
    if (t.kind == SqlTokenKind::Semicolon && t.depth == 0 && !inBody) {
      finish(t.begin);
      start = t.end;
      continue;
    }
    significant = true;
    if (t.depth != 0) continue;
    ++words;
    if (words <= 4 && IsSqlWord(script, t, "TRIGGER")) trigger = true;
    if (!trigger) continue;
    if (!inBody && IsSqlWord(script, t, "BEGIN")) {
      inBody = true;
    } else if (inBody && IsSqlWord(script, t, "CASE")) {
      ++cases;
    } else if (inBody && IsSqlWord(script, t, "END")) {
      if (cases > 0)
        --cases;
      else
        inBody = false;
    }
  }
  finish(script.size());
  return statements;
}

bool IsPlainSqlName(std::string_view name) {
  if (name.empty()) return false;
  unsigned char first = static_cast<unsigned char>(name[0]);
  if (!(std::isalpha(first) || first == '_')) return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || c == '_' || c == '$')) return false;
  }
  return !IsKeyword(name);
}

std::string QuoteSqlName(std::string_view name) {
  if (IsPlainSqlName(name)) return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string UnquoteSqlName(std::string_view token) {
  if (token.size() < 2) return std::string(token);
  char open = token.front();
  char close = open == '[' ? ']' : open;
  if ((open != '"' && open != '`' && open != '[' && open != '\'') || token.back() != close)
    return std::string(token);
  std::string name;
  for (size_t i = 1; i + 1 < token.size(); ++i) {
    name += token[i];
    if (open != '[' && token[i] == close && token[i + 1] == close) ++i;
  }
  return name;
}
