/*
** The schema knowledge of the generation-2 engine that the file and the SQL
** layer both need: parsing CREATE TABLE and CREATE INDEX texts the way
** 2.8.17 does (column names, declared types, column classes, the rowid
** alias, automatic indices) and comparing object names as 2.x does.
*/
#ifndef S2SCHEMA_H
#define S2SCHEMA_H

#include "s2image.h"

#include <string>
#include <string_view>
#include <vector>

namespace s2 {

/* How a column compares and how its values are encoded in index keys. */
enum class ColumnClass { Numeric, Text };

/* One column of a CREATE TABLE. */
struct ColumnDef {
  std::string name;         /* quotes removed */
  std::string declaredType; /* as written, white space removed; empty if none */
  ColumnClass cls = ColumnClass::Numeric;
  bool notNull = false;
  bool hasDefault = false;
  Cell defaultValue; /* text as 2.x inserts it; NULL for DEFAULT NULL */
};

/* One index over a table: its columns as positions in the table's column
** list.  A position equal to TableDef::rowidColumn stands for the rowid. */
struct IndexDef {
  std::string name;
  std::string tableName;
  std::vector<int> columns;
  bool unique = false;
};

/* A parsed CREATE TABLE. */
struct TableDef {
  std::string name;       /* quotes removed */
  bool temporary = false; /* CREATE TEMP TABLE (never stored in a file) */
  std::vector<ColumnDef> columns;
  int rowidColumn = -1;              /* INTEGER PRIMARY KEY column, or -1 */
  std::vector<IndexDef> autoIndices; /* "(t autoindex N)", in 2.x order */
};

/* A parsed CREATE INDEX: column names as written (quotes removed). */
struct IndexStatement {
  std::string name;
  std::string tableName;
  std::vector<std::string> columnNames;
  bool unique = false;
};

/* Parses a CREATE TABLE text as 2.8.17 does.  Returns false and sets *error
** (if given) when the text is no CREATE TABLE 2.8.17 would accept. */
bool parseCreateTable(std::string_view sql, TableDef& out, std::string* error = nullptr);

/* Parses a CREATE [UNIQUE] INDEX text.  Returns false and sets *error (if
** given) when the text is no CREATE INDEX. */
bool parseCreateIndex(std::string_view sql, IndexStatement& out, std::string* error = nullptr);

/* Resolves a parsed CREATE INDEX against its table: fills out.columns with
** column positions (names are matched case-insensitively).  Returns false
** and sets *error when a column does not exist. */
bool resolveIndex(const IndexStatement& stmt, const TableDef& table, IndexDef& out,
                  std::string* error = nullptr);

/* Returns the class 2.8.17 gives a type or collation name: Text if it
** contains blob, clob, char or text (its exact substring test), else Numeric. */
ColumnClass classOfTypeName(std::string_view typeName);

/* Returns true when two object names are equal as 2.x compares them
** (ASCII case-insensitively). */
bool sameName(std::string_view a, std::string_view b);

}  // namespace s2

#endif
