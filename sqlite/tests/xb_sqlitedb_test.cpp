/*
** Tests of the generation-3 connection and of the factories that choose a
** file's generation.
*/
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <memory>
#include <string>

#include "xb_sqlite3db.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitetestdir.h"

namespace {

using Connection = std::unique_ptr<XB_SQLiteDB>;

const char kGeneration2Header[] = "** This file contains an SQLite 2.1 database **";

TEST(SQLiteFactories, NewAutoChoosesGeneration3ForNewAndEmptyFiles) {
  XB_SQLiteTestDir dir;
  Connection fresh(XB_SQLiteDB::NewAuto(dir.Path("new.db").c_str()));
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->Version(), 3.0);
  EXPECT_TRUE(fresh->IsOpen());
  EXPECT_EQ(access(dir.Path("new.db").c_str(), F_OK), 0);

  Connection empty(XB_SQLiteDB::NewAuto(dir.Write("empty.db", "").c_str()));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Version(), 3.0);
}

TEST(SQLiteFactories, NewAutoRefusesWhatNoEngineReads) {
  XB_SQLiteTestDir dir;
  std::string text = dir.Write("notes.txt", std::string(2000, 'x') + "\nplain text\n");
  EXPECT_EQ(XB_SQLiteDB::NewAuto(text.c_str()), nullptr);
  EXPECT_EQ(XB_SQLiteTestDir::Read(text), std::string(2000, 'x') + "\nplain text\n");
  // Shorter than one page: the older engine would call it an empty database.
  std::string note = dir.Write("note.txt", "remember the milk\n");
  EXPECT_EQ(XB_SQLiteDB::NewAuto(note.c_str()), nullptr);
  EXPECT_EQ(XB_SQLiteTestDir::Read(note), "remember the milk\n");

  mkdir(dir.Path("folder").c_str(), 0700);
  EXPECT_EQ(XB_SQLiteDB::NewAuto(dir.Path("folder").c_str()), nullptr);
  EXPECT_EQ(XB_SQLiteDB::NewAuto(""), nullptr);
  EXPECT_EQ(XB_SQLiteDB::NewAuto(dir.Path("no/such/folder.db").c_str()), nullptr);
}

TEST(SQLiteFactories, NewByVersionPicksTheGenerationWithoutProbing) {
  XB_SQLiteTestDir dir;
  Connection two(XB_SQLiteDB::NewByVersion(dir.Path("a.db").c_str(), 2));
  Connection three(XB_SQLiteDB::NewByVersion(dir.Path("b.db").c_str(), 3));
  Connection zero(XB_SQLiteDB::NewByVersion(dir.Path("c.db").c_str(), 0));
  EXPECT_EQ(two->Version(), 2.0);
  EXPECT_EQ(three->Version(), 3.0);
  EXPECT_EQ(zero->Version(), 3.0);

  // Unprobed: a text file still gives a (useless) connection.
  Connection text(XB_SQLiteDB::NewByVersion(dir.Write("t.txt", "hello").c_str(), 3));
  ASSERT_TRUE(text);
  EXPECT_FALSE(text->Exec("CREATE TABLE t(a)"));
  EXPECT_EQ(XB_SQLiteTestDir::Read(dir.Path("t.txt")), "hello");
}

TEST(SQLiteFactories, Generation2FilesNeverReachTheNewerEngine) {
  XB_SQLiteTestDir dir;
  // A 2.x header followed by damage, with a hot journal beside it: the
  // generation-3 engine would delete that journal unplayed.
  std::string body =
      std::string(kGeneration2Header) + std::string(1, '\0') + std::string(2000, 'z');
  std::string path = dir.Write("old.db", body);
  std::string journal = dir.Write("old.db-journal", "journal content");

  XB_SQLite3DB direct(path.c_str());
  EXPECT_FALSE(direct.IsOpen());
  ASSERT_NE(direct.LastError(), nullptr);
  Connection byVersion(XB_SQLiteDB::NewByVersion(path.c_str(), 3));
  EXPECT_FALSE(byVersion->IsOpen());
  // Only the older engine looked at the journal, under its own rule: one too
  // short for a journal header is deleted and the database left as it is.
  EXPECT_FALSE(std::filesystem::exists(journal));
  EXPECT_EQ(XB_SQLiteTestDir::Read(path), body);

  // NewAuto leaves the damaged file to the older engine, which refuses it,
  // and the file stays as it was.
  EXPECT_EQ(Connection(XB_SQLiteDB::NewAuto(path.c_str())), nullptr);
  EXPECT_EQ(XB_SQLiteTestDir::Read(path), body);
  EXPECT_TRUE(XB_SQLiteDB::IsGeneration2File(path.c_str()));

  // A sound 2.x file with a journal too short to play back opens in the
  // older engine, which deletes that journal by its own rule.
  std::string sound = dir.Fixture("small_table.db");
  std::string soundJournal = dir.Write("small_table.db-journal", "journal content");
  Connection automatic(XB_SQLiteDB::NewAuto(sound.c_str()));
  ASSERT_TRUE(automatic);
  EXPECT_EQ(automatic->Version(), 2.0);
  EXPECT_FALSE(std::filesystem::exists(soundJournal));
  EXPECT_FALSE(XB_SQLiteDB::IsGeneration2File(dir.Write("short", "** This file").c_str()));
}

TEST(SQLite3Connection, PathsAreTakenWholeOrNotAtAll) {
  XB_SQLiteTestDir dir;
  // A deep folder: a path of far more than 260 characters is opened whole.
  std::string deep = dir.Root();
  for (int i = 0; i < 10; i++) {
    deep += "/" + std::string(100, static_cast<char>('a' + i));
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  }
  std::string fits = deep + "/data.db";
  ASSERT_GT(fits.size(), 1000u);
  XB_SQLite3DB longest(fits.c_str());
  EXPECT_TRUE(longest.IsOpen());
  EXPECT_STREQ(longest.FilePath(), fits.c_str());
  EXPECT_TRUE(longest.Exec("CREATE TABLE t(a)"));
  EXPECT_EQ(access(fits.c_str(), F_OK), 0);

  // Longer than the system takes: refused, and no cut name is made.
  std::string longPath = deep + "/" + std::string(XB_SQLiteDB::kPathCapacity, 'x');
  XB_SQLite3DB tooLong(longPath.c_str());
  EXPECT_FALSE(tooLong.IsOpen());
  EXPECT_STREQ(tooLong.LastError(), "file name too long");
  EXPECT_FALSE(tooLong.Open());
  EXPECT_NE(access(longPath.substr(0, XB_SQLiteDB::kPathCapacity - 1).c_str(), F_OK), 0);

  // Names the engine would read as a URI or as memory stay names of files
  // in the current directory.  A child process opens them, so that this
  // process never changes its own current directory.
  const char* const oddNames[] = {"file:data.db?mode=memory", ":memory:"};
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir(dir.Root().c_str()) != 0) _exit(2);
    for (const char* name : oddNames) {
      XB_SQLite3DB odd(name);
      if (!odd.IsOpen() || !odd.Exec("CREATE TABLE t(a)")) _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "an odd name did not open as a file";
  for (const char* name : oddNames) {
    EXPECT_EQ(access((dir.Root() + "/" + name).c_str(), F_OK), 0) << name;
  }
}

TEST(SQLite3Connection, OpenCloseLifeCycle) {
  XB_SQLiteTestDir dir;
  XB_SQLite3DB db(dir.Path("x.db").c_str());
  ASSERT_TRUE(db.IsOpen());
  EXPECT_EQ(db.LastError(), nullptr);
  EXPECT_FALSE(db.Exec("CREATE TABLE t(a); INSERT INTO nowhere VALUES(1)"));
  EXPECT_STREQ(db.LastError(), "no such table: nowhere");
  EXPECT_EQ(dir.Logged("SQLite exec failed: no such table: nowhere"), 1);
  EXPECT_TRUE(db.Close());
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(db.Close());

  XB_String value("kept");
  EXPECT_FALSE(db.QueryValue(value, "SELECT 1"));
  EXPECT_EQ(value, "kept");
  EXPECT_EQ(dir.Logged("SQLite: No Database open!"), 1);
  XB_SQLiteResult result;
  EXPECT_FALSE(db.GetTable(result, "SELECT 1"));
  EXPECT_FALSE(db.Exec("SELECT 1"));

  EXPECT_TRUE(db.OpenOrCreate());
  EXPECT_TRUE(db.TableExists("t"));
}

TEST(SQLite3Connection, QueryValueTakesTheFirstCellOnly) {
  XB_SQLiteTestDir dir;
  XB_SQLite3DB db(dir.Path("x.db").c_str());
  ASSERT_TRUE(db.ExecF("CREATE TABLE t(a, b); INSERT INTO t VALUES(%d, %s);", 5, "'five'"));
  XB_String out("before");
  EXPECT_TRUE(db.QueryValue(out, "SELECT NULL"));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(db.QueryValue(out, "SELECT b, a FROM t WHERE a=%d", 5));
  EXPECT_EQ(out, "five");

  out = "unchanged";
  EXPECT_FALSE(db.QueryValue(out, "SELECT a FROM t WHERE a=6"));
  EXPECT_FALSE(db.QueryValue(out, "SELECT nosuch FROM t"));
  EXPECT_FALSE(db.QueryValue(out, "%s", ""));
  EXPECT_EQ(out, "unchanged");
}

TEST(SQLite3Connection, GetTableMatchesTheEnginesTable) {
  XB_SQLiteTestDir dir;
  XB_SQLite3DB db(dir.Path("x.db").c_str());
  ASSERT_TRUE(
      db.Exec("CREATE TABLE t(id, txt); INSERT INTO t VALUES(1, 'a'); "
              "INSERT INTO t VALUES(2, NULL); INSERT INTO t VALUES(3, '');"));
  XB_SQLiteResultGrid result;
  ASSERT_TRUE(db.GetTable(result, "SELECT id, txt AS label FROM t ORDER BY id"));
  EXPECT_EQ(result.Cols(), 2);
  EXPECT_EQ(result.Rows(), 3);
  EXPECT_STREQ(result.Cell(1), "label");
  EXPECT_STREQ(result.Get(1, 0), "a");
  EXPECT_EQ(result.Get(1, 1), nullptr);
  EXPECT_STREQ(result.Get(1, 2), "");

  // Several statements add up; a query without rows brings no column names.
  ASSERT_TRUE(db.GetTable(result, "%s", "SELECT 1 AS x; SELECT 2; -- done"));
  EXPECT_EQ(result.Rows(), 2);
  EXPECT_STREQ(result.Cell(0), "x");
  EXPECT_STREQ(result.Get(0, 1), "2");
  ASSERT_TRUE(db.GetTable(result, "SELECT * FROM t WHERE 0"));
  EXPECT_EQ(result.Cols(), 0);
  EXPECT_EQ(result.Rows(), 0);

  // A failure leaves the result empty and the message behind.
  ASSERT_TRUE(db.GetTable(result, "SELECT * FROM t"));
  dir.ClearLog();
  EXPECT_FALSE(db.GetTable(result, "SELECT 1; SELECT 1, 2"));
  EXPECT_EQ(result.Rows(), 0);
  EXPECT_EQ(result.Cols(), 0);
  EXPECT_STREQ(db.LastError(), "sqlite3_get_table() called with two or more incompatible queries");
  EXPECT_FALSE(db.GetTable(result, "SELECT nosuch FROM t"));
  EXPECT_STREQ(db.LastError(), "no such column: nosuch");
  EXPECT_EQ(dir.Logged("SQLITE "), 2);

  // The table outlives its connection.
  ASSERT_TRUE(db.GetTable(result, "SELECT txt FROM t WHERE id=1"));
  db.Close();
  EXPECT_STREQ(result.Get(0, 0), "a");
}

TEST(SQLite3Connection, TableExistsComparesNamesNotColumns) {
  XB_SQLiteTestDir dir;
  XB_SQLite3DB db(dir.Path("x.db").c_str());
  ASSERT_TRUE(db.Exec("CREATE TABLE mytable(a); CREATE TABLE \"it's\"(b);"));
  EXPECT_TRUE(db.TableExists("MyTable"));
  EXPECT_TRUE(db.TableExists("it's"));
  EXPECT_FALSE(db.TableExists("other"));
  // Between double quotes these would be the columns of sqlite_master.
  EXPECT_FALSE(db.TableExists("name"));
  EXPECT_FALSE(db.TableExists("tbl_name"));
  ASSERT_TRUE(db.Exec("CREATE TABLE name(c)"));
  EXPECT_TRUE(db.TableExists("name"));
}

TEST(SQLite3Connection, LastInsertRowIdKeepsTheLow32Bits) {
  XB_SQLiteTestDir dir;
  XB_SQLite3DB db(dir.Path("x.db").c_str());
  ASSERT_TRUE(db.Exec("CREATE TABLE t(a); INSERT INTO t(rowid, a) VALUES(5000000000, 1)"));
  EXPECT_EQ(db.LastInsertRowId(), 705032704);
  EXPECT_EQ(db.LastInsertRowId64(), 5000000000LL);
  ASSERT_TRUE(db.Exec("INSERT INTO t(rowid, a) VALUES(4294967295, 1)"));
  EXPECT_EQ(db.LastInsertRowId(), -1);
}

}  // namespace
