/*
** One run of the console program Rimbal: banner, usage, opening the
** database and running the command, with the exit codes scripts rely on:
** 0 success, 1 the toolkit could not start, 3 the database could not be
** opened, 4 the table definition could not be read or names no table, 10
** the statement failed, 12 the query failed.
*/
#ifndef RIMBAL_H
#define RIMBAL_H

#include <cstdio>

#include "rimbaloptions.h"

/* Exit codes of Rimbal. */
enum RimbalExit {
  RX_OK = 0,
  RX_NO_TOOLKIT = 1,
  RX_OPEN_FAILED = 3,
  RX_NO_TABLE = 4,
  RX_STATEMENT_FAILED = 10,
  RX_QUERY_FAILED = 12
};

/* Writes the two banner lines to STREAM. */
void WriteBanner(FILE* stream);

/* Writes the usage text to STREAM. */
void WriteUsage(FILE* stream);

/* Runs the program on ARGC/ARGV.  Returns the exit code. */
int RunRimbal(int argc, char** argv);

#endif
