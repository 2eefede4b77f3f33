/*
** Tests of the generation-2 connection on copies of the 2.x fixture files
** and on files it makes itself.
*/
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "xb_sqlite2db.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitetestdir.h"

namespace {

using Connection = std::unique_ptr<XB_SQLiteDB>;

TEST(SQLite2Connection, NewAutoReadsFixturesWithTheOlderEngine) {
  XB_SQLiteTestDir dir;
  std::string path = dir.Fixture("small_table.db");
  Connection db(XB_SQLiteDB::NewAuto(path.c_str()));
  ASSERT_TRUE(db);
  EXPECT_EQ(db->Version(), 2.0);
  EXPECT_TRUE(db->TableExists("FRUIT"));

  XB_SQLiteResult result;
  ASSERT_TRUE(db->GetTable(result, "SELECT name, color, weight FROM fruit ORDER BY name"));
  db.reset();  // the result keeps its cells without the connection
  ASSERT_EQ(result.Rows(), 3);
  ASSERT_EQ(result.Cols(), 3);
  EXPECT_STREQ(result.Cell(2), "weight");
  EXPECT_STREQ(result.Get(0, 0), "apple");
  EXPECT_STREQ(result.Get(1, 2), "dark red");
  EXPECT_STREQ(result.Get(2, 1), "120");
}

TEST(SQLite2Connection, ValuesStatementsAndRowIds) {
  XB_SQLiteTestDir dir;
  XB_SQLite2DB db(dir.Fixture("small_table.db").c_str());
  ASSERT_TRUE(db.IsOpen());
  XB_String out("kept");
  EXPECT_FALSE(db.QueryValue(out, "SELECT name FROM fruit WHERE weight > 1000"));
  EXPECT_EQ(out, "kept");
  EXPECT_TRUE(db.QueryValue(out, "SELECT count(*) FROM fruit"));
  EXPECT_EQ(out, "3");

  ASSERT_TRUE(db.Exec("INSERT INTO fruit VALUES('plum', NULL, 30)"));
  EXPECT_EQ(db.LastInsertRowId(), 4);
  EXPECT_EQ(db.LastInsertRowId64(), 4);
  EXPECT_TRUE(db.QueryValue(out, "SELECT color FROM fruit WHERE rowid=%d", 4));
  EXPECT_EQ(out, "");

  EXPECT_FALSE(db.Exec("INSERT INTO nowhere VALUES(1)"));
  ASSERT_NE(db.LastError(), nullptr);
  EXPECT_EQ(dir.Logged("SQLite exec failed: "), 1);
  XB_SQLiteResult result;
  EXPECT_FALSE(db.GetTable(result, "SELECT nosuch FROM fruit"));
  EXPECT_EQ(result.Cols(), 0);
  EXPECT_EQ(dir.Logged("SQLITE "), 1);

  // Changes reach the file: a second connection sees them.
  db.Close();
  Connection again(XB_SQLiteDB::NewAuto(dir.Path("small_table.db").c_str()));
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->QueryValue(out, "SELECT weight FROM fruit WHERE name='plum'"));
  EXPECT_EQ(out, "30");
}

TEST(SQLite2Connection, NewByVersionMakesA2xFile) {
  XB_SQLiteTestDir dir;
  std::string path = dir.Path("made.db");
  {
    Connection db(XB_SQLiteDB::NewByVersion(path.c_str(), 2));
    ASSERT_TRUE(db->IsOpen());
    ASSERT_TRUE(db->Exec("CREATE TABLE sql(x); INSERT INTO sql VALUES('it''s')"));
  }
  EXPECT_TRUE(XB_SQLiteDB::IsGeneration2File(path.c_str()));
  Connection db(XB_SQLiteDB::NewAuto(path.c_str()));
  ASSERT_TRUE(db);
  EXPECT_EQ(db->Version(), 2.0);
  EXPECT_TRUE(db->TableExists("sql"));
  EXPECT_FALSE(db->TableExists("name"));
  XB_String out;
  EXPECT_TRUE(db->QueryValue(out, "SELECT x FROM sql"));
  EXPECT_EQ(out, "it's");
}

/* Returns true when another process finds a lock on the file at PATH. */
bool LockedForOthers(const std::string& path) {
  pid_t child = fork();
  if (child == 0) {
    int fd = open(path.c_str(), O_RDONLY);
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (fd < 0 || fcntl(fd, F_GETLK, &probe) != 0) _exit(2);
    _exit(probe.l_type == F_UNLCK ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST(SQLite2Connection, DetectingTheGenerationKeepsTheLocksOfAnOpenTransaction) {
  XB_SQLiteTestDir dir;
  std::string path = dir.Fixture("small_table.db");
  XB_SQLite2DB writer(path.c_str());
  ASSERT_TRUE(writer.Exec("BEGIN; UPDATE fruit SET weight=1 WHERE name='apple'"));
  ASSERT_TRUE(LockedForOthers(path));

  // Another connection of this process looks at the same file and goes away.
  EXPECT_TRUE(XB_SQLiteDB::IsGeneration2File(path.c_str()));
  EXPECT_TRUE(LockedForOthers(path)) << "probing dropped the transaction's locks";
  delete XB_SQLiteDB::NewAuto(path.c_str());
  EXPECT_TRUE(LockedForOthers(path)) << "closing a descriptor dropped the transaction's locks";

  ASSERT_TRUE(writer.Exec("COMMIT"));
  EXPECT_FALSE(LockedForOthers(path));
}

}  // namespace
