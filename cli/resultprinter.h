/*
** The text forms in which Rimbal prints a query result: separated lines
** (tab or comma, one line per data row, nothing quoted or escaped) and the
** fixed-width text table with its column and row limits.
*/
#ifndef RESULTPRINTER_H
#define RESULTPRINTER_H

#include <cstdio>

#include "outputbuffer.h"
#include "xb_sqliteresult.h"

/* Writes every data row of RESULT as one line, the values joined by
** SEPARATOR.  An SQL NULL is written as nothing.  Nothing is written for a
** result without columns. */
void WriteSeparated(const XB_SQLiteResult& result, char separator, OutputBuffer& out);

/* Writes RESULT as a text table: the first 6 columns, 15 characters each,
** at most 20 data rows with the rows between the 19th and the last elided.
** Cells are cut and padded by characters when UTF8 is set (the text of a
** UTF-8 database), by bytes otherwise (Latin-1).  Writes nothing when
** STREAM is null.  Returns false when writing failed. */
bool AsciiTable(const XB_SQLiteResult& result, FILE* stream, bool utf8 = false);

#endif
