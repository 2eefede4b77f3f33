/*
** One run of the console program Rimbal: banner, usage, opening the
** database and running the command.  Its exit codes are those of
** rimbalexit.h.
*/
#ifndef RIMBAL_H
#define RIMBAL_H

#include <cstdio>

#include "rimbalexit.h"
#include "rimbaloptions.h"

/* Writes the banner: name, version, build and a notice, then an empty line. */
void WriteBanner(FILE* stream);

/* Writes the usage text to STREAM. */
void WriteUsage(FILE* stream);

/* Runs the program on ARGC/ARGV.  Returns the exit code. */
int RunRimbal(int argc, char** argv);

#endif
