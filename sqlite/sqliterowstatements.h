/*
** The row statement builder: the SQL that reads one table row, writes an
** edited row back and adds a new one, built from a table definition or a
** row set.  Nothing here runs a statement.
**
** Every value is written as an SQL string literal in single quotes with
** embedded single quotes doubled, whatever the column type; a value in
** double quotes could be taken by the engine for a column of that name.
** Key columns (type PT_KEY) form the WHERE clause of an UPDATE and are never
** assigned.  Values are trimmed of blanks, except that a value still equal
** to what was read is written back exactly as read and a key is compared
** with its text as read; a column that was NULL and was not changed is
** written as NULL.
** Members without a descriptor take no part in any statement.
*/
#ifndef SQLITEROWSTATEMENTS_H
#define SQLITEROWSTATEMENTS_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "sqliteparameters.h"
#include "xb_parameterinfo.h"
#include "xb_parametersetauto.h"

/* BuildInsert flag: key columns are written too (by default the engine
** assigns them). */
constexpr uint8_t XB_INSERT_KEYS = 0x40;

/* Returns TEXT as an SQL string literal: single quotes, inner ones doubled. */
XB_String XB_SqlQuote(std::string_view text);

/* Returns "SELECT <column keys> FROM <table key>" for DEFINITION, with
** EXTRACOLUMN (when given) added after the columns. */
XB_String BuildSelect(const XB_ParameterInfoGroup& definition, std::string_view extraColumn = {});

/* Returns the condition that picks out the row of SET: its key columns
** compared with their values, or, when it has none or one of them is NULL,
** its rowid.  Returns the empty string when neither identifies the row. */
XB_String BuildRowCondition(const SQLiteParameters& set);

/* Returns the number of members of SET that an UPDATE assigns. */
int CountAssignments(const SQLiteParameters& set);

/* Returns "UPDATE <table> SET <column>=<value>, .. WHERE <row condition>",
** or the empty string when the row cannot be picked out (never an UPDATE
** that could touch other rows). */
XB_String BuildUpdate(const SQLiteParameters& set);

/* Returns "INSERT INTO <table> (<columns>) VALUES(<values>)"; key columns
** only with XB_INSERT_KEYS in FLAGS.  One pair of double quotes around a
** value is taken off. */
XB_String BuildInsert(const SQLiteParameters& set, uint8_t flags);

/* Returns the keys of the key columns of SET, joined by ", ". */
XB_String BuildKeyList(const XB_ParameterSetAuto& set);

/* Returns the keys of the key columns of SET in member order. */
std::vector<XB_String> GetKeyNames(const XB_ParameterSetAuto& set);

/* Returns the number of key columns of SET. */
int CountKeys(const XB_ParameterSetAuto& set);

/* Returns "CREATE TABLE <name>(<column> <type word>, ..)" for SET. */
XB_String BuildCreateTable(const XB_ParameterSetAuto& set);

#endif /* SQLITEROWSTATEMENTS_H */
