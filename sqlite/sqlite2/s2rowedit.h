/*
** Writing the rows a statement changed into the file's b-trees: the table
** entry of each changed row is inserted, replaced or removed and the
** entries of every index of the table follow, the unique indices checked
** as 2.x compares their keys.  Shared by the working copy's write-back
** and the virtual tables' row changes.
*/
#ifndef S2ROWEDIT_H
#define S2ROWEDIT_H

#include "s2catalog.h"
#include "s2treeedit.h"

#include <optional>
#include <utility>
#include <vector>

namespace s2 {

/* A changed row: its rowid and its content before the change (none for a
** new row). */
using RowBefore = std::pair<int64_t, std::optional<Row>>;

/* Returns the row ROWID of ROWS (in rowid order), or null. */
const Row* findRow(const std::vector<Row>& rows, int64_t rowid);

/* Returns true when an index KEY has a NULL field among its first COUNT
** fields: such keys never clash in a unique index. */
bool hasNullField(std::string_view key, size_t count);

/* Writes the changes BEFORE of TABLE through EDITOR: old index entries
** out, table entries (a row of BEFORE missing from ROWS, which is in
** rowid order, is removed), new index entries in, so that rows trading
** values never collide.  *unsuitable is set (and the edit stopped) when an
** index does not hold the entry of an old row or a row has more fields
** than the table has columns.  Errors: kConstraint for a duplicate key of
** a unique index, kMismatch for a value holding a NUL byte, kTooBig, and
** the editor's errors. */
Status writeRows(TreeEditor& editor, const TreeTable& table, const std::vector<Row>& rows,
                 const std::vector<RowBefore>& before, bool* unsuitable);

}  // namespace s2

#endif
