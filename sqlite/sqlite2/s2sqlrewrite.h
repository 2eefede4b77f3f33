/*
** Translation of 2.x statements for the SQLite 3 working copy.  A 2.x
** statement is sorted into its kind (query, row change, schema change,
** transaction control, pragma) and its text is rewritten so that SQLite 3
** gives the 2.x result:
**   - number literals whose spelling SQLite 3 would not keep (007, 1.50,
**     1e3, -0, 20-digit numbers) become string literals of that spelling;
**   - every value an INSERT or UPDATE writes passes through the function
**     that gives it its stored 2.x text;
**   - sqlite_master means the 2.x schema rows kept by the working copy.
*/
#ifndef S2SQLREWRITE_H
#define S2SQLREWRITE_H

#include "s2sqltoken.h"

#include <string>
#include <string_view>
#include <vector>

namespace s2 {

/* Where the working copy keeps the 2.x schema rows. */
extern const char* const kMasterTable;

enum class StatementKind {
  Empty,  /* only white space and comments */
  Query,  /* SELECT, EXPLAIN */
  Change, /* INSERT, REPLACE, UPDATE, DELETE */
  CreateTable,
  CreateIndex,
  CreateView,
  CreateTrigger,
  DropTable,
  DropIndex,
  DropView,
  DropTrigger,
  Begin,
  Commit,
  Rollback,
  Pragma,
  Vacuum,
  Invalid /* refused; see Statement::error */
};

/* One statement sorted into its kind.  The tokens point into text, so a
** copy or move tokenizes its own text again. */
struct Statement {
  StatementKind kind = StatementKind::Empty;
  std::string text;          /* from the first token to the last, no ';' */
  std::vector<Token> tokens; /* significant tokens of text */
  bool temporary = false;    /* CREATE TEMP ... */
  std::string name;          /* object created or dropped, or table changed */
  std::string error;         /* for Invalid */

  Statement() = default;
  Statement(const Statement& other) { *this = other; }
  Statement(Statement&& other) { *this = std::move(other); }
  Statement& operator=(const Statement& other) {
    kind = other.kind;
    text = other.text;
    tokens = significantTokens(text);
    temporary = other.temporary;
    name = other.name;
    error = other.error;
    return *this;
  }
  Statement& operator=(Statement&& other) {
    kind = other.kind;
    text = std::move(other.text);
    tokens = significantTokens(text);
    temporary = other.temporary;
    name = std::move(other.name);
    error = std::move(other.error);
    return *this;
  }
};

/* Sorts the statement TEXT (one statement, an optional ';' at its end). */
Statement classifyStatement(std::string_view text);

/* A piece of a statement that the translation replaced. */
struct Replacement {
  std::string translated;
  std::string original;
};

/* Returns TEXT rewritten for the working copy (see the file comment).
** REPLACED (if given) receives the pieces replaced, so that names made
** from the translated text can be given their original spelling. */
std::string translateForWorkingCopy(std::string_view text,
                                    std::vector<Replacement>* replaced = nullptr);

/* Returns NAME (a result column name SQLite 3 made from translated text)
** with the replaced pieces spelled as in ORIGINAL. */
std::string originalColumnName(const std::string& name, std::string_view original,
                               const std::vector<Replacement>& replaced);

/* The ON CONFLICT clauses of a CREATE TABLE text: one entry for each
** PRIMARY KEY or UNIQUE constraint in the order they are written and one
** for each column's NOT NULL; an entry is empty where no clause is given. */
struct ConflictClauses {
  std::vector<std::string> keys;
  std::vector<bool> keyIsPrimary;
  std::vector<std::string> notNull;
};

/* Returns the conflict clauses of the CREATE TABLE text SQL. */
ConflictClauses conflictClauses(std::string_view sql);

/* Returns the "near "X": syntax error" message for TOKEN. */
std::string syntaxErrorNear(const Token& token);

}  // namespace s2

#endif
