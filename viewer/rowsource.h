/*
** Where the rows of a query's result come from, as far as Edit Row needs
** to know: whether each result row is one row of one table, so that it can
** be picked out again by that table's key columns or by its rowid, and the
** form of the query that fetches the rowid alongside the columns it shows.
**
** Only a plain single-table SELECT qualifies: "SELECT <columns> FROM
** <table>" followed by nothing, or by WHERE, ORDER BY and LIMIT.  A join, a
** sub-query in the FROM clause, DISTINCT, GROUP BY, a compound SELECT, a
** function call in the column list (an aggregate folds rows) or a schema
** prefix all mean the result rows are not rows of one table, and Edit Row
** stays off for them.  Like the other query rewrites this reads tokens, not
** a parse tree.
*/
#ifndef ROWSOURCE_H
#define ROWSOURCE_H

#include <string>
#include <string_view>
#include <vector>

#include "xb_sqliteresult.h"

/* Returns the table whose rows QUERY shows one for one (the name as it
** stands in the query, unquoted), or "" when QUERY is not a plain
** single-table SELECT. */
std::string SingleTableOf(std::string_view query);

/* Returns true when QUERY is a plain single-table SELECT of every column
** ("SELECT * FROM ..."). */
bool SelectsEveryColumn(std::string_view query);

/* Returns QUERY with ROWIDNAME put in front of its column list, so the
** result's first column is the rowid and the query's own columns follow
** unchanged; "" when QUERY is not a plain single-table SELECT. */
std::string WithRowIdColumn(std::string_view query, std::string_view rowIdName);

/* How the rows of one result are picked out again. */
struct RowIdentity {
  std::string table;             /* the table (as the file stores its name); "" for none */
  std::vector<std::string> keys; /* names of the table's key columns */
  std::vector<int> keyColumns;   /* result columns holding them, or empty */
  std::string rowIdName;         /* name under which the rowid was fetched */
  int rowIdColumn = -1;          /* result column holding the rowid, -1 for none */

  /* True when rows can be picked out at all. */
  bool Usable() const { return !table.empty() && (!keyColumns.empty() || rowIdColumn >= 0); }
};

/* Returns the condition that picks out data row ROW of RESULT by IDENTITY:
** the key columns compared with their values when the result holds all of
** them and none is NULL, else the rowid compared with its number.  Texts
** stay in the file's encoding.  "" when neither picks the row out. */
std::string RowCondition(const RowIdentity& identity, const XB_SQLiteResult& result, int row);

#endif
