/*
** Writing the rows a statement changed straight into the file's b-trees:
** the table entry of each changed row is inserted, replaced or removed
** and the entries of every index of the table follow, so that a write of
** a few rows journals and writes a few pages.  A schema change goes in
** place too: dropped trees to the freelist, new ones allocated and
** filled, the changed sqlite_master rows rewritten, through the pending
** pages of the connection's page cache.  Used for format 4 files of this
** machine's byte order; everything else is written whole by the file
** layer.
*/
#include "s2rowedit.h"
#include "s2schemaedit.h"
#include "s2sqldb.h"
#include "s2treeedit.h"
#include "s2value.h"

#include <sqlite3.h>

namespace s2 {

bool Database::canWriteInPlace() const {
  /* The changes of a transaction begun in the lazy form are not in the
  ** bytes the file layer edits. */
  if (!m_hasFile || m_copyHasPending || m_image.fileFormat != kCurrentFormat ||
      m_image.bigEndian != nativeBigEndian()) {
    return false;
  }
  /* A schema change fills its new tables whole; storeSchemaInPlace checks
  ** that the tables read whole are new ones. */
  if (m_schemaChanged) return true;
  if (!m_dirtyTables.empty()) return false;
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

Status Database::storeSchemaInPlace(Image& next, const RowsBefore& before, bool* done) {
  *done = false;
  bool changed = false;
  Status st = m_lazy.refresh(&changed);
  if (!st.ok()) return st;
  /* A short file, or one that is not what the working copy was loaded
  ** from, is written whole (which refuses the latter). */
  const Image& file = m_lazy.schema();
  if (!m_lazy.usable() || file.fileFormat != kCurrentFormat ||
      file.master.size() != m_image.master.size())
    return Status::success();
  for (size_t i = 0; i < file.master.size(); ++i) {
    const MasterEntry &a = file.master[i], &b = m_image.master[i];
    if (a.rowid != b.rowid || a.name != b.name || a.rootpage != b.rootpage || a.sql != b.sql)
      return Status::success();
  }
  SchemaChange change;
  change.before = m_image.master;
  change.after = next.master;
  change.rows = [&next](const std::string& name) -> const std::vector<Row>* {
    auto rows = next.tables.find(name);
    return rows == next.tables.end() ? nullptr : &rows->second;
  };
  change.changedRows = before;
  change.cookieStep = randomCookieStep();
  /* Tables read whole must be new ones: those that stay are written by
  ** their changed rows. */
  for (const MasterEntry& e : change.after) {
    if (e.type != "table" || e.rootpage == 0) continue;
    auto counted = m_rowChanges.find(lowerAscii(e.name));
    if (m_dirtyTables.count(lowerAscii(e.name)) ||
        (counted != m_rowChanges.end() && counted->second.whole))
      return Status::success();
  }
  std::vector<MasterEntry> written;
  bool unsuitable = false;
  ByteOrder order;
  order.bigEndian = file.bigEndian;
  st = m_lazy.edit([&](TreeEditor& editor) {
    return applySchemaChange(editor, order, change, &written, &unsuitable);
  });
  if (st.ok() && !unsuitable) st = m_lazy.commitChanges();
  m_lazy.dropChanges();
  /* A failed write put the old content back but left the full form's
  ** file state unknown: it is read again, as the full form needs it. */
  if (!m_file.loaded()) {
    Image reread;
    Status again = m_file.load(reread);
    if (st.ok()) st = again;
  }
  if (!st.ok() || unsuitable) return st;
  *done = true;
  next.master = std::move(written);
  next.schemaCookie = file.schemaCookie + change.cookieStep;
  m_rootsKnown = false;
  return showRootPages(next.master);
}

Status Database::showRootPages(const std::vector<MasterEntry>& master) {
  sqlite3_stmt* stmt = nullptr;
  const char* sql = "UPDATE temp.xb_master SET rootpage = ? WHERE rowid = ?";
  if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
    return sqliteFailure(SQLITE_ERROR);
  int rc = SQLITE_DONE;
  for (const MasterEntry& e : master) {
    std::string root = std::to_string(e.rootpage);
    sqlite3_bind_text(stmt, 1, root.data(), int(root.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(stmt, 2, e.rowid);
    rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) break;
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? Status::success() : sqliteFailure(rc);
}

}  // namespace s2
