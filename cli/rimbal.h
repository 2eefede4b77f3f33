/*
** One run of the console program Rimbal: banner, usage, opening the
** database and running the command.  Its exit codes are those of
** rimbalexit.h.
*/
#ifndef RIMBAL_H
#define RIMBAL_H

#include <cstdio>
#include <string>

#include "rimbalexit.h"
#include "rimbaloptions.h"

/* Writes the banner: name, version, build and a notice, then an empty line. */
void WriteBanner(FILE* stream);

/* Writes the usage text to STREAM. */
void WriteUsage(FILE* stream);

/* Writes that FILE could not be opened and, when REASON says that another
** program kept it locked for the whole busy timeout, the engine's reason on
** the next line (the first line stays the same for every cause).  Returns
** RX_OPEN_FAILED. */
int ReportOpenFailure(const std::string& file, const std::string& reason);

/* Runs the program on ARGC/ARGV.  Returns the exit code. */
int RunRimbal(int argc, char** argv);

#endif
