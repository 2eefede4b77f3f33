/*
** Schema statements and pragmas of the working copy.  Every object of the
** file exists twice: as a SQLite 3 object that does the work, and as its
** 2.x row in the schema table (the statement as the user wrote it, the
** automatic indices by their 2.x names), which is what sqlite_master
** shows and what is written to the file.
*/
#include "s2sqldb.h"

#include <sqlite3.h>

namespace s2 {

namespace {

/* Returns the 2.x message for a parse error of the schema parser. */
std::string parseErrorMessage(const std::string& error) {
  if (error.rfind("near \"", 0) == 0) {
    size_t end = error.find("\": ");
    if (end != std::string::npos) {
      std::string detail = error.substr(end + 3);
      bool grammar = detail.rfind("expected", 0) == 0 || detail == "syntax error";
      return grammar ? error.substr(0, end + 3) + "syntax error" : detail;
    }
  }
  return error.empty() ? "syntax error" : error;
}

/* Returns the index of the first token after position FROM that is the
** word WORD, or the token count. */
size_t findWord(const std::vector<Token>& tokens, size_t from, std::string_view word) {
  for (size_t i = from; i < tokens.size(); ++i) {
    if (isWord(tokens[i], word)) return i;
  }
  return tokens.size();
}

/* Returns the index of the token after CREATE [TEMP] [UNIQUE] kind name. */
size_t afterObjectName(const std::vector<Token>& tokens) {
  size_t i = 2;
  while (i < tokens.size() &&
         (isWord(tokens[i - 1], "temp") || isWord(tokens[i - 1], "temporary") ||
          isWord(tokens[i - 1], "unique"))) {
    ++i;
  }
  ++i;
  if (i + 1 < tokens.size() && tokens[i].text == ".") i += 2;
  return i;
}

/* Returns the text CREATE TABLE ... AS SELECT stores: the column names
** only, quoted where needed, one per line when they are long. */
std::string generatedCreateTable(const std::string& name, const std::vector<std::string>& columns) {
  size_t length = generatedName(name).size();
  for (const std::string& c : columns) length += generatedName(c).size();
  bool longForm = length >= 50;
  std::string text = "CREATE TABLE " + generatedName(name) + "(";
  for (size_t i = 0; i < columns.size(); ++i) {
    text += longForm ? (i ? ",\n  " : "\n  ") : (i ? "," : "");
    text += generatedName(columns[i]);
  }
  return text + (longForm ? "\n)" : ")");
}

/* Returns the value of a pragma: the text after "=" or inside "( )". */
std::string pragmaArgument(const std::vector<Token>& tokens) {
  for (size_t i = 2; i < tokens.size(); ++i) {
    if (tokens[i].text == "=" || tokens[i].text == "(") continue;
    if (tokens[i].text == ")") break;
    if (tokens[i].text == "-" && i + 1 < tokens.size())
      return "-" + std::string(tokens[i + 1].text);
    return unquoteName(tokens[i]);
  }
  return {};
}

/* Returns true for the 2.x spellings of an "on" pragma value. */
bool pragmaTrue(const std::string& value) {
  std::string v = lowerAscii(value);
  return v == "on" || v == "yes" || v == "true" ||
         (!v.empty() && v != "0" && std::isdigit((unsigned char)v[0]));
}

/* Returns the refusal of a view or trigger text that uses SQL the 2.x
** grammar lacks (window functions, common table expressions, upserts,
** RETURNING, NULLS FIRST/LAST, the -> operators): 2.8.17 would drop such
** an object silently when it loads the file. */
Status checkStoredGrammar(const Statement& s) {
  const auto& t = s.tokens;
  for (size_t i = 0; i < t.size(); ++i) {
    bool refused = isWord(t[i], "over") || isWord(t[i], "window") || isWord(t[i], "filter") ||
                   isWord(t[i], "returning");
    if (isWord(t[i], "nulls") && i + 1 < t.size() &&
        (isWord(t[i + 1], "first") || isWord(t[i + 1], "last")))
      refused = true;
    if (isWord(t[i], "with") && i > 0 &&
        (isWord(t[i - 1], "as") || isWord(t[i - 1], "begin") || t[i - 1].text == "(" ||
         t[i - 1].kind == TokenKind::Semicolon)) {
      refused = true;
    }
    if (isWord(t[i], "do") && i > 0 && isWord(t[i - 1], "conflict")) refused = true;
    if (t[i].text == "-" && i + 1 < t.size() && t[i + 1].text == ">" &&
        t[i + 1].offset == t[i].offset + 1)
      refused = true;
    if (refused) return Status::failure(kError, syntaxErrorNear(t[i]));
  }
  return Status::success();
}

}  // namespace

/* ------------------------------------------------------------------------
** The schema rows and the table cache
*/

bool Database::findMaster(const std::string& name, std::string_view types, MasterEntry& out) {
  sqlite3_stmt* stmt = nullptr;
  const char* sql =
      "SELECT rowid, type, name, tbl_name, sql FROM temp.xb_master "
      "WHERE lower(name) = lower(?1) ORDER BY rowid";
  if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_text(stmt, 1, name.data(), int(name.size()), SQLITE_STATIC);
  bool found = false;
  while (!found && sqlite3_step(stmt) == SQLITE_ROW) {
    std::string type = columnCell(stmt, 1).value_or("");
    if (types.find(type) == std::string_view::npos || type.empty()) continue;
    out.rowid = int32_t(sqlite3_column_int64(stmt, 0));
    out.type = type;
    out.name = columnCell(stmt, 2).value_or("");
    out.tbl_name = columnCell(stmt, 3).value_or("");
    out.sql = columnCell(stmt, 4);
    found = true;
  }
  sqlite3_finalize(stmt);
  return found;
}

Status Database::addMasterRow(const std::string& type, const std::string& name,
                              const std::string& tableName, const Cell& sql) {
  sqlite3_stmt* stmt = nullptr;
  const char* text =
      "INSERT INTO temp.xb_master(rowid, type, name, tbl_name, rootpage, sql) "
      "VALUES((SELECT coalesce(max(rowid), 0) + 1 FROM temp.xb_master), ?, ?, ?, '0', ?)";
  if (sqlite3_prepare_v2(m_db, text, -1, &stmt, nullptr) != SQLITE_OK)
    return sqliteFailure(SQLITE_ERROR);
  sqlite3_bind_text(stmt, 1, type.data(), int(type.size()), SQLITE_STATIC);
  sqlite3_bind_text(stmt, 2, name.data(), int(name.size()), SQLITE_STATIC);
  sqlite3_bind_text(stmt, 3, tableName.data(), int(tableName.size()), SQLITE_STATIC);
  if (sql) {
    sqlite3_bind_text(stmt, 4, sql->data(), int(sql->size()), SQLITE_STATIC);
  } else {
    sqlite3_bind_null(stmt, 4);
  }
  int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  m_schemaChanged = true;
  invalidateSchema();
  return rc == SQLITE_DONE ? Status::success() : sqliteFailure(rc);
}

Status Database::deleteMasterRows(const std::string& column, const std::string& name) {
  sqlite3_stmt* stmt = nullptr;
  std::string text = "DELETE FROM temp.xb_master WHERE lower(" + column + ") = lower(?)";
  if (sqlite3_prepare_v2(m_db, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return sqliteFailure(SQLITE_ERROR);
  }
  sqlite3_bind_text(stmt, 1, name.data(), int(name.size()), SQLITE_STATIC);
  int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  m_schemaChanged = true;
  invalidateSchema();
  return rc == SQLITE_DONE ? Status::success() : sqliteFailure(rc);
}

bool Database::tempObjectExists(const std::string& type, const std::string& name) {
  sqlite3_stmt* stmt = nullptr;
  const char* sql =
      "SELECT 1 FROM temp.sqlite_master WHERE type = ?1 AND lower(name) = lower(?2) "
      "AND name NOT LIKE 'xb\\_%' ESCAPE '\\'";
  if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_text(stmt, 1, type.data(), int(type.size()), SQLITE_STATIC);
  sqlite3_bind_text(stmt, 2, name.data(), int(name.size()), SQLITE_STATIC);
  bool found = sqlite3_step(stmt) == SQLITE_ROW;
  sqlite3_finalize(stmt);
  return found;
}

void Database::invalidateSchema() {
  m_tablesValid = false;
}

void Database::markDirty(const std::string& table) {
  m_dirtyTables.insert(lowerAscii(table));
}

const TableInfo* Database::table(const std::string& name) {
  if (!m_tablesValid) {
    m_tables.clear();
    std::vector<MasterEntry> master;
    /* A map from a partly read schema is not kept: the next call reads it
    ** again. */
    if (!readMaster(master).ok()) return nullptr;
    for (const MasterEntry& e : master) {
      if (e.type != "table" || !e.sql) continue;
      TableInfo info;
      if (!parseCreateTable(*e.sql, info.def)) continue;
      m_tables[lowerAscii(e.name)] = std::move(info);
    }
    for (const auto& [key, def] : m_tempTables) {
      if (m_tables.count(key)) continue;
      TableInfo info;
      info.def = def;
      info.inFile = false;
      m_tables[key] = std::move(info);
    }
    for (auto& [key, info] : m_tables) {
      const TableDef& def = info.def;
      if (def.rowidColumn >= 0) {
        info.rowidName = quoteIdentifier(def.columns[def.rowidColumn].name);
        continue;
      }
      info.rowidName = "rowid";
      for (const char* candidate : {"rowid", "oid", "_rowid_"}) {
        bool taken = false;
        for (const ColumnDef& c : def.columns) taken = taken || sameName(c.name, candidate);
        if (!taken) {
          info.rowidName = candidate;
          break;
        }
      }
    }
    m_tablesValid = true;
  }
  auto it = m_tables.find(lowerAscii(name));
  return it == m_tables.end() ? nullptr : &it->second;
}

/* ------------------------------------------------------------------------
** Checks made when a schema statement is compiled
*/

Status Database::createTableText(const Statement& s, std::string& text, std::string& select) {
  size_t after = afterObjectName(s.tokens);
  if (after >= s.tokens.size() || !isWord(s.tokens[after], "as")) {
    text = s.text;
    select.clear();
    return Status::success();
  }
  if (after + 1 >= s.tokens.size())
    return Status::failure(kError, syntaxErrorNear(s.tokens.back()));
  select = s.text.substr(s.tokens[after + 1].offset);
  std::vector<Replacement> replaced;
  std::string translated = translateForWorkingCopy(select, &replaced);
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(m_db, translated.c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    Status st = mapError(rc, s);
    sqlite3_finalize(stmt);
    return st;
  }
  std::vector<std::string> columns;
  for (int i = 0; stmt && i < sqlite3_column_count(stmt); ++i) {
    const char* n = sqlite3_column_name(stmt, i);
    columns.push_back(originalColumnName(n ? n : "", select, replaced));
  }
  sqlite3_finalize(stmt);
  if (columns.empty()) return Status::failure(kError, syntaxErrorNear(s.tokens[after + 1]));
  text = generatedCreateTable(s.name, columns);
  if (s.temporary) text.insert(7, "TEMP ");
  return Status::success();
}

Status Database::checkSchemaStatement(const Statement& s) {
  MasterEntry e;
  const std::string& name = s.name;
  bool isMaster = lowerAscii(name) == "sqlite_master";
  switch (s.kind) {
    case StatementKind::CreateTable:
    case StatementKind::CreateView: {
      if (isMaster || findMaster(name, "table view", e) ||
          (s.temporary && tempObjectExists("table", name))) {
        return Status::failure(kError, "table " + name + " already exists");
      }
      if (findMaster(name, "index", e))
        return Status::failure(kError, "there is already an index named " + name);
      if (s.kind == StatementKind::CreateView) return checkStoredGrammar(s);
      std::string text, select;
      Status st = createTableText(s, text, select);
      if (!st.ok()) return st;
      TableDef def;
      std::string error;
      if (!parseCreateTable(text, def, &error))
        return Status::failure(kError, parseErrorMessage(error));
      return Status::success();
    }
    case StatementKind::CreateIndex: {
      IndexStatement index;
      std::string error;
      if (!parseCreateIndex(s.text, index, &error))
        return Status::failure(kError, parseErrorMessage(error));
      if (findMaster(index.name, "index", e))
        return Status::failure(kError, "index " + index.name + " already exists");
      if (findMaster(index.name, "table view", e)) {
        return Status::failure(kError, "there is already a table named " + index.name);
      }
      if (lowerAscii(index.tableName) == "sqlite_master") {
        return Status::failure(kError, "table sqlite_master may not be indexed");
      }
      if (findMaster(index.tableName, "view", e))
        return Status::failure(kError, "views may not be indexed");
      const TableInfo* info = table(index.tableName);
      if (!info) return Status::failure(kError, "no such table: " + index.tableName);
      IndexDef resolved;
      if (!resolveIndex(index, info->def, resolved, &error)) return Status::failure(kError, error);
      return Status::success();
    }
    case StatementKind::CreateTrigger: {
      Status grammar = checkStoredGrammar(s);
      if (!grammar.ok()) return grammar;
      if (findMaster(name, "trigger", e))
        return Status::failure(kError, "trigger " + name + " already exists");
      size_t on = findWord(s.tokens, afterObjectName(s.tokens), "on");
      std::string target = on + 1 < s.tokens.size() ? unquoteName(s.tokens[on + 1]) : "";
      if (!findMaster(target, "table view", e) && !tempObjectExists("table", target) &&
          !tempObjectExists("view", target)) {
        return Status::failure(kError, "no such table: " + target);
      }
      return Status::success();
    }
    case StatementKind::DropTable:
      if (isMaster) return Status::failure(kError, "table sqlite_master may not be dropped");
      if (findMaster(name, "table", e) || tempObjectExists("table", name)) return Status::success();
      if (findMaster(name, "view", e))
        return Status::failure(kError, "use DROP VIEW to delete view " + name);
      return Status::failure(kError, "no such table: " + name);
    case StatementKind::DropView:
      if (findMaster(name, "view", e) || tempObjectExists("view", name)) return Status::success();
      if (findMaster(name, "table", e))
        return Status::failure(kError, "use DROP TABLE to delete table " + name);
      return Status::failure(kError, "no such view: " + name);
    case StatementKind::DropIndex:
      if (findMaster(name, "index", e)) {
        if (!e.sql || e.sql->empty()) {
          return Status::failure(kError,
                                 "index associated with UNIQUE or PRIMARY KEY constraint "
                                 "cannot be dropped");
        }
        return Status::success();
      }
      if (tempObjectExists("index", name)) return Status::success();
      return Status::failure(kError, "no such index: " + name);
    case StatementKind::DropTrigger:
      if (findMaster(name, "trigger", e) || tempObjectExists("trigger", name))
        return Status::success();
      return Status::failure(kError, "no such trigger: " + name);
    default:
      return Status::success();
  }
}

/* ------------------------------------------------------------------------
** Running schema statements
*/

Status Database::createTable(Program& p) {
  const Statement& s = p.statement;
  Status st = checkSchemaStatement(s);
  std::string text, select;
  if (st.ok()) st = createTableText(s, text, select);
  if (!st.ok()) return st;
  TableDef def;
  std::string error;
  if (!parseCreateTable(text, def, &error))
    return Status::failure(kError, parseErrorMessage(error));
  std::string schema = s.temporary ? "temp" : "main";
  st = createTableInCopy(def, schema, text);
  if (!st.ok()) return st;
  if (s.temporary) {
    m_tempTables[lowerAscii(def.name)] = def;
    invalidateSchema();
  } else {
    st = addMasterRow("table", def.name, def.name, text);
    for (const IndexDef& index : def.autoIndices) {
      if (st.ok()) st = addMasterRow("index", index.name, def.name, Cell());
    }
    m_guardedTables.erase(lowerAscii(def.name));
    markDirty(def.name);
  }
  if (st.ok() && !select.empty()) {
    std::string insert = "INSERT INTO " + schema + "." + quoteIdentifier(def.name) + " " + select;
    st = exec(translateForWorkingCopy(insert));
  }
  return st;
}

Status Database::createIndex(Program& p) {
  const Statement& s = p.statement;
  Status st = checkSchemaStatement(s);
  if (!st.ok()) return st;
  IndexStatement index;
  parseCreateIndex(s.text, index);
  const TableInfo* info = table(index.tableName);
  std::string schema = info->inFile ? "main." : "temp.";
  std::string ddl = std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + schema +
                    quoteIdentifier(index.name) + " ON " + quoteIdentifier(info->def.name) + "(";
  for (size_t i = 0; i < index.columnNames.size(); ++i) {
    ddl += (i ? "," : "") + quoteIdentifier(index.columnNames[i]);
  }
  st = exec(ddl + ")");
  if (st.code == kConstraint) return Status::failure(kConstraint, "indexed columns are not unique");
  if (!st.ok() || !info->inFile) return st;
  /* A trailing ON CONFLICT clause is not part of the stored statement. */
  size_t close = s.text.size();
  for (size_t i = s.tokens.size(); i-- > 0;) {
    if (s.tokens[i].text == ")") {
      close = s.tokens[i].offset + 1;
      break;
    }
  }
  std::string tableName = info->def.name;
  return addMasterRow("index", index.name, tableName, s.text.substr(0, close));
}

Status Database::createViewOrTrigger(Program& p) {
  const Statement& s = p.statement;
  Status st = checkSchemaStatement(s);
  if (!st.ok()) return st;
  int rc = sqlite3_exec(m_db, translateForWorkingCopy(s.text).c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return mapError(rc, s);
  if (s.temporary) return st;
  if (s.kind == StatementKind::CreateView) return addMasterRow("view", s.name, s.name, s.text);
  size_t on = findWord(s.tokens, afterObjectName(s.tokens), "on");
  MasterEntry target;
  std::string tableName = unquoteName(s.tokens[on + 1]);
  if (findMaster(tableName, "table view", target)) tableName = target.name;
  return addMasterRow("trigger", s.name, tableName, s.text);
}

Status Database::dropObject(Program& p) {
  const Statement& s = p.statement;
  Status st = checkSchemaStatement(s);
  if (!st.ok()) return st;
  static const std::pair<StatementKind, const char*> kinds[] = {
      {StatementKind::DropTable, "table"},
      {StatementKind::DropView, "view"},
      {StatementKind::DropIndex, "index"},
      {StatementKind::DropTrigger, "trigger"}};
  std::string type;
  for (const auto& [kind, word] : kinds) {
    if (kind == s.kind) type = word;
  }
  MasterEntry e;
  bool inFile = findMaster(s.name, type, e);
  std::string upper = type;
  for (char& c : upper) c = char(std::toupper((unsigned char)c));
  std::string target =
      inFile ? "main." + quoteIdentifier(e.name) : "temp." + quoteIdentifier(s.name);
  int rc = sqlite3_exec(m_db, ("DROP " + upper + " " + target).c_str(), nullptr, nullptr, nullptr);
  /* An object whose statement SQLite 3 could not take exists only as a
  ** schema row; dropping it removes the row. */
  if (rc != SQLITE_OK && !inFile) return mapError(rc, s);
  if (!inFile) {
    if (type == "table") m_tempTables.erase(lowerAscii(s.name));
    invalidateSchema();
    return Status::success();
  }
  if (type == "table" || type == "view") {
    m_dirtyTables.erase(lowerAscii(e.name));
    m_guardedTables.erase(lowerAscii(e.name));
    return deleteMasterRows("tbl_name", e.name);
  }
  return deleteMasterRows("name", e.name);
}

/* ------------------------------------------------------------------------
** Pragmas
*/

/* Sets the column names of a pragma's result; pragmas give no types. */
static void setPragmaColumns(Program& p, std::initializer_list<const char*> names) {
  p.names.assign(names.begin(), names.end());
  p.types.assign(p.names.size(), Cell());
}

/* Adds one row to a pragma's result. */
static void addPragmaRow(Program& p, std::initializer_list<Cell> cells) {
  p.rows.emplace_back(cells);
}

Status Database::pragma(Program& p) {
  /* The pragmas that do something here.  2.x ignores pragmas it does not
  ** know, and those that only tune its pager or output have nothing to
  ** tune here, so every other name succeeds with no result. */
  using Handler = Status (Database::*)(Program&, const std::string&);
  static const std::pair<const char*, Handler> kPragmas[] = {
      {"empty_result_callbacks", &Database::pragmaEmptyResultCallbacks},
      {"table_info", &Database::pragmaTableInfo},
      {"index_list", &Database::pragmaIndexList},
      {"index_info", &Database::pragmaIndexInfo},
      {"integrity_check", &Database::pragmaIntegrityCheck},
  };
  const auto& tokens = p.statement.tokens;
  if (tokens.size() < 2) return Status::failure(kError, syntaxErrorNear(tokens.back()));
  std::string name = lowerAscii(unquoteName(tokens[1]));
  std::string argument = pragmaArgument(tokens);
  for (const auto& [pragmaName, handler] : kPragmas) {
    if (name == pragmaName) return (this->*handler)(p, argument);
  }
  return Status::success();
}

Status Database::pragmaEmptyResultCallbacks(Program&, const std::string& argument) {
  if (!argument.empty()) m_emptyResultCallbacks = pragmaTrue(argument);
  return Status::success();
}

Status Database::pragmaTableInfo(Program& p, const std::string& argument) {
  const TableInfo* info = table(argument);
  if (!info) return Status::success();
  setPragmaColumns(p, {"cid", "name", "type", "notnull", "dflt_value", "pk"});
  const TableDef& def = info->def;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& c = def.columns[i];
    bool key = int(i) == def.rowidColumn;
    addPragmaRow(p, {std::to_string(i), c.name, c.declaredType, std::string(c.notNull ? "1" : "0"),
                     c.hasDefault ? c.defaultValue : Cell(), std::string(key ? "1" : "0")});
  }
  return Status::success();
}

Status Database::pragmaIndexList(Program& p, const std::string& argument) {
  const TableInfo* info = table(argument);
  if (!info) return Status::success();
  setPragmaColumns(p, {"seq", "name", "unique"});
  std::vector<MasterEntry> master;
  Status st = readMaster(master);
  if (!st.ok()) return st;
  int seq = 0;
  for (const MasterEntry& e : master) {
    if (e.type != "index" || !sameName(e.tbl_name, info->def.name)) continue;
    IndexStatement index;
    bool unique = !e.sql || e.sql->empty() || (parseCreateIndex(*e.sql, index) && index.unique);
    addPragmaRow(p, {std::to_string(seq++), e.name, std::string(unique ? "1" : "0")});
  }
  return Status::success();
}

Status Database::pragmaIndexInfo(Program& p, const std::string& argument) {
  MasterEntry e;
  if (!findMaster(argument, "index", e)) return Status::success();
  const TableInfo* info = table(e.tbl_name);
  if (!info) return Status::success();
  std::vector<int> columns;
  if (e.sql && !e.sql->empty()) {
    IndexStatement index;
    IndexDef resolved;
    if (parseCreateIndex(*e.sql, index) && resolveIndex(index, info->def, resolved))
      columns = resolved.columns;
  } else {
    for (const IndexDef& index : info->def.autoIndices) {
      if (index.name == e.name) columns = index.columns;
    }
  }
  setPragmaColumns(p, {"seqno", "cid", "name"});
  for (size_t i = 0; i < columns.size(); ++i) {
    addPragmaRow(
        p, {std::to_string(i), std::to_string(columns[i]), info->def.columns[columns[i]].name});
  }
  return Status::success();
}

Status Database::pragmaIntegrityCheck(Program& p, const std::string&) {
  /* The file was checked when it was read; what can still go wrong is
  ** the working copy, so let SQLite 3 check that. */
  setPragmaColumns(p, {"integrity_check"});
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(m_db, "PRAGMA main.integrity_check", -1, &stmt, nullptr) != SQLITE_OK) {
    return sqliteFailure(SQLITE_ERROR);
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) addPragmaRow(p, {columnCell(stmt, 0)});
  sqlite3_finalize(stmt);
  return Status::success();
}

}  // namespace s2
