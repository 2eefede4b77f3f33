/*
** The structural checker's own reading of the CREATE statements kept in
** sqlite_master: enough to learn a table's columns, their classes, the
** INTEGER PRIMARY KEY and the automatic indices, and an index's columns.
** Written apart from the engine's schema code on purpose (see README.md).
** Internal to the checker.
*/
#ifndef S2CHECKPARSE_H
#define S2CHECKPARSE_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace s2check {

/* A column as the checker needs it: its name and whether it compares as
** a number. */
struct ColumnDef {
  std::string name;
  bool numeric = true;
};

/* An index: its name and columns as positions in the table. */
struct IndexDef {
  std::string name;
  std::vector<int> columns;
  bool unique = false;
};

/* A parsed CREATE TABLE. */
struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  int rowidColumn = -1;              /* the INTEGER PRIMARY KEY, if any */
  std::vector<IndexDef> autoIndices; /* in the order the constraints appear */
};

/* Returns TEXT with ASCII letters in lower case (names compare that way). */
std::string Lower(std::string_view text);

/* Parses a CREATE TABLE statement into TABLE.  Returns false with ERROR set
** when the text is not a CREATE TABLE the checker understands. */
bool ParseCreateTable(const std::string& sql, TableDef& table, std::string& error);

/* Parses CREATE [UNIQUE] INDEX name ON table(columns).  TABLE_FOR_NAME looks
** the table up by name.  Returns false with ERROR set on failure. */
bool ParseCreateIndex(const std::string& sql,
                      const std::function<const TableDef*(const std::string&)>& tableForName,
                      IndexDef& index, std::string& tableName, std::string& error);

/* Parses the head of CREATE [TEMP] VIEW|TRIGGER name.  Returns false with
** ERROR set when the text does not start that way. */
bool ParseCreateNamed(const std::string& sql, const char* kind, std::string& name,
                      std::string& error);

}  // namespace s2check

#endif
