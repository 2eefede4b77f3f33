/*
** Tests of the 2.x C interface contract: opening, transactions and when
** the file is written, sqlite_compile/sqlite_step/sqlite_finalize,
** sqlite_get_table's layout, callbacks, locking against a second
** connection and the postponed close.
*/
#include "s2api_helpers.h"

#include "s2check.h"

#include <cstring>

using namespace s2api;

namespace {

using Rows = std::vector<std::vector<Cell>>;

TEST(S2ApiInterface, OpenCreatesMissingFilesAndRefusesOthers) {
  std::string path = freshPath("open-new");
  char* error = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &error);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(error, nullptr);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  EXPECT_TRUE(query(db, "SELECT * FROM sqlite_master").rows.empty());
  sqlite_close(db);

  std::string text = freshPath("open-text");
  {
    std::ofstream out(text, std::ios::binary);
    out << std::string(2048, 'x');
  }
  EXPECT_EQ(sqlite_open(text.c_str(), 0, &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error, "file is encrypted or is not a database");
  sqlite_freemem(error);
  EXPECT_EQ(fileBytes(text), std::string(2048, 'x'));

  std::string missing = std::string(XB_BINARY_DIR) + "/s2api-tests/no/such/dir.db";
  EXPECT_EQ(sqlite_open(missing.c_str(), 0, &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(std::string(error), "unable to open database: " + missing);
  sqlite_freemem(error);

  db = sqlite_open(":memory:", 0, nullptr);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(run(db, "CREATE TABLE m(a); INSERT INTO m VALUES(1.50)").code, SQLITE_OK);
  EXPECT_EQ(column(db, "SELECT a FROM m"), std::vector<Cell>{"1.50"});
  sqlite_close(db);
}

TEST(S2ApiInterface, TransactionsWriteOnlyAtCommit) {
  std::string path = freshPath("transactions");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db, "CREATE TABLE t(a)").code, SQLITE_OK);
  std::string before = fileBytes(path);
  ASSERT_EQ(
      run(db, "BEGIN; INSERT INTO t VALUES(1); CREATE TABLE u(b); INSERT INTO u VALUES(2)").code,
      SQLITE_OK);
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(column(db, "SELECT count(*) FROM t"), std::vector<Cell>{"1"});
  ASSERT_EQ(run(db, "ROLLBACK").code, SQLITE_OK);
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(column(db, "SELECT count(*) FROM t"), std::vector<Cell>{"0"});
  EXPECT_EQ(run(db, "SELECT * FROM u").error, "no such table: u");

  ASSERT_EQ(run(db, "BEGIN TRANSACTION; INSERT INTO t VALUES(1); INSERT INTO t VALUES(2)").code,
            SQLITE_OK);
  /* A failing statement inside the transaction undoes only itself. */
  EXPECT_NE(run(db, "INSERT INTO t VALUES(1, 2)").code, SQLITE_OK);
  EXPECT_EQ(fileBytes(path), before);
  ASSERT_EQ(run(db, "END TRANSACTION").code, SQLITE_OK);
  EXPECT_EQ(storedRows(storedImage(path), "t").size(), 2u);
  EXPECT_TRUE(s2check::CheckFile(path).empty());

  /* Closing inside a transaction rolls it back. */
  std::string committed = fileBytes(path);
  ASSERT_EQ(run(db, "BEGIN; DELETE FROM t").code, SQLITE_OK);
  sqlite_close(db);
  EXPECT_EQ(fileBytes(path), committed);
  db = openDb(path);
  EXPECT_EQ(column(db, "SELECT count(*) FROM t"), std::vector<Cell>{"2"});
  EXPECT_EQ(run(db, "DELETE FROM t").code, SQLITE_OK);
  sqlite_close(db);
}

TEST(S2ApiInterface, EmptyingATableReachesTheFile) {
  std::string path = freshPath("delete-all");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db,
                "CREATE TABLE t(a); CREATE TABLE u(b); CREATE TABLE log(c);"
                "INSERT INTO t VALUES(1); INSERT INTO t VALUES(2); INSERT INTO log VALUES('x');"
                "CREATE TRIGGER clear AFTER INSERT ON u BEGIN DELETE FROM log; END")
                .code,
            SQLITE_OK);
  ASSERT_EQ(run(db, "DELETE FROM t").code, SQLITE_OK);
  EXPECT_EQ(sqlite_changes(db), 0);
  ASSERT_EQ(run(db, "INSERT INTO u VALUES(1)").code, SQLITE_OK);
  sqlite_close(db);
  s2::Image image = storedImage(path);
  EXPECT_TRUE(storedRows(image, "t").empty());
  EXPECT_TRUE(storedRows(image, "log").empty());
  EXPECT_EQ(storedRows(image, "u").size(), 1u);
}

TEST(S2ApiInterface, CompileStepAndFinalize) {
  sqlite* db = openDb(freshPath("vm"));
  ASSERT_EQ(
      run(db, "CREATE TABLE t(a TEXT UNIQUE, b INTEGER); INSERT INTO t VALUES('x', NULL)").code,
      SQLITE_OK);

  const char* sql = "  SELECT a, b AS bee FROM t WHERE a = 'none' ; INSERT INTO t VALUES('x', 1)";
  const char* tail = nullptr;
  sqlite_vm* vm = nullptr;
  char* error = nullptr;
  ASSERT_EQ(sqlite_compile(db, sql, &tail, &vm, &error), SQLITE_OK);
  ASSERT_NE(vm, nullptr);
  EXPECT_STREQ(tail, " INSERT INTO t VALUES('x', 1)");
  int ncol = -1;
  const char** values = reinterpret_cast<const char**>(1);
  const char** names = nullptr;
  /* No rows: DONE at once, still with the column count and names. */
  EXPECT_EQ(sqlite_step(vm, &ncol, &values, &names), SQLITE_DONE);
  EXPECT_EQ(ncol, 2);
  EXPECT_EQ(values, nullptr);
  ASSERT_NE(names, nullptr);
  EXPECT_STREQ(names[0], "a");
  EXPECT_STREQ(names[1], "bee");
  EXPECT_STREQ(names[2], "TEXT");
  EXPECT_STREQ(names[3], "INTEGER");
  EXPECT_EQ(sqlite_step(vm, &ncol, &values, &names), SQLITE_MISUSE);
  EXPECT_EQ(sqlite_finalize(vm, &error), SQLITE_OK);
  EXPECT_EQ(error, nullptr);

  /* A runtime error: SQLITE_ERROR from the step, the real code from
  ** finalize. */
  ASSERT_EQ(sqlite_compile(db, tail, &tail, &vm, &error), SQLITE_OK);
  EXPECT_EQ(sqlite_step(vm, &ncol, &values, &names), SQLITE_ERROR);
  EXPECT_EQ(sqlite_finalize(vm, &error), SQLITE_CONSTRAINT);
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error, "column a is not unique");
  sqlite_freemem(error);
  EXPECT_STREQ(tail, "");

  /* Only white space and comments: no machine. */
  ASSERT_EQ(sqlite_compile(db, " -- nothing\n ", &tail, &vm, &error), SQLITE_OK);
  EXPECT_EQ(vm, nullptr);
  EXPECT_EQ(sqlite_compile(db, "SELECT * FROM nowhere", &tail, &vm, &error), SQLITE_ERROR);
  EXPECT_EQ(vm, nullptr);
  EXPECT_STREQ(error, "no such table: nowhere");
  sqlite_freemem(error);

  /* Rows, with NULL as a null pointer; finalize before the end. */
  ASSERT_EQ(sqlite_compile(db, "SELECT a, b FROM t", nullptr, &vm, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite_step(vm, &ncol, &values, &names), SQLITE_ROW);
  EXPECT_STREQ(values[0], "x");
  EXPECT_EQ(values[1], nullptr);
  EXPECT_EQ(sqlite_finalize(vm, nullptr), SQLITE_OK);
  sqlite_close(db);
}

TEST(S2ApiInterface, GetTableLayoutAndCallbacks) {
  sqlite* db = openDb(freshPath("get-table"));
  ASSERT_EQ(
      run(db, "CREATE TABLE t(a, b); INSERT INTO t VALUES(1, NULL); INSERT INTO t VALUES('', 'y')")
          .code,
      SQLITE_OK);
  char** table = nullptr;
  int nrow = -1, ncol = -1;
  ASSERT_EQ(sqlite_get_table(db, "SELECT * FROM t", &table, &nrow, &ncol, nullptr), SQLITE_OK);
  ASSERT_EQ(nrow, 2);
  ASSERT_EQ(ncol, 2);
  EXPECT_STREQ(table[0], "a");
  EXPECT_STREQ(table[1], "b");
  EXPECT_STREQ(table[2], "1");
  EXPECT_EQ(table[3], nullptr);
  EXPECT_STREQ(table[4], "");
  EXPECT_STREQ(table[5], "y");
  sqlite_free_table(table);

  /* Zero rows: no names unless empty_result_callbacks is on, but an array
  ** that must be freed all the same. */
  ASSERT_EQ(sqlite_get_table(db, "SELECT * FROM t WHERE 0", &table, &nrow, &ncol, nullptr),
            SQLITE_OK);
  EXPECT_NE(table, nullptr);
  EXPECT_EQ(nrow, 0);
  EXPECT_EQ(ncol, 0);
  sqlite_free_table(table);
  ASSERT_EQ(run(db, "PRAGMA empty_result_callbacks = ON").code, SQLITE_OK);
  ASSERT_EQ(sqlite_get_table(db, "SELECT * FROM t WHERE 0", &table, &nrow, &ncol, nullptr),
            SQLITE_OK);
  EXPECT_EQ(nrow, 0);
  ASSERT_EQ(ncol, 2);
  EXPECT_STREQ(table[0], "a");
  sqlite_free_table(table);
  sqlite_free_table(nullptr);

  char* error = nullptr;
  EXPECT_EQ(
      sqlite_get_table(db, "SELECT a FROM t; SELECT a, b FROM t", &table, &nrow, &ncol, &error),
      SQLITE_ERROR);
  EXPECT_EQ(table, nullptr);
  EXPECT_STREQ(error, "sqlite_get_table() called with two or more incompatible queries");
  sqlite_freemem(error);

  /* A callback that asks to stop ends the call with SQLITE_ABORT. */
  int calls = 0;
  auto stop = [](void* arg, int, char**, char**) -> int { return ++*static_cast<int*>(arg) >= 1; };
  EXPECT_EQ(sqlite_exec(db, "SELECT * FROM t", stop, &calls, &error), SQLITE_ABORT);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(error, nullptr);
  sqlite_close(db);
}

TEST(S2ApiInterface, SecondConnectionSeesChangesAndLocks) {
  std::string path = freshPath("two-connections");
  sqlite* a = openDb(path);
  sqlite* b = openDb(path);
  ASSERT_EQ(run(a, "CREATE TABLE t(v); INSERT INTO t VALUES('from a')").code, SQLITE_OK);
  EXPECT_EQ(column(b, "SELECT v FROM t"), std::vector<Cell>{"from a"});
  ASSERT_EQ(run(b, "INSERT INTO t VALUES('from b')").code, SQLITE_OK);
  EXPECT_EQ(column(a, "SELECT count(*) FROM t"), std::vector<Cell>{"2"});

  /* BEGIN takes the write lock: the other connection can neither read
  ** nor write until COMMIT. */
  ASSERT_EQ(run(a, "BEGIN; INSERT INTO t VALUES('pending')").code, SQLITE_OK);
  Result locked = run(b, "SELECT count(*) FROM t");
  EXPECT_EQ(locked.code, SQLITE_BUSY);
  EXPECT_EQ(locked.error, "database is locked");
  EXPECT_EQ(run(b, "INSERT INTO t VALUES('refused')").code, SQLITE_BUSY);
  ASSERT_EQ(run(a, "COMMIT").code, SQLITE_OK);
  EXPECT_EQ(column(b, "SELECT count(*) FROM t"), std::vector<Cell>{"3"});
  /* A COMMIT or ROLLBACK outside a transaction leaves no lock behind. */
  EXPECT_EQ(run(a, "COMMIT").code, SQLITE_ERROR);
  EXPECT_EQ(run(a, "ROLLBACK").code, SQLITE_ERROR);
  EXPECT_EQ(run(b, "UPDATE t SET v = v WHERE 0").code, SQLITE_OK);
  EXPECT_EQ(run(b, "BEGIN; COMMIT").code, SQLITE_OK);

  /* An unfinished SELECT holds the read lock: writing elsewhere waits. */
  sqlite_vm* vm = nullptr;
  ASSERT_EQ(sqlite_compile(a, "SELECT v FROM t", nullptr, &vm, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite_step(vm, nullptr, nullptr, nullptr), SQLITE_ROW);
  EXPECT_EQ(run(b, "DELETE FROM t").code, SQLITE_BUSY);
  EXPECT_EQ(sqlite_finalize(vm, nullptr), SQLITE_OK);
  EXPECT_EQ(run(b, "DELETE FROM t WHERE v = 'pending'").code, SQLITE_OK);
  EXPECT_EQ(column(a, "SELECT count(*) FROM t"), std::vector<Cell>{"2"});
  sqlite_close(a);
  sqlite_close(b);
  EXPECT_TRUE(s2check::CheckFile(path).empty());
}

TEST(S2ApiInterface, CloseWaitsForLiveMachines) {
  sqlite* db = openDb(freshPath("close-later"));
  ASSERT_EQ(run(db, "CREATE TABLE t(a); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2)").code,
            SQLITE_OK);
  sqlite_vm* vm = nullptr;
  ASSERT_EQ(sqlite_compile(db, "SELECT a FROM t", nullptr, &vm, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite_step(vm, nullptr, nullptr, nullptr), SQLITE_ROW);
  sqlite_close(db);
  EXPECT_EQ(sqlite_step(vm, nullptr, nullptr, nullptr), SQLITE_MISUSE);
  EXPECT_EQ(sqlite_finalize(vm, nullptr), SQLITE_MISUSE);
}

}  // namespace
