/*
** The row commands of Rimbal.  The dialogs that insert and edit rows are
** not part of this build yet; until they are, the commands say so and end
** with exit code 1.
*/
#include "rowcommands.h"

#include <cstdio>

/* Runs the row command.  Returns the exit code. */
int RunRowCommand(const RimbalOptions& options, XB_SQLiteDB& db) {
  std::fputs("Error: The row dialogs are not available in this build.\n", stderr);
  return 1;
}
