/*
** Hands a row command of Rimbal over to the program RimbalRows, which holds
** the row dialogs.  Rimbal itself never loads the windowing toolkit: its
** other commands run on servers without a display, and start as quickly as
** the engine allows.
*/
#ifndef ROWLAUNCHER_H
#define ROWLAUNCHER_H

#include <string>

#include "rimbaloptions.h"

/* Returns true when a windowing system is there for the row dialogs: a
** display, or a platform named explicitly through QT_QPA_PLATFORM. */
bool RowDialogsHaveDisplay();

/* Returns the path of RimbalRows: beside the running program. */
std::string RowProgramPath();

/* Replaces the running program with RimbalRows for the row command of
** OPTIONS.  Returns only when that fails, with the exit code to end with. */
int LaunchRowCommand(const RimbalOptions& options);

#endif
