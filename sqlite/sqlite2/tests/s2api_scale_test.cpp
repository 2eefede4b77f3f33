/*
** The engine on large files through the C interface: changes of a few rows
** write a few pages and leave a file the structural checker accepts; a
** random mix of inserts, updates and deletes on a large table (page splits
** and merges at every level, overflow pages, an index and a unique index)
** matches SQLite 3 running the same statements after every commit; damage
** in one table leaves the others readable and names the damaged page.
*/
#include "s2api_helpers.h"
#include "s2check.h"

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
    "INSERT INTO small VALUES('only');";

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
  for (int commit = 0; commit < 60; ++commit) {
    std::string sql = commit % 3 ? "BEGIN;" : "";
    int statements = commit % 3 ? 1 + int(random() % 40) : 1;
    for (int s = 0; s < statements; ++s) {
      int id = 1 + int(random() % unsigned(nextId));
      switch (random() % 4) {
        case 0:
          sql += "INSERT INTO t VALUES" + rowSql(nextId++, random) + ";";
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
    }
    ASSERT_NO_FATAL_FAILURE(both(sql + (commit % 3 ? "COMMIT;" : "")));
    ASSERT_NO_FATAL_FAILURE(expectSameRows()) << "after commit " << commit;
  }
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
                           "DELETE FROM t WHERE id = 777"};
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    std::string before = fileBytes(m_path);
    ASSERT_NO_FATAL_FAILURE(both(change));
    /* The table's path, the paths in the two indices, page 1. */
    EXPECT_LE(changedPages(before, fileBytes(m_path)), 16u);
  }
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  std::vector<std::string> problems = s2check::CheckFile(m_path);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(ScaleTest, UpdatesAndDeletesReadAFewPagesOfALargeFile) {
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
      {"UPDATE t SET a = 'range' WHERE id BETWEEN 9000 AND 9010", 11}};
  for (const auto& [change, rows] : changes) {
    SCOPED_TRACE(change);
    long before = bytesRead();
    ASSERT_NO_FATAL_FAILURE(both(change));
    EXPECT_LT(bytesRead() - before, perStatement + rows * perRow);
  }
  ASSERT_NO_FATAL_FAILURE(expectSameRows());
  EXPECT_EQ(column(m_db, "SELECT x FROM small"), std::vector<Cell>{Cell("changed")});
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
  Result damaged = query(m_db, "SELECT count(*) FROM t");
  EXPECT_EQ(damaged.code, SQLITE_CORRUPT);
  EXPECT_EQ(damaged.error, "database disk image is malformed (page " + std::to_string(root) + ")");
  /* No write goes to a damaged file. */
  Result write = run(m_db, "INSERT INTO small VALUES('more')");
  EXPECT_EQ(write.code, SQLITE_CORRUPT);
  EXPECT_EQ(fileBytes(m_path), bytes);
}

}  // namespace
