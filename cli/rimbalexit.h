/*
** The exit codes of the console programs (Rimbal and RimbalRows, which
** Rimbal starts for its row commands).  Scripts and batch files read them,
** so the numbers never change; every program of this folder ends with one
** of these and with no other number.
*/
#ifndef RIMBALEXIT_H
#define RIMBALEXIT_H

enum RimbalExit {
  RX_OK = 0,                /* success, also after usage or a cancelled dialog */
  RX_NO_TOOLKIT = 1,        /* the windowing toolkit could not start */
  RX_OPEN_FAILED = 3,       /* the database could not be opened */
  RX_NO_TABLE = 4,          /* a row command finds no table definition, the name is no
                            ** table, or no row matches its where-part or the engine
                            ** rejects that where-part */
  RX_STATEMENT_FAILED = 10, /* the statement failed (create, create2, exec);
                            ** --convert: the new file exists or cannot be
                            ** written */
  RX_QUERY_FAILED = 12      /* the query failed (the query commands);
                            ** --dump: reading stopped midway; --convert: rows
                            ** were refused or values changed */
};

#endif
