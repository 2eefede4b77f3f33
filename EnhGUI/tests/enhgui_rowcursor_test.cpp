/*
** Tests of the row-wise editor's stepping logic without a display: how
** rows are identified, the row condition, change detection, a failed
** write and the first row of an empty table, on generation-3 databases
** made in the test (the dialogs' tests cover both generations).
*/
#include "paramlines.h"
#include "recordingcontrols.h"
#include "sqliterowcursor.h"
#include "xb_sqlitedb.h"
#include "xb_tabledef.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

/* A fresh generation-3 database in a temporary file. */
class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/rowcursorXXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    m_path = name;
    m_db.reset(XB_SQLiteDB::NewByVersion(m_path.c_str(), 3));
    ASSERT_TRUE(m_db && m_db->IsOpen());
  }
  void TearDown() override {
    m_db.reset();
    std::remove(m_path.c_str());
  }
  std::string Value(const char* sql) {
    XB_String out;
    if (!m_db->QueryValue(out, "%s", sql)) return "<none>";
    return out.c_str();
  }

  std::string m_path;
  std::unique_ptr<XB_SQLiteDB> m_db;
  SQLiteRowIO m_rowIo;
};

}  // namespace

/* The rowid is used wherever the table has one, under a name no column
** takes; a table without rowid needs exactly one key column, whose values
** are quoted as string literals. */
TEST_F(CursorTest, ChoosesRowIdentity) {
  ASSERT_TRUE(
      m_db->Exec("CREATE TABLE a(rowid TEXT, name TEXT);"
                 "INSERT INTO a VALUES('x', 'y');"
                 "CREATE TABLE w(code TEXT PRIMARY KEY, v) WITHOUT ROWID;"
                 "INSERT INTO w VALUES('it''s', 1);"
                 "CREATE TABLE w2(a, b, PRIMARY KEY(a, b)) WITHOUT ROWID;"));
  SQLiteParameters setA = m_rowIo.LoadRow(*m_db, "a", "");
  SQLiteRowCursor a(*m_db, setA, "a");
  ASSERT_TRUE(a.Start("", ""));
  EXPECT_EQ(a.Mode(), SQLiteRowCursor::KEY_ROWID);
  EXPECT_EQ(a.Condition(), "_rowid_=1");
  EXPECT_FALSE(a.CanAppend());

  SQLiteParameters setW = m_rowIo.LoadRow(*m_db, "w", "");
  SQLiteRowCursor w(*m_db, setW, "w");
  ASSERT_TRUE(w.Start("", ""));
  EXPECT_EQ(w.Mode(), SQLiteRowCursor::KEY_COLUMN);
  EXPECT_EQ(w.Condition(), "code='it''s'");

  SQLiteParameters setW2 = m_rowIo.LoadRow(*m_db, "w2", "");
  SQLiteRowCursor w2(*m_db, setW2, "w2");
  EXPECT_FALSE(w2.Start("", ""));
  EXPECT_EQ(w2.Mode(), SQLiteRowCursor::KEY_NONE);
  EXPECT_FALSE(w2.ErrorText().IsEmpty());
  EXPECT_EQ(w2.Condition(), "");
}

/* Where and order restrict and sort the rows stepped through. */
TEST_F(CursorTest, WhereAndOrder) {
  ASSERT_TRUE(
      m_db->Exec("CREATE TABLE t(id INTEGER PRIMARY KEY, n);"
                 "INSERT INTO t VALUES(1, 5); INSERT INTO t VALUES(2, 9);"
                 "INSERT INTO t VALUES(3, 7);"));
  SQLiteParameters set = m_rowIo.LoadRow(*m_db, "t", "");
  SQLiteRowCursor cursor(*m_db, set, "t");
  ASSERT_TRUE(cursor.Start("n > 5", "n DESC"));
  ASSERT_EQ(cursor.Count(), 2);
  EXPECT_EQ(cursor.Condition(), "rowid=2");
  EXPECT_TRUE(cursor.Next());
  EXPECT_EQ(cursor.Condition(), "rowid=3");
  EXPECT_FALSE(cursor.Previous() && cursor.Previous());
}

/* Texts compare by their bytes, reals by number, NULL differs from the
** empty text. */
TEST_F(CursorTest, RowDiffers) {
  ASSERT_TRUE(
      m_db->Exec("CREATE TABLE t(id INTEGER PRIMARY KEY, s TEXT, r REAL, z TEXT);"
                 "INSERT INTO t VALUES(1, 'a ', 1.5, NULL);"));
  SQLiteParameters stored = m_rowIo.LoadRow(*m_db, "t", "");
  SQLiteParameters edited = stored;
  EXPECT_FALSE(SQLiteRowCursor::RowDiffers(stored, edited));
  edited.SetValueByKey("s", XB_Value("a"));
  EXPECT_TRUE(SQLiteRowCursor::RowDiffers(stored, edited));
  edited = stored;
  edited.SetValueByKey("r", XB_Value(1.5));
  EXPECT_FALSE(SQLiteRowCursor::RowDiffers(stored, edited));
  edited.SetValueByKey("r", XB_Value(1.25));
  EXPECT_TRUE(SQLiteRowCursor::RowDiffers(stored, edited));
  // A typed text against a real is read with "." as the decimal point.
  stored.SetValueByKey("r", XB_Value(1.5));
  edited.SetValueByKey("r", XB_Value(" 1.50"));
  EXPECT_FALSE(SQLiteRowCursor::RowDiffers(stored, edited));
  edited.SetValueByKey("r", XB_Value("1.75"));
  EXPECT_TRUE(SQLiteRowCursor::RowDiffers(stored, edited));
  edited = stored;
  edited.SetValueByKey("z", XB_Value("x"));
  EXPECT_TRUE(SQLiteRowCursor::RowDiffers(stored, edited));
}

/* Saving writes only changed rows; a failed write is reported with the
** engine's message and leaves the row as stored. */
TEST_F(CursorTest, SaveWritesChangesAndReportsFailure) {
  ASSERT_TRUE(
      m_db->Exec("CREATE TABLE t(id INTEGER PRIMARY KEY, n TEXT CHECK(n<>'bad'));"
                 "CREATE TABLE writes(id);"
                 "CREATE TRIGGER w AFTER UPDATE ON t BEGIN"
                 " INSERT INTO writes VALUES(new.id); END;"
                 "INSERT INTO t VALUES(1, 'one');"));
  SQLiteParameters set = m_rowIo.LoadRow(*m_db, "t", "");
  SQLiteRowCursor cursor(*m_db, set, "t");
  ASSERT_TRUE(cursor.Start("", ""));
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.Create(ParamRect{0, 0, 300, 200}, set);
  ASSERT_TRUE(cursor.Load(lines));
  EXPECT_TRUE(cursor.Save(lines));
  EXPECT_EQ(Value("SELECT count(*) FROM writes"), "0");

  controls.Find("n", ParamControls::CONTROL_EDIT)->text = "bad";
  EXPECT_FALSE(cursor.Save(lines));
  EXPECT_NE(cursor.ErrorText().View().find("CHECK"), std::string_view::npos)
      << cursor.ErrorText().c_str();
  EXPECT_EQ(Value("SELECT n FROM t"), "one");

  controls.Find("n", ParamControls::CONTROL_EDIT)->text = "two";
  EXPECT_TRUE(cursor.Save(lines));
  EXPECT_EQ(Value("SELECT n FROM t"), "two");
  EXPECT_EQ(Value("SELECT count(*) FROM writes"), "1");
}

/* An empty table shows an empty form; a form the user filled in is added
** as the first row. */
TEST_F(CursorTest, EmptyTableTakesFirstRow) {
  ASSERT_TRUE(m_db->Exec("CREATE TABLE t(id INTEGER PRIMARY KEY, n TEXT);"));
  SQLiteParameters set = m_rowIo.InitRow(*m_db, "t", TD_ALL);
  SQLiteRowCursor cursor(*m_db, set, "t");
  ASSERT_TRUE(cursor.Start("", ""));
  EXPECT_EQ(cursor.Count(), 0);
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.Create(ParamRect{0, 0, 300, 200}, set);
  ASSERT_TRUE(cursor.Load(lines));
  EXPECT_TRUE(cursor.Save(lines));
  EXPECT_EQ(Value("SELECT count(*) FROM t"), "0");
  controls.Find("n", ParamControls::CONTROL_EDIT)->text = "first";
  EXPECT_TRUE(cursor.Save(lines));
  EXPECT_EQ(cursor.Count(), 1);
  EXPECT_EQ(Value("SELECT id||n FROM t"), "1first");
}
