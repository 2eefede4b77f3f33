/*
** Schema changes written in place: given the sqlite_master rows before and
** after a statement (or a transaction), the trees of dropped tables and
** indices go to the freelist, new tables and indices get roots (freelist
** first, as 2.x allocates them) and their entries, the changed schema rows
** are rewritten and the schema cookie advances.  Everything goes through
** a TreeEditor, so only the pages that change are journaled and written,
** over the whole file's bytes or over a connection's pending pages alike.
*/
#ifndef S2SCHEMAEDIT_H
#define S2SCHEMAEDIT_H

#include "s2rowedit.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace s2 {

/* What one schema change is made of. */
struct SchemaChange {
  /* The sqlite_master rows the file holds, in rowid order. */
  std::vector<MasterEntry> before;
  /* The rows after the change, in rowid order; a table or index that is
  ** new has root page 0, one that stays has the root it had. */
  std::vector<MasterEntry> after;
  /* Returns the rows (in rowid order) of the table NAME after the change:
  ** the rows of new tables, of the tables a new index is filled from and
  ** of tables with changed rows.  Null when they are not at hand, which
  ** makes the change unsuitable (an empty table has an empty list). */
  std::function<const std::vector<Row>*(const std::string& name)> rows;
  /* Rows changed in tables that stay, by table name, as writeRows takes
  ** them (rows of tables that do not stay are ignored). */
  std::map<std::string, std::vector<RowBefore>> changedRows;
  /* What the schema cookie advances by (2.x: a random 1 .. 256). */
  uint32_t cookieStep = 1;
};

/* Applies CHANGE to the file of byte order ORDER that EDITOR edits.
** *written receives CHANGE.after with the root pages assigned.
** *unsuitable is set (and the edit stopped, the pages to be thrown away)
** when the change cannot be made in place: a row of AFTER claims a root
** the file does not give it, a root is shared, an index does not hold the
** entry of a changed row, rows that are needed are not at hand.  Errors: kConstraint "indexed columns are not
** unique" when a new unique index meets two equal keys, writeRows' errors
** for the changed rows, kTooBig, kMismatch for a NUL byte in a schema row,
** the editor's errors (kCorrupt naming a damaged page).  On any failure
** the pages are half changed and must be thrown away. */
Status applySchemaChange(TreeEditor& editor, ByteOrder order, const SchemaChange& change,
                         std::vector<MasterEntry>* written, bool* unsuitable);

/* Returns a step for the schema cookie as 2.x takes it: at random, 1 to
** 256, so that another connection cannot mistake a new schema for one it
** saw before. */
uint32_t randomCookieStep();

/* Returns the record of the sqlite_master row E as 2.x stores it. */
std::string masterRecord(const MasterEntry& e);

}  // namespace s2

#endif
