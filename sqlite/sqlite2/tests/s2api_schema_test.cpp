/*
** Tests of the schema as the 2.x interface shows it: sqlite_master rows
** with the statements as written, automatic indices by their 2.x names,
** root pages of the written file; refusal of statements 2.8.17 has no
** grammar for; views and triggers; the 2.x error texts.
*/
#include "s2api_helpers.h"

#include "s2check.h"

using namespace s2api;

namespace {

using Rows = std::vector<std::vector<Cell>>;

TEST(S2ApiSchema, MasterShowsStatementsAsWrittenAndAutomaticIndices) {
  std::string path = freshPath("master");
  sqlite* db = openDb(path);
  const std::string table =
      "create   table \"My Tab\" ( a INT PRIMARY KEY, -- key\n b UNIQUE, c, d, UNIQUE(c,d) )";
  ASSERT_EQ(run(db, table + ";").code, SQLITE_OK);
  ASSERT_EQ(run(db,
                "CREATE TABLE p(id INTEGER PRIMARY KEY, v TEXT UNIQUE);"
                "CREATE VIEW vv AS SELECT a, b FROM \"My Tab\" WHERE a > 1;;"
                "CREATE TRIGGER tr AFTER INSERT ON p BEGIN UPDATE p SET v = upper(v) WHERE id = "
                "new.id; END;"
                "create index ip on p(v, id) ON CONFLICT REPLACE")
                .code,
            SQLITE_OK);
  Result master = query(db, "SELECT * FROM sqlite_master");
  ASSERT_EQ(master.code, SQLITE_OK) << master.error;
  EXPECT_EQ(master.names,
            (std::vector<std::string>{"type", "name", "tbl_name", "rootpage", "sql"}));
  const Rows expected = {
      {"table", "My Tab", "My Tab", "6", table},
      {"index", "(My Tab autoindex 1)", "My Tab", "3", std::nullopt},
      {"index", "(My Tab autoindex 2)", "My Tab", "4", std::nullopt},
      {"index", "(My Tab autoindex 3)", "My Tab", "5", std::nullopt},
      {"table", "p", "p", "8", "CREATE TABLE p(id INTEGER PRIMARY KEY, v TEXT UNIQUE)"},
      {"index", "(p autoindex 1)", "p", "7", std::nullopt},
      {"view", "vv", "vv", "0", "CREATE VIEW vv AS SELECT a, b FROM \"My Tab\" WHERE a > 1"},
      {"trigger", "tr", "p", "0",
       "CREATE TRIGGER tr AFTER INSERT ON p BEGIN UPDATE p SET v = upper(v) WHERE id = new.id; "
       "END"},
      {"index", "ip", "p", "9", "create index ip on p(v, id)"}};
  EXPECT_EQ(master.rows, expected);

  /* What the file holds agrees with what sqlite_master shows. */
  s2::Image image = storedImage(path);
  ASSERT_EQ(image.master.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(image.master[i].name, expected[i][1]);
    EXPECT_EQ(std::to_string(image.master[i].rootpage), expected[i][3]);
    EXPECT_EQ(image.master[i].sql, expected[i][4]);
  }
  EXPECT_TRUE(s2check::CheckFile(path).empty());

  /* The trigger runs; a view reads; "main." and a quoted name reach the
  ** 2.x rows too. */
  ASSERT_EQ(run(db, "INSERT INTO p(v) VALUES('abc')").code, SQLITE_OK);
  EXPECT_EQ(column(db, "SELECT v FROM p"), std::vector<Cell>{"ABC"});
  EXPECT_EQ(column(db, "SELECT count(*) FROM main.sqlite_master WHERE sql IS NULL"),
            std::vector<Cell>{"4"});
  EXPECT_EQ(column(db, "SELECT name FROM \"SQLITE_MASTER\" WHERE type = 'view'"),
            std::vector<Cell>{"vv"});

  /* DROP TABLE takes the table's indices and triggers with it. */
  ASSERT_EQ(run(db, "DROP TABLE p").code, SQLITE_OK);
  EXPECT_EQ(column(db, "SELECT name FROM sqlite_master"),
            (std::vector<Cell>{"My Tab", "(My Tab autoindex 1)", "(My Tab autoindex 2)",
                               "(My Tab autoindex 3)", "vv"}));
  sqlite_close(db);
  EXPECT_EQ(storedImage(path).master.size(), 5u);
  EXPECT_TRUE(s2check::CheckFile(path).empty());
}

TEST(S2ApiSchema, ConflictClausesOfTheTableApplyAfterReopening) {
  std::string path = freshPath("conflict-clauses");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db,
                "CREATE TABLE c(id INTEGER PRIMARY KEY ON CONFLICT REPLACE, "
                "k UNIQUE ON CONFLICT IGNORE, n NOT NULL ON CONFLICT REPLACE DEFAULT 'dflt', m, "
                "UNIQUE(m) ON CONFLICT REPLACE)")
                .code,
            SQLITE_OK);
  sqlite_close(db);
  db = openDb(path);
  for (const char* insert :
       {"INSERT INTO c VALUES(1, 'a', 'x', 'm1')", "INSERT INTO c VALUES(1, 'b', NULL, 'm2')",
        "INSERT INTO c VALUES(2, 'b', 'y', 'm3')", "INSERT INTO c VALUES(4, 'c', 'w', 'm5')"}) {
    EXPECT_EQ(run(db, insert).code, SQLITE_OK) << insert;
  }
  EXPECT_EQ(query(db, "SELECT * FROM c").rows,
            (Rows{{"1", "b", "dflt", "m2"}, {"4", "c", "w", "m5"}}));
  EXPECT_EQ(run(db, "INSERT INTO c VALUES(5, 'd', 'v', 'm2')").code, SQLITE_OK);
  EXPECT_EQ(column(db, "SELECT id FROM c"), (std::vector<Cell>{"4", "5"}));
  sqlite_close(db);
}

TEST(S2ApiSchema, CreateTableAsSelectStoresTheGeneratedStatement) {
  sqlite* db = openDb(freshPath("create-as"));
  ASSERT_EQ(run(db,
                "CREATE TABLE defs(a INTEGER, b TEXT, c REAL, d);"
                "INSERT INTO defs VALUES(1, 'x', 1.50, NULL);"
                "CREATE TABLE copy AS SELECT a, b AS \"b copy\", c + 1, d FROM defs")
                .code,
            SQLITE_OK);
  EXPECT_EQ(column(db, "SELECT sql FROM sqlite_master WHERE name = 'copy'"),
            std::vector<Cell>{"CREATE TABLE 'copy'(a,'b copy','c + 1',d)"});
  EXPECT_EQ(query(db, "SELECT * FROM copy").rows, (Rows{{"1", "x", "2.5", std::nullopt}}));
  sqlite_close(db);
}

TEST(S2ApiSchema, StatementsWithout2xGrammarAreRefusedAndNothingIsWritten) {
  std::string path = freshPath("refused");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db, "CREATE TABLE t(a)").code, SQLITE_OK);
  std::string before = fileBytes(path);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"ALTER TABLE t ADD COLUMN b", "near \"ALTER\": syntax error"},
      {"CREATE TABLE IF NOT EXISTS u(a)", "near \"IF\": syntax error"},
      {"CREATE TABLE u(id INTEGER PRIMARY KEY AUTOINCREMENT)",
       "near \"AUTOINCREMENT\": syntax error"},
      {"CREATE TABLE u(a) WITHOUT ROWID", "near \"WITHOUT\": syntax error"},
      {"CREATE VIRTUAL TABLE u USING fts5(a)", "near \"VIRTUAL\": syntax error"},
      {"DROP TABLE IF EXISTS t", "near \"IF\": syntax error"},
      {"CREATE INDEX IF NOT EXISTS i ON t(a)", "near \"IF\": syntax error"},
      {"SAVEPOINT s", "near \"SAVEPOINT\": syntax error"},
      {"CREATE VIEW w AS SELECT a, row_number() OVER (ORDER BY a) FROM t",
       "near \"OVER\": syntax error"},
      {"CREATE VIEW w AS WITH c AS (SELECT a FROM t) SELECT * FROM c",
       "near \"WITH\": syntax error"},
      {"CREATE TRIGGER g AFTER INSERT ON t BEGIN INSERT INTO t VALUES(1) ON CONFLICT DO NOTHING; "
       "END",
       "near \"DO\": syntax error"},
      {"SELECT $x", "unrecognized token: \"$\""}};
  for (const auto& [sql, message] : refused) {
    Result r = run(db, sql);
    EXPECT_EQ(r.code, SQLITE_ERROR) << sql;
    EXPECT_EQ(r.error, message) << sql;
  }
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(column(db, "SELECT name FROM sqlite_master"), std::vector<Cell>{"t"});
  sqlite_close(db);
}

TEST(S2ApiSchema, ErrorsCarryThe2xTexts) {
  sqlite* db = openDb(freshPath("errors"));
  ASSERT_EQ(run(db, "CREATE TABLE t(a NOT NULL, b); CREATE VIEW v AS SELECT a FROM t").code,
            SQLITE_OK);
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"SELECT * FROM x", SQLITE_ERROR, "no such table: x"},
      {"SELECT y FROM t", SQLITE_ERROR, "no such column: y"},
      {"SELEC 1", SQLITE_ERROR, "near \"SELEC\": syntax error"},
      {"CREATE TABLE t(a)", SQLITE_ERROR, "table t already exists"},
      {"CREATE TABLE T2(a, a)", SQLITE_ERROR, "duplicate column name: a"},
      {"INSERT INTO t VALUES(1)", SQLITE_ERROR, "table t has 2 columns but 1 values were supplied"},
      {"INSERT INTO t(b) VALUES(1)", SQLITE_CONSTRAINT, "t.a may not be NULL"},
      {"DROP TABLE x", SQLITE_ERROR, "no such table: x"},
      {"DROP TABLE v", SQLITE_ERROR, "use DROP VIEW to delete view v"},
      {"DROP INDEX i", SQLITE_ERROR, "no such index: i"},
      {"DROP TRIGGER g", SQLITE_ERROR, "no such trigger: g"},
      {"CREATE INDEX i ON x(a)", SQLITE_ERROR, "no such table: x"},
      {"CREATE INDEX i ON t(z)", SQLITE_ERROR, "table t has no column named z"},
      {"CREATE INDEX t ON t(a)", SQLITE_ERROR, "there is already a table named t"},
      {"DELETE FROM sqlite_master", SQLITE_ERROR, "table sqlite_master may not be modified"},
      {"COMMIT", SQLITE_ERROR, "cannot commit - no transaction is active"},
      {"ROLLBACK", SQLITE_ERROR, "cannot rollback - no transaction is active"},
      {"BEGIN; BEGIN", SQLITE_ERROR, "cannot start a transaction within a transaction"},
      {"SELECT nosuch(1)", SQLITE_ERROR, "no such function: nosuch"}};
  for (const auto& [sql, code, message] : cases) {
    Result r = run(db, sql);
    EXPECT_EQ(r.code, code) << sql;
    EXPECT_EQ(r.error, message) << sql;
  }
  EXPECT_STREQ(sqlite_error_string(SQLITE_ERROR), "SQL logic error or missing database");
  EXPECT_STREQ(sqlite_error_string(SQLITE_BUSY), "database is locked");
  EXPECT_STREQ(sqlite_error_string(SQLITE_NOTADB), "file is encrypted or is not a database");
  EXPECT_STREQ(sqlite_error_string(99), "unknown error");
  EXPECT_STREQ(sqlite_libversion(), "2.8.17");
  sqlite_close(db);
}

TEST(S2ApiSchema, FixtureWithViewsAndTriggersIsChangedAndStaysValid) {
  std::string path = freshPath("view-trigger");
  std::filesystem::copy_file(std::string(XB_SQLITE2_FIXTURES) + "/view_trigger.db", path,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  sqlite* db = openDb(path);
  std::vector<Cell> audits = column(db, "SELECT count(*) FROM audit");
  ASSERT_EQ(audits.size(), 1u);
  /* The AFTER UPDATE trigger writes an audit row; the INSTEAD OF trigger
  ** of the view inserts into the table. */
  ASSERT_EQ(run(db, "UPDATE account SET balance = balance + 1 WHERE id = 1").code, SQLITE_OK);
  ASSERT_EQ(run(db, "INSERT INTO rich(owner, balance) VALUES('zed', 500)").code, SQLITE_OK);
  EXPECT_EQ(column(db, "SELECT count(*) FROM audit"),
            std::vector<Cell>{std::to_string(std::stoi(*audits[0]) + 1)});
  EXPECT_EQ(column(db, "SELECT balance FROM account WHERE owner = 'zed'"),
            std::vector<Cell>{"500"});
  sqlite_close(db);
  EXPECT_TRUE(s2check::CheckFile(path).empty());
  db = openDb(path);
  EXPECT_EQ(column(db, "SELECT owner FROM rich WHERE owner = 'zed'"), std::vector<Cell>{"zed"});
  sqlite_close(db);
}

}  // namespace
