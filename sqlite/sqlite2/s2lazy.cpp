/*
** The lazy view of a connection's file: its page source over the File and
** the check of page 1 that decides whether the schema is read again.
*/
#include "s2lazy.h"
#include "s2rowedit.h"
#include "s2value.h"

#include <cstring>

namespace s2 {

Status FileSource::readPage(uint32_t number, unsigned char* out) {
  return m_file.readPage(number, out);
}

uint32_t FileSource::pageCount() {
  return m_file.pageCount();
}

namespace {

/* Reads the table entry under CURSOR (a 4-byte key) into ROW as the
** whole-file reader does: the rowid alias shows the rowid.  Errors:
** kCorrupt naming the page, the overflow pages' read errors. */
Status rowAt(TreeCursor& cursor, const TableDef& def, Row& row) {
  Status st = cursor.loadData();
  if (!st.ok()) return st;
  row.rowid = rowidOfTableKey(cursor.key());
  row.cells.assign(def.columns.size(), Cell());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    bool isNull = true;
    std::string_view value;
    if (!recordField(cursor.data(), i, &isNull, &value)) return damagedPage(cursor.page());
    if (!isNull) row.cells[i] = std::string(value);
  }
  if (def.rowidColumn >= 0) row.cells[size_t(def.rowidColumn)] = std::to_string(row.rowid);
  return st;
}

}  // namespace

LazyFile::LazyFile(File& file, FunctionHooks& hooks)
    : m_file(file), m_hooks(hooks), m_source(file) {
  m_cache.setSource(&m_source);
}

void LazyFile::forgetPages() {
  m_pending.reset();
  dropTransaction();
}

void LazyFile::forget() {
  m_pending.reset();
  dropTransaction();
  m_catalog.clear();
  m_schema = Image();
  m_known = false;
  m_usable = false;
}

Status LazyFile::readable() {
  if (m_file.lockLevel() == LockLevel::None) return Status::failure(kBusy, "database is locked");
  return Status::success();
}

Status LazyFile::refresh(bool* schemaChanged) {
  *schemaChanged = false;
  Status st = readable();
  if (!st.ok()) return st;
  m_cache.clear();
  uint32_t pages = m_cache.pageCount();
  std::array<unsigned char, kPageSize> page1{};
  if (pages >= 1) {
    st = m_cache.read(1, page1.data());
    if (!st.ok()) return st;
  }
  /* Everything of page 1 but the freelist head and count, which change
  ** with any write; the schema cookie changes with every schema change. */
  std::array<unsigned char, kOffMeta + 36> header{};
  std::memcpy(header.data(), page1.data(), kOffFreeHead);
  std::memcpy(header.data() + kOffFreeHead, page1.data() + kOffMeta, 36);
  bool shortFile = pages < 2;
  if (m_known && !shortFile && m_usable && header == m_header) return Status::success();
  *schemaChanged = true;
  m_known = false;
  m_catalog.clear();
  m_usable = false;
  if (shortFile) {
    m_known = true;
    return Status::success();
  }
  st = readCatalogSchema(m_cache, m_schema);
  if (!st.ok()) return st;
  m_header = header;
  m_known = true;
  m_usable = m_schema.fileFormat >= 3;
  ByteOrder order;
  order.bigEndian = m_schema.bigEndian;
  if (m_usable) m_catalog.build(m_schema.master, order, m_schema.fileFormat);
  return Status::success();
}

Status LazyFile::changeRow(const std::string& name, int64_t rowid,
                           const std::vector<Cell>* fields) {
  if (m_rowChangesRefused) return refusedChange(name);
  const TreeTable* table = m_catalog.find(name);
  if (!table) return Status::failure(kError, "no such table: " + name);
  const TableDef& def = table->def;
  if (fields) {
    Status valid = checkNotNull(def, *fields);
    if (!valid.ok()) return valid;
  }
  if (!m_pending) m_pending = std::make_unique<PendingPages>(m_cache);

  /* The row as this statement has left it so far. */
  PageCache view(8);
  view.setSource(m_pending.get());
  TreeCursor cursor(view, m_catalog.byteOrder(), table->root);
  std::string key = rowidKey(int32_t(rowid));
  Status st = cursor.seek(key);
  if (!st.ok()) return st;
  std::vector<RowBefore> before{{rowid, std::nullopt}};
  if (!cursor.atEnd() && cursor.key() == key) {
    Row old;
    st = rowAt(cursor, def, old);
    if (!st.ok()) return st;
    before[0].second = std::move(old);
  }

  std::vector<Row> rows;
  if (fields) {
    rows.push_back(Row{});
    rows.back().rowid = rowid;
    rows.back().cells = *fields;
    if (def.rowidColumn >= 0) rows.back().cells[size_t(def.rowidColumn)] = std::to_string(rowid);
  }
  TreeEditor editor(*m_pending, m_catalog.byteOrder());
  bool unsuitable = false;
  st = writeRows(editor, *table, rows, before, &unsuitable);
  /* An index without the entry of an existing row is damage. */
  if (st.ok() && unsuitable) return Status::failure(kCorrupt, "database disk image is malformed");
  return st;
}

Status LazyFile::refusedChange(const std::string& name) {
  return Status::failure(kInternal, "internal SQLite implementation flaw: table " + name +
                                        " is not in the working copy");
}

Status LazyFile::readRows(const std::string& name, std::vector<Row>& rows) {
  rows.clear();
  const TreeTable* table = m_catalog.find(name);
  if (!table) return Status::failure(kError, "no such table: " + name);
  const TableDef& def = table->def;
  TreeCursor cursor(m_cache, m_catalog.byteOrder(), table->root);
  Status st = cursor.first();
  for (; st.ok() && !cursor.atEnd(); st = cursor.next()) {
    if (cursor.key().size() != 4) return damagedPage(cursor.page());
    Row row;
    st = rowAt(cursor, def, row);
    if (!st.ok()) return st;
    if (!rows.empty() && row.rowid <= rows.back().rowid) return damagedPage(cursor.page());
    rows.push_back(std::move(row));
  }
  return st;
}

Status LazyFile::checkNotNull(const TableDef& def, const std::vector<Cell>& fields) {
  if (fields.size() != def.columns.size())
    return Status::failure(kInternal, "internal SQLite implementation flaw");
  for (size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].notNull && int(i) != def.rowidColumn && !fields[i])
      return Status::failure(kConstraint,
                             def.name + "." + def.columns[i].name + " may not be NULL");
  }
  return Status::success();
}

Status LazyFile::nextRowid(TreeCursor& cursor, int64_t* rowid) {
  Status st = cursor.last();
  if (!st.ok()) return st;
  if (cursor.atEnd()) {
    *rowid = 1;
    return st;
  }
  int32_t largest = rowidOfTableKey(cursor.key());
  if (largest < INT32_MAX) {
    *rowid = int64_t(largest) + 1;
    return st;
  }
  for (int attempt = 0; attempt < kRowidProbes; ++attempt) {
    int64_t candidate = randomRowidCandidate(m_hooks, attempt);
    if (candidate == 0) continue;
    std::string key = rowidKey(int32_t(candidate));
    st = cursor.seek(key);
    if (!st.ok()) return st;
    if (!cursor.atEnd() && cursor.key() == key) continue;
    m_hooks.lastRandomRowid = candidate;
    *rowid = candidate;
    return st;
  }
  return Status::failure(kFull, "database is full");
}

Status LazyFile::insertRow(const std::string& name, std::optional<int64_t> rowid,
                           const std::vector<Cell>& fields, int64_t* inserted) {
  if (m_rowChangesRefused) return refusedChange(name);
  const TreeTable* table = m_catalog.find(name);
  if (!table) return Status::failure(kError, "no such table: " + name);
  const TableDef& def = table->def;
  Status st = checkNotNull(def, fields);
  if (!st.ok()) return st;
  if (rowid && (*rowid < INT32_MIN || *rowid > INT32_MAX))
    return Status::failure(kMismatch, "datatype mismatch");
  if (!m_pending) m_pending = std::make_unique<PendingPages>(m_cache);

  /* The table as this statement has left it so far. */
  PageCache view(8);
  view.setSource(m_pending.get());
  TreeCursor cursor(view, m_catalog.byteOrder(), table->root);
  int64_t chosen = 0;
  if (rowid) {
    chosen = *rowid;
    std::string key = rowidKey(int32_t(chosen));
    st = cursor.seek(key);
    if (!st.ok()) return st;
    if (!cursor.atEnd() && cursor.key() == key)
      return Status::failure(kConstraint, "PRIMARY KEY must be unique");
  } else {
    st = nextRowid(cursor, &chosen);
    if (!st.ok()) return st;
  }
  std::vector<Row> rows(1);
  rows[0].rowid = chosen;
  rows[0].cells = fields;
  if (def.rowidColumn >= 0) rows[0].cells[size_t(def.rowidColumn)] = std::to_string(chosen);
  std::vector<RowBefore> before{{chosen, std::nullopt}};
  TreeEditor editor(*m_pending, m_catalog.byteOrder());
  bool unsuitable = false;
  st = writeRows(editor, *table, rows, before, &unsuitable);
  if (st.ok() && unsuitable) return Status::failure(kCorrupt, "database disk image is malformed");
  if (st.ok()) *inserted = chosen;
  return st;
}

Status LazyFile::edit(const std::function<Status(TreeEditor&)>& change) {
  if (!m_pending) m_pending = std::make_unique<PendingPages>(m_cache);
  TreeEditor editor(*m_pending, m_catalog.byteOrder());
  Status st = change(editor);
  return st.ok() ? m_pending->status() : st;
}

Status LazyFile::writeOut(const PendingPages& pages) {
  uint32_t originalPages = 0;
  std::vector<PageWrite> writes = pages.changes(&originalPages);
  Status st = pages.status();
  return st.ok() ? m_file.writePages(writes, originalPages) : st;
}

Status LazyFile::commitChanges() {
  if (!m_pending) return Status::success();
  Status st = writeOut(*m_pending);
  m_pending.reset();
  m_cache.clear();
  return st;
}

void LazyFile::beginTransaction() {
  m_pending.reset();
  m_transaction = std::make_unique<PendingPages>(m_source);
  m_cache.setSource(m_transaction.get());
}

void LazyFile::endStatement(bool keep) {
  if (!m_pending) return;
  if (keep && m_transaction) {
    m_transaction->absorb(*m_pending);
    /* Cached pages may be older than the ones just taken in. */
    m_cache.clear();
  }
  m_pending.reset();
}

Status LazyFile::commitTransaction() {
  m_pending.reset();
  if (!m_transaction) return Status::success();
  Status st = writeOut(*m_transaction);
  if (st.ok()) dropTransaction();
  return st;
}

void LazyFile::dropTransaction() {
  m_pending.reset();
  m_transaction.reset();
  m_cache.setSource(&m_source);
}

std::vector<PageWrite> LazyFile::transactionPages(uint32_t* originalPages) const {
  *originalPages = 0;
  if (!m_transaction) return {};
  return m_transaction->changes(originalPages);
}

}  // namespace s2
