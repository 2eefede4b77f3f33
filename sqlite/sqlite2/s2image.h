/*
** The content of a generation-2 database file as plain data: the rows of
** sqlite_master and the rows of every table.  The file layer (s2file.h)
** reads a file into an Image and writes an Image back as a genuine 2.x file;
** the SQL layer loads an Image into its SQLite 3 working copy and builds a
** new Image from it after each change.  Indices carry no rows here: their
** entries are derived from the table rows whenever a file is written.
*/
#ifndef S2IMAGE_H
#define S2IMAGE_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace s2 {

/* A stored value: NULL, or a byte string without 0x00 bytes. */
using Cell = std::optional<std::string>;

/* One row of a table b-tree: its rowid and its fields in column order.
** When an Image is read from a file, the field of an INTEGER PRIMARY KEY
** column holds the rowid in decimal (what SELECT * shows); when an Image is
** written, that field is ignored and stored as NULL, as 2.x does. */
struct Row {
  int32_t rowid = 0;
  std::vector<Cell> cells;
};

/* One row of sqlite_master.  rootpage is the page number as read from the
** file; when an Image is written the file layer assigns fresh root pages. */
struct MasterEntry {
  int32_t rowid = 0;
  std::string type; /* "table", "index", "view" or "trigger" */
  std::string name;
  std::string tbl_name;
  int32_t rootpage = 0;
  Cell sql; /* NULL for automatic indices */
};

/* A whole database: schema rows in rowid order and the rows of every table,
** keyed by the table's name as stored in sqlite_master (rows in rowid order).
** A table's row must precede the rows of its indices and triggers. */
struct Image {
  std::vector<MasterEntry> master;
  std::map<std::string, std::vector<Row>> tables;
  uint32_t schemaCookie = 0;      /* meta value 1 of the file */
  uint32_t fileFormat = 4;        /* meta value 2 of the file: 1 .. 4 */
  bool bigEndian = false;         /* byte order of the file that was read */
  int32_t defaultCacheSize = 0;   /* meta value 3 (PRAGMA default_cache_size) */
  int32_t defaultSafetyLevel = 0; /* meta value 4 (PRAGMA default_synchronous) */
  int32_t defaultTempStore = 0;   /* meta value 6 (PRAGMA default_temp_store) */
  uint32_t unusedMeta[4] = {};    /* meta values 5, 7, 8 and 9, kept as found */
};

}  // namespace s2

#endif
