/*
** The engine on large files through the C interface: changes of a few rows
** write a few pages and leave a file the structural checker accepts; a
** random mix of inserts, updates and deletes on a large table (page splits
** and merges at every level, overflow pages, an index and a unique index)
** matches SQLite 3 running the same statements after every commit (and
** within transactions that hold a failing statement or one that needs the
** full working copy, or that are rolled back or left open); writes that
** fire triggers or carry conflict clauses load only the small tables they
** involve, match SQLite 3 and the whole form, and carry transactions from
** form to form; damage in one table leaves the others readable and names
** the damaged page.
*/
#include "s2api_helpers.h"
#include "s2check.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#undef SQLITE_VERSION
#undef SQLITE_VERSION_NUMBER
#include <sqlite3.h>

namespace {

using namespace s2api;

const char kSchema[] =
    "CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT, b, c TEXT UNIQUE);"
    "CREATE INDEX tb ON t(b, a);"
    "CREATE TABLE small(x);"
    "INSERT INTO small VALUES('only');"
    "CREATE TABLE d(x, y DEFAULT 'dflt', z NUMERIC DEFAULT 7);";

/* Counts the pages that differ between two file contents (pages beyond
** the shorter one count as different). */
size_t changedPages(const std::string& a, const std::string& b) {
  size_t pages = std::max(a.size(), b.size()) / 1024, changed = 0;
  for (size_t p = 0; p < pages; ++p) {
    size_t at = p * 1024;
    if (at + 1024 > a.size() || at + 1024 > b.size() || a.compare(at, 1024, b, at, 1024) != 0)
      ++changed;
  }
  return changed;
}

std::string rowSql(int id, std::mt19937& random) {
  std::string a(size_t(random() % 7 == 0 ? 300 + random() % 2500 : random() % 20), 'x');
  for (char& ch : a) ch = char('a' + random() % 26);
  std::string b = random() % 9 == 0 ? "NULL" : "'" + std::to_string(random() % 400) + "'";
  return "(" + std::to_string(id) + ", '" + a + "', " + b + ", 'c" + std::to_string(id) + "')";
}

/* Bytes this process has read from files so far. */
long bytesRead() {
  std::ifstream in("/proc/self/io");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("rchar: ", 0) == 0) return std::stol(line.substr(7));
  }
  return -1;
}

/* Small tables beside the large t: a trigger on acct logs each change of
** a balance into log, and a view with an INSTEAD OF trigger changes acct. */
const char kTriggerSchema[] =
    "CREATE TABLE acct(id INTEGER PRIMARY KEY, owner TEXT UNIQUE, bal);"
    "CREATE TABLE log(what, id, bal);"
    "CREATE TRIGGER acct_u AFTER UPDATE OF bal ON acct BEGIN "
    "INSERT INTO log VALUES('u', new.id, new.bal); END;"
    "CREATE TRIGGER acct_d AFTER DELETE ON acct BEGIN "
    "INSERT INTO log VALUES('d', old.id, old.bal); END;"
    "CREATE VIEW rich AS SELECT id, owner, bal FROM acct WHERE bal > 100;"
    "CREATE TRIGGER rich_i INSTEAD OF INSERT ON rich BEGIN "
    "INSERT INTO acct(owner, bal) VALUES(new.owner, new.bal * 2); END;";

class ScaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    /* One file per test: ctest runs the tests of this fixture at once. */
    m_path = freshPath(std::string("scale-") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    m_db = openDb(m_path);
    ASSERT_NE(m_db, nullptr);
    ASSERT_EQ(sqlite3_open(":memory:", &m_model), SQLITE_OK);
    both(kSchema);
  }
  void TearDown() override {
    sqlite_close(m_db);
    sqlite3_close(m_model);
  }

  /* Runs SQL on the 2.x file and on the SQLite 3 model. */
  void both(const std::string& sql) {
    Result r = run(m_db, sql);
    ASSERT_EQ(r.code, SQLITE_OK) << r.error << " in " << sql.substr(0, 200);
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(m_model, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
  }

  /* The rows of t in the model, as the 2.x engine shows them. */
  std::vector<std::vector<Cell>> modelRows() {
    std::vector<std::vector<Cell>> rows;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(m_model, "SELECT id, a, b, c FROM t ORDER BY id", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<Cell> row;
      for (int i = 0; i < 4; ++i) {
        const unsigned char* v = sqlite3_column_text(stmt, i);
        row.push_back(v ? Cell(reinterpret_cast<const char*>(v)) : Cell());
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return rows;
  }

  /* Runs one statement of a transaction on both; both succeed or both fail. */
  void same(const std::string& sql) {
    Result r = run(m_db, sql);
    char* error = nullptr;
    int rc = sqlite3_exec(m_model, sql.c_str(), nullptr, nullptr, &error);
    ASSERT_EQ(r.code == SQLITE_OK, rc == SQLITE_OK)
        << r.error << " / " << (error ? error : "") << " in " << sql.substr(0, 200);
    sqlite3_free(error);
  }

  /* Fills t with 20000 rows (random from SEED) and adds the small tables
  ** of kTriggerSchema with 20 accounts, then opens the file again. */
  void fillLargeWithSmallTables(unsigned seed) {
    std::mt19937 random(seed);
    std::string fill = "BEGIN;";
    for (int id = 1; id <= 20000; ++id) fill += "INSERT INTO t VALUES" + rowSql(id, random) + ";";
    fill += kTriggerSchema;
    for (int id = 1; id <= 20; ++id) {
      fill += "INSERT INTO acct VALUES(" + std::to_string(id) + ", 'o" + std::to_string(id) +
              "', " + std::to_string(id * 10) + ");";
    }
    ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
    sqlite_close(m_db);
    m_db = openDb(m_path);
    ASSERT_NE(m_db, nullptr);
  }

  void expectSameRows() {
    Result r = query(m_db, "SELECT id, a, b, c FROM t ORDER BY id");
    ASSERT_EQ(r.code, SQLITE_OK) << r.error;
    ASSERT_EQ(r.rows, modelRows());
  }

  std::string m_path;
  sqlite* m_db = nullptr;
  sqlite3* m_model = nullptr;
};

TEST_F(ScaleTest, RandomChangesMatchSQLite3AndKeepTheFileValid) {
  std::mt19937 random(424242);
  std::string fill = "BEGIN;";
  for (int id = 1; id <= 3000; ++id) fill += "INSERT INTO t VALUES" + rowSql(id, random) + ";";
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  int nextId = 3001;
  for (int commit = 0; commit < 90; ++commit) {
    bool transaction = commit % 3 != 0;
    int statements = transaction ? 1 + int(random() % 40) : 1;
    std::vector<std::string> list;
    for (int s = 0; s < statements; ++s) {
      std::string sql;
      int id = 1 + int(random() % unsigned(nextId));
      std::string serial = std::to_string(nextId++);
      switch (random() % 6) {
        case 0:
          sql += "INSERT INTO t VALUES" + rowSql(nextId++, random) + ";";
          break;
        case 4:
          /* The engine numbers the row; SQLite 3 takes one past the largest. */
          sql += "INSERT INTO t(a, b, c) VALUES('numbered', " + std::to_string(random() % 400) +
                 ", 'n" + serial + "');";
          nextId += 5; /* every rowid stays below nextId */
          break;
        case 5:
          sql += "INSERT INTO t(b, a, c) SELECT b, a, c || '-" + serial +
                 "' FROM t WHERE id BETWEEN " + std::to_string(id) + " AND " +
                 std::to_string(id + int(random() % 4)) + ";";
          nextId += 5;
          break;
        case 1:
          sql += "DELETE FROM t WHERE id = " + std::to_string(id) + ";";
          break;
        case 2:
          sql += "UPDATE t SET b = '" + std::to_string(random() % 400) +
                 "', a = a || 'y' WHERE id = " + std::to_string(id) + ";";
          break;
        default:
          sql += "DELETE FROM t WHERE id BETWEEN " + std::to_string(id) + " AND " +
                 std::to_string(id + int(random() % 30)) + ";";
          break;
      }
      list.push_back(sql);
    }
    if (!transaction) {
      ASSERT_NO_FATAL_FAILURE(both(list[0]));
      ASSERT_NO_FATAL_FAILURE(expectSameRows()) << "after commit " << commit;
      continue;
    }
    /* Some transactions hold a statement that fails (and undoes only
    ** itself), one that only the full form runs, or a look at the rows
    ** as the transaction has left them so far; some are rolled back. */
    size_t middle = list.size() / 2;
    std::string serial = std::to_string(nextId++);
    if (random() % 3 == 0) {
      list.insert(list.begin() + long(middle),
                  "UPDATE t SET c = 'twice' WHERE id >= (SELECT max(id) FROM t) - 60;");
      list.insert(list.begin() + long(middle),
                  "INSERT INTO t VALUES((SELECT min(id) FROM t), 'x', 1, 'dup" + serial + "');");
    }
    if (random() % 4 == 0) {
      /* Below every other rowid, so that numbered rows stay below nextId. */
      list.insert(list.begin() + long(middle),
                  random() % 2 ? "INSERT OR REPLACE INTO t VALUES" + rowSql(-commit, random) + ";"
                               : "CREATE TABLE extra" + serial + "(x);");
    }
    bool look = random() % 3 == 0;
    bool rollback = random() % 4 == 0;
    ASSERT_NO_FATAL_FAILURE(both("BEGIN"));
    for (size_t s = 0; s < list.size(); ++s) {
      ASSERT_NO_FATAL_FAILURE(same(list[s])) << "in transaction " << commit;
      if (look && s == middle) {
        ASSERT_NO_FATAL_FAILURE(expectSameRows()) << "in " << commit;
      }
    }
    ASSERT_NO_FATAL_FAILURE(both(rollback ? "ROLLBACK" : "COMMIT"));
    ASSERT_NO_FATAL_FAILURE(expectSameRows()) << "after transaction " << commit;
  }
  /* A connection closed in a transaction leaves the file as it was. */
  ASSERT_EQ(run(m_db, "BEGIN; DELETE FROM t WHERE id > 10; UPDATE t SET a = 'gone'").code,
            SQLITE_OK);
  sqlite_close(m_db);
  m_db = openDb(m_path);
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  /* A unique value that exists already is refused and changes nothing. */
  Result clash = run(m_db, "UPDATE t SET c = 'c5' WHERE id = (SELECT max(id) FROM t)");
  EXPECT_EQ(clash.code, SQLITE_CONSTRAINT);
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, ChangingOneRowWritesAFewPages) {
  std::mt19937 random(5);
  std::string fill = "BEGIN;";
  for (int id = 1; id <= 20000; ++id) fill += "INSERT INTO t VALUES" + rowSql(id, random) + ";";
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  const char* changes[] = {"UPDATE t SET b = 'changed', a = 'new text' WHERE id = 12345",
                           "INSERT INTO t VALUES(20001, 'one more', 5, 'c20001')",
                           "DELETE FROM t WHERE id = 777",
                           "BEGIN; UPDATE t SET b = 'in a transaction' WHERE id = 15000; "
                           "INSERT INTO t VALUES(20002, 'two more', 6, 'c20002'); "
                           "DELETE FROM t WHERE id = 3000; COMMIT"};
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    std::string before = fileBytes(m_path);
    ASSERT_NO_FATAL_FAILURE(both(change));
    /* The table's path, the paths in the two indices, page 1; for each
    ** of the three statements of the transaction. */
    size_t statements = std::string_view(change).starts_with("BEGIN") ? 3 : 1;
    EXPECT_LE(changedPages(before, fileBytes(m_path)), 16u * statements);
  }
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, RowChangesReadAFewPagesOfALargeFile) {
  std::mt19937 random(11);
  std::string fill = "BEGIN;";
  for (int id = 1; id <= 20000; ++id) fill += "INSERT INTO t VALUES" + rowSql(id, random) + ";";
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  /* A fresh connection: nothing of the file is held yet. */
  sqlite_close(m_db);
  m_db = openDb(m_path);
  ASSERT_NE(m_db, nullptr);
  /* A row costs the paths to it in the table and in both indices (whose
  ** keys hold the long texts), and its overflow pages; a statement page 1
  ** and the schema. */
  const long perRow = 24 * 1024, perStatement = 64 * 1024;
  ASSERT_GT(long(fileBytes(m_path).size()), 40 * 12 * perRow);
  const std::pair<const char*, int> changes[] = {
      {"UPDATE small SET x = 'changed'", 1},
      {"UPDATE t SET b = 'changed', a = a || 'longer text' WHERE id = 12345", 1},
      {"UPDATE t SET c = 'moved' WHERE id = 3", 1},
      {"DELETE FROM t WHERE id = 777", 1},
      {"DELETE FROM t WHERE id BETWEEN 5000 AND 5040", 41},
      {"UPDATE t SET a = 'range' WHERE id BETWEEN 9000 AND 9010", 11},
      {"INSERT INTO small VALUES('second')", 1},
      {"INSERT INTO d(x) VALUES('given')", 1},
      {"INSERT INTO t VALUES(30000, 'given', 5, 'c30000')", 1},
      {"INSERT INTO t(a, b, c) VALUES('numbered', 6, 'new')", 1},
      {"INSERT INTO t(a, b, c) SELECT a, b, c || '-copy' FROM t WHERE id BETWEEN 100 AND 109", 20},
      {"BEGIN; UPDATE t SET b = 'in a transaction' WHERE id = 15000; DELETE FROM t WHERE id = "
       "15001; INSERT INTO t VALUES(40000, 'given', 7, 'c40000'); COMMIT",
       3}};
  for (const auto& [change, rows] : changes) {
    SCOPED_TRACE(change);
    long before = bytesRead();
    ASSERT_NO_FATAL_FAILURE(both(change));
    EXPECT_LT(bytesRead() - before, perStatement + rows * perRow);
  }
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  EXPECT_EQ(column(m_db, "SELECT x FROM small"),
            (std::vector<Cell>{Cell("changed"), Cell("second")}));
  EXPECT_EQ(column(m_db, "SELECT x || y || z FROM d"), std::vector<Cell>{Cell("givendflt7")});
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, RowChangesInPlaceKeepTheConstraints) {
  ASSERT_NO_FATAL_FAILURE(
      both("CREATE TABLE u(k INTEGER PRIMARY KEY, n UNIQUE, m TEXT NOT NULL, p, q, "
           "UNIQUE(p, q)); CREATE INDEX um ON u(m);"));
  std::string fill = "BEGIN;";
  for (int k = 1; k <= 3000; ++k) {
    fill += "INSERT INTO u VALUES(" + std::to_string(k) + ", " + std::to_string(k) + ", 'm" +
            std::to_string(k % 7) + "', " + std::to_string(k % 3) + ", " + std::to_string(k) + ");";
  }
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  sqlite_close(m_db);
  m_db = openDb(m_path);
  ASSERT_NE(m_db, nullptr);
  std::string bytes = fileBytes(m_path);
  auto expectRefused = [&](const std::string& sql, const std::string& message) {
    Result r = run(m_db, sql);
    EXPECT_EQ(r.code, SQLITE_CONSTRAINT) << sql;
    EXPECT_EQ(r.error, message) << sql;
    /* The rows changed before the refused one are undone with it. */
    EXPECT_EQ(fileBytes(m_path), bytes) << sql;
  };
  /* 2.x compares the values of a numeric column as numbers. */
  expectRefused("UPDATE u SET n = '2.0' WHERE k = 5", "column n is not unique");
  expectRefused("UPDATE u SET n = n + 1 WHERE k BETWEEN 100 AND 200", "column n is not unique");
  expectRefused("UPDATE u SET m = NULL WHERE k = 2999", "u.m may not be NULL");
  expectRefused("UPDATE u SET q = q + 3 WHERE k >= 2900", "columns p, q are not unique");
  expectRefused("INSERT INTO u VALUES(5, 99999, 'x', 1, 1)", "PRIMARY KEY must be unique");
  expectRefused("INSERT INTO u(n, m, p, q) VALUES('3.0', 'x', 9, 9)", "column n is not unique");
  expectRefused("INSERT INTO u(n, p, q) VALUES(123456, 9, 9)", "u.m may not be NULL");
  expectRefused("INSERT INTO u(n, m, p, q) SELECT n + 500000, m, p, q + 0 FROM u WHERE k > 2990",
                "columns p, q are not unique");
  ASSERT_NO_FATAL_FAILURE(both("INSERT INTO u(n, m, p, q) VALUES(-1, 'new', 1, 100001)"));
  ASSERT_NO_FATAL_FAILURE(
      both("INSERT INTO u(n, m, p, q) SELECT n + 500000, m, p, q + 10000 FROM u WHERE k > 2990"));
  /* A row keeping its own values clashes with nothing. */
  ASSERT_NO_FATAL_FAILURE(both("UPDATE u SET n = n, m = 'same' WHERE k > 10"));
  ASSERT_NO_FATAL_FAILURE(both("DELETE FROM u WHERE m = 'm3'"));
  ASSERT_NO_FATAL_FAILURE(both("UPDATE u SET n = n + 100000, p = 7 WHERE k % 10 = 0"));
  /* A row moving to another rowid keeps its index entries. */
  ASSERT_NO_FATAL_FAILURE(both("UPDATE u SET m = 'moved', k = k + 5000 WHERE k BETWEEN 20 AND 29"));
  Result r = query(m_db, "SELECT k, n, m, p, q FROM u ORDER BY k");
  ASSERT_EQ(r.code, SQLITE_OK) << r.error;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(m_model, "SELECT k, n, m, p, q FROM u ORDER BY k", -1, &stmt, nullptr);
  size_t row = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW && row < r.rows.size()) {
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(r.rows[row][size_t(i)],
                Cell(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i))));
    }
    ++row;
  }
  sqlite3_finalize(stmt);
  EXPECT_EQ(row, r.rows.size());
  /* The indices answer as the rows do. */
  EXPECT_EQ(column(m_db, "SELECT count(*) FROM u WHERE m = 'same'"),
            column(m_db, "SELECT count(*) FROM u WHERE m || '' = 'same'"));
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

/* Runs each of STATEMENTS on PATH, alone or (WHOLE) in a transaction of
** its own on a connection that a TEMP trigger keeps in its full form;
** returns for each its code, message and the rowid of the last insert. */
std::vector<std::string> runEach(const std::string& path,
                                 const std::vector<std::string>& statements, bool whole) {
  std::vector<std::string> outcomes;
  sqlite* db = openDb(path);
  if (!db) return outcomes;
  if (whole) {
    EXPECT_EQ(run(db,
                  "CREATE TEMP TABLE never(x); CREATE TEMP TRIGGER full AFTER INSERT ON never "
                  "BEGIN SELECT 1; END;")
                  .code,
              SQLITE_OK);
  }
  for (const std::string& sql : statements) {
    if (whole) {
      EXPECT_EQ(run(db, "BEGIN").code, SQLITE_OK);
    }
    Result r = run(db, sql);
    if (whole) {
      Result commit = run(db, "COMMIT");
      if (r.code == SQLITE_OK) r = commit;
      if (commit.code != SQLITE_OK) {
        EXPECT_EQ(run(db, "ROLLBACK").code, SQLITE_OK);
      }
    }
    std::string rowid = r.code == SQLITE_OK ? std::to_string(sqlite_last_insert_rowid(db)) : "";
    outcomes.push_back(std::to_string(r.code) + " " + r.error + " " + rowid);
  }
  sqlite_close(db);
  return outcomes;
}

TEST_F(ScaleTest, InsertsInPlaceWriteWhatTheFullFormWrites) {
  ASSERT_NO_FATAL_FAILURE(
      both("CREATE TABLE w(id INTEGER PRIMARY KEY, a NOT NULL DEFAULT 'dflt', b NUMERIC "
           "DEFAULT 7, c TEXT UNIQUE, d); CREATE INDEX wb ON w(b, d);"));
  std::string fill = "BEGIN;";
  for (int id = 1; id <= 400; ++id) {
    std::string n = std::to_string(id);
    fill += "INSERT INTO w VALUES(" + n + ", 'a" + n + "', " + std::to_string(id % 13) + ", 'c" +
            n + "', '" + std::string(size_t(id % 5 * 90), 'd') + "');";
  }
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  sqlite_close(m_db);
  m_db = nullptr;
  std::string fullPath = m_path + "-full.db";
  std::filesystem::copy_file(m_path, fullPath, std::filesystem::copy_options::overwrite_existing);
  const std::vector<std::string> statements = {
      "INSERT INTO w(c) VALUES('defaults')",
      "INSERT INTO w DEFAULT VALUES",
      "INSERT INTO w(b, a, c) VALUES(3, 'no d', 'cnod')",
      "INSERT INTO w(\"c\", d) VALUES('quoted' || 'list', (SELECT max(b) FROM w))",
      "INSERT INTO w(a, c) VALUES('one value short')",
      "INSERT INTO w VALUES(NULL, 'x', 1.50, 'spelled', 007)",
      "INSERT INTO w VALUES('412', 'text rowid', -0, 'c412', 1e3)",
      "INSERT INTO w VALUES('414.0', 'real rowid', 2, 'c414', NULL)",
      "INSERT INTO w VALUES(' 415 ', 'spaced rowid', 2, 'c415', NULL)",
      "INSERT INTO w VALUES('416.5', 'y', 2, 'c416', NULL)",
      "INSERT INTO w VALUES('abc', 'y', 2, 'cabc', NULL)",
      "INSERT INTO w VALUES(2147483648, 'y', 2, 'cbig', NULL)",
      "INSERT INTO w VALUES(-2147483648, 'lowest', 2, 'clow', NULL)",
      "INSERT INTO w VALUES(12, 'taken', 2, 'c-taken', NULL)",
      "INSERT INTO w(a, c) VALUES(NULL, 'cnull')",
      "INSERT INTO w(c, d) VALUES('c1', 'clash')",
      "INSERT INTO w(a, c, d) VALUES('long', 'clong', '" + std::string(5000, 'L') + "')",
      "INSERT INTO w(a, b, c, d) SELECT a, b, c || '-copy', d FROM w WHERE id <= 300",
      "INSERT INTO w(a, c) SELECT a, c FROM w WHERE id = 5",
      "INSERT INTO w VALUES(2147483647, 'top', 1, 'ctop', NULL)"};
  std::vector<std::string> inPlace = runEach(m_path, statements, false);
  std::vector<std::string> full = runEach(fullPath, statements, true);
  ASSERT_EQ(inPlace.size(), statements.size());
  for (size_t i = 0; i < statements.size(); ++i)
    EXPECT_EQ(inPlace[i], full[i]) << statements[i].substr(0, 80);
  for (const std::string& path : {m_path, fullPath}) {
    std::vector<std::string> problems = s2check::CheckFile(path);
    EXPECT_TRUE(problems.empty()) << path << ": " << problems.front();
  }
  m_db = openDb(m_path);
  sqlite* fullDb = openDb(fullPath);
  ASSERT_NE(fullDb, nullptr);
  const char* content = "SELECT id, a, b, c, d FROM w ORDER BY id";
  Result written = query(m_db, content);
  ASSERT_EQ(written.code, SQLITE_OK) << written.error;
  /* Eleven rows given one by one, 301 copies. */
  EXPECT_EQ(written.rows.size(), 400u + 11u + 301u);
  EXPECT_EQ(written.rows, query(fullDb, content).rows);
  sqlite_close(fullDb);
  /* Past the largest rowid a free one is chosen at random. */
  ASSERT_EQ(run(m_db, "INSERT INTO w(c) VALUES('after the top')").code, SQLITE_OK);
  int rowid = sqlite_last_insert_rowid(m_db);
  EXPECT_NE(rowid, 2147483647);
  EXPECT_EQ(column(m_db, "SELECT c FROM w WHERE id = " + std::to_string(rowid)),
            std::vector<Cell>{Cell("after the top")});
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, PartialFormWritesWhatTheWholeFormWrites) {
  ASSERT_NO_FATAL_FAILURE(
      both("CREATE TABLE w(id INTEGER PRIMARY KEY, a NOT NULL DEFAULT 'dflt', b NUMERIC "
           "UNIQUE, c TEXT UNIQUE, d); CREATE INDEX wd ON w(d);"
           "CREATE TABLE wl(x, n);"
           "CREATE TRIGGER w_u AFTER UPDATE ON w BEGIN "
           "INSERT INTO wl VALUES(old.c || '>' || new.c, new.id); END;"
           "CREATE TRIGGER w_keep BEFORE DELETE ON w WHEN old.id = 60 BEGIN "
           "SELECT RAISE(ABORT, 'row 60 stays'); END;"
           "CREATE TRIGGER w_gone AFTER DELETE ON w BEGIN DELETE FROM wl WHERE n = old.id; END;"));
  std::string fill = "BEGIN;";
  for (int id = 1; id <= 400; ++id) {
    std::string n = std::to_string(id);
    fill += "INSERT INTO w VALUES(" + n + ", 'a" + n + "', " + n + ", 'c" + n + "', '" +
            std::string(size_t(id % 5 * 90), 'd') + "');";
  }
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  sqlite_close(m_db);
  m_db = nullptr;
  std::string fullPath = m_path + "-full.db";
  std::filesystem::copy_file(m_path, fullPath, std::filesystem::copy_options::overwrite_existing);
  const std::vector<std::string> statements = {
      "INSERT OR REPLACE INTO w VALUES(5, 'r', 5, 'c7', NULL)",
      "INSERT OR IGNORE INTO w VALUES(6, 'x', 1000, 'c8', NULL)",
      "INSERT OR FAIL INTO w VALUES(1001, 'x', 1001, 'c9', NULL)",
      "INSERT OR ABORT INTO w(b, c) VALUES(1002, 'c3')",
      "INSERT OR REPLACE INTO w(b, c) VALUES('12.0', 'numeric twin')",
      "UPDATE w SET id = id + 1000 WHERE id BETWEEN 10 AND 20",
      "UPDATE w SET id = 30 WHERE id = 31",
      "UPDATE OR REPLACE w SET c = 'c40' WHERE id = 41",
      "UPDATE OR IGNORE w SET b = b + 1 WHERE id BETWEEN 100 AND 110",
      "UPDATE w SET b = '50.0' WHERE id = 51",
      "UPDATE w SET a = NULL WHERE id = 3",
      "UPDATE w SET d = 'trig' WHERE id = 50",
      "DELETE FROM w WHERE id BETWEEN 55 AND 65",
      "DELETE FROM w WHERE id BETWEEN 40 AND 45",
      "INSERT INTO w(rowid, b, c) VALUES(5000, 5000, 'named')",
      "INSERT INTO w(id, b, c) VALUES(8, 8000, 'taken')",
      "INSERT INTO w(b, c) SELECT b + 10000, 'sel' || id FROM w WHERE id < 5",
      "INSERT INTO w DEFAULT VALUES",
      "REPLACE INTO w VALUES(70, 'replaced', 71, 'c72', 'r')"};
  std::vector<std::string> partial = runEach(m_path, statements, false);
  std::vector<std::string> whole = runEach(fullPath, statements, true);
  ASSERT_EQ(partial.size(), statements.size());
  for (size_t i = 0; i < statements.size(); ++i) EXPECT_EQ(partial[i], whole[i]) << statements[i];
  m_db = openDb(m_path);
  sqlite* wholeDb = openDb(fullPath);
  ASSERT_NE(wholeDb, nullptr);
  for (const char* content :
       {"SELECT id, a, b, c, d FROM w ORDER BY id", "SELECT x, n FROM wl ORDER BY rowid"}) {
    Result written = query(m_db, content);
    ASSERT_EQ(written.code, SQLITE_OK) << written.error;
    EXPECT_GT(written.rows.size(), 0u) << content;
    EXPECT_EQ(written.rows, query(wholeDb, content).rows) << content;
  }
  sqlite_close(wholeDb);
  for (const std::string& path : {m_path, fullPath}) {
    std::vector<std::string> problems = s2check::CheckFile(path);
    EXPECT_TRUE(problems.empty()) << path << ": " << problems.front();
  }
}

TEST_F(ScaleTest, TransactionsMoveFromFormToFormWithTheirChanges) {
  std::string fill = std::string("BEGIN;") + kTriggerSchema;
  for (int id = 1; id <= 20; ++id) {
    fill += "INSERT INTO acct VALUES(" + std::to_string(id) + ", 'o" + std::to_string(id) + "', " +
            std::to_string(id * 10) + ");";
  }
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  auto expectSame = [&](const std::string& when) {
    for (const char* sql : {"SELECT id, owner, bal FROM acct ORDER BY id",
                            "SELECT what, id, bal FROM log ORDER BY rowid", "SELECT x, y, z FROM d",
                            "SELECT x FROM small",
                            "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"}) {
      Result r = query(m_db, sql);
      ASSERT_EQ(r.code, SQLITE_OK) << r.error;
      EXPECT_EQ(r.rows, modelQuery(m_model, sql)) << sql << " " << when;
    }
  };
  const std::vector<std::vector<std::string>> transactions = {
      /* lazy, then partial, then a table named later, then whole */
      {"BEGIN", "INSERT INTO d(x) VALUES('lazy')", "UPDATE acct SET bal = 1 WHERE id = 1",
       "UPDATE small SET x = 'loaded later'", "INSERT OR REPLACE INTO acct VALUES(2, 'o3', 2)",
       "CREATE TABLE extra(x)", "UPDATE acct SET bal = 3 WHERE id = 4", "COMMIT"},
      /* the same rolled back */
      {"BEGIN", "INSERT INTO d(x) VALUES('gone')", "UPDATE acct SET bal = 5 WHERE id = 5",
       "UPDATE small SET x = 'gone'", "CREATE TABLE gone(x)",
       "UPDATE acct SET bal = 6 WHERE id = 6", "ROLLBACK"},
      {"BEGIN", "INSERT INTO d(x) VALUES('gone')", "UPDATE acct SET bal = 7 WHERE id = 7",
       "UPDATE small SET x = 'gone'", "ROLLBACK"},
      /* ended by a conflict inside SQLite 3: nothing of it may reach the
      ** file later, from the partial form or from the whole one */
      {"BEGIN", "INSERT INTO d(x) VALUES('gone')", "UPDATE acct SET bal = 8 WHERE id = 8",
       "INSERT OR ROLLBACK INTO acct VALUES(9, 'o10', 0)", "UPDATE acct SET bal = 9 WHERE id = 9"},
      {"BEGIN", "INSERT INTO d(x) VALUES('gone')", "CREATE TABLE gone(x)",
       "INSERT OR ROLLBACK INTO acct VALUES(10, 'o11', 0)", "CREATE TABLE after(x)"},
      {"UPDATE acct SET bal = 11 WHERE id = 11"},
      /* a failing statement undoes only itself */
      {"BEGIN", "UPDATE acct SET bal = 12 WHERE id = 12",
       "UPDATE acct SET owner = 'o14' WHERE id = 13", "INSERT INTO d(x) VALUES('kept')", "COMMIT"}};
  for (size_t i = 0; i < transactions.size(); ++i) {
    for (const std::string& sql : transactions[i]) ASSERT_NO_FATAL_FAILURE(same(sql)) << i;
    ASSERT_NO_FATAL_FAILURE(expectSame("after " + std::to_string(i)));
  }
  sqlite_close(m_db);
  m_db = openDb(m_path);
  ASSERT_NO_FATAL_FAILURE(expectSame("reopened"));
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, TempTriggersFireOnEveryWrite) {
  std::mt19937 random(3);
  std::string fill = "BEGIN;";
  for (int id = 1; id <= 2000; ++id) fill += "INSERT INTO t VALUES" + rowSql(id, random) + ";";
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  ASSERT_NO_FATAL_FAILURE(
      both("CREATE TEMP TABLE log(what, id);"
           "CREATE TEMP TRIGGER tu AFTER UPDATE ON t BEGIN INSERT INTO log VALUES('u', new.id); "
           "END;"
           "CREATE TEMP TRIGGER ti AFTER INSERT ON t BEGIN INSERT INTO log VALUES('i', new.id); "
           "END;"
           "CREATE TEMP TRIGGER td BEFORE DELETE ON t BEGIN INSERT INTO log VALUES('d', old.id); "
           "END;"));
  /* A query between the writes must not lose the triggers either. */
  const char* writes[] = {"SELECT count(*) FROM t",
                          "UPDATE t SET b = 'x' WHERE id = 7",
                          "SELECT a FROM t WHERE id = 8",
                          "DELETE FROM t WHERE id = 9",
                          "INSERT INTO t VALUES(5000, 'new', 1, 'c5000')",
                          "INSERT INTO t(a, b, c) VALUES('numbered', 2, 'c-numbered')"};
  for (const char* sql : writes) ASSERT_NO_FATAL_FAILURE(both(sql));
  Result log = query(m_db, "SELECT what, id FROM log ORDER BY rowid");
  ASSERT_EQ(log.code, SQLITE_OK) << log.error;
  EXPECT_EQ(log.rows, (std::vector<std::vector<Cell>>{{Cell("u"), Cell("7")},
                                                      {Cell("d"), Cell("9")},
                                                      {Cell("i"), Cell("5000")},
                                                      {Cell("i"), Cell("5001")}}));
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
}

TEST_F(ScaleTest, TriggerWritesOnSmallTablesReadAFewPagesOfALargeFile) {
  ASSERT_NO_FATAL_FAILURE(fillLargeWithSmallTables(17));
  ASSERT_GT(long(fileBytes(m_path).size()), 10L << 20);
  /* Page 1, the schema, acct and log (and the paths to a few rows of t):
  ** never the 20000 rows of t. */
  const long perStatement = 96 * 1024;
  const char* changes[] = {
      "UPDATE acct SET bal = bal + 1 WHERE id = 3",
      "INSERT OR REPLACE INTO acct VALUES(4, 'o5', 45)",
      "UPDATE acct SET id = 100 WHERE id = 6",
      "UPDATE OR IGNORE acct SET owner = 'o8' WHERE id = 7",
      "INSERT INTO rich(owner, bal) VALUES('viewed', 200)",
      "INSERT INTO acct(id, owner, bal) VALUES(50, 'named rowid', 1)",
      "DELETE FROM acct WHERE id = 9",
      "BEGIN; UPDATE t SET b = 'lazy first' WHERE id = 15000; "
      "UPDATE acct SET bal = 0 WHERE id = 10; UPDATE t SET b = 'then loaded' WHERE id = 15001; "
      "COMMIT",
      "BEGIN; UPDATE acct SET bal = -1 WHERE id = 11; ROLLBACK"};
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    std::string before = fileBytes(m_path);
    long read = bytesRead();
    ASSERT_NO_FATAL_FAILURE(both(change));
    read = bytesRead() - read;
    /* The last statement of the transaction names t: t is loaded then,
    ** and that one may read it whole. */
    if (!std::string_view(change).starts_with("BEGIN; UPDATE t")) {
      EXPECT_LT(read, perStatement);
    }
    EXPECT_LE(changedPages(before, fileBytes(m_path)), 24u);
  }
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  const char* content[] = {"SELECT id, owner, bal FROM acct ORDER BY id",
                           "SELECT what, id, bal FROM log ORDER BY rowid"};
  for (const char* sql : content) {
    Result r = query(m_db, sql);
    ASSERT_EQ(r.code, SQLITE_OK) << r.error;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(m_model, sql, -1, &stmt, nullptr);
    std::vector<std::vector<Cell>> expected;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<Cell> row;
      for (int i = 0; i < 3; ++i) {
        const unsigned char* v = sqlite3_column_text(stmt, i);
        row.push_back(v ? Cell(reinterpret_cast<const char*>(v)) : Cell());
      }
      expected.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    EXPECT_EQ(r.rows, expected) << sql;
  }
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, SchemaChangesReadAndWriteAFewPagesOfALargeFile) {
  ASSERT_NO_FATAL_FAILURE(fillLargeWithSmallTables(23));
  /* Page 1, the schema and the small tables a change names: never t. */
  const long perStatement = 96 * 1024;
  const char* changes[] = {
      "CREATE INDEX acct_bal ON acct(bal)",
      "CREATE UNIQUE INDEX acct_owner_bal ON acct(owner, bal)",
      "CREATE VIEW poor AS SELECT id, owner FROM acct WHERE bal < 50",
      "CREATE VIEW t_few AS SELECT id, a FROM t WHERE id < 5",
      "CREATE TRIGGER acct_i AFTER INSERT ON acct BEGIN "
      "INSERT INTO log VALUES('i', new.id, new.bal); END",
      "INSERT INTO acct(owner, bal) VALUES('after trigger', 7)",
      "CREATE TABLE fresh(p INTEGER PRIMARY KEY, q UNIQUE)",
      "INSERT INTO fresh VALUES(1, 'one')",
      "CREATE TABLE copied AS SELECT id, owner FROM acct WHERE bal > 60",
      "DROP INDEX acct_bal",
      "DROP VIEW poor",
      "DROP TRIGGER acct_i",
      "DROP TABLE fresh",
      "BEGIN; CREATE TABLE tx(a); INSERT INTO tx VALUES('in tx'); "
      "UPDATE acct SET bal = bal + 5 WHERE id = 2; CREATE INDEX tx_a ON tx(a); "
      "DROP TABLE copied; COMMIT",
      "BEGIN; UPDATE t SET b = 'lazy' WHERE id = 19000; CREATE VIEW rich2 AS SELECT * FROM rich; "
      "DELETE FROM acct WHERE id = 4; COMMIT",
      "BEGIN; CREATE TABLE gone(a); DROP INDEX acct_owner_bal; "
      "UPDATE acct SET bal = 0 WHERE id = 3; ROLLBACK"};
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    std::string before = fileBytes(m_path);
    long read = bytesRead();
    ASSERT_NO_FATAL_FAILURE(both(change));
    read = bytesRead() - read;
    EXPECT_LT(read, perStatement);
    EXPECT_LE(changedPages(before, fileBytes(m_path)), 24u);
  }
  /* A unique index the rows refuse leaves the file as it was. */
  ASSERT_NO_FATAL_FAILURE(
      both("INSERT INTO log VALUES('x', 1, 1); INSERT INTO log VALUES('x', 2, 2)"));
  std::string before = fileBytes(m_path);
  Result refused = run(m_db, "CREATE UNIQUE INDEX log_what ON log(what)");
  EXPECT_EQ(refused.code, SQLITE_CONSTRAINT) << refused.error;
  EXPECT_TRUE(fileBytes(m_path) == before);

  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  const char* content[] = {
      "SELECT id, owner, bal FROM acct ORDER BY id", "SELECT what, id, bal FROM log ORDER BY rowid",
      "SELECT a FROM tx",
      "SELECT type, name, tbl_name FROM sqlite_master WHERE sql NOT NULL ORDER BY name",
      "SELECT id, a, 1 FROM t_few ORDER BY id"};
  for (const char* sql : content) {
    Result r = query(m_db, sql);
    ASSERT_EQ(r.code, SQLITE_OK) << r.error;
    EXPECT_EQ(r.rows, modelQuery(m_model, sql)) << sql;
  }
  /* The indices made in place are used and agree with their tables. */
  Result byIndex = query(m_db, "SELECT a FROM tx WHERE a = 'in tx'");
  ASSERT_EQ(byIndex.code, SQLITE_OK) << byIndex.error;
  EXPECT_EQ(byIndex.rows.size(), 1u);
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, TriggerAndConflictWritesMatchSQLite3) {
  /* Every write of t fires a trigger or has a conflict clause, so each
  ** loads t and hist and leaves the other tables virtual; writes of d
  ** and small run lazily, and in a transaction join the same commit. */
  std::mt19937 random(777);
  std::string fill =
      "BEGIN; CREATE TABLE hist(id, b);"
      "CREATE TRIGGER t_b AFTER UPDATE OF b ON t BEGIN INSERT INTO hist VALUES(new.id, new.b); END;"
      "CREATE TRIGGER t_d AFTER DELETE ON t WHEN old.id % 3 = 0 BEGIN "
      "DELETE FROM hist WHERE id = old.id; END;";
  for (int id = 1; id <= 5000; ++id) fill += "INSERT INTO t VALUES" + rowSql(id, random) + ";";
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  auto expectSameContent = [&](const std::string& when) {
    ASSERT_NO_FATAL_FAILURE(expectSameRows()) << when;
    for (const char* sql : {"SELECT id, b FROM hist ORDER BY rowid", "SELECT x, y, z FROM d",
                            "SELECT x FROM small"}) {
      Result r = query(m_db, sql);
      ASSERT_EQ(r.code, SQLITE_OK) << r.error;
      ASSERT_EQ(r.rows, modelQuery(m_model, sql)) << sql << " " << when;
    }
  };
  int nextId = 5001;
  for (int commit = 0; commit < 60; ++commit) {
    bool transaction = commit % 3 != 0;
    int statements = transaction ? 1 + int(random() % 12) : 1;
    std::vector<std::string> list;
    for (int s = 0; s < statements; ++s) {
      int id = 1 + int(random() % unsigned(nextId));
      std::string n = std::to_string(id), serial = std::to_string(nextId++);
      switch (random() % 9) {
        case 0:
          list.push_back("INSERT INTO t VALUES" + rowSql(nextId++, random));
          break;
        case 1:
          list.push_back("DELETE FROM t WHERE id BETWEEN " + n + " AND " +
                         std::to_string(id + int(random() % 20)));
          break;
        case 2:
          list.push_back("UPDATE t SET b = '" + std::to_string(random() % 400) +
                         "', a = a || 'y' WHERE id = " + n);
          break;
        case 3:
          /* Replaces row id and the row whose c it takes. */
          list.push_back("INSERT OR REPLACE INTO t VALUES(" + n + ", 'replaced', " + serial +
                         ", 'c" + std::to_string(1 + random() % unsigned(nextId)) + "')");
          break;
        case 4:
          list.push_back("UPDATE t SET id = " + serial + ", b = 'moved' WHERE id = " + n);
          break;
        case 5:
          list.push_back("UPDATE OR IGNORE t SET c = 'c' || (id + 1) WHERE id BETWEEN " + n +
                         " AND " + std::to_string(id + 5));
          break;
        case 6:
          list.push_back("INSERT INTO d(x) VALUES('" + serial + "')");
          break;
        case 7:
          list.push_back("UPDATE small SET x = '" + serial + "'");
          break;
        default:
          /* More rows than are counted one by one. */
          list.push_back(random() % 4 == 0 ? "UPDATE t SET a = a || 'w'"
                                           : "INSERT INTO t VALUES((SELECT min(id) FROM t), "
                                             "'x', 1, 'dup" +
                                                 serial + "')");
          break;
      }
    }
    if (!transaction) {
      ASSERT_NO_FATAL_FAILURE(same(list[0]));
      ASSERT_NO_FATAL_FAILURE(expectSameContent("after commit " + std::to_string(commit)));
      continue;
    }
    bool rollback = random() % 4 == 0;
    ASSERT_NO_FATAL_FAILURE(both("BEGIN"));
    for (size_t s = 0; s < list.size(); ++s) {
      ASSERT_NO_FATAL_FAILURE(same(list[s])) << "in transaction " << commit;
      if (s == list.size() / 2 && random() % 3 == 0) {
        ASSERT_NO_FATAL_FAILURE(expectSameContent("in transaction " + std::to_string(commit)));
      }
    }
    ASSERT_NO_FATAL_FAILURE(both(rollback ? "ROLLBACK" : "COMMIT"));
    ASSERT_NO_FATAL_FAILURE(expectSameContent("after transaction " + std::to_string(commit)));
  }
  /* A connection closed in a transaction leaves the file as it was. */
  ASSERT_EQ(run(m_db, "BEGIN; UPDATE t SET b = 'gone' WHERE id < 100; DELETE FROM small").code,
            SQLITE_OK);
  sqlite_close(m_db);
  m_db = openDb(m_path);
  ASSERT_NO_FATAL_FAILURE(expectSameContent("after close"));
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, DamageStaysInTheTableThatHasIt) {
  std::mt19937 random(9);
  std::string fill = "BEGIN;";
  for (int id = 1; id <= 2000; ++id) fill += "INSERT INTO t VALUES" + rowSql(id, random) + ";";
  ASSERT_NO_FATAL_FAILURE(both(fill + "COMMIT;"));
  sqlite_close(m_db);
  m_db = nullptr;
  s2::Image image = storedImage(m_path);
  int32_t root = 0;
  for (const s2::MasterEntry& e : image.master) {
    if (e.name == "t") root = e.rootpage;
  }
  ASSERT_GT(root, 0);
  std::string bytes = fileBytes(m_path);
  bytes[size_t(root - 1) * 1024 + 4] = 3; /* a cell offset no multiple of 4 */
  bytes[size_t(root - 1) * 1024 + 5] = 0;
  std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
  m_db = openDb(m_path);
  ASSERT_NE(m_db, nullptr);
  EXPECT_EQ(column(m_db, "SELECT x FROM small"), std::vector<Cell>{Cell("only")});
  Result damaged = query(m_db, "SELECT count(a) FROM t");
  EXPECT_EQ(damaged.code, SQLITE_CORRUPT);
  EXPECT_EQ(damaged.error, "database disk image is malformed (page " + std::to_string(root) + ")");
  /* No write goes to a damaged table; a sound one takes writes, as in 2.x,
  ** and leaves the damaged page as it is. */
  for (const char* write :
       {"INSERT INTO t(a, b, c) VALUES('more', 1, 'more')",
        "INSERT INTO t VALUES(5000, 'more', 1, 'more')", "UPDATE t SET a = 'more' WHERE id = 5"}) {
    Result refused = run(m_db, write);
    EXPECT_EQ(refused.code, SQLITE_CORRUPT) << write;
    EXPECT_EQ(fileBytes(m_path), bytes) << write;
  }
  ASSERT_EQ(run(m_db, "INSERT INTO small VALUES('more')").code, SQLITE_OK);
  EXPECT_EQ(column(m_db, "SELECT x FROM small"), (std::vector<Cell>{Cell("only"), Cell("more")}));
  EXPECT_EQ(fileBytes(m_path).compare(size_t(root - 1) * 1024, 1024, bytes, size_t(root - 1) * 1024,
                                      1024),
            0);
}

}  // namespace
