/*
** Writing the rows a statement changed straight into the file's b-trees:
** the table entry of each changed row is inserted, replaced or removed
** and the entries of every index of the table follow, so that a write of
** a few rows journals and writes a few pages.  Used when only rows
** changed (no schema change) in a format 4 file of this machine's byte
** order; everything else is written whole by the file layer.
*/
#include "s2rowedit.h"
#include "s2sqldb.h"
#include "s2treeedit.h"
#include "s2value.h"

namespace s2 {

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
      /* A row SQLite 3 numbered past 32 bits was moved to a free rowid
      ** (or the write is refused): it never reaches the file, and its
      ** rowid cut to 32 bits would name another row. */
      if (rowid < INT32_MIN || rowid > INT32_MAX) continue;
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
      Status edit = writeRows(editor, *catalog.find(name), next.tables.at(name), rows, &unsuitable);
      if (!edit.ok() || unsuitable) return unsuitable ? Status::failure(kNotFound, "") : edit;
    }
    return Status::success();
  });
  if (st.code == kNotFound) return Status::success();
  *done = st.ok();
  return st;
}

}  // namespace s2
