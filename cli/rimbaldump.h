/*
** The commands of Rimbal that move a whole database: --dump writes it as
** SQL text to standard output, --convert copies it into a new SQLite 3.x
** file and reports on the error stream what SQLite 3 refused or changed.
*/
#ifndef RIMBALDUMP_H
#define RIMBALDUMP_H

#include "rimbaloptions.h"

/* Dumps OPTIONS.file to standard output.  Returns RX_OK, RX_OPEN_FAILED
** when the file cannot be opened, or RX_QUERY_FAILED when reading or
** writing stopped midway (the text then ends with ROLLBACK). */
int RunDump(const RimbalOptions& options);

/* Converts OPTIONS.file into the new file OPTIONS.target.  Returns RX_OK
** when everything was carried over unchanged, RX_OPEN_FAILED when the file
** cannot be opened, RX_STATEMENT_FAILED when the target exists or cannot be
** written (nothing is left behind), RX_QUERY_FAILED when the target was
** written but SQLite 3 refused rows or statements or changed values (it is
** kept), or when reading stopped midway (nothing is left behind). */
int RunConvert(const RimbalOptions& options);

#endif
