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

/* Returns true when the windowing toolkit will find a display: the platform
** it is told to use needs the matching display variable (an X11 or Wayland
** platform without one would abort the toolkit), any other platform such as
** offscreen needs none, and with no platform named either display will do. */
bool RowDialogsHaveDisplay();

/* Returns the path of RimbalRows beside the running program ("" when the
** running program cannot be found). */
std::string RowProgramPath();

/* Replaces the running program with RimbalRows for the row command of
** OPTIONS.  Returns only when that fails, with the exit code to end with. */
int LaunchRowCommand(const RimbalOptions& options);

#endif
