/*
** The viewer's reading of SQL text: a small tokenizer that knows string
** literals ('...'), quoted names ("...", [...], `...`), both comment forms
** and bracket depth, the top-level words of the first statement of a text,
** the splitting of a script into statements, and the quoting of names.
**
** Nothing here parses SQL.  The tokenizer only finds where tokens begin and
** end, so that the query rewrites can tell the query's own ORDER BY or
** LIMIT from one inside a sub-query, a literal or a comment, and can splice
** a new clause into the original text without touching anything else.  An
** unterminated literal, name or block comment runs to the end of the text.
*/
#ifndef SQLTEXT_H
#define SQLTEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

/* What one token of SQL text is. */
enum class SqlTokenKind {
  Space,        /* blanks (space and codes 1 to 13) */
  LineComment,  /* -- to the end of the line (the line break not included) */
  BlockComment, /* slash-star to star-slash */
  Word,         /* a bare word: keyword, name or number */
  String,       /* '...' */
  QuotedName,   /* "...", [...] or `...` */
  Open,         /* ( */
  Close,        /* ) */
  Semicolon,    /* ; */
  Comma,        /* , */
  Other         /* any other character, one at a time */
};

/* One token: where it stands in the text and its bracket depth (0 for the
** top level; an opening bracket has the depth outside it, and so has its
** closing one). */
struct SqlToken {
  SqlTokenKind kind = SqlTokenKind::Space;
  size_t begin = 0;
  size_t end = 0;
  int depth = 0;
};

/* Splits TEXT into tokens covering it completely, in order. */
std::vector<SqlToken> TokenizeSql(std::string_view text);

/* Returns true when TOKEN of TEXT is the bare word WORD (ASCII case ignored). */
bool IsSqlWord(std::string_view text, const SqlToken& token, std::string_view word);

/* Returns true when KIND is blanks or a comment. */
bool IsSqlBlank(SqlTokenKind kind);

/* Splits SCRIPT into its statements, in order, each without its ending
** semicolon and with its comments and line breaks kept; statements that are
** only blanks and comments are left out.  A semicolon inside a literal, a
** quoted name, a comment, brackets or a trigger's BEGIN ... END body does
** not end a statement. */
std::vector<std::string> SplitSqlStatements(std::string_view script);

/* Returns true when NAME can stand in SQL as it is: a letter or "_" first,
** then letters, digits, "_" or "$", and not an SQL keyword. */
bool IsPlainSqlName(std::string_view name);

/* Returns NAME as it must stand in SQL: unchanged when it is plain (see
** IsPlainSqlName), otherwise between double quotes with inner double quotes
** doubled. */
std::string QuoteSqlName(std::string_view name);

/* Returns the name a quoted name token stands for ("a""b" gives a"b,
** [x y] gives x y); a bare word comes back unchanged. */
std::string UnquoteSqlName(std::string_view token);

#endif
