/*
** The partial form of the working copy: a row change that needs SQLite 3's
** own tables (triggers, conflict clauses, INSERT OR ..., rowids that move)
** loads only the tables it involves, read through the page cache, and
** leaves every other table a virtual table, so its cost follows those
** tables and not the file.  Its changed rows go through the b-tree editor
** into the LazyFile's pending pages, written as the lazy form's changes
** are (journal and sync of the changed pages only).  Outside a transaction
** the loaded rows are those of the file under the statement's lock: the
** form is built again for each statement, since 2.x files keep no counter
** that would tell a change of rows by another program.  Inside a
** transaction the form lives until COMMIT or ROLLBACK and takes in more
** tables as later statements name them.  The virtual tables refuse row
** changes meanwhile: a write reaching one is a fault of the choice of
** tables, reported, never carried out behind the working copy's back.
** A change of the file's schema runs here too, loading only the table of
** a new index or trigger: the difference between the schema rows before
** and after goes into the pending pages with the rows of new tables
** (s2schemaedit.h), so that it costs the trees it makes or drops and not
** the file.
*/
#include "s2rowedit.h"
#include "s2schemaedit.h"
#include "s2sqldb.h"
#include "s2treeedit.h"

#include <sqlite3.h>

#include <algorithm>

namespace s2 {

namespace {

/* True for the schema statements the partial form runs: those that change
** the file's schema (TEMP objects live with the whole form, as TEMP
** triggers do). */
bool changesFileSchema(const Statement& statement) {
  switch (statement.kind) {
    case StatementKind::CreateTable:
    case StatementKind::CreateIndex:
    case StatementKind::CreateView:
    case StatementKind::CreateTrigger:
    case StatementKind::DropTable:
    case StatementKind::DropIndex:
    case StatementKind::DropView:
    case StatementKind::DropTrigger:
      return !statement.temporary;
    default:
      return false;
  }
}

}  // namespace

bool Database::fitsPartial(const Statement& statement) const {
  if (!m_hasFile) return false;
  if (statement.kind != StatementKind::Change && !changesFileSchema(statement)) return false;
  /* A transaction running in the whole form stays there. */
  if (m_inTransaction && !m_lazyMode && !m_partial) return false;
  const Image& schema = m_lazy.schema();
  return m_lazy.usable() && schema.fileFormat == kCurrentFormat &&
         schema.bigEndian == nativeBigEndian() && !hasTempTriggers();
}

std::set<std::string> Database::involvedTables(const Statement& statement) const {
  const Image& schema = m_lazy.schema();
  std::set<std::string> known;
  for (const MasterEntry& e : schema.master) {
    if (e.type == "view" || (e.type == "table" && m_lazy.tables().find(e.name)))
      known.insert(lowerAscii(e.name));
  }
  std::set<std::string> involved;
  /* A view, a new table and a dropped object need no rows: views and
  ** CREATE TABLE ... AS read the virtual tables, and a dropped tree goes
  ** to the freelist without being read.  An index is filled from its
  ** table's rows, and a trigger needs its table in SQLite 3. */
  if (statement.kind != StatementKind::Change && statement.kind != StatementKind::CreateIndex &&
      statement.kind != StatementKind::CreateTrigger)
    return involved;
  std::vector<std::string> queue;
  auto addNames = [&](const std::vector<Token>& tokens) {
    for (const Token& t : tokens) {
      if (t.kind != TokenKind::Word && t.kind != TokenKind::Quoted && t.kind != TokenKind::String)
        continue;
      std::string key = lowerAscii(unquoteName(t));
      if (known.count(key) && involved.insert(key).second) queue.push_back(key);
    }
  };
  addNames(statement.tokens);
  while (!queue.empty()) {
    std::string key = std::move(queue.back());
    queue.pop_back();
    for (const MasterEntry& e : schema.master) {
      if (e.type == "trigger" && e.sql && lowerAscii(e.tbl_name) == key)
        addNames(significantTokens(*e.sql));
    }
  }
  return involved;
}

Status Database::ensurePartial(const Statement& statement) {
  if (m_partial && (m_inTransaction || m_activePrograms > 0)) {
    std::set<std::string> extra;
    for (const std::string& name : involvedTables(statement)) {
      if (!m_partialTables.count(name)) extra.insert(name);
    }
    if (extra.empty()) return Status::success();
    if (m_activePrograms > 0) return Status::failure(kLocked, "database table is locked");
    /* The transaction's copy keeps what it changed and takes in more. */
    return loadPartialTables(extra, true, true);
  }
  if (m_activePrograms > 0) return Status::failure(kLocked, "database table is locked");
  bool held = m_file.lockLevel() != LockLevel::None;
  Status st = held ? Status::success() : m_file.lockRead();
  if (!st.ok()) return st;
  bool changed = false;
  st = m_lazy.refresh(&changed);
  if (st.ok() && !fitsPartial(statement)) {
    /* The schema read again asks for the whole file after all. */
    st = clearWorkingCopy();
    m_lazyMode = false;
    m_loaded = false;
    m_wantFull = true;
    if (st.ok()) st = ensureLoaded();
  } else if (st.ok()) {
    /* The tables are named by the schema as it is now: the last statement
    ** may have made the one this statement names. */
    std::set<std::string> names = involvedTables(statement);
    bool covered =
        m_partial && !changed &&
        std::includes(m_partialTables.begin(), m_partialTables.end(), names.begin(), names.end());
    if (covered) names = m_partialTables;
    if (!covered || (held && !m_partialFresh)) st = buildPartial(names, held);
  }
  if (!held) {
    m_file.unlock();
    m_lazy.forgetPages();
  }
  /* A transaction begun lazily goes on in SQLite 3 over the loaded
  ** tables; its pending pages stay with the LazyFile. */
  if (st.ok() && m_lazyTransaction) {
    m_lazyTransaction = false;
    st = m_partial ? exec("BEGIN") : continueTransactionInFull();
  }
  return st;
}

Status Database::refreshPartially() {
  if (m_inTransaction || m_activePrograms > 0) return Status::success();
  bool held = m_file.lockLevel() != LockLevel::None;
  if (held && m_partialFresh) return Status::success();
  Status st = held ? Status::success() : m_file.lockRead();
  if (!st.ok()) return st;
  bool changed = false;
  st = m_lazy.refresh(&changed);
  if (st.ok() && (held || changed)) {
    std::set<std::string> names = m_partialTables;
    st = buildPartial(names, held);
  }
  if (!held) {
    m_file.unlock();
    m_lazy.forgetPages();
  }
  return st;
}

Status Database::buildPartial(const std::set<std::string>& names, bool withRows) {
  Status st = clearWorkingCopy();
  if (!st.ok()) return st;
  const Image& schema = m_lazy.schema();
  takeSchemaImage();
  m_lazyMode = false;
  m_loaded = false;
  st = exec("BEGIN");
  if (st.ok()) st = loadMasterRows(schema.master);
  for (const MasterEntry& e : schema.master) {
    if (!st.ok()) break;
    if (e.type != "table" || names.count(lowerAscii(e.name)) || !m_lazy.catalog().find(e.name) ||
        !table(e.name))
      continue;
    st = exec(treeTableStatement("main", e.name));
  }
  for (const MasterEntry& e : schema.master) {
    if (!st.ok()) break;
    if (e.type == "view" && e.sql) discard(exec(translateForWorkingCopy(*e.sql)));
  }
  if (st.ok()) st = loadPartialTables(names, withRows, false);
  if (st.ok()) st = exec("COMMIT");
  if (!st.ok()) {
    discard(exec("ROLLBACK"));
    m_partialTables.clear();
    m_image.tables.clear();
    return st;
  }
  m_partial = true;
  m_partialFresh = withRows;
  m_lazy.refuseRowChanges(true);
  m_loaded = true;
  m_rootsKnown = false;
  m_rowChanges.clear();
  m_dirtyTables.clear();
  m_schemaChanged = false;
  ++m_generation;
  return st;
}

Status Database::loadPartialTables(const std::set<std::string>& names, bool withRows, bool vtabs) {
  /* Loading changes nothing that would have to be written back. */
  watchRowChanges(false);
  const Image& schema = m_lazy.schema();
  Status st;
  for (const MasterEntry& e : schema.master) {
    if (!st.ok()) break;
    std::string key = lowerAscii(e.name);
    if ((e.type != "table" && e.type != "view") || !names.count(key)) continue;
    m_partialTables.insert(key);
    const TableInfo* info = table(e.name);
    if (e.type == "view" || !info || !m_lazy.catalog().find(e.name)) continue;
    std::vector<Row> rows;
    if (withRows) st = m_lazy.readRows(e.name, rows);
    if (st.ok() && vtabs) st = exec("DROP TABLE main." + quoteIdentifier(e.name));
    if (st.ok()) st = createTableInCopy(info->def, "main", e.sql ? *e.sql : std::string());
    if (st.ok()) st = fillTable(*info, rows);
    if (st.ok()) st = guardRowids(*info);
    m_image.tables[e.name] = std::move(rows);
  }
  for (const MasterEntry& e : schema.master) {
    if (!st.ok()) break;
    if (e.type == "index" && e.sql && names.count(lowerAscii(e.tbl_name)))
      st = createIndexInCopy(*e.sql);
  }
  for (const MasterEntry& e : schema.master) {
    if (!st.ok()) break;
    if (e.type == "trigger" && e.sql && names.count(lowerAscii(e.tbl_name)))
      discard(exec(translateForWorkingCopy(*e.sql)));
  }
  watchRowChanges(true);
  if (st.code == kConstraint) st = Status::failure(kCorrupt, "database disk image is malformed");
  if (vtabs) ++m_generation;
  return st;
}

Status Database::changedRows(const TableInfo& info, const RowChanges& changes,
                             const std::vector<Row>& loaded, std::vector<Row>& after,
                             std::vector<RowBefore>& before) {
  if (!changes.whole) {
    Status st = patchTable(info, changes, after);
    for (int64_t rowid : changes.rowids) {
      /* A row SQLite 3 numbered past 32 bits was moved to a free rowid
      ** (or refused by patchTable): it never reaches the file. */
      if (rowid < INT32_MIN || rowid > INT32_MAX) continue;
      const Row* old = findRow(loaded, rowid);
      before.emplace_back(rowid, old ? std::optional<Row>(*old) : std::nullopt);
    }
    return st;
  }
  /* Too many to keep count of: the whole table against its loaded rows. */
  std::vector<Row> now;
  Status st = readTable(info, now);
  size_t i = 0, j = 0;
  while (st.ok() && (i < now.size() || j < loaded.size())) {
    bool added = j == loaded.size() || (i < now.size() && now[i].rowid < loaded[j].rowid);
    bool removed = !added && (i == now.size() || loaded[j].rowid < now[i].rowid);
    if (added) {
      before.emplace_back(now[i].rowid, std::nullopt);
      after.push_back(std::move(now[i++]));
    } else if (removed) {
      before.emplace_back(loaded[j].rowid, loaded[j]);
      ++j;
    } else {
      if (now[i].cells != loaded[j].cells) {
        before.emplace_back(loaded[j].rowid, loaded[j]);
        after.push_back(std::move(now[i]));
      }
      ++i;
      ++j;
    }
  }
  return st;
}

Status Database::writeBackPartial() {
  if (m_schemaChanged) return writeSchemaPartial();
  std::vector<std::pair<const TreeTable*, std::pair<std::vector<Row>, std::vector<RowBefore>>>>
      edits;
  for (const auto& [key, changes] : m_rowChanges) {
    const TableInfo* info = table(key);
    const TreeTable* tree = m_lazy.tables().find(key);
    if (!info || !info->inFile) continue; /* a TEMP table */
    auto loaded = m_image.tables.find(info->def.name);
    if (!tree || !m_partialTables.count(key) || loaded == m_image.tables.end())
      return Status::failure(kInternal, "internal SQLite implementation flaw: table " +
                                            info->def.name + " is not in the working copy");
    RowChanges changed = changes;
    if (m_dirtyTables.count(key)) changed.whole = true;
    edits.emplace_back(tree, std::make_pair(std::vector<Row>(), std::vector<RowBefore>()));
    Status st = changedRows(*info, changed, loaded->second, edits.back().second.first,
                            edits.back().second.second);
    if (!st.ok()) return st;
  }
  if (edits.empty()) return Status::success();
  return m_lazy.edit([&](TreeEditor& editor) {
    for (const auto& [tree, rows] : edits) {
      bool unsuitable = false;
      Status st = writeRows(editor, *tree, rows.first, rows.second, &unsuitable);
      if (!st.ok()) return st;
      /* An index without the entry of an existing row is damage. */
      if (unsuitable) return Status::failure(kCorrupt, "database disk image is malformed");
    }
    return Status::success();
  });
}

Status Database::writeSchemaPartial() {
  SchemaChange change;
  change.before = m_image.master;
  Status st = readMaster(change.after);
  /* The rows of every table the working copy holds itself: new tables,
  ** the tables new indices are filled from and those with changed rows. */
  std::map<std::string, std::vector<Row>> rows;
  std::set<std::string> fresh;
  for (const MasterEntry& e : change.after) {
    if (!st.ok()) break;
    std::string key = lowerAscii(e.name);
    const TableInfo* info = table(e.name);
    if (e.type != "table" || !info || !info->inFile) continue;
    if (e.rootpage == 0) fresh.insert(key);
    if (e.rootpage == 0 || m_partialTables.count(key)) st = readTable(*info, rows[e.name]);
  }
  for (const auto& [key, changes] : m_rowChanges) {
    if (!st.ok()) break;
    const TableInfo* info = table(key);
    if (!info || !info->inFile || fresh.count(key)) continue;
    auto loaded = m_image.tables.find(info->def.name);
    if (loaded == m_image.tables.end())
      return Status::failure(kInternal, "internal SQLite implementation flaw: table " +
                                            info->def.name + " is not in the working copy");
    RowChanges changed = changes;
    if (m_dirtyTables.count(key)) changed.whole = true;
    std::vector<Row> after;
    st = changedRows(*info, changed, loaded->second, after, change.changedRows[info->def.name]);
  }
  if (!st.ok()) return st;
  change.rows = [&rows](const std::string& name) -> const std::vector<Row>* {
    auto found = rows.find(name);
    return found == rows.end() ? nullptr : &found->second;
  };
  change.cookieStep = randomCookieStep();
  ByteOrder order;
  order.bigEndian = m_image.bigEndian;
  std::vector<MasterEntry> written;
  bool unsuitable = false;
  st = m_lazy.edit([&](TreeEditor& editor) {
    return applySchemaChange(editor, order, change, &written, &unsuitable);
  });
  /* Roots claimed twice or an index without a row's entry: the file is
  ** damaged where the change would go. */
  if (st.ok() && unsuitable) st = Status::failure(kCorrupt, "database disk image is malformed");
  return st.ok() ? showRootPages(written) : st;
}

Status Database::endPartialStatement(Status status) {
  if (status.ok()) status = writeBackPartial();
  if (status.ok()) {
    status = m_lazy.commitChanges();
  } else {
    m_lazy.dropChanges();
  }
  discard(exec(status.ok() ? "COMMIT" : "ROLLBACK"));
  if (!status.ok()) forgetUncommitted();
  m_rowChanges.clear();
  m_dirtyTables.clear();
  /* The loaded rows are no longer those the next write is made against. */
  m_partialFresh = false;
  return status;
}

Status Database::commitPartialTransaction() {
  Status st = writeBackPartial();
  m_lazy.endStatement(st.ok());
  if (!st.ok()) return st;
  /* One journal and one sync sequence for the lazy statements' pages and
  ** the rows written back on top of them. */
  st = m_lazy.commitTransaction();
  if (st.ok()) st = exec("COMMIT");
  if (!st.ok()) dropUncommittedCopy();
  m_inTransaction = false;
  m_rowChanges.clear();
  m_dirtyTables.clear();
  m_partialFresh = false;
  if (!st.ok()) forgetUncommitted();
  releaseLock();
  return st;
}

Status Database::leavePartial() {
  if (m_activePrograms > 0) return Status::failure(kLocked, "database table is locked");
  Status st;
  if (m_inTransaction) {
    /* What the transaction changed joins its pending pages, from which
    ** the whole form is then loaded. */
    st = writeBackPartial();
    m_lazy.endStatement(st.ok());
    if (!st.ok()) return st;
    st = exec("ROLLBACK");
    if (!st.ok()) return st;
    m_lazyTransaction = true;
  }
  st = clearWorkingCopy();
  m_loaded = false;
  m_wantFull = true;
  if (st.ok()) st = ensureLoaded();
  return st;
}

void Database::dropUncommittedCopy() {
  if (!sqlite3_get_autocommit(m_db)) discard(exec("ROLLBACK"));
  m_lazy.dropTransaction();
  discard(clearWorkingCopy());
  m_loaded = false;
}

}  // namespace s2
