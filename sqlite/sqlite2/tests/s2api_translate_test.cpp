/*
** Tests of how statements are cut apart and translated for the SQLite 3
** working copy, and of the byte-wise string functions of the iso8859
** build as SQL sees them.
*/
#include "s2api_helpers.h"

#include "s2sqlrewrite.h"

using namespace s2api;

namespace {

TEST(S2ApiTranslate, StatementsEndAtTheirSemicolonTriggersAtTheirEnd) {
  EXPECT_EQ(s2::firstStatementLength("SELECT ';' -- ;\n ; SELECT 2"), 18u);
  EXPECT_EQ(s2::firstStatementLength("SELECT /* ; */ 1"), 16u);
  const std::string trigger =
      "CREATE TEMP TRIGGER g AFTER INSERT ON t BEGIN "
      "UPDATE t SET a = CASE WHEN new.a > 1 THEN 'x' END; DELETE FROM u; END;";
  EXPECT_EQ(s2::firstStatementLength(trigger + " SELECT 1"), trigger.size());
  EXPECT_EQ(s2::firstStatementLength("CREATE TABLE t(a)"), 17u);
}

TEST(S2ApiTranslate, NumbersKeepTheirSpellingOnlyWhereSqlite3WouldChangeIt) {
  using s2::translateForWorkingCopy;
  EXPECT_EQ(translateForWorkingCopy("SELECT 007, 1.50, 1e3, 12345678901234567890"),
            "SELECT '007', '1.50', '1e3', '12345678901234567890'");
  EXPECT_EQ(translateForWorkingCopy("SELECT -0, - 1.50, 5 - 0, a-0.5, -7, (-0)"),
            "SELECT '-0', '-1.50', 5 - 0, a-'0.5', -7, ('-0')");
  EXPECT_EQ(translateForWorkingCopy("SELECT a FROM t ORDER BY 2 LIMIT 10 OFFSET 0"),
            "SELECT a FROM t ORDER BY 2 LIMIT 10 OFFSET 0");
  EXPECT_EQ(translateForWorkingCopy("SELECT 'it''s 1.5', \"1.5\" FROM t"),
            "SELECT 'it''s 1.5', \"1.5\" FROM t");
}

TEST(S2ApiTranslate, StoredValuesPassThroughTheStoreFunction) {
  using s2::translateForWorkingCopy;
  EXPECT_EQ(translateForWorkingCopy("INSERT INTO t(a, b) VALUES(1+1, f(x, y))"),
            "INSERT INTO t(a, b) VALUES(xb_store(1+1), xb_store(f(x, y)))");
  EXPECT_EQ(
      translateForWorkingCopy("UPDATE OR IGNORE t SET a = a * 2, b = (SELECT 1, 2) WHERE c = 3"),
      "UPDATE OR IGNORE t SET a = xb_store(a * 2), b = xb_store((SELECT 1, 2)) WHERE c = 3");
  EXPECT_EQ(translateForWorkingCopy(
                "INSERT INTO t SELECT *, u.*, a+1 AS n, b c FROM u UNION SELECT 1, 2, 3, 4 FROM v"),
            "INSERT INTO t SELECT *, u.*, xb_store(a+1) AS n, xb_store(b) c FROM u "
            "UNION SELECT xb_store(1), xb_store(2), xb_store(3), xb_store(4) FROM v");
  EXPECT_EQ(translateForWorkingCopy("CREATE TRIGGER g AFTER UPDATE OF a ON t BEGIN "
                                    "INSERT INTO log VALUES(new.a * 1.0); END"),
            "CREATE TRIGGER g AFTER UPDATE OF a ON t BEGIN "
            "INSERT INTO log VALUES(xb_store(new.a * '1.0')); END");
  EXPECT_EQ(translateForWorkingCopy("SELECT name FROM main.sqlite_master m, \"sqlite_master\""),
            std::string("SELECT name FROM ") + s2::kMasterTable + " m, " + s2::kMasterTable);
}

TEST(S2ApiTranslate, ColumnNamesAreSpelledAsWritten) {
  sqlite* db = openDb(":memory:");
  Result r = query(db, "SELECT 1.50, 007 + 1, -0 AS z, 'x' || 1e3");
  ASSERT_EQ(r.code, SQLITE_OK) << r.error;
  EXPECT_EQ(r.names, (std::vector<std::string>{"1.50", "007 + 1", "z", "'x' || 1e3"}));
  EXPECT_EQ(r.rows, (std::vector<std::vector<Cell>>{{"1.50", "8", "-0", "x1e3"}}));
  sqlite_close(db);
}

TEST(S2ApiTranslate, StringFunctionsCountBytes) {
  sqlite* db = openDb(":memory:");
  /* Latin-1 bytes that are not valid UTF-8, among them 0x80..0xBF. */
  ASSERT_EQ(run(db, "CREATE TABLE s(v TEXT); INSERT INTO s VALUES('K\xe4\xa4se\xb5')").code,
            SQLITE_OK);
  EXPECT_EQ(column(db, "SELECT length(v) FROM s"), std::vector<Cell>{"6"});
  EXPECT_EQ(column(db, "SELECT substr(v, 2, 2) FROM s"), std::vector<Cell>{"\xe4\xa4"});
  EXPECT_EQ(column(db, "SELECT substr(v, -2, 2) FROM s"), std::vector<Cell>{"e\xb5"});
  EXPECT_EQ(column(db, "SELECT count(*) FROM s WHERE v LIKE 'k__SE_'"), std::vector<Cell>{"1"});
  EXPECT_EQ(column(db, "SELECT count(*) FROM s WHERE v GLOB 'K??se?'"), std::vector<Cell>{"1"});
  EXPECT_EQ(column(db, "SELECT count(*) FROM s WHERE v GLOB 'k*'"), std::vector<Cell>{"0"});
  EXPECT_EQ(column(db, "SELECT count(*) FROM s WHERE v GLOB '[A-Z][^a]*'"), std::vector<Cell>{"1"});
  EXPECT_EQ(query(db, "SELECT round(2.5), round(3.14159, 2), round(-0.5)").rows,
            (std::vector<std::vector<Cell>>{{"2", "3.14", "-0"}}));
  sqlite_close(db);
}

}  // namespace
