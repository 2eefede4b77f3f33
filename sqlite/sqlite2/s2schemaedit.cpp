/*
** Applying the difference between two lists of sqlite_master rows to a
** file through a TreeEditor, in the order 2.x would make the changes:
** rows of tables that stay, dropped trees freed, new roots allocated (the
** automatic indices of a table before the table), new trees filled, the
** schema rows rewritten, the cookie advanced.
*/
#include "s2schemaedit.h"
#include "s2schema.h"
#include "s2value.h"

#include <algorithm>
#include <random>
#include <set>

namespace s2 {

namespace {

bool ownsTree(const MasterEntry& e) {
  return e.type == "table" || e.type == "index";
}

bool isAutoIndex(const MasterEntry& e) {
  return e.type == "index" && (!e.sql || e.sql->empty());
}

/* Returns the row of ROWS with rowid ROWID, or null. */
const MasterEntry* byRowid(const std::vector<MasterEntry>& rows, int32_t rowid) {
  auto at = std::lower_bound(rows.begin(), rows.end(), rowid,
                             [](const MasterEntry& e, int32_t id) { return e.rowid < id; });
  return at != rows.end() && at->rowid == rowid ? &*at : nullptr;
}

bool sameRow(const MasterEntry& a, const MasterEntry& b) {
  return a.rowid == b.rowid && a.type == b.type && a.name == b.name && a.tbl_name == b.tbl_name &&
         a.rootpage == b.rootpage && a.sql == b.sql;
}

/* Which rows of AFTER are new trees; *unsuitable when a row claims a root
** its rowid did not have before. */
std::vector<bool> newTrees(const SchemaChange& change, bool* unsuitable) {
  std::vector<bool> fresh(change.after.size(), false);
  for (size_t i = 0; i < change.after.size(); ++i) {
    const MasterEntry& a = change.after[i];
    if (!ownsTree(a)) continue;
    const MasterEntry* b = byRowid(change.before, a.rowid);
    bool kept =
        b && a.rootpage != 0 && b->type == a.type && b->name == a.name && b->rootpage == a.rootpage;
    if (!kept && a.rootpage != 0) *unsuitable = true;
    fresh[i] = !kept;
  }
  return fresh;
}

/* Returns the roots of the trees of BEFORE that AFTER no longer has (in
** row order); *unsuitable when a root is not a tree page or is shared. */
std::vector<uint32_t> droppedRoots(const SchemaChange& change, const std::vector<bool>& fresh,
                                   bool* unsuitable) {
  std::set<uint32_t> keptRoots, seen;
  for (size_t i = 0; i < change.after.size(); ++i) {
    if (ownsTree(change.after[i]) && !fresh[i])
      keptRoots.insert(uint32_t(change.after[i].rootpage));
  }
  std::vector<uint32_t> dropped;
  for (const MasterEntry& b : change.before) {
    if (!ownsTree(b)) continue;
    if (b.rootpage < 3 || !seen.insert(uint32_t(b.rootpage)).second) *unsuitable = true;
    if (b.rootpage >= 3 && !keptRoots.count(uint32_t(b.rootpage)))
      dropped.push_back(uint32_t(b.rootpage));
  }
  return dropped;
}

/* Allocates the roots of the new trees of *WRITTEN in 2.x's creation order:
** a table's new automatic indices, then the table; other indices in row
** order. */
Status assignNewRoots(TreeEditor& editor, const std::vector<bool>& fresh,
                      std::vector<MasterEntry>& written) {
  auto give = [&](size_t i) {
    uint32_t root = 0;
    Status st = editor.createTree(&root);
    written[i].rootpage = int32_t(root);
    return st;
  };
  for (size_t i = 0; i < written.size(); ++i) {
    if (!fresh[i] || written[i].rootpage != 0) continue;
    if (written[i].type == "table") {
      for (size_t j = i + 1; j < written.size(); ++j) {
        if (fresh[j] && written[j].rootpage == 0 && isAutoIndex(written[j]) &&
            sameName(written[j].tbl_name, written[i].name)) {
          Status st = give(j);
          if (!st.ok()) return st;
        }
      }
    }
    Status st = give(i);
    if (!st.ok()) return st;
  }
  return Status::success();
}

/* Fills the new index INDEX of TABLE from ROWS: keys sorted, a unique
** index refused when two keys clash. */
Status fillIndex(TreeEditor& editor, const TreeTable& table, const TreeIndex& index,
                 const std::vector<Row>& rows) {
  std::vector<std::pair<std::string, std::string>> keys;
  keys.reserve(rows.size());
  for (const Row& row : rows) {
    keys.emplace_back(indexKey(index.def, table.def, row), std::string());
    if (keys.back().first.size() > kMaxRecordSize)
      return Status::failure(kTooBig, "too much data for one table row");
  }
  std::sort(keys.begin(), keys.end());
  for (size_t k = 1; index.def.unique && k < keys.size(); ++k) {
    const std::string &a = keys[k - 1].first, &b = keys[k].first;
    if (a.size() == b.size() && a.compare(0, a.size() - 4, b, 0, b.size() - 4) == 0 &&
        !hasNullField(a, index.def.columns.size()))
      return Status::failure(kConstraint, "indexed columns are not unique");
  }
  return editor.fill(index.root, keys);
}

/* Fills the new TABLE with ROWS and then each of its indices. */
Status fillTable(TreeEditor& editor, const TreeTable& table, const std::vector<Row>& rows) {
  const TableDef& def = table.def;
  std::vector<std::pair<std::string, std::string>> entries;
  entries.reserve(rows.size());
  std::vector<Cell> fields;
  for (const Row& row : rows) {
    if (row.cells.size() > def.columns.size())
      return Status::failure(kInternal, "table " + def.name + ": row " + std::to_string(row.rowid) +
                                            " has more values than the table has columns");
    fields = row.cells;
    fields.resize(def.columns.size());
    for (const Cell& cell : fields) {
      if (cell && cell->find('\0') != std::string::npos)
        return Status::failure(kMismatch, "table " + def.name + ": row " +
                                              std::to_string(row.rowid) +
                                              " holds a value with a NUL byte");
    }
    entries.emplace_back(rowidKey(row.rowid), std::string());
    encodeRowRecord(fields, def.rowidColumn, entries.back().second);
    if (entries.back().second.size() > kMaxRecordSize)
      return Status::failure(kTooBig, "too much data for one table row");
  }
  std::sort(entries.begin(), entries.end());
  for (size_t k = 1; k < entries.size(); ++k) {
    if (entries[k].first == entries[k - 1].first)
      return Status::failure(kConstraint, "table " + def.name + ": a rowid is used twice");
  }
  Status st = editor.fill(table.root, entries);
  for (size_t i = 0; st.ok() && i < table.indices.size(); ++i)
    st = fillIndex(editor, table, table.indices[i], rows);
  return st;
}

/* Fills the new trees of WRITTEN: new tables with their rows and indices,
** new indices of tables that stay from those tables' rows. */
Status fillNewTrees(TreeEditor& editor, ByteOrder order, const SchemaChange& change,
                    const std::vector<bool>& fresh, const std::vector<MasterEntry>& written,
                    bool* unsuitable) {
  TreeCatalog catalog;
  catalog.build(written, order, kCurrentFormat);
  auto rowsOf = [&](const std::string& name) { return change.rows ? change.rows(name) : nullptr; };
  std::vector<std::string> filledTables;
  for (size_t i = 0; i < written.size(); ++i) {
    if (!fresh[i] || written[i].type != "table") continue;
    const TreeTable* table = catalog.find(written[i].name);
    if (!table) continue; /* a statement 2.x skips: its tree stays empty */
    filledTables.push_back(written[i].name);
    const std::vector<Row>* rows = rowsOf(written[i].name);
    if (!rows) {
      *unsuitable = true;
      return Status::success();
    }
    Status st = fillTable(editor, *table, *rows);
    if (!st.ok()) return st;
  }
  for (size_t i = 0; i < written.size(); ++i) {
    if (!fresh[i] || written[i].type != "index") continue;
    bool ownerIsNew = false;
    for (const std::string& name : filledTables) ownerIsNew |= sameName(name, written[i].tbl_name);
    if (ownerIsNew) continue;
    const TreeTable* table = catalog.find(written[i].tbl_name);
    if (!table) continue;
    const std::vector<Row>* rows = rowsOf(written[i].tbl_name);
    if (!rows) {
      *unsuitable = true;
      return Status::success();
    }
    for (const TreeIndex& index : table->indices) {
      if (index.root != uint32_t(written[i].rootpage)) continue;
      Status st = fillIndex(editor, *table, index, *rows);
      if (!st.ok()) return st;
    }
  }
  return Status::success();
}

/* Rewrites the rows of sqlite_master (page 2) that differ between BEFORE
** and WRITTEN. */
Status rewriteMaster(TreeEditor& editor, const std::vector<MasterEntry>& before,
                     const std::vector<MasterEntry>& written) {
  bool found = false;
  for (const MasterEntry& b : before) {
    if (byRowid(written, b.rowid)) continue;
    Status st = editor.remove(2, rowidKey(b.rowid), &found);
    if (!st.ok()) return st;
  }
  for (const MasterEntry& w : written) {
    const MasterEntry* b = byRowid(before, w.rowid);
    if (b && sameRow(*b, w)) continue;
    for (const Cell& field : {Cell(w.type), Cell(w.name), Cell(w.tbl_name), w.sql}) {
      if (field && field->find('\0') != std::string::npos)
        return Status::failure(kMismatch, "table sqlite_master: row " + std::to_string(w.rowid) +
                                              " holds a value with a NUL byte");
    }
    std::string record = masterRecord(w);
    if (record.size() > kMaxRecordSize)
      return Status::failure(kTooBig, "too much data for one table row");
    Status st = editor.insert(2, rowidKey(w.rowid), record);
    if (!st.ok()) return st;
  }
  return Status::success();
}

}  // namespace

uint32_t randomCookieStep() {
  return std::random_device()() % 256 + 1;
}

std::string masterRecord(const MasterEntry& e) {
  std::string record;
  encodeRowRecord({e.type, e.name, e.tbl_name, std::to_string(e.rootpage), e.sql}, -1, record);
  return record;
}

Status applySchemaChange(TreeEditor& editor, ByteOrder order, const SchemaChange& change,
                         std::vector<MasterEntry>* written, bool* unsuitable) {
  *unsuitable = false;
  *written = change.after;
  std::vector<bool> fresh = newTrees(change, unsuitable);
  std::vector<uint32_t> dropped = droppedRoots(change, fresh, unsuitable);
  if (*unsuitable) return Status::success();

  /* Rows of the tables that stay, through the indices that stay: a new
  ** index is filled from the rows as they are afterwards. */
  std::vector<MasterEntry> staying;
  for (size_t i = 0; i < change.after.size(); ++i) {
    if (!fresh[i]) staying.push_back(change.after[i]);
  }
  TreeCatalog stayingCatalog;
  stayingCatalog.build(staying, order, kCurrentFormat);
  for (const auto& [name, rows] : change.changedRows) {
    const TreeTable* table = stayingCatalog.find(name);
    if (!table) continue;
    const std::vector<Row>* now = change.rows ? change.rows(name) : nullptr;
    if (!now) {
      *unsuitable = true;
      return Status::success();
    }
    Status st = writeRows(editor, *table, *now, rows, unsuitable);
    if (!st.ok() || *unsuitable) return st;
  }

  for (uint32_t root : dropped) {
    Status st = editor.dropTree(root);
    if (!st.ok()) return st;
  }
  Status st = assignNewRoots(editor, fresh, *written);
  if (st.ok()) st = fillNewTrees(editor, order, change, fresh, *written, unsuitable);
  if (!st.ok() || *unsuitable) return st;
  st = rewriteMaster(editor, change.before, *written);
  if (st.ok()) st = editor.advanceSchemaCookie(change.cookieStep);
  return st;
}

}  // namespace s2
