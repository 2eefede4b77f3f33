/*
** Reading a query for its one source table, and the conditions that pick
** a result row out again.
*/
#include "rowsource.h"

#include <cstdlib>

#include "sqliterowstatements.h"
#include "sqltext.h"

namespace {

/* The top-level tokens of QUERY that are neither blanks nor comments. */
std::vector<SqlToken> TopLevelTokens(std::string_view query) {
  std::vector<SqlToken> tokens;
  for (const SqlToken& token : TokenizeSql(query))
    if (!IsSqlBlank(token.kind) && token.depth == 0) tokens.push_back(token);
  return tokens;
}

/* Words that make result rows something other than rows of one table. */
constexpr std::string_view kFoldingWords[] = {"DISTINCT",  "GROUP",  "HAVING", "UNION",
                                              "INTERSECT", "EXCEPT", "JOIN",   "WINDOW"};

/* Returns the index in TOKENS of the table name of a plain single-table
** SELECT, or 0 when QUERY is not one (index 0 is always SELECT). */
size_t TableTokenOf(std::string_view query, const std::vector<SqlToken>& tokens) {
  if (tokens.empty() || !IsSqlWord(query, tokens[0], "SELECT")) return 0;
  size_t from = 0;
  for (size_t i = 1; i < tokens.size(); ++i) {
    for (std::string_view word : kFoldingWords)
      if (IsSqlWord(query, tokens[i], word)) return 0;
    if (from == 0 && IsSqlWord(query, tokens[i], "FROM")) from = i;
    // A bracket in the column list is a function call (perhaps an
    // aggregate) or a sub-query.
    if (from == 0 && tokens[i].kind == SqlTokenKind::Open) return 0;
  }
  if (from < 2 || from + 1 >= tokens.size()) return 0;
  size_t table = from + 1;
  SqlTokenKind kind = tokens[table].kind;
  if (kind != SqlTokenKind::Word && kind != SqlTokenKind::QuotedName) return 0;
  if (table + 1 == tokens.size()) return table;
  const SqlToken& next = tokens[table + 1];
  if (next.kind == SqlTokenKind::Semicolon && table + 2 == tokens.size()) return table;
  for (std::string_view word : {"WHERE", "ORDER", "LIMIT"})
    if (IsSqlWord(query, next, word)) return table;
  return 0;
}

}  // namespace

std::string SingleTableOf(std::string_view query) {
  std::vector<SqlToken> tokens = TopLevelTokens(query);
  size_t table = TableTokenOf(query, tokens);
  if (table == 0) return std::string();
  return UnquoteSqlName(query.substr(tokens[table].begin, tokens[table].end - tokens[table].begin));
}

bool SelectsEveryColumn(std::string_view query) {
  std::vector<SqlToken> tokens = TopLevelTokens(query);
  return TableTokenOf(query, tokens) == 3 && query.substr(tokens[1].begin, 1) == "*" &&
         tokens[1].end - tokens[1].begin == 1;
}

std::string WithRowIdColumn(std::string_view query, std::string_view rowIdName) {
  std::vector<SqlToken> tokens = TopLevelTokens(query);
  if (TableTokenOf(query, tokens) == 0 || rowIdName.empty()) return std::string();
  size_t cut = tokens[0].end;
  std::string text(query.substr(0, cut));
  text += ' ';
  text += rowIdName;
  text += ',';
  text += query.substr(cut);
  return text;
}

std::string RowCondition(const RowIdentity& identity, const XB_SQLiteResult& result, int row) {
  if (!identity.Usable() || row < 0 || row >= result.Rows()) return std::string();
  std::string condition;
  bool keysUsable = !identity.keyColumns.empty();
  for (size_t i = 0; keysUsable && i < identity.keyColumns.size(); ++i) {
    const char* value = result.Get(identity.keyColumns[i], row);
    if (!value) {
      keysUsable = false;
      break;
    }
    if (!condition.empty()) condition += " AND ";
    condition += XB_SqlName(identity.keys[i]).Std();
    condition += " = ";
    condition += XB_SqlQuote(value).Std();
  }
  if (keysUsable) return condition;
  if (identity.rowIdColumn < 0) return std::string();
  const char* rowId = result.Get(identity.rowIdColumn, row);
  if (!rowId || !*rowId) return std::string();
  char* end = nullptr;
  long long number = std::strtoll(rowId, &end, 10);
  if (*end) return std::string();
  return identity.rowIdName + " = " + std::to_string(number);
}
