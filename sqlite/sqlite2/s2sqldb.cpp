/*
** The working copy of one generation-2 connection: loading a file into
** SQLite 3, running compiled statements with the 2.x locking and
** transaction rules, and writing the working copy back through the file
** layer.  Schema statements and pragmas live in s2sqlschema.cpp.
*/
#include "s2sqldb.h"

/* The change hook called before each row change: unlike the update hook,
** it also sees rows removed by DELETE without WHERE and by REPLACE. */
#ifndef SQLITE_ENABLE_PREUPDATE_HOOK
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#endif
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace s2 {

namespace {

/* Most changed rows of one table that are kept count of; past that the
** table is read whole when it is written. */
constexpr size_t kMaxTrackedRows = 4096;

/* Called by SQLite 3 before every row change: notes the changed rows. */
void rowChanged(void* arg, sqlite3*, int op, const char* database, const char* table,
                sqlite3_int64 oldRowid, sqlite3_int64 newRowid) {
  auto* changes = static_cast<std::map<std::string, RowChanges>*>(arg);
  if (!database || !table || std::string_view(database) != "main") return;
  RowChanges& c = (*changes)[lowerAscii(table)];
  if (c.whole) return;
  if (op != SQLITE_INSERT) c.rowids.insert(oldRowid);
  if (op != SQLITE_DELETE) c.rowids.insert(newRowid);
  if (c.rowids.size() > kMaxTrackedRows) {
    c.whole = true;
    c.rowids.clear();
  }
}

/* Sleeps for the Nth wait of a busy retry (2.x's schedule); returns the
** milliseconds slept. */
int busyWait(int n) {
  static const int delays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 50};
  int ms = n < 12 ? delays[n] : 100;
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return ms;
}

/* Runs ATTEMPT again while it reports kBusy, until TIMEOUTMS have been
** waited; returns its last status. */
template <class F>
Status retryWhileBusy(int timeoutMs, F attempt) {
  int waited = 0;
  for (int n = 0;; ++n) {
    Status st = attempt();
    if (st.code != kBusy || waited >= timeoutMs) return st;
    waited += busyWait(n);
  }
}

/* Returns the index of the first token that is the word WORD, or the
** token count. */
size_t findWordIndex(const std::vector<Token>& tokens, std::string_view word) {
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (isWord(tokens[i], word)) return i;
  }
  return tokens.size();
}

bool isInsert(const Statement& s) {
  return !s.tokens.empty() && (isWord(s.tokens[0], "insert") || isWord(s.tokens[0], "replace"));
}

}  // namespace

Database::Database() {
  m_hooks.rowidMoved = [this](int64_t from, int64_t to) {
    m_movedFrom = from;
    m_movedTo = to;
  };
}

Database::~Database() {
  close();
}

Status Database::open(const std::string& path) {
  if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    return Status::failure(kNoMem, "out of memory");
  }
  if (registerFunctions(m_db, &m_hooks) != SQLITE_OK ||
      registerTreeModule(m_db, &m_lazy) != SQLITE_OK)
    return sqliteFailure(SQLITE_ERROR);
  watchRowChanges(true);
  sqlite3_progress_handler(m_db, 1000, stopRequested, this);
  /* Result columns are named by the expression as written, as in 2.x. */
  Status st = exec("PRAGMA short_column_names=OFF");
  if (st.ok())
    st = exec(
        "CREATE TABLE temp.xb_master(type TEXT, name TEXT, tbl_name TEXT, rootpage TEXT "
        "COLLATE " +
        std::string(kNumericCollation) + ", sql TEXT)");
  if (!st.ok()) return st;
  if (path.empty() || path == ":memory:") {
    m_loaded = true;
    return st;
  }
  st = m_file.open(path);
  if (!st.ok()) return st;
  m_hasFile = true;
  st = ensureLoaded();
  if (st.code == kBusy) return Status::success();
  return st;
}

void Database::close() {
  if (m_db) {
    if (m_inTransaction) discard(exec("ROLLBACK"));
    sqlite3_close_v2(m_db);
    m_db = nullptr;
  }
  m_inTransaction = false;
  m_lazyTransaction = false;
  m_copyHasPending = false;
  if (m_hasFile) m_file.close();
  m_lazy.forget();
  m_hasFile = false;
}

/* ------------------------------------------------------------------------
** Loading the file into the working copy
*/

Status Database::ensureLoaded() {
  if (m_loaded || !m_hasFile) return Status::success();
  if (!m_wantFull) {
    bool usable = false;
    Status st = loadLazily(&usable);
    if (!st.ok() || usable) return st;
  }
  m_lazyMode = false;
  Image image;
  /* A transaction begun in the lazy form brings its changes along. */
  uint32_t originalPages = 0;
  std::vector<PageWrite> pending = m_lazy.transactionPages(&originalPages);
  Status st = pending.empty() ? m_file.load(image) : m_file.loadChanged(image, pending);
  if (!st.ok()) return st;
  m_image = std::move(image);
  st = loadWorkingCopy(m_image);
  if (st.ok()) m_loaded = true;
  return st;
}

Status Database::ensureCurrent() {
  if (!m_loaded) return ensureLoaded();
  if (!m_hasFile || m_inTransaction || m_activePrograms > 0) return Status::success();
  if (m_lazyMode) return refreshLazily();
  if (m_partial) return refreshPartially();
  Image fresh;
  bool reloaded = false;
  Status st = m_file.refresh(fresh, &reloaded);
  if (!st.ok() || !reloaded) return st;
  m_image = std::move(fresh);
  st = clearWorkingCopy();
  if (st.ok()) st = loadWorkingCopy(m_image);
  if (!st.ok()) m_loaded = false;
  return st;
}

Status Database::clearWorkingCopy() {
  std::vector<std::pair<std::string, std::string>> objects;
  sqlite3_stmt* stmt = nullptr;
  const char* sql =
      "SELECT type, name FROM main.sqlite_master WHERE type IN ('table','view') "
      "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
  if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
    return sqliteFailure(SQLITE_ERROR);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    objects.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                         reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
  }
  sqlite3_finalize(stmt);
  m_guardedTables.clear();
  m_partial = false;
  m_partialFresh = false;
  m_partialTables.clear();
  m_lazy.refuseRowChanges(false);
  Status st = exec("DELETE FROM temp.xb_master");
  for (const auto& [type, name] : objects) {
    if (!st.ok()) break;
    st = exec((type == "view" ? "DROP VIEW main." : "DROP TABLE main.") + quoteIdentifier(name));
  }
  invalidateSchema();
  return st;
}

Status Database::loadWorkingCopy(const Image& image) {
  /* Loading changes nothing that would have to be written back. */
  watchRowChanges(false);
  Status st = exec("BEGIN");
  if (!st.ok()) return st;
  st = loadMasterRows(image.master);

  /* Tables and their rows first, then the indices, then views and
  ** triggers, so that no trigger fires while rows are loaded.  An object
  ** whose statement cannot be used is skipped, as 2.x skips it. */
  for (const MasterEntry& e : image.master) {
    if (!st.ok()) break;
    if (e.type != "table") continue;
    const TableInfo* info = table(e.name);
    if (!info) continue;
    st = createTableInCopy(info->def, "main", e.sql ? *e.sql : std::string());
    if (!st.ok()) break;
    auto rows = image.tables.find(e.name);
    if (rows != image.tables.end()) st = fillTable(*info, rows->second);
    if (st.ok()) st = guardRowids(*info);
  }
  for (const MasterEntry& e : image.master) {
    if (!st.ok()) break;
    if (e.type == "index" && e.sql && !e.sql->empty()) st = createIndexInCopy(*e.sql);
  }
  for (const char* kind : {"view", "trigger"}) {
    for (const MasterEntry& e : image.master) {
      if (!st.ok()) break;
      if (e.type != kind || !e.sql) continue;
      discard(exec(translateForWorkingCopy(*e.sql)));
    }
  }
  if (st.ok()) st = exec("COMMIT");
  if (!st.ok()) {
    discard(exec("ROLLBACK"));
    if (st.code == kConstraint) st = Status::failure(kCorrupt, "database disk image is malformed");
  }
  watchRowChanges(true);
  m_dirtyTables.clear();
  m_rowChanges.clear();
  m_schemaChanged = false;
  m_rootsKnown = false;
  ++m_generation;
  return st;
}

void Database::watchRowChanges(bool on) {
  sqlite3_preupdate_hook(m_db, on ? rowChanged : nullptr, on ? &m_rowChanges : nullptr);
}

Status Database::createIndexInCopy(const std::string& sql) {
  IndexStatement index;
  if (!parseCreateIndex(sql, index)) return Status::success();
  const TableInfo* info = table(index.tableName);
  IndexDef resolved;
  if (!info || !resolveIndex(index, info->def, resolved)) return Status::success();
  std::string ddl = std::string(index.unique ? "CREATE UNIQUE INDEX main." : "CREATE INDEX main.") +
                    quoteIdentifier(index.name) + " ON " + quoteIdentifier(info->def.name) + "(";
  for (size_t i = 0; i < index.columnNames.size(); ++i) {
    ddl += (i ? "," : "") + quoteIdentifier(index.columnNames[i]);
  }
  return exec(ddl + ")");
}

Status Database::loadMasterRows(const std::vector<MasterEntry>& master) {
  Status st;
  sqlite3_stmt* insert = nullptr;
  const char* sql =
      "INSERT INTO temp.xb_master(rowid, type, name, tbl_name, rootpage, sql) "
      "VALUES(?,?,?,?,?,?)";
  if (sqlite3_prepare_v2(m_db, sql, -1, &insert, nullptr) != SQLITE_OK) {
    st = sqliteFailure(SQLITE_ERROR);
  }
  for (const MasterEntry& e : master) {
    if (!st.ok()) break;
    std::string root = std::to_string(e.rootpage);
    sqlite3_bind_int64(insert, 1, e.rowid);
    sqlite3_bind_text(insert, 2, e.type.data(), int(e.type.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, e.name.data(), int(e.name.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 4, e.tbl_name.data(), int(e.tbl_name.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 5, root.data(), int(root.size()), SQLITE_TRANSIENT);
    if (e.sql) {
      sqlite3_bind_text(insert, 6, e.sql->data(), int(e.sql->size()), SQLITE_STATIC);
    } else {
      sqlite3_bind_null(insert, 6);
    }
    if (sqlite3_step(insert) != SQLITE_DONE) st = sqliteFailure(SQLITE_ERROR);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  invalidateSchema();
  return st;
}

Status Database::createTableInCopy(const TableDef& def, const std::string& schema,
                                   std::string_view sql) {
  /* Conflict clauses of the constraints, matched to the automatic indices
  ** (a PRIMARY KEY that is the rowid alias has none); left out when they
  ** cannot be matched. */
  ConflictClauses clauses = conflictClauses(sql);
  std::string rowidClause;
  std::vector<std::string> indexClauses;
  for (size_t k = 0; k < clauses.keys.size(); ++k) {
    if (clauses.keyIsPrimary[k] && def.rowidColumn >= 0) {
      rowidClause = clauses.keys[k];
    } else {
      indexClauses.push_back(clauses.keys[k]);
    }
  }
  if (indexClauses.size() != def.autoIndices.size())
    indexClauses.assign(def.autoIndices.size(), "");
  if (clauses.notNull.size() != def.columns.size()) clauses.notNull.assign(def.columns.size(), "");
  auto onConflict = [](const std::string& resolution) {
    return resolution.empty() ? std::string() : " ON CONFLICT " + resolution;
  };

  bool allNumeric = m_image.fileFormat < 4;
  std::string ddl = "CREATE TABLE " + schema + "." + quoteIdentifier(def.name) + "(";
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& c = def.columns[i];
    ddl += (i ? ", " : "") + quoteIdentifier(c.name);
    if (int(i) == def.rowidColumn) {
      ddl += " INTEGER PRIMARY KEY" + onConflict(rowidClause);
      continue;
    }
    bool numeric = allNumeric || c.cls == ColumnClass::Numeric;
    ddl += " TEXT COLLATE " + std::string(numeric ? kNumericCollation : "BINARY");
    if (c.notNull) ddl += " NOT NULL" + onConflict(clauses.notNull[i]);
    if (c.hasDefault)
      ddl += " DEFAULT " + (c.defaultValue ? quoteLiteral(*c.defaultValue) : "NULL");
  }
  for (size_t k = 0; k < def.autoIndices.size(); ++k) {
    const IndexDef& index = def.autoIndices[k];
    ddl += ", UNIQUE(";
    for (size_t i = 0; i < index.columns.size(); ++i) {
      ddl += (i ? "," : "") + quoteIdentifier(def.columns[index.columns[i]].name);
    }
    ddl += ")" + onConflict(indexClauses[k]);
  }
  return exec(ddl + ")");
}

Status Database::fillTable(const TableInfo& info, const std::vector<Row>& rows) {
  const TableDef& def = info.def;
  std::string columns = info.rowidName, params = "?";
  for (size_t i = 0; i < def.columns.size(); ++i) {
    if (int(i) == def.rowidColumn) continue;
    columns += ", " + quoteIdentifier(def.columns[i].name);
    params += ",?";
  }
  std::string sql =
      "INSERT INTO main." + quoteIdentifier(def.name) + "(" + columns + ") VALUES(" + params + ")";
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &insert, nullptr) != SQLITE_OK) {
    return sqliteFailure(SQLITE_ERROR);
  }
  Status st;
  for (const Row& row : rows) {
    sqlite3_bind_int64(insert, 1, row.rowid);
    int param = 2;
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (int(i) == def.rowidColumn) continue;
      const Cell* cell = i < row.cells.size() ? &row.cells[i] : nullptr;
      if (cell && *cell) {
        sqlite3_bind_text(insert, param, (*cell)->data(), int((*cell)->size()), SQLITE_STATIC);
      } else {
        sqlite3_bind_null(insert, param);
      }
      ++param;
    }
    int rc = sqlite3_step(insert);
    sqlite3_reset(insert);
    if (rc != SQLITE_DONE) {
      st = sqliteFailure(rc);
      break;
    }
  }
  sqlite3_finalize(insert);
  return st;
}

Status Database::guardRowids(const TableInfo& info) {
  /* SQLite 3 numbers a new row max+1 even past 2147483647, where 2.x
  ** chooses a free rowid at random.  Once a table's largest rowid reaches
  ** that value it gets a trigger that moves such a row to a free rowid.
  ** (Rowids outside 32 bits given explicitly are refused when the table
  ** is written.) */
  std::string key = lowerAscii(info.def.name);
  if (!info.inFile || m_guardedTables.count(key)) return Status::success();
  const std::string t = quoteIdentifier(info.def.name);
  const std::string& r = info.rowidName;
  sqlite3_stmt* stmt = nullptr;
  std::string sql = "SELECT max(" + r + ") FROM main." + t;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
    return sqliteFailure(SQLITE_ERROR);
  sqlite3_int64 largest = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
  sqlite3_finalize(stmt);
  if (largest < INT32_MAX) return Status::success();
  std::string name = "xb_rowid_" + std::to_string(++m_guardCounter);
  Status st = exec("CREATE TEMP TRIGGER " + name + " AFTER INSERT ON main." + t + " WHEN new." + r +
                   " = 2147483648 BEGIN UPDATE " + t + " SET " + r + " = " + kNewRowidFunction +
                   "(" + quoteLiteral(info.def.name) + ", " + quoteLiteral(r) + ", new." + r +
                   ") WHERE " + r + " = new." + r + "; END");
  if (st.ok()) m_guardedTables.insert(key);
  return st;
}

/* ------------------------------------------------------------------------
** Building an Image of the working copy and writing it back
*/

Status Database::readMaster(std::vector<MasterEntry>& master) {
  sqlite3_stmt* stmt = nullptr;
  const char* sql =
      "SELECT rowid, type, name, tbl_name, rootpage, sql FROM temp.xb_master "
      "ORDER BY rowid";
  if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
    return sqliteFailure(SQLITE_ERROR);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    MasterEntry e;
    e.rowid = int32_t(sqlite3_column_int64(stmt, 0));
    e.type = columnCell(stmt, 1).value_or("");
    e.name = columnCell(stmt, 2).value_or("");
    e.tbl_name = columnCell(stmt, 3).value_or("");
    e.rootpage = int32_t(sqlite3_column_int64(stmt, 4));
    e.sql = columnCell(stmt, 5);
    master.push_back(std::move(e));
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? Status::success() : sqliteFailure(rc);
}

std::string Database::selectRowsSql(const TableInfo& info) const {
  std::string sql = "SELECT " + info.rowidName;
  for (const ColumnDef& c : info.def.columns) sql += ", " + quoteIdentifier(c.name);
  return sql + " FROM main." + quoteIdentifier(info.def.name);
}

Status Database::rowFromStatement(sqlite3_stmt* stmt, const TableDef& def, Row& row) const {
  sqlite3_int64 rowid = sqlite3_column_int64(stmt, 0);
  if (rowid < INT32_MIN || rowid > INT32_MAX)
    return Status::failure(kMismatch, "datatype mismatch");
  row.rowid = int32_t(rowid);
  row.cells.clear();
  row.cells.reserve(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    /* As the file layer reads it: the rowid alias shows the rowid (the
    ** record itself keeps NULL there). */
    row.cells.push_back(int(i) == def.rowidColumn ? Cell(std::to_string(rowid))
                                                  : columnCell(stmt, int(i) + 1));
  }
  return Status::success();
}

Status Database::readTable(const TableInfo& info, std::vector<Row>& rows) {
  std::string sql = selectRowsSql(info) + " ORDER BY " + info.rowidName;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return sqliteFailure(SQLITE_ERROR);
  }
  rows.clear();
  Status st;
  int rc;
  while (st.ok() && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    Row row;
    st = rowFromStatement(stmt, info.def, row);
    rows.push_back(std::move(row));
  }
  if (st.ok() && rc != SQLITE_DONE) st = sqliteFailure(rc);
  sqlite3_finalize(stmt);
  return st;
}

Status Database::patchTable(const TableInfo& info, const RowChanges& changes,
                            std::vector<Row>& rows) {
  std::string sql = selectRowsSql(info) + " WHERE " + info.rowidName + " = ?";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return sqliteFailure(SQLITE_ERROR);
  }
  Status st;
  for (int64_t rowid : changes.rowids) {
    if (!st.ok()) break;
    auto at = std::lower_bound(rows.begin(), rows.end(), rowid,
                               [](const Row& r, int64_t id) { return r.rowid < id; });
    bool present = at != rows.end() && at->rowid == rowid;
    sqlite3_bind_int64(stmt, 1, rowid);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      Row row;
      st = rowFromStatement(stmt, info.def, row);
      if (present) {
        *at = std::move(row);
      } else {
        rows.insert(at, std::move(row));
      }
    } else if (rc == SQLITE_DONE) {
      if (present) rows.erase(at);
    } else {
      st = sqliteFailure(rc);
    }
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  return st;
}

Status Database::writeBack() {
  if (!m_hasFile) {
    m_dirtyTables.clear();
    m_rowChanges.clear();
    m_schemaChanged = false;
    return Status::success();
  }
  if (m_dirtyTables.empty() && m_rowChanges.empty() && !m_schemaChanged && !m_copyHasPending)
    return Status::success();
  bool inPlace = canWriteInPlace();
  RowsBefore before;
  if (inPlace) rowsBefore(before);
  Image next;
  next.schemaCookie = m_image.schemaCookie;
  next.fileFormat = 4;
  next.bigEndian = m_image.bigEndian;
  Status st = readMaster(next.master);
  /* Unchanged tables are moved over from the current image and moved back
  ** if the write fails; tables with a few changed rows are patched, and
  ** forgotten if the write fails, so that the next write reads them whole. */
  std::vector<std::string> borrowed, patched;
  for (const MasterEntry& e : next.master) {
    if (!st.ok()) break;
    if (e.type != "table" || next.tables.count(e.name)) continue;
    std::string key = lowerAscii(e.name);
    auto old = m_image.tables.find(e.name);
    auto changed = m_rowChanges.find(key);
    const TableInfo* info = table(e.name);
    bool whole = m_dirtyTables.count(key) > 0 || old == m_image.tables.end() ||
                 (changed != m_rowChanges.end() && changed->second.whole);
    if (info && whole) {
      st = readTable(*info, next.tables[e.name]);
    } else if (old != m_image.tables.end()) {
      next.tables[e.name] = std::move(old->second);
      if (info && changed != m_rowChanges.end()) {
        patched.push_back(e.name);
        st = patchTable(*info, changed->second, next.tables[e.name]);
      } else {
        borrowed.push_back(e.name);
      }
    } else {
      next.tables[e.name];
    }
  }
  bool written = false;
  if (st.ok() && inPlace)
    st = m_schemaChanged ? storeSchemaInPlace(next, before, &written)
                         : storeInPlace(next, before, &written);
  if (st.ok() && !written) st = m_file.store(next);
  if (!st.ok()) {
    for (const std::string& name : borrowed) m_image.tables[name] = std::move(next.tables[name]);
    for (const std::string& name : patched) m_image.tables.erase(name);
    return st;
  }
  /* Our whole-file writer gives root pages by schema order alone, so they
  ** only move when the schema changes or on the first write over another
  ** writer's file (or one whose schema was changed in place). */
  bool rootsMoved = !written && (m_schemaChanged || !m_rootsKnown);
  m_image = std::move(next);
  m_dirtyTables.clear();
  m_rowChanges.clear();
  m_schemaChanged = false;
  m_copyHasPending = false;
  return rootsMoved ? updateRootPages() : Status::success();
}

Status Database::updateRootPages() {
  /* The file layer chooses the root pages when it writes; read them back
  ** so that sqlite_master shows what the file holds. */
  Image written;
  Status st = m_file.load(written);
  if (st.ok()) st = showRootPages(written.master);
  if (!st.ok()) return st;
  m_image.master = written.master;
  m_image.schemaCookie = written.schemaCookie;
  m_rootsKnown = true;
  return Status::success();
}

/* ------------------------------------------------------------------------
** Locks and transactions
*/

Status Database::acquireLock(bool write) {
  if (!m_hasFile || m_inTransaction) return Status::success();
  LockLevel have = m_file.lockLevel();
  if (have == LockLevel::Write || (!write && have == LockLevel::Read)) return Status::success();
  int waited = 0;
  for (int attempt = 0;; ++attempt) {
    Status st = write ? m_file.lockWrite() : m_file.lockRead();
    if (st.code != kBusy || waited >= m_busyTimeoutMs) return st;
    waited += busyWait(attempt);
  }
}

void Database::releaseLock() {
  if (!m_hasFile || m_inTransaction) return;
  /* Rows loaded under the lock may be changed by others once it is gone. */
  if (m_activePrograms == 0) {
    m_file.unlock();
    m_lazy.forgetPages();
    m_partialFresh = false;
  } else if (m_file.lockLevel() == LockLevel::Write) {
    m_file.unlock();
    m_lazy.forgetPages();
    m_partialFresh = false;
    discard(m_file.lockRead());
  }
}

void Database::forgetUncommitted() {
  /* Rowid triggers made since the transaction began are gone; tables get
  ** them again when they need them. */
  m_guardedTables.clear();
  m_dirtyTables.clear();
  m_rowChanges.clear();
  m_schemaChanged = false;
  invalidateSchema();
}

Status Database::beginOwnTransaction(Program& program) {
  Status st = exec("BEGIN");
  if (st.ok()) program.ownTransaction = true;
  return st;
}

Status Database::endOwnTransaction(Program& program, Status status) {
  program.ownTransaction = false;
  if (m_partial) return endPartialStatement(status);
  if (m_lazyMode) {
    /* Rows changed through the virtual tables are pending in the cache. */
    if (status.ok()) {
      status = m_lazy.commitChanges();
    } else {
      m_lazy.dropChanges();
    }
    discard(exec(status.ok() ? "COMMIT" : "ROLLBACK"));
    return status;
  }
  if (status.ok()) status = writeBack();
  if (status.ok()) status = exec("COMMIT");
  if (!status.ok()) {
    discard(exec("ROLLBACK"));
    forgetUncommitted();
  }
  return status;
}

Status Database::runTransactionStatement(Program& program) {
  switch (program.statement.kind) {
    case StatementKind::Begin: {
      if (m_inTransaction)
        return Status::failure(kError, "cannot start a transaction within a transaction");
      /* A transaction begins in the lazy form where it can. */
      Status st = m_partial ? ensureLazy() : Status::success();
      /* Under the write lock just taken: the file as it is now. */
      if (st.ok() && m_lazyMode) st = refreshLazily();
      if (st.ok() && m_lazyMode) {
        m_lazy.beginTransaction();
        m_lazyTransaction = true;
        m_inTransaction = true;
        return st;
      }
      if (st.ok()) st = ensureFull();
      if (st.ok()) st = exec("BEGIN");
      if (st.ok()) m_inTransaction = true;
      return st;
    }
    case StatementKind::Commit: {
      if (!m_inTransaction)
        return Status::failure(kError, "cannot commit - no transaction is active");
      if (m_lazyTransaction) {
        Status st = m_lazy.commitTransaction();
        if (!st.ok()) return st;
        m_lazyTransaction = false;
        m_inTransaction = false;
        releaseLock();
        return st;
      }
      if (m_partial) return commitPartialTransaction();
      Status st = writeBack();
      if (!st.ok()) return st;
      st = exec("COMMIT");
      if (!st.ok()) return st;
      m_inTransaction = false;
      releaseLock();
      return st;
    }
    default: {
      if (!m_inTransaction)
        return Status::failure(kError, "cannot rollback - no transaction is active");
      m_lazy.dropTransaction();
      if (!m_lazyTransaction) discard(exec("ROLLBACK"));
      m_lazyTransaction = false;
      m_inTransaction = false;
      forgetUncommitted();
      /* A full form loaded with the transaction's changes holds them still,
      ** a partial one the rows loaded under the transaction's lock. */
      if (m_copyHasPending || m_partial) {
        m_copyHasPending = false;
        discard(clearWorkingCopy());
        m_loaded = false;
      }
      releaseLock();
      return Status::success();
    }
  }
}

/* ------------------------------------------------------------------------
** Compiling and running statements
*/

Status Database::compile(std::string_view sql, size_t* consumed,
                         std::unique_ptr<Program>& program) {
  program.reset();
  size_t used = 0;
  Statement statement;
  while (used < sql.size()) {
    size_t len = firstStatementLength(sql.substr(used));
    statement = classifyStatement(sql.substr(used, len));
    used += len;
    if (statement.kind != StatementKind::Empty) break;
  }
  if (consumed) *consumed = used;
  if (statement.kind == StatementKind::Empty) return Status::success();
  if (statement.kind == StatementKind::Invalid) return Status::failure(kError, statement.error);
  Status st = retryWhileBusy(m_busyTimeoutMs, [&] {
    Status form = m_hasFile ? (needsFullCopy(statement) ? ensureFull(&statement) : ensureLazy())
                            : Status::success();
    return form.ok() ? ensureLoaded() : form;
  });
  if (!st.ok()) return st;
  auto p = std::make_unique<Program>();
  p->statement = std::move(statement);
  /* Compiled against the working copy as it is; the first step checks the
  ** file under its lock and compiles again if another program changed it.
  ** Only a statement that fails here is worth checking the file for now. */
  st = checkProgram(*p);
  if (!st.ok() && st.code != kBusy) {
    int before = m_generation;
    Status current = retryWhileBusy(m_busyTimeoutMs, [this] { return ensureCurrent(); });
    if (!current.ok()) return current;
    if (m_generation != before) st = checkProgram(*p);
  }
  if (!st.ok()) return st;
  program = std::move(p);
  return st;
}

Status Database::checkProgram(Program& p) {
  switch (p.statement.kind) {
    case StatementKind::Query:
    case StatementKind::Change:
      return prepareProgram(p);
    case StatementKind::Pragma:
    case StatementKind::Vacuum:
    case StatementKind::Begin:
    case StatementKind::Commit:
    case StatementKind::Rollback:
      return Status::success();
    default:
      p.writes = !p.statement.temporary;
      p.generation = m_generation;
      return checkSchemaStatement(p.statement);
  }
}

Status Database::prepareProgram(Program& p) {
  if (p.stmt) {
    sqlite3_finalize(p.stmt);
    p.stmt = nullptr;
  }
  if (p.statement.kind == StatementKind::Change &&
      lowerAscii(p.statement.name) == "sqlite_master") {
    return Status::failure(kError, "table sqlite_master may not be modified");
  }
  bool insert = p.statement.kind == StatementKind::Change && isInsert(p.statement);
  p.translated = translateForWorkingCopy(
      m_lazyMode && insert ? withDefaults(p.statement) : p.statement.text, &p.replaced);
  int rc =
      sqlite3_prepare_v2(m_db, p.translated.c_str(), int(p.translated.size()), &p.stmt, nullptr);
  if (rc != SQLITE_OK) {
    Status st = mapError(rc, p.statement);
    sqlite3_finalize(p.stmt);
    p.stmt = nullptr;
    return st;
  }
  p.writes = !sqlite3_stmt_readonly(p.stmt);
  p.generation = m_generation;
  describeColumns(p);
  return Status::success();
}

void Database::describeColumns(Program& p) {
  int n = sqlite3_column_count(p.stmt);
  p.names.clear();
  p.types.clear();
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(p.stmt, i);
    p.names.push_back(originalColumnName(name ? name : "", p.statement.text, p.replaced));
    const char* database = sqlite3_column_database_name(p.stmt, i);
    const char* tableName = sqlite3_column_table_name(p.stmt, i);
    const char* origin = sqlite3_column_origin_name(p.stmt, i);
    Cell type = std::string("NUMERIC");
    if (database && tableName && origin && std::string_view(database) == "main") {
      const TableInfo* info = table(tableName);
      type = std::string("INTEGER");
      for (size_t c = 0; info && c < info->def.columns.size(); ++c) {
        if (!sameName(info->def.columns[c].name, origin)) continue;
        const std::string& declared = info->def.columns[c].declaredType;
        type = declared.empty() ? Cell() : Cell(declared);
      }
    } else if (database && tableName && origin && std::string_view(tableName) == "xb_master") {
      type = std::string(sameName(origin, "rootpage") ? "integer" : "text");
    }
    p.types.push_back(type);
  }
}

StepResult Database::step(Program& p) {
  if (p.state == Program::State::Done || p.state == Program::State::Failed)
    return StepResult::Error;
  if (m_interruptRequested.exchange(false))
    return finish(p, Status::failure(kInterrupt, "interrupted"));
  if (p.state == Program::State::Ready) {
    StatementKind kind = p.statement.kind;
    bool transaction = kind == StatementKind::Begin || kind == StatementKind::Commit ||
                       kind == StatementKind::Rollback;
    /* COMMIT and ROLLBACK work under the lock BEGIN took; BEGIN takes the
    ** write lock at once, as 2.x does. */
    bool lock = !transaction || (kind == StatementKind::Begin && !m_inTransaction);
    Status st = lock ? acquireLock(p.writes || kind == StatementKind::Begin) : Status::success();
    if (st.code == kBusy) return StepResult::Busy;
    if (!st.ok()) return finish(p, st);
    if (!transaction) {
      bool full = needsFullCopy(p.statement);
      st = (m_lazyMode || m_partial) && full ? ensureFull(&p.statement) : ensureCurrent();
      /* The schema read again under the lock may ask for the full form. */
      if (st.ok() && m_lazyMode && needsFullCopy(p.statement)) st = ensureFull(&p.statement);
    }
    if (!st.ok()) {
      releaseLock();
      return finish(p, st);
    }
    p.state = Program::State::Running;
    if (transaction) {
      st = runTransactionStatement(p);
      if (lock && !st.ok()) releaseLock();
      return finish(p, st);
    }
    p.holdsLock = true;
    ++m_activePrograms;
    if (p.stmt && p.generation != m_generation) {
      st = prepareProgram(p);
      if (!st.ok()) return finish(p, st);
    }
    if (p.writes && !m_inTransaction) {
      st = beginOwnTransaction(p);
      if (!st.ok()) return finish(p, st);
    }
    if (!p.stmt) {
      st = runAction(p);
      if (!st.ok()) return finish(p, st);
    }
  }
  if (p.stmt) return stepStatement(p);
  if (p.nextRow < p.rows.size()) {
    p.current = p.rows[p.nextRow++];
    return StepResult::Row;
  }
  return finish(p, Status::success());
}

StepResult Database::stepStatement(Program& p) {
  m_inStatementStep = true;
  int rc = sqlite3_step(p.stmt);
  m_inStatementStep = false;
  if (rc == SQLITE_INTERRUPT) m_interruptRequested = false;
  if (rc == SQLITE_ROW) {
    int n = sqlite3_column_count(p.stmt);
    p.current.resize(size_t(n));
    for (int i = 0; i < n; ++i) assignColumnCell(p.stmt, i, p.current[size_t(i)]);
    return StepResult::Row;
  }
  if (rc == SQLITE_DONE) {
    if (p.statement.kind == StatementKind::Change) {
      m_changes = sqlite3_changes(m_db);
      /* 2.x empties a table without counting its rows. */
      bool wholeTable = isWord(p.statement.tokens[0], "delete") &&
                        findWordIndex(p.statement.tokens, "where") == p.statement.tokens.size();
      if (wholeTable) m_changes = 0;
      /* An INSERT that added no row (OR IGNORE, an empty SELECT) leaves
      ** the last rowid as it was; SQLite 3's may be one that loading the
      ** working copy wrote. */
      if (isInsert(p.statement) && sqlite3_changes(m_db) > 0) {
        sqlite3_int64 rowid = sqlite3_last_insert_rowid(m_db);
        if (rowid == m_movedFrom && m_movedFrom != 0) rowid = m_movedTo;
        m_pendingInsertRowid = rowid;
      }
      Status st;
      for (const auto& [name, changed] : m_rowChanges) {
        const TableInfo* info = table(name);
        if (info && st.ok()) st = guardRowids(*info);
      }
      return finish(p, st);
    }
    return finish(p, Status::success());
  }
  return finish(p, mapError(rc, p.statement));
}

/* Progress handler of the working copy: stops the statement being stepped
** when an interrupt was asked for.  Loading and writing back run their own
** statements, which an interrupt must never cut short. */
int Database::stopRequested(void* self) {
  auto* database = static_cast<Database*>(self);
  return database->m_inStatementStep && database->m_interruptRequested.load() ? 1 : 0;
}

StepResult Database::finish(Program& p, Status status) {
  if (p.stmt) sqlite3_reset(p.stmt);
  /* A statement of a transaction in the lazy form keeps its changes, or
  ** on failure drops only its own. */
  if (m_lazyTransaction) m_lazy.endStatement(status.ok());
  if (p.ownTransaction) status = endOwnTransaction(p, status);
  if (m_inTransaction && !m_lazyTransaction && sqlite3_get_autocommit(m_db)) {
    /* INSERT OR ROLLBACK and the like end the transaction inside SQLite 3;
    ** a copy holding changes that were never written goes with it. */
    m_inTransaction = false;
    forgetUncommitted();
    if (m_partial || m_copyHasPending) {
      m_copyHasPending = false;
      dropUncommittedCopy();
    }
  }
  if (p.holdsLock) {
    p.holdsLock = false;
    --m_activePrograms;
    releaseLock();
  }
  if (status.ok() && m_pendingInsertRowid != 0) m_lastInsertRowid = int(m_pendingInsertRowid);
  m_pendingInsertRowid = 0;
  m_movedFrom = m_movedTo = 0;
  p.result = status;
  p.state = status.ok() ? Program::State::Done : Program::State::Failed;
  return status.ok() ? StepResult::Done : StepResult::Error;
}

Status Database::finalize(Program& p) {
  if (p.state == Program::State::Running) finish(p, Status::success());
  if (p.stmt) {
    sqlite3_finalize(p.stmt);
    p.stmt = nullptr;
  }
  return p.result;
}

Status Database::runAction(Program& p) {
  switch (p.statement.kind) {
    case StatementKind::CreateTable:
      return createTable(p);
    case StatementKind::CreateIndex:
      return createIndex(p);
    case StatementKind::CreateView:
    case StatementKind::CreateTrigger:
      return createViewOrTrigger(p);
    case StatementKind::DropTable:
    case StatementKind::DropIndex:
    case StatementKind::DropView:
    case StatementKind::DropTrigger:
      return dropObject(p);
    case StatementKind::Pragma:
      return pragma(p);
    case StatementKind::Vacuum:
      if (m_inTransaction)
        return Status::failure(kError, "cannot VACUUM from within a transaction");
      return Status::success();
    default:
      return Status::failure(kInternal, "internal SQLite implementation flaw");
  }
}

/* ------------------------------------------------------------------------
** SQLite 3 helpers
*/

Status Database::exec(const std::string& sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return Status::success();
  std::string text = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return Status::failure(rc & 0xff, text);
}

Status Database::sqliteFailure(int rc) const {
  int code = rc & 0xff;
  if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) code = SQLITE_ERROR;
  return Status::failure(code, sqlite3_errmsg(m_db));
}

Status Database::mapError(int rc, const Statement& statement) const {
  int code = sqlite3_errcode(m_db) & 0xff;
  if (code == SQLITE_OK) code = rc & 0xff;
  std::string message = sqlite3_errmsg(m_db);
  const std::string unique = "UNIQUE constraint failed: ";
  const std::string notNull = "NOT NULL constraint failed: ";
  if (message.rfind(unique, 0) == 0) {
    if (statement.kind == StatementKind::CreateIndex) {
      return Status::failure(kConstraint, "indexed columns are not unique");
    }
    std::vector<std::string> columns;
    std::string list = message.substr(unique.size());
    size_t pos = 0;
    while (pos <= list.size()) {
      size_t comma = list.find(", ", pos);
      std::string item =
          list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
      size_t dot = item.find('.');
      columns.push_back(dot == std::string::npos ? item : item.substr(dot + 1));
      if (comma == std::string::npos) break;
      pos = comma + 2;
    }
    const TableInfo* info = nullptr;
    size_t dot = list.find('.');
    if (dot != std::string::npos) info = const_cast<Database*>(this)->table(list.substr(0, dot));
    if (columns.size() == 1 && info && info->def.rowidColumn >= 0 &&
        sameName(info->def.columns[info->def.rowidColumn].name, columns[0])) {
      return Status::failure(kConstraint, "PRIMARY KEY must be unique");
    }
    if (columns.size() == 1)
      return Status::failure(kConstraint, "column " + columns[0] + " is not unique");
    std::string joined;
    for (const std::string& c : columns) joined += (joined.empty() ? "" : ", ") + c;
    return Status::failure(kConstraint, "columns " + joined + " are not unique");
  }
  if (message.rfind(notNull, 0) == 0) {
    return Status::failure(kConstraint, message.substr(notNull.size()) + " may not be NULL");
  }
  if (code == SQLITE_CONSTRAINT && message.find("constraint failed") != std::string::npos) {
    return Status::failure(kConstraint, "constraint failed");
  }
  return Status::failure(code, message);
}

}  // namespace s2
