/*
** The table definition parser: turns the CREATE TABLE text that the engine
** keeps in sqlite_master into a table definition (XB_ParameterInfoGroup),
** one descriptor per column with the parameter type its declaration
** suggests.  The parser is shallow on purpose: it splits the column list at
** top-level commas, takes the first word of each item as the column name and
** recognises the type by a few words found anywhere in the item.
*/
#ifndef XB_TABLEDEF_H
#define XB_TABLEDEF_H

#include <cstdint>
#include <memory>
#include <string_view>

#include "xb_parameterinfo.h"

/* Selection flags: which columns a definition includes and which are keys. */
enum : uint8_t {
  TD_PLAIN = 0x01,          /* ordinary columns */
  TD_PRIMARY = 0x02,        /* PRIMARY KEY columns */
  TD_UNIQUE = 0x04,         /* UNIQUE columns */
  TD_PRIMARY_AS_KEY = 0x20, /* PRIMARY KEY columns get type PT_KEY */
  TD_UNIQUE_AS_KEY = 0x40,  /* UNIQUE columns get type PT_KEY */
  TD_ALL = 0xFF
};

/* The comment every descriptor made by the parser carries. */
constexpr const char* XB_AUTO_COMMENT = "auto generated";

/* Returns the definition that the statement TEXT describes, selected and
** marked by FLAGS, or null when TEXT does not begin with "CREATE TABLE". */
std::unique_ptr<XB_ParameterInfoGroup> ParseCreateTable(std::string_view text, uint8_t flags);

#endif /* XB_TABLEDEF_H */
