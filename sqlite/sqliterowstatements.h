/*
** The row statement builder: the SQL that reads one table row, writes an
** edited row back and adds a new one, built from a table definition or a
** row set.  Nothing here runs a statement.
**
** Every value is written as an SQL string literal in single quotes with
** embedded single quotes doubled, whatever the column type; a value in
** double quotes could be taken by the engine for a column of that name.
** Table and column names are the names the engine knows (a descriptor's
** label), in double quotes when they need them.  Key columns (type PT_KEY)
** form the WHERE clause of an UPDATE and are never assigned.  UPDATE and
** INSERT write only the columns that differ from what the row held when it
** was read or made (so an untouched column keeps its bytes, and a new row
** gets the engine's DEFAULT or NULL there); a BLOB is never written.
** Values are trimmed of blanks and a key is compared with its text as read;
** a member without a value is written as NULL.
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

/* Returns NAME as it must stand in a statement: unchanged when it is a
** plain identifier that is no keyword, otherwise in double quotes with
** inner ones doubled. */
XB_String XB_SqlName(std::string_view name);

/* Returns "SELECT <columns> FROM <table>" for DEFINITION, with the columns
** and the table (TABLE, or the definition's label when TABLE is empty)
** named as the engine knows them and EXTRACOLUMNS (when given, a list
** already in SQL) added after the columns. */
XB_String BuildSelect(const XB_ParameterInfoGroup& definition, std::string_view extraColumns = {},
                      std::string_view table = {});

/* Returns the name of the table of SET as it stands in a statement. */
XB_String TableNameOf(const SQLiteParameters& set);

/* Returns the condition that picks out the row of SET: its key columns
** compared with their values, or, when it has none or one of them is NULL,
** its rowid.  Returns the empty string when neither identifies the row. */
XB_String BuildRowCondition(const SQLiteParameters& set);

/* Returns the number of members of SET that an UPDATE assigns: the changed
** ones that are neither keys nor BLOBs. */
int CountAssignments(const SQLiteParameters& set);

/* Returns "UPDATE <table> SET <column>=<value>, .. WHERE <row condition>"
** for the changed columns, or the empty string when the row cannot be
** picked out (never an UPDATE that could touch other rows). */
XB_String BuildUpdate(const SQLiteParameters& set);

/* Returns "INSERT INTO <table> (<columns>) VALUES(<values>)" for the
** changed columns (key columns only with XB_INSERT_KEYS in FLAGS), or
** "INSERT INTO <table> DEFAULT VALUES" when there is none.  One pair of
** double quotes around a value is taken off. */
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
