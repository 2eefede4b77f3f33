/*
** The two forms of the working copy.  Lazy: every 2.x table is a virtual
** table over its b-tree (s2vtab.h) and only page 1 and the schema pages
** are read when the file is opened or changed; queries run this way, and
** so do INSERT, UPDATE and DELETE statements whose rows the virtual
** tables can change in place with every 2.x rule kept.  Full: SQLite 3
** tables, which is what other writes, triggers and schema changes need;
** a row change or a schema change loads only the tables it involves (the
** partial form, s2sqlpartial.cpp), PRAGMA integrity_check and TEMP
** triggers the whole file.  A statement chooses
** the form it needs when it is compiled; the connection returns to the
** lazy form as soon as nothing holds the full one.  An explicit
** transaction keeps the lazy form, its changes pending page by page,
** until a statement needs the full one: that is then loaded from the file
** as the transaction has changed it, and COMMIT writes its rows on top of
** the transaction's pending pages (partial) or the whole file (whole).
*/
#include "s2sqldb.h"

#include <sqlite3.h>

#include <set>

namespace s2 {

namespace {

bool isSymbol(const Token& token, std::string_view text) {
  return token.kind == TokenKind::Operator && token.text == text;
}

/* The parts of INSERT INTO name [(columns)] VALUES(...)[, (...)] or
** INSERT INTO name [(columns)] SELECT ... that decide how it runs. */
struct InsertShape {
  bool plain = false;          /* one of the two forms above */
  bool select = false;         /* the SELECT form */
  bool listed = false;         /* a column list is given */
  size_t listEnd = 0;          /* offset of the list's ")" */
  std::set<std::string> named; /* the listed columns, lower-case */
  std::vector<size_t> rowEnds; /* offsets of each VALUES row's ")" */
  bool countsMatch = true;     /* every row has as many values as the list names */
};

/* Returns the index after the ")" that closes the "(" at token I, or
** TOKENS' size; *items gets the number of items at its top level. */
size_t closeParen(const std::vector<Token>& tokens, size_t i, size_t* items) {
  int depth = 0;
  *items = 1;
  for (; i < tokens.size(); ++i) {
    if (isSymbol(tokens[i], "(")) ++depth;
    if (isSymbol(tokens[i], ")") && --depth == 0) return i + 1;
    if (depth == 1 && isSymbol(tokens[i], ",")) ++*items;
  }
  return i;
}

InsertShape insertShape(const std::vector<Token>& tokens) {
  InsertShape shape;
  if (tokens.size() < 4 || !isWord(tokens[0], "insert") || !isWord(tokens[1], "into")) return shape;
  size_t i = 3;
  if (isSymbol(tokens[i], ".")) i += 2;
  if (i < tokens.size() && isSymbol(tokens[i], "(") &&
      !(i + 1 < tokens.size() && isWord(tokens[i + 1], "select"))) {
    shape.listed = true;
    for (++i; i < tokens.size() && !isSymbol(tokens[i], ")"); ++i) {
      if (!isSymbol(tokens[i], ",")) shape.named.insert(lowerAscii(unquoteName(tokens[i])));
    }
    if (i >= tokens.size()) return shape;
    shape.listEnd = tokens[i].offset;
    ++i;
  }
  if (i >= tokens.size()) return shape;
  if (isWord(tokens[i], "select") || isSymbol(tokens[i], "(")) {
    shape.select = true;
    shape.plain = true;
    return shape;
  }
  if (!isWord(tokens[i], "values")) return shape;
  for (++i; i < tokens.size() && isSymbol(tokens[i], "(");) {
    size_t items = 0;
    size_t end = closeParen(tokens, i, &items);
    if (end > tokens.size() || !isSymbol(tokens[end - 1], ")")) return shape;
    shape.rowEnds.push_back(tokens[end - 1].offset);
    if (items != shape.named.size()) shape.countsMatch = false;
    i = end;
    if (i < tokens.size() && isSymbol(tokens[i], ",")) ++i;
  }
  shape.plain = i == tokens.size() && !shape.rowEnds.empty();
  return shape;
}

/* Returns the columns of DEF with a default that SHAPE leaves out. */
std::vector<const ColumnDef*> omittedDefaults(const InsertShape& shape, const TableDef& def) {
  std::vector<const ColumnDef*> omitted;
  for (size_t c = 0; shape.listed && c < def.columns.size(); ++c) {
    const ColumnDef& column = def.columns[c];
    if (int(c) != def.rowidColumn && column.hasDefault && column.defaultValue &&
        !shape.named.count(lowerAscii(column.name)))
      omitted.push_back(&column);
  }
  return omitted;
}

}  // namespace

bool Database::needsFullCopy(const Statement& statement) const {
  switch (statement.kind) {
    case StatementKind::Query:
    case StatementKind::Begin:
    case StatementKind::Commit:
    case StatementKind::Rollback:
      return false;
    case StatementKind::Change:
      return !changesLazily(statement);
    case StatementKind::Pragma:
      /* The check of the file is the check of the whole file. */
      return statement.tokens.size() >= 2 &&
             lowerAscii(unquoteName(statement.tokens[1])) == "integrity_check";
    default:
      return true;
  }
}

bool Database::changesLazily(const Statement& statement) const {
  const std::vector<Token>& tokens = statement.tokens;
  /* A write while a query of this connection runs is refused by the full
  ** form, as 2.x refuses it. */
  if (!m_hasFile || (m_inTransaction && !m_lazyTransaction) || m_activePrograms > 0 ||
      tokens.size() < 2 || isWord(tokens[1], "or")) {
    return false;
  }
  bool update = isWord(tokens[0], "update");
  bool insert = isWord(tokens[0], "insert");
  if (!update && !insert && !isWord(tokens[0], "delete")) return false;
  if (insert && !insertsLazily(tokens, statement.name)) return false;
  const Image& schema = m_lazy.schema();
  if (!m_lazy.usable() || schema.fileFormat != kCurrentFormat ||
      schema.bigEndian != nativeBigEndian()) {
    return false;
  }
  const TreeTable* table = m_lazy.tables().find(statement.name);
  if (!table) return false;
  const TableDef& def = table->def;
  for (const MasterEntry& e : schema.master) {
    if (e.type == "trigger" && sameName(e.tbl_name, def.name)) return false;
    if (e.type != "table" || !sameName(e.name, def.name)) continue;
    ConflictClauses clauses = conflictClauses(e.sql ? *e.sql : std::string());
    for (const std::string& c : clauses.keys) {
      if (!c.empty()) return false;
    }
    for (const std::string& c : clauses.notNull) {
      if (!c.empty()) return false;
    }
  }
  if (hasTempTriggers()) return false;
  if (!update) return true;
  /* A rowid that changes moves the row: the full form does that.  The
  ** targets of the SET list are the first names of its items. */
  size_t i = 0;
  while (i < tokens.size() && !isWord(tokens[i], "set")) ++i;
  int depth = 0;
  bool itemStart = true;
  for (++i; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    bool open = t.kind == TokenKind::Operator && t.text == "(";
    bool close = t.kind == TokenKind::Operator && t.text == ")";
    if (depth == 0 && isWord(t, "where")) break;
    if (itemStart &&
        (t.kind == TokenKind::Word || t.kind == TokenKind::Quoted || t.kind == TokenKind::String)) {
      std::string name = lowerAscii(unquoteName(t));
      if (name == "rowid" || name == "oid" || name == "_rowid_") return false;
      if (def.rowidColumn >= 0 && sameName(name, def.columns[size_t(def.rowidColumn)].name))
        return false;
    }
    itemStart = depth == 0 && t.kind == TokenKind::Operator && t.text == ",";
    depth += open ? 1 : close ? -1 : 0;
  }
  return true;
}

bool Database::insertsLazily(const std::vector<Token>& tokens, const std::string& name) const {
  /* A rowid named in the column list takes the full form, which words its
  ** clash as 2.x does.  SQLite 3 fills in no defaults for a virtual table:
  ** a VALUES list gets the left-out ones spelled out (withDefaults), a
  ** SELECT that leaves one out, or DEFAULT VALUES, takes the full form. */
  const TreeTable* table = m_lazy.tables().find(name);
  InsertShape shape = insertShape(tokens);
  if (!table || !shape.plain) return false;
  for (const char* rowid : {"rowid", "oid", "_rowid_"}) {
    if (shape.named.count(rowid)) return false;
  }
  if (omittedDefaults(shape, table->def).empty()) return true;
  return !shape.select && shape.countsMatch;
}

std::string Database::withDefaults(const Statement& statement) const {
  const TreeTable* table = m_lazy.tables().find(statement.name);
  InsertShape shape = insertShape(statement.tokens);
  if (!table || !shape.plain || shape.select || !shape.countsMatch) return statement.text;
  std::vector<const ColumnDef*> omitted = omittedDefaults(shape, table->def);
  if (omitted.empty()) return statement.text;
  std::string names, values;
  for (const ColumnDef* column : omitted) {
    names += ", " + quoteIdentifier(column->name);
    values += ", " + quoteLiteral(*column->defaultValue);
  }
  std::string text = statement.text;
  for (auto end = shape.rowEnds.rbegin(); end != shape.rowEnds.rend(); ++end)
    text.insert(*end, values);
  text.insert(shape.listEnd, names);
  return text;
}

bool Database::hasTempTriggers() const {
  sqlite3_stmt* stmt = nullptr;
  const char* sql = "SELECT 1 FROM temp.sqlite_master WHERE type = 'trigger' LIMIT 1";
  if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) return true;
  bool found = sqlite3_step(stmt) != SQLITE_DONE;
  sqlite3_finalize(stmt);
  return found;
}

Status Database::loadLazily(bool* usable) {
  *usable = false;
  bool locked = m_file.lockLevel() == LockLevel::None;
  Status st = locked ? m_file.lockRead() : Status::success();
  if (!st.ok()) return st;
  bool changed = false;
  st = m_lazy.refresh(&changed);
  if (st.ok() && m_lazy.usable()) {
    *usable = true;
    st = createLazyObjects();
  }
  if (locked) {
    m_file.unlock();
    m_lazy.forgetPages();
  }
  return st;
}

void Database::takeSchemaImage() {
  const Image& schema = m_lazy.schema();
  m_image = Image();
  m_image.master = schema.master;
  m_image.schemaCookie = schema.schemaCookie;
  m_image.fileFormat = schema.fileFormat;
  m_image.bigEndian = schema.bigEndian;
}

Status Database::createLazyObjects() {
  const Image& schema = m_lazy.schema();
  takeSchemaImage();
  Status st = loadMasterRows(schema.master);
  for (const MasterEntry& e : schema.master) {
    if (!st.ok()) break;
    if (e.type != "table" || !m_lazy.catalog().find(e.name) || !table(e.name)) continue;
    st = exec(treeTableStatement("main", e.name));
  }
  /* Views only: triggers fire on writes, which run in the full form.  A
  ** view whose statement cannot be used is skipped, as 2.x skips it. */
  for (const MasterEntry& e : schema.master) {
    if (!st.ok()) break;
    if (e.type == "view" && e.sql) discard(exec(translateForWorkingCopy(*e.sql)));
  }
  m_lazyMode = st.ok();
  m_loaded = st.ok();
  m_rootsKnown = false;
  ++m_generation;
  return st;
}

Status Database::ensureFull(const Statement* statement) {
  if (statement && fitsPartial(*statement)) return ensurePartial(*statement);
  Status st;
  if (m_partial) {
    st = leavePartial();
  } else if (!m_lazyMode) {
    st = m_loaded ? ensureCurrent() : ensureLoaded();
  } else {
    if (m_activePrograms > 0) return Status::failure(kLocked, "database table is locked");
    st = clearWorkingCopy();
    m_lazyMode = false;
    m_loaded = false;
    m_wantFull = true;
    if (st.ok()) st = ensureLoaded();
  }
  if (st.ok() && m_lazyTransaction && !m_lazyMode) st = continueTransactionInFull();
  return st;
}

Status Database::continueTransactionInFull() {
  uint32_t originalPages = 0;
  m_copyHasPending = !m_lazy.transactionPages(&originalPages).empty();
  m_lazy.dropTransaction();
  m_lazyTransaction = false;
  return exec("BEGIN");
}

Status Database::ensureLazy() {
  m_wantFull = false;
  /* TEMP triggers on the file's tables live on the full form's tables and
  ** would go with them. */
  if (m_lazyMode || !m_hasFile || !m_loaded || m_inTransaction || m_activePrograms > 0 ||
      hasTempTriggers())
    return Status::success();
  Status st = clearWorkingCopy();
  m_loaded = false;
  if (st.ok()) st = ensureLoaded();
  return st;
}

Status Database::refreshLazily() {
  bool locked = m_file.lockLevel() == LockLevel::None;
  Status st = locked ? m_file.lockRead() : Status::success();
  if (!st.ok()) return st;
  bool changed = false;
  st = m_lazy.refresh(&changed);
  if (st.ok() && changed) {
    st = clearWorkingCopy();
    m_lazyMode = false;
    m_loaded = false;
    if (st.ok()) st = ensureLoaded();
  }
  if (locked) {
    m_file.unlock();
    m_lazy.forgetPages();
  }
  return st;
}

}  // namespace s2
