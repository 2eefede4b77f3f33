/*
** The row commands of Rimbal (insert a row, edit a row, edit a table row by
** row), run inside RimbalRows, the one program of this folder that starts
** the windowing toolkit.
*/
#ifndef ROWCOMMANDS_H
#define ROWCOMMANDS_H

#include "rimbaloptions.h"
#include "xb_sqlitedb.h"

/*
** Runs the row command of options on db.  The row service lives for the
** whole command, and every row set made from it goes before it.  A table
** or row that cannot be found, or a where-part the engine rejects, is
** reported as "Error: " and the reason, and ends with RX_NO_TABLE before
** any dialog opens.  Returns the exit code.
*/
int RunRowCommand(const RimbalOptions& options, XB_SQLiteDB& db);

#endif
