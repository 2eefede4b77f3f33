/*
** Writing the rows a statement changed straight into the file's b-trees:
** the table entry of each changed row is inserted, replaced or removed
** and the entries of every index of the table follow, so that a write of
** a few rows journals and writes a few pages.  Used when only rows
** changed (no schema change) in a format 4 file of this machine's byte
** order; everything else is written whole by the file layer.
*/
#include "s2sqldb.h"
#include "s2treeedit.h"
#include "s2value.h"

#include <algorithm>

namespace s2 {

namespace {

/* Returns the row ROWID of ROWS (in rowid order), or null. */
const Row* findRow(const std::vector<Row>& rows, int64_t rowid) {
  auto at = std::lower_bound(rows.begin(), rows.end(), rowid,
                             [](const Row& r, int64_t id) { return r.rowid < id; });
  return at != rows.end() && at->rowid == rowid ? &*at : nullptr;
}

/* Returns true when an index key has a NULL field among its first COUNT
** fields (such keys never conflict in a unique index). */
bool hasNullField(std::string_view key, size_t count) {
  size_t pos = 0;
  for (size_t f = 0; f < count && pos < key.size(); ++f) {
    if (key[pos] == 'a') return true;
    size_t end = key.find('\0', pos);
    if (end == std::string_view::npos) return false;
    pos = end + 1;
  }
  return false;
}

/* Writes the changes of one table: old index entries out, table entries,
** new index entries in (so that rows trading values never collide). */
Status writeTable(TreeEditor& editor, const TreeTable& table, const std::vector<Row>& rows,
                  const std::vector<std::pair<int64_t, std::optional<Row>>>& before,
                  bool* unsuitable) {
  const TableDef& def = table.def;
  bool found = false;
  for (const auto& [rowid, old] : before) {
    const Row* now = findRow(rows, rowid);
    for (const TreeIndex& index : table.indices) {
      if (!old) continue;
      std::string oldKey = indexKey(index.def, def, *old);
      if (now && indexKey(index.def, def, *now) == oldKey) continue;
      Status st = editor.remove(index.root, oldKey, &found);
      if (!st.ok()) return st;
      /* An index that does not match the rows is rebuilt by a whole write. */
      if (!found) *unsuitable = true;
      if (*unsuitable) return Status::success();
    }
  }
  std::string record;
  for (const auto& [rowid, old] : before) {
    const Row* now = findRow(rows, rowid);
    if (!now) {
      Status st = editor.remove(table.root, rowidKey(int32_t(rowid)), &found);
      if (!st.ok()) return st;
      continue;
    }
    std::vector<Cell> fields = now->cells;
    if (fields.size() > def.columns.size()) {
      *unsuitable = true;
      return Status::success();
    }
    fields.resize(def.columns.size());
    for (const Cell& cell : fields) {
      if (cell && cell->find('\0') != std::string::npos)
        return Status::failure(kMismatch, "table " + def.name + ": row " + std::to_string(rowid) +
                                              " holds a value with a NUL byte");
    }
    encodeRowRecord(fields, def.rowidColumn, record);
    if (record.size() > kMaxRecordSize)
      return Status::failure(kTooBig, "too much data for one table row");
    Status st = editor.insert(table.root, rowidKey(int32_t(rowid)), record);
    if (!st.ok()) return st;
  }
  for (const auto& [rowid, old] : before) {
    const Row* now = findRow(rows, rowid);
    if (!now) continue;
    for (const TreeIndex& index : table.indices) {
      std::string key = indexKey(index.def, def, *now);
      if (old && indexKey(index.def, def, *old) == key) continue;
      if (key.size() > kMaxRecordSize)
        return Status::failure(kTooBig, "too much data for one table row");
      if (index.def.unique && !hasNullField(key, index.def.columns.size())) {
        std::string clash;
        Status st =
            editor.findPrefix(index.root, std::string_view(key).substr(0, key.size() - 4), &clash);
        if (!st.ok()) return st;
        if (!clash.empty() && clash != key)
          return Status::failure(kConstraint,
                                 "indexed columns are not unique (index " + index.def.name + ")");
      }
      Status st = editor.insert(index.root, key, std::string_view());
      if (!st.ok()) return st;
    }
  }
  return Status::success();
}

}  // namespace

bool Database::canWriteInPlace() const {
  if (!m_hasFile || m_schemaChanged || !m_dirtyTables.empty() ||
      m_image.fileFormat != kCurrentFormat || m_image.bigEndian != nativeBigEndian()) {
    return false;
  }
  for (const auto& [name, changed] : m_rowChanges) {
    if (changed.whole) return false;
  }
  return true;
}

void Database::rowsBefore(RowsBefore& before) const {
  for (const auto& [key, changed] : m_rowChanges) {
    const MasterEntry* entry = nullptr;
    for (const MasterEntry& e : m_image.master) {
      if (e.type == "table" && lowerAscii(e.name) == key) entry = &e;
    }
    if (!entry) continue; /* a TEMP table */
    auto rows = m_image.tables.find(entry->name);
    auto& list = before[entry->name];
    for (int64_t rowid : changed.rowids) {
      const Row* row = rows == m_image.tables.end() ? nullptr : findRow(rows->second, rowid);
      list.emplace_back(rowid, row ? std::optional<Row>(*row) : std::nullopt);
    }
  }
}

Status Database::storeInPlace(const Image& next, const RowsBefore& before, bool* done) {
  *done = false;
  TreeCatalog catalog;
  ByteOrder order;
  order.bigEndian = m_image.bigEndian;
  catalog.build(next.master, order, next.fileFormat);
  bool unsuitable = false;
  for (const auto& [name, rows] : before) {
    if (!catalog.find(name)) unsuitable = true;
  }
  if (unsuitable) return Status::success();
  Status st = m_file.storeEdited([&](std::string& bytes) {
    TreeEditor editor(bytes, order);
    for (const auto& [name, rows] : before) {
      Status edit =
          writeTable(editor, *catalog.find(name), next.tables.at(name), rows, &unsuitable);
      if (!edit.ok() || unsuitable) return unsuitable ? Status::failure(kNotFound, "") : edit;
    }
    return Status::success();
  });
  if (st.code == kNotFound) return Status::success();
  *done = st.ok();
  return st;
}

}  // namespace s2
