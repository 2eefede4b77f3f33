/*
** Watched queries as the viewer runs them, on both generations: a result
** stops at its row or byte bound as a success with the rows gathered so
** far, and a query without rows still names its columns (while a plain
** GetTable keeps giving none, as the console program expects).
*/
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "xb_sqlitedb.h"
#include "xb_sqlitetestdir.h"

namespace {

using Connection = std::unique_ptr<XB_SQLiteDB>;

/* Makes a database of VERSION with 500 rows in t; returns it open. */
Connection MakeDb(const XB_SQLiteTestDir& dir, int version) {
  std::string path = dir.Path("bound" + std::to_string(version) + ".db");
  Connection db(XB_SQLiteDB::NewByVersion(path.c_str(), version));
  EXPECT_TRUE(db->OpenOrCreate());
  EXPECT_TRUE(db->Exec("CREATE TABLE t (id INTEGER, word TEXT)"));
  EXPECT_TRUE(db->Exec("BEGIN"));
  for (int i = 0; i < 500; ++i) db->ExecF("INSERT INTO t VALUES (%d, 'abcdefghij')", i);
  EXPECT_TRUE(db->Exec("COMMIT"));
  return db;
}

}  // namespace

TEST(WatchedQuery, StopsAtTheRowOrByteBoundAndNamesEmptyResults) {
  XB_SQLiteTestDir dir;
  for (int version : {3, 2}) {
    SCOPED_TRACE(version);
    Connection db = MakeDb(dir, version);

    XB_QueryProgress rowsBound;
    rowsBound.maxRows = 120;
    XB_SQLiteResult result;
    ASSERT_TRUE(db->GetTableWatched(result, "SELECT * FROM t ORDER BY id", &rowsBound));
    EXPECT_EQ(result.Rows(), 120);
    EXPECT_TRUE(rowsBound.limited);
    EXPECT_STREQ(result.Get(0, 119), "119");

    // Each row holds "NNN" and "abcdefghij" plus bookkeeping: about 25
    // bytes, so 1,000 bytes stop it after some 40 rows.
    XB_QueryProgress bytesBound;
    bytesBound.maxBytes = 1000;
    ASSERT_TRUE(db->GetTableWatched(result, "SELECT * FROM t", &bytesBound));
    EXPECT_TRUE(bytesBound.limited);
    EXPECT_GT(result.Rows(), 30);
    EXPECT_LT(result.Rows(), 50);

    XB_QueryProgress unbounded;
    ASSERT_TRUE(db->GetTableWatched(result, "SELECT * FROM t", &unbounded));
    EXPECT_EQ(result.Rows(), 500);
    EXPECT_FALSE(unbounded.limited);

    XB_QueryProgress empty;
    ASSERT_TRUE(db->GetTableWatched(result, "SELECT id, word FROM t WHERE id < 0", &empty));
    EXPECT_EQ(result.Rows(), 0);
    ASSERT_EQ(result.Cols(), 2);
    EXPECT_STREQ(result.Cell(1), "word");
    // A later watched query with rows is unaffected.
    ASSERT_TRUE(db->GetTableWatched(result, "SELECT word FROM t WHERE id = 7", &empty));
    EXPECT_EQ(result.Rows(), 1);

    ASSERT_TRUE(db->GetTable(result, "SELECT id FROM t WHERE id < 0"));
    EXPECT_EQ(result.Cols(), 0);
  }
}
