/*
** The SQL tokenizer of the generation-2 engine's SQL layer.  It splits a
** statement text into tokens the way the 2.x grammar sees them (words,
** quoted names, string literals, numbers, operators, comments and white
** space), finds where one statement ends (a trigger body holds its own
** semicolons) and offers the helpers the statement translator needs:
** keyword tests, name unquoting and quoting.
*/
#ifndef S2SQLTOKEN_H
#define S2SQLTOKEN_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace s2 {

enum class TokenKind {
  Space,    /* white space or a comment */
  Word,     /* a bare identifier or keyword */
  Quoted,   /* "name", [name] or `name` */
  String,   /* 'text' */
  Number,   /* 12, 1.50, 1e3 */
  Blob,     /* x'41' */
  Variable, /* ? */
  Semicolon,
  Operator, /* any other punctuation, one or two characters */
  Illegal   /* a character no statement may contain */
};

struct Token {
  TokenKind kind = TokenKind::Space;
  size_t offset = 0; /* byte offset in the statement text */
  size_t length = 0;
  std::string_view text;
};

/* Splits TEXT into tokens, white space and comments included.  The views
** point into TEXT. */
std::vector<Token> tokenize(std::string_view text);

/* Returns the significant tokens of TEXT (no white space or comments). */
std::vector<Token> significantTokens(std::string_view text);

/* Returns the length of the first statement of TEXT, its terminating
** semicolon included when there is one.  A CREATE TRIGGER statement runs
** past the semicolons of its body to its END. */
size_t firstStatementLength(std::string_view text);

/* Returns true when TOKEN is the bare word WORD, compared ignoring ASCII
** case. */
bool isWord(const Token& token, std::string_view word);

/* Returns true when WORD is a keyword of the 2.x grammar. */
bool isKeyword(std::string_view word);

/* Returns the name a Word, Quoted or String token stands for: quotes
** removed and doubled quote characters made single. */
std::string unquoteName(const Token& token);

/* Returns NAME as a double-quoted identifier for the SQLite 3 working copy. */
std::string quoteIdentifier(std::string_view name);

/* Returns TEXT as a single-quoted SQL string literal. */
std::string quoteLiteral(std::string_view text);

/* Returns NAME written as 2.x writes column names into a generated CREATE
** TABLE: unchanged when it is a plain word that is no keyword, otherwise
** between single quotes. */
std::string generatedName(std::string_view name);

/* Returns a copy of TEXT with ASCII letters in lower case. */
std::string lowerAscii(std::string_view text);

}  // namespace s2

#endif
