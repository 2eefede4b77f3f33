/*
** The virtual table module over 2.x b-trees.  A cursor runs one of five
** plans chosen by xBestIndex: a walk of the whole table in rowid order, a
** seek to one rowid, a walk of a rowid range, a walk of the entries of
** a 2.x index that share a key prefix, each followed by a seek into the
** table, or, when only rowids are wanted, a walk of an index's keys alone.  Values that cannot be mapped onto a seek exactly (a real or a
** blob compared with an index column, a text compared with the rowid)
** make the cursor walk the whole table instead: SQLite 3 filters the rows
** again in every case, so a plan may return more rows, never fewer.
** Rows a statement deletes, changes or inserts go to the host.
*/
#include "s2vtab.h"
#include "s2sqltoken.h"
#include "s2sqlvalue.h"
#include "s2value.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>

namespace s2 {

const char* const kTreeModule = "xb_tree";

namespace {

enum Plan { kFullScan = 0, kRowidEq = 1, kRowidRange = 2, kIndexEq = 3, kKeyScan = 4 };
constexpr int kPlanMask = 0xf;
constexpr int kHasLower = 0x10;
constexpr int kHasUpper = 0x20;
constexpr int kIndexShift = 8;

struct TreeVtab {
  sqlite3_vtab base;
  TreeHost* host;
  std::string name;
};

struct TreeCursorState {
  sqlite3_vtab_cursor base;
  TreeVtab* vtab;
  std::unique_ptr<TreeCursor> table;
  std::unique_ptr<TreeCursor> index;
  std::string prefix; /* index plan: the key prefix of the matching entries */
  int plan = kFullScan;
  int64_t upper = std::numeric_limits<int64_t>::max(); /* last rowid of a range */
  bool eof = true;
  int rowidColumn = -1;
  int32_t rowid = 0;
};

/* Stores STATUS as the error of VTAB; returns its SQLite 3 code. */
int vtabError(sqlite3_vtab* vtab, const Status& status) {
  if (status.ok()) return SQLITE_OK;
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", status.message.c_str());
  return status.code == kOk ? SQLITE_ERROR : status.code;
}

/* Returns the number VALUE stands for when SQLite 3 compares it with an
** integer column, or nothing when it is no number (a text that does not
** read as one completely, a blob, NULL). */
std::optional<double> numericValue(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return double(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
      return sqlite3_value_double(value);
    case SQLITE_TEXT: {
      std::string text(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                       size_t(sqlite3_value_bytes(value)));
      size_t begin = text.find_first_not_of(" \t\n\r");
      size_t end = text.find_last_not_of(" \t\n\r");
      if (begin == std::string::npos) return std::nullopt;
      text = text.substr(begin, end - begin + 1);
      if (text.find_first_of("xXnNiI") != std::string::npos) return std::nullopt;
      char* stop = nullptr;
      double d = std::strtod(text.c_str(), &stop);
      if (stop != text.c_str() + text.size()) return std::nullopt;
      return d;
    }
    default:
      return std::nullopt;
  }
}

int xConnectImpl(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
                 char** error) {
  auto* host = static_cast<TreeHost*>(aux);
  if (argc < 3) return SQLITE_ERROR;
  const TreeTable* table = host->catalog().find(argv[2]);
  if (!table) {
    *error = sqlite3_mprintf("no such table: %s", argv[2]);
    return SQLITE_ERROR;
  }
  const TableDef& def = table->def;
  std::string ddl = "CREATE TABLE x(";
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& c = def.columns[i];
    ddl += (i ? ", " : "") + quoteIdentifier(c.name);
    if (int(i) == def.rowidColumn) {
      ddl += " INTEGER";
      continue;
    }
    bool numeric = host->catalog().allNumeric() || c.cls == ColumnClass::Numeric;
    ddl += " TEXT COLLATE " + std::string(numeric ? kNumericCollation : "BINARY");
  }
  int rc = sqlite3_declare_vtab(db, (ddl + ")").c_str());
  if (rc != SQLITE_OK) return rc;
  std::unique_ptr<TreeVtab> vtab(new (std::nothrow) TreeVtab{});
  if (!vtab) return SQLITE_NOMEM;
  vtab->host = host;
  vtab->name = argv[2];
  *out = &vtab.release()->base;
  return SQLITE_OK;
}

int xDisconnect(sqlite3_vtab* base) {
  delete reinterpret_cast<TreeVtab*>(base);
  return SQLITE_OK;
}

bool isRowidColumn(int column, const TableDef& def) {
  return column < 0 || column == def.rowidColumn;
}

/* Returns the index of TABLE whose keys a walk needing only the columns
** USED (and the rowid) can read instead of the table: the one with the
** fewest columns; -1 when there is none or a column other than the rowid
** alias is used. */
int keyOnlyIndex(const TreeTable& table, const TreeCatalog& catalog, sqlite3_uint64 used) {
  int alias = table.def.rowidColumn;
  if (alias >= 0 && alias < 63) used &= ~(sqlite3_uint64(1) << alias);
  if (used != 0 || catalog.allNumeric()) return -1;
  int best = -1;
  for (size_t k = 0; k < table.indices.size(); ++k) {
    if (best < 0 ||
        table.indices[k].def.columns.size() < table.indices[size_t(best)].def.columns.size())
      best = int(k);
  }
  return best;
}

/* Chooses the plan: a rowid equality, else the index with the longest
** prefix of equalities in the column's own collation, else a rowid range,
** else the whole table.  Nothing is omitted: SQLite 3 checks every row. */
int xBestIndexImpl(sqlite3_vtab* base, sqlite3_index_info* info) {
  auto* vtab = reinterpret_cast<TreeVtab*>(base);
  const TreeTable* table = vtab->host->catalog().find(vtab->name);
  info->idxNum = kFullScan;
  info->estimatedCost = 1e6;
  info->estimatedRows = 1000000;
  if (table) {
    const TableDef& def = table->def;
    int eq = -1, lower = -1, upper = -1;
    for (int i = 0; i < info->nConstraint; ++i) {
      const auto& c = info->aConstraint[i];
      if (!c.usable || !isRowidColumn(c.iColumn, def)) continue;
      if (c.op == SQLITE_INDEX_CONSTRAINT_EQ) eq = i;
      if (c.op == SQLITE_INDEX_CONSTRAINT_GT || c.op == SQLITE_INDEX_CONSTRAINT_GE) lower = i;
      if (c.op == SQLITE_INDEX_CONSTRAINT_LT || c.op == SQLITE_INDEX_CONSTRAINT_LE) upper = i;
    }
    size_t bestIndex = 0, bestCount = 0;
    std::vector<int> bestArgs;
    for (size_t k = 0; eq < 0 && !vtab->host->catalog().allNumeric() && k < table->indices.size();
         ++k) {
      std::vector<int> args;
      for (int column : table->indices[k].def.columns) {
        if (column == def.rowidColumn || column < 0 || size_t(column) >= def.columns.size()) break;
        bool numeric = def.columns[size_t(column)].cls == ColumnClass::Numeric;
        const char* wanted = numeric ? kNumericCollation : "BINARY";
        int found = -1;
        for (int i = 0; i < info->nConstraint && found < 0; ++i) {
          const auto& c = info->aConstraint[i];
          if (c.usable && c.iColumn == column && c.op == SQLITE_INDEX_CONSTRAINT_EQ &&
              sqlite3_stricmp(sqlite3_vtab_collation(info, i), wanted) == 0) {
            found = i;
          }
        }
        if (found < 0) break;
        args.push_back(found);
      }
      if (args.size() > bestCount) {
        bestCount = args.size();
        bestIndex = k;
        bestArgs = args;
      }
    }
    if (eq >= 0) {
      info->idxNum = kRowidEq;
      info->aConstraintUsage[eq].argvIndex = 1;
      info->estimatedCost = 1;
      info->estimatedRows = 1;
      info->idxFlags = SQLITE_INDEX_SCAN_UNIQUE;
    } else if (bestCount > 0) {
      info->idxNum = kIndexEq | int(bestIndex << kIndexShift);
      for (size_t j = 0; j < bestArgs.size(); ++j)
        info->aConstraintUsage[bestArgs[j]].argvIndex = int(j + 1);
      info->estimatedCost = 20.0 / double(bestCount);
      info->estimatedRows = 10;
    } else if (lower >= 0 || upper >= 0) {
      int arg = 1;
      info->idxNum = kRowidRange;
      if (lower >= 0) {
        info->idxNum |= kHasLower;
        info->aConstraintUsage[lower].argvIndex = arg++;
      }
      if (upper >= 0) {
        info->idxNum |= kHasUpper;
        info->aConstraintUsage[upper].argvIndex = arg++;
      }
      info->estimatedCost = lower >= 0 && upper >= 0 ? 1e4 : 1e5;
      info->estimatedRows = lower >= 0 && upper >= 0 ? 10000 : 100000;
    }
    /* A walk that needs no column but the rowid (a count, a DELETE
    ** without WHERE) reads the keys of an index, whose pages hold more
    ** entries than the table's and no overflow. */
    int keyIndex = info->idxNum == kFullScan && info->nOrderBy == 0
                       ? keyOnlyIndex(*table, vtab->host->catalog(), info->colUsed)
                       : -1;
    if (keyIndex >= 0) info->idxNum = kKeyScan | (keyIndex << kIndexShift);
    bool indexPlan = (info->idxNum & kPlanMask) == kIndexEq;
    if (!indexPlan && info->nOrderBy == 1 && isRowidColumn(info->aOrderBy[0].iColumn, def) &&
        !info->aOrderBy[0].desc) {
      info->orderByConsumed = 1;
    }
  }
  return SQLITE_OK;
}

int xOpen(sqlite3_vtab* base, sqlite3_vtab_cursor** out) {
  auto* cursor = new (std::nothrow) TreeCursorState{};
  if (!cursor) return SQLITE_NOMEM;
  cursor->vtab = reinterpret_cast<TreeVtab*>(base);
  *out = &cursor->base;
  return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor* base) {
  delete reinterpret_cast<TreeCursorState*>(base);
  return SQLITE_OK;
}

/* Makes the table entry under the cursor the current row, or ends the
** walk when it lies past the range. */
void takeTableEntry(TreeCursorState& c) {
  if (c.table->atEnd()) {
    c.eof = true;
    return;
  }
  c.rowid = rowidOfTableKey(c.table->key());
  if (c.rowid > c.upper) c.eof = true;
}

/* Index plan: finds the table row of the index entry under the cursor. */
Status takeIndexEntry(TreeCursorState& c) {
  std::string_view key = c.index->key();
  if (c.index->atEnd() || key.size() < c.prefix.size() + 4 ||
      key.compare(0, c.prefix.size(), c.prefix) != 0) {
    c.eof = true;
    return Status::success();
  }
  std::string rowKey(key.substr(key.size() - 4));
  Status st = c.table->seek(rowKey);
  if (!st.ok()) return st;
  /* An index entry without its row is damage of the index. */
  if (c.table->atEnd() || c.table->key() != rowKey) return damagedPage(c.index->page());
  c.rowid = rowidOfTableKey(rowKey);
  return Status::success();
}

/* Key plan: takes the rowid of the index entry under the cursor, which
** ends with it; the table itself is not read. */
void takeKeyEntry(TreeCursorState& c) {
  std::string_view key = c.index->key();
  if (c.index->atEnd() || key.size() < 4) {
    c.eof = true;
    return;
  }
  c.rowid = rowidOfTableKey(key.substr(key.size() - 4));
}

/* Builds the index key prefix of the equality values ARGV for INDEX;
** false when a value has no exact key (a real or a blob). *never is set
** when no entry can match (a NULL value). */
bool indexPrefix(const TreeIndex& index, const TableDef& def, int argc, sqlite3_value** argv,
                 std::string& prefix, bool* never) {
  prefix.clear();
  *never = false;
  for (int j = 0; j < argc; ++j) {
    int type = sqlite3_value_type(argv[j]);
    if (type == SQLITE_NULL) {
      *never = true;
      return true;
    }
    if (type != SQLITE_INTEGER && type != SQLITE_TEXT) return false;
    Cell value = valueCell(argv[j]);
    appendIndexField(prefix, value, def.columns[size_t(index.def.columns[size_t(j)])].cls);
  }
  return true;
}

Status startWalk(TreeCursorState& c, int plan, int argc, sqlite3_value** argv) {
  TreeHost* host = c.vtab->host;
  Status st = host->readable();
  if (!st.ok()) return st;
  const TreeTable* table = host->catalog().find(c.vtab->name);
  if (!table) return Status::failure(kError, "no such table: " + c.vtab->name);
  c.rowidColumn = table->def.rowidColumn;
  c.table =
      std::make_unique<TreeCursor>(host->pageCache(), host->catalog().byteOrder(), table->root);
  c.index.reset();
  c.upper = std::numeric_limits<int64_t>::max();
  c.plan = plan & kPlanMask;
  c.eof = false;
  if (c.plan == kRowidEq) {
    std::optional<double> v = argc > 0 ? numericValue(argv[0]) : std::nullopt;
    if (v && *v == std::floor(*v)) {
      if (*v < INT32_MIN || *v > INT32_MAX) {
        c.eof = true;
        return Status::success();
      }
      std::string key = rowidKey(int32_t(*v));
      st = c.table->seek(key);
      if (!st.ok()) return st;
      if (c.table->atEnd() || c.table->key() != key) {
        c.eof = true;
        return st;
      }
      c.rowid = int32_t(*v);
      return st;
    }
    c.plan = kFullScan;
  }
  if (c.plan == kIndexEq) {
    size_t k = size_t(plan >> kIndexShift);
    bool never = false;
    if (k < table->indices.size() &&
        indexPrefix(table->indices[k], table->def, argc, argv, c.prefix, &never)) {
      if (never) {
        c.eof = true;
        return st;
      }
      c.index = std::make_unique<TreeCursor>(host->pageCache(), host->catalog().byteOrder(),
                                             table->indices[k].root);
      st = c.index->seek(c.prefix);
      return st.ok() ? takeIndexEntry(c) : st;
    }
    c.plan = kFullScan;
  }
  if (c.plan == kKeyScan) {
    size_t k = size_t(plan >> kIndexShift);
    if (k < table->indices.size()) {
      c.index = std::make_unique<TreeCursor>(host->pageCache(), host->catalog().byteOrder(),
                                             table->indices[k].root);
      st = c.index->first();
      if (st.ok()) takeKeyEntry(c);
      return st;
    }
    c.plan = kFullScan;
  }
  if (c.plan == kRowidRange) {
    int arg = 0;
    double start = INT32_MIN;
    if (plan & kHasLower) {
      std::optional<double> v = numericValue(argv[arg++]);
      if (v && *v > INT32_MAX) {
        c.eof = true;
        return st;
      }
      if (v && *v > INT32_MIN) start = std::floor(*v);
    }
    if (plan & kHasUpper) {
      std::optional<double> v = numericValue(argv[arg]);
      if (v && *v < INT32_MIN) {
        c.eof = true;
        return st;
      }
      if (v && *v < INT32_MAX) c.upper = int64_t(std::ceil(*v));
    }
    st = c.table->seek(rowidKey(int32_t(start)));
    if (st.ok()) takeTableEntry(c);
    return st;
  }
  st = c.table->first();
  if (st.ok()) takeTableEntry(c);
  return st;
}

int xFilterImpl(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc,
                sqlite3_value** argv) {
  auto* c = reinterpret_cast<TreeCursorState*>(base);
  Status st = startWalk(*c, idxNum, argc, argv);
  if (st.ok()) return SQLITE_OK;
  c->eof = true;
  return vtabError(&c->vtab->base, st);
}

int xNextImpl(sqlite3_vtab_cursor* base) {
  auto* c = reinterpret_cast<TreeCursorState*>(base);
  Status st;
  switch (c->plan) {
    case kRowidEq:
      c->eof = true;
      break;
    case kIndexEq:
      st = c->index->next();
      if (st.ok()) st = takeIndexEntry(*c);
      break;
    case kKeyScan:
      st = c->index->next();
      if (st.ok()) takeKeyEntry(*c);
      break;
    default:
      st = c->table->next();
      if (st.ok()) takeTableEntry(*c);
      break;
  }
  if (st.ok()) return SQLITE_OK;
  c->eof = true;
  return vtabError(&c->vtab->base, st);
}

int xEof(sqlite3_vtab_cursor* base) {
  return reinterpret_cast<TreeCursorState*>(base)->eof ? 1 : 0;
}

int xColumnImpl(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
  auto* c = reinterpret_cast<TreeCursorState*>(base);
  if (column == c->rowidColumn) {
    sqlite3_result_int64(context, c->rowid);
    return SQLITE_OK;
  }
  bool isNull = true;
  std::string_view value;
  Status st = c->table->field(size_t(column), &isNull, &value);
  if (!st.ok()) {
    sqlite3_result_error(context, st.message.c_str(), -1);
    sqlite3_result_error_code(context, SQLITE_CORRUPT);
    return SQLITE_CORRUPT;
  }
  if (isNull) {
    sqlite3_result_null(context);
  } else {
    sqlite3_result_text(context, value.data(), int(value.size()), SQLITE_TRANSIENT);
  }
  return SQLITE_OK;
}

/* Returns the rowid VALUE gives as SQLite 3 takes it for an INTEGER
** PRIMARY KEY: an integer, or a text or real that reads as one; nothing
** otherwise. */
std::optional<int64_t> givenRowid(sqlite3_value* value) {
  std::unique_ptr<sqlite3_value, void (*)(sqlite3_value*)> copy(sqlite3_value_dup(value),
                                                                sqlite3_value_free);
  if (!copy) throw std::bad_alloc();
  int type = sqlite3_value_numeric_type(copy.get());
  if (type == SQLITE_INTEGER) return sqlite3_value_int64(copy.get());
  if (type != SQLITE_FLOAT) return std::nullopt;
  double d = sqlite3_value_double(copy.get());
  if (!(d >= -9.2e18 && d <= 9.2e18) || d != std::floor(d)) return std::nullopt;
  return int64_t(d);
}

/* Inserts a new row: ARGV holds NULL, the rowid named by the statement (or
** NULL) and the column values. */
int insertRow(TreeVtab* vtab, const TableDef& def, int argc, sqlite3_value** argv,
              sqlite3_int64* rowid) {
  sqlite3_value* given = argv[1];
  if (def.rowidColumn >= 0 && sqlite3_value_type(argv[2 + def.rowidColumn]) != SQLITE_NULL)
    given = argv[2 + def.rowidColumn];
  std::optional<int64_t> wanted;
  if (sqlite3_value_type(given) != SQLITE_NULL) {
    wanted = givenRowid(given);
    if (!wanted) return vtabError(&vtab->base, Status::failure(kMismatch, "datatype mismatch"));
  }
  std::vector<Cell> fields;
  fields.reserve(def.columns.size());
  for (int i = 2; i < argc; ++i) fields.push_back(valueCell(argv[i]));
  int64_t inserted = 0;
  Status st = vtab->host->insertRow(vtab->name, wanted, fields, &inserted);
  if (st.ok()) *rowid = inserted;
  return vtabError(&vtab->base, st);
}

/* Deletes a row (one argument), inserts one (no old rowid) or changes one
** in place: ARGV holds the old rowid, the new rowid and the new column
** values.  Rowid changes take the working copy's full form, which the
** connection chooses for such statements. */
int xUpdateImpl(sqlite3_vtab* base, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
  auto* vtab = reinterpret_cast<TreeVtab*>(base);
  Status st = vtab->host->readable();
  if (!st.ok()) return vtabError(base, st);
  const TreeTable* table = vtab->host->catalog().find(vtab->name);
  if (!table) return vtabError(base, Status::failure(kError, "no such table: " + vtab->name));
  if (argc == 1)
    return vtabError(base,
                     vtab->host->changeRow(vtab->name, sqlite3_value_int64(argv[0]), nullptr));
  const TableDef& def = table->def;
  if (argc != int(def.columns.size()) + 2)
    return vtabError(base,
                     Status::failure(kError, "table " + def.name + " may not be changed this way"));
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return insertRow(vtab, def, argc, argv, rowid);
  bool sameRowid = sqlite3_value_type(argv[0]) == SQLITE_INTEGER &&
                   sqlite3_value_type(argv[1]) == SQLITE_INTEGER &&
                   sqlite3_value_int64(argv[0]) == sqlite3_value_int64(argv[1]);
  if (sameRowid && def.rowidColumn >= 0) {
    sqlite3_value* alias = argv[2 + def.rowidColumn];
    sameRowid = sqlite3_value_type(alias) == SQLITE_INTEGER &&
                sqlite3_value_int64(alias) == sqlite3_value_int64(argv[0]);
  }
  if (!sameRowid)
    return vtabError(base,
                     Status::failure(kError, "table " + def.name + " may not be changed this way"));
  std::vector<Cell> fields;
  fields.reserve(def.columns.size());
  for (int i = 2; i < argc; ++i) fields.push_back(valueCell(argv[i]));
  return vtabError(base, vtab->host->changeRow(vtab->name, sqlite3_value_int64(argv[0]), &fields));
}

int xRowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  *rowid = reinterpret_cast<TreeCursorState*>(base)->rowid;
  return SQLITE_OK;
}

/* SQLite 3 calls these from C: no C++ exception may pass through it, so
** an allocation failure becomes SQLITE_NOMEM here. */
template <typename F>
int guarded(F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  } catch (...) {
    return SQLITE_ERROR;
  }
}

int xConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
             char** error) {
  return guarded([&] { return xConnectImpl(db, aux, argc, argv, out, error); });
}

int xBestIndex(sqlite3_vtab* base, sqlite3_index_info* info) {
  return guarded([&] { return xBestIndexImpl(base, info); });
}

int xFilter(sqlite3_vtab_cursor* base, int idxNum, const char* idxStr, int argc,
            sqlite3_value** argv) {
  return guarded([&] { return xFilterImpl(base, idxNum, idxStr, argc, argv); });
}

int xNext(sqlite3_vtab_cursor* base) {
  return guarded([&] { return xNextImpl(base); });
}

int xColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
  int rc = guarded([&] { return xColumnImpl(base, context, column); });
  if (rc == SQLITE_NOMEM) sqlite3_result_error_nomem(context);
  return rc;
}

int xUpdate(sqlite3_vtab* base, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
  return guarded([&] { return xUpdateImpl(base, argc, argv, rowid); });
}

sqlite3_module makeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = xConnect;
  m.xConnect = xConnect;
  m.xBestIndex = xBestIndex;
  m.xDisconnect = xDisconnect;
  m.xDestroy = xDisconnect;
  m.xOpen = xOpen;
  m.xClose = xClose;
  m.xFilter = xFilter;
  m.xNext = xNext;
  m.xEof = xEof;
  m.xColumn = xColumn;
  m.xRowid = xRowid;
  m.xUpdate = xUpdate;
  return m;
}

const sqlite3_module kModule = makeModule();

}  // namespace

Status TreeHost::changeRow(const std::string&, int64_t, const std::vector<Cell>*) {
  return Status::failure(kReadOnly, "attempt to write a readonly database");
}

Status TreeHost::insertRow(const std::string&, std::optional<int64_t>, const std::vector<Cell>&,
                           int64_t*) {
  return Status::failure(kReadOnly, "attempt to write a readonly database");
}

int registerTreeModule(sqlite3* db, TreeHost* host) {
  return sqlite3_create_module(db, kTreeModule, &kModule, host);
}

std::string treeTableStatement(const std::string& schema, const std::string& name) {
  return "CREATE VIRTUAL TABLE " + schema + "." + quoteIdentifier(name) + " USING " + kTreeModule +
         "()";
}

}  // namespace s2
