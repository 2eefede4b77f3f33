/*
** SQL text for names and values that statements we build carry: a name in
** double quotes when it needs them, a value as the literal that reads back
** as the same value.
*/
#ifndef XB_SQLITESQLTEXT_H
#define XB_SQLITESQLTEXT_H

#include <string>
#include <string_view>

#include "xb_sqlitedump.h"

/* Returns NAME as it goes into SQL: unchanged when it is a plain word that
** is no keyword, otherwise in double quotes with inner double quotes
** doubled. */
std::string XB_SqlName(std::string_view name);

/* Returns TEXT as an SQL string literal: single quotes, inner ones doubled. */
std::string XB_SqlString(std::string_view text);

/* Appends VALUE to OUT as an SQL literal that SQLite 3 reads back as the
** same value: NULL; an integer in decimal; a real with as many digits as
** it takes to read back the same double (1e999 for infinity), always with a
** point or an exponent so it stays a real; text as a string literal, with
** each carriage return as char(13) (as CAST(X'..' AS TEXT) when it holds a
** NUL byte, which no string literal can); a BLOB as X'..'. */
void XB_AppendSqlValue(std::string* out, const XB_DumpValue& value);

#endif
