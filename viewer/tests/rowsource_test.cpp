/*
** Tests of how result rows are traced back to table rows for Edit Row: the
** plain single-table SELECT and everything that is not one, the rowid
** fetched alongside on both file generations, and the conditions that pick
** a row out again (key columns, else the rowid).
*/
#include <gtest/gtest.h>

#include <string>

#include "dorvexdoc.h"
#include "rowsource.h"
#include "viewertestdir.h"

namespace {

TEST(RowSource, OnlyPlainSingleTableSelectsNameTheirTable) {
  EXPECT_EQ(SingleTableOf("SELECT * FROM t LIMIT 100"), "t");
  EXPECT_EQ(SingleTableOf("select a, b from Items where a = 1 order by b;"), "Items");
  EXPECT_EQ(SingleTableOf("SELECT * FROM \"my table\" ORDER BY x DESC LIMIT 5 OFFSET 10"),
            "my table");
  // A sub-query in the condition reads other rows but shows none of them.
  EXPECT_EQ(SingleTableOf("SELECT * FROM t WHERE id IN (SELECT id FROM u GROUP BY id)"), "t");
  for (const char* query : {
           "SELECT * FROM a, b",
           "SELECT * FROM a JOIN b ON a.id = b.id",
           "SELECT * FROM a NATURAL JOIN b",
           "SELECT DISTINCT name FROM t",
           "SELECT name FROM t GROUP BY name",
           "SELECT count(*) FROM t",
           "SELECT max(id), name FROM t",
           "SELECT * FROM t UNION SELECT * FROM u",
           "SELECT * FROM (SELECT * FROM t)",
           "SELECT * FROM main.t",
           "SELECT * FROM t AS x",
           "SELECT 1",
           "UPDATE t SET a = 1",
           "WITH c AS (SELECT 1) SELECT * FROM t",
           "SELECT * FROM t; DELETE FROM t",
       })
    EXPECT_EQ(SingleTableOf(query), "") << query;
}

TEST(RowSource, RowIdGoesInFrontAndTheRestOfTheTextStays) {
  EXPECT_EQ(WithRowIdColumn("select * from t where x = 'a  b' -- note\nLIMIT 5", "_rowid_"),
            "select _rowid_, * from t where x = 'a  b' -- note\nLIMIT 5");
  EXPECT_EQ(WithRowIdColumn("SELECT * FROM a, b", "rowid"), "");
  EXPECT_EQ(WithRowIdColumn("SELECT * FROM t", ""), "");
}

/* A database of VERSION with a key table t, a keyless table u, a table r
** with a column named rowid, and a view v. */
std::string MakeShop(const ViewerTestDir& dir, int version) {
  return dir.MakeDatabase(
      "shop.db", version,
      "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT);"
      "INSERT INTO t VALUES(7,'seven'); INSERT INTO t VALUES(9,'nine');"
      "CREATE TABLE u(x, y); INSERT INTO u VALUES('a', 1); INSERT INTO u VALUES('b', 2);"
      "CREATE TABLE r(rowid TEXT, v); INSERT INTO r VALUES('x', 1);"
      "CREATE VIEW v AS SELECT * FROM t");
}

/* Runs SQL in DOC with the rowid asked for; returns the row condition of
** data row ROW, and in *USABLE whether Edit Row may act on the result. */
std::string ConditionOf(CDorvexDoc& doc, const std::string& sql, int row, bool* usable) {
  QueryOutcome outcome = doc.Run(sql, QueryRunKind::Query, nullptr, true);
  EXPECT_TRUE(outcome.ok) << sql << ": " << outcome.error;
  RowIdentity identity = doc.IdentifyRows(sql, outcome.result, outcome.rowIdColumn);
  *usable = identity.Usable();
  return RowCondition(identity, outcome.result, row);
}

class RowSourceOnBothGenerations : public ::testing::TestWithParam<int> {};

TEST_P(RowSourceOnBothGenerations, RowsArePickedOutByKeyElseByRowid) {
  ViewerTestDir dir;
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(MakeShop(dir, GetParam()))) << doc.LastError();

  // The rowid comes first, unseen by the query's own columns.
  QueryOutcome outcome = doc.Run("SELECT name FROM u, t", QueryRunKind::Query, nullptr, true);
  ASSERT_TRUE(outcome.ok);
  EXPECT_FALSE(outcome.rowIdColumn);
  outcome = doc.Run("SELECT y FROM u ORDER BY y DESC", QueryRunKind::Rerun, nullptr, true);
  ASSERT_TRUE(outcome.ok) << outcome.error;
  ASSERT_TRUE(outcome.rowIdColumn);
  ASSERT_EQ(outcome.result.Cols(), 2);
  EXPECT_STREQ(outcome.result.Get(1, 0), "2");
  EXPECT_STREQ(outcome.result.Get(0, 0), "2");

  bool usable = false;
  EXPECT_EQ(ConditionOf(doc, "SELECT * FROM t ORDER BY name", 0, &usable), "id = '9'");
  EXPECT_EQ(ConditionOf(doc, "SELECT name FROM T WHERE id = 7", 0, &usable), "rowid = 7");
  EXPECT_EQ(ConditionOf(doc, "SELECT * FROM u", 1, &usable), "rowid = 2");
  EXPECT_EQ(ConditionOf(doc, "SELECT v FROM r", 0, &usable), "_rowid_ = 1");
  // The condition picks out the row it came from.
  XB_SQLiteResult check;
  ASSERT_TRUE(doc.Query(check, "SELECT x FROM u WHERE rowid = 2"));
  EXPECT_STREQ(check.Get(0, 0), "b");

  for (const char* sql : {"SELECT * FROM v", "SELECT count(*) FROM t", "SELECT * FROM t, u",
                          "SELECT * FROM sqlite_master"}) {
    EXPECT_EQ(ConditionOf(doc, sql, 0, &usable), "") << sql;
    EXPECT_FALSE(usable) << sql;
  }
}

TEST(RowSource, NullKeysFallBackToTheRowidAndRowsWithoutEitherAreRefused) {
  ViewerTestDir dir;
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(dir.MakeDatabase(
      "keys.db", 3,
      "CREATE TABLE k(a TEXT, b TEXT, c, PRIMARY KEY(a, b));"
      "INSERT INTO k VALUES('x', 'y''z', 1); INSERT INTO k VALUES('x', NULL, 2);"
      "CREATE TABLE w(k TEXT PRIMARY KEY, v) WITHOUT ROWID; INSERT INTO w VALUES('p', 1);")))
      << doc.LastError();
  bool usable = false;
  EXPECT_EQ(ConditionOf(doc, "SELECT * FROM k", 0, &usable), "a = 'x' AND b = 'y''z'");
  EXPECT_EQ(ConditionOf(doc, "SELECT * FROM k", 1, &usable), "rowid = 2");
  EXPECT_EQ(ConditionOf(doc, "SELECT * FROM w", 0, &usable), "k = 'p'");
  // No key in the result and no rowid to fetch.
  EXPECT_EQ(ConditionOf(doc, "SELECT v FROM w", 0, &usable), "");
  EXPECT_FALSE(usable);
}

INSTANTIATE_TEST_SUITE_P(Generations, RowSourceOnBothGenerations, ::testing::Values(2, 3));

}  // namespace
