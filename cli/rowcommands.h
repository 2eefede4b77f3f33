/*
** The row commands of Rimbal (insert a row, edit a row, edit a table row by
** row).  They are the only commands that need the windowing toolkit; every
** other command runs without a display.
*/
#ifndef ROWCOMMANDS_H
#define ROWCOMMANDS_H

#include "rimbaloptions.h"
#include "xb_sqlitedb.h"

/* Returns true when a windowing system is there for the row dialogs: a
** display, or a platform named explicitly through QT_QPA_PLATFORM. */
bool RowDialogsHaveDisplay();

/* Runs the row command of OPTIONS on DB, whose table definition has been
** checked.  ARGC and ARGV start the toolkit.  Returns the exit code. */
int RunRowCommand(const RimbalOptions& options, XB_SQLiteDB& db, int& argc, char** argv);

#endif
