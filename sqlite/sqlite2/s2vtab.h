/*
** The tables of a generation-2 file as SQLite 3 virtual tables: each 2.x
** table is read straight from its b-tree through the page cache, row by
** row, so a statement costs the pages it reads and never the whole file.
** Lookups use the b-tree where they can: an equality or range on the
** rowid (or the INTEGER PRIMARY KEY column) seeks the table's b-tree, an
** equality on the leading columns of a 2.x index walks that index.  Every
** row found this way is checked again by SQLite 3 against the statement's
** own conditions, so a lookup only has to find no fewer rows than match.
** The columns carry the collations of the working copy, so values compare
** as they do on a 2.x engine.  Rows deleted or changed in place by a
** statement, and rows it inserts, are handed to the host, which keeps
** them pending until the statement ends.
*/
#ifndef S2VTAB_H
#define S2VTAB_H

#include "s2catalog.h"
#include "s2pager.h"

#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace s2 {

/* Name of the virtual table module. */
extern const char* const kTreeModule;

/* What the module needs from its connection. */
class TreeHost {
 public:
  virtual ~TreeHost() = default;

  /* The cache through which the file's pages are read. */
  virtual PageCache& pageCache() = 0;

  /* The tables of the file as last read. */
  virtual const TreeCatalog& catalog() = 0;

  /* Called before a statement reads a table: returns an error (a 2.x
  ** code and message) when the file cannot be read now. */
  virtual Status readable() = 0;

  /* Called for each row a statement deletes (FIELDS null) or changes in
  ** place (FIELDS: the new 2.x values of every column) in table NAME:
  ** the change is kept pending until the statement ends.  Errors: the
  ** 2.x code and message of a broken constraint or a damaged page;
  ** kReadOnly where the host keeps its tables read-only (the default). */
  virtual Status changeRow(const std::string& name, int64_t rowid, const std::vector<Cell>* fields);

  /* Called for each row a statement inserts into table NAME: FIELDS
  ** holds the 2.x values of every column, ROWID the rowid given (by the
  ** INTEGER PRIMARY KEY or the rowid itself) or nothing, when the host
  ** numbers the row as 2.x does.  The row's rowid goes into *inserted;
  ** the row is pending until the statement ends.  Errors: those of
  ** changeRow, and kMismatch for a rowid outside 32 bits. */
  virtual Status insertRow(const std::string& name, std::optional<int64_t> rowid,
                           const std::vector<Cell>& fields, int64_t* inserted);
};

/* Registers the module on DB; HOST must outlive DB.  Returns a SQLite 3
** result code. */
int registerTreeModule(sqlite3* db, TreeHost* host);

/* Returns the statement that makes the 2.x table NAME of the catalog a
** virtual table in the schema SCHEMA of the working copy. */
std::string treeTableStatement(const std::string& schema, const std::string& name);

}  // namespace s2

#endif
