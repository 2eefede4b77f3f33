/*
** Tests of Save State's record without a window: what each state
** preference keeps or leaves out, the relative database path, and saves
** that must fail without harming an earlier file.
*/
#include "viewstatewriter.h"

#include "dorvexstate.h"
#include "storenode.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class ViewStateWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

  /* A snapshot of a view on DATABASE with a window at 10,20 of 800 x 600,
  ** the toolbar hidden and the window on top. */
  ViewStateSnapshot Snapshot(const QString& database) {
    ViewStateSnapshot snapshot;
    snapshot.databasePath = database;
    snapshot.query = "SELECT \"a b\",  'x<y & z' FROM t -- caf\xC3\xA9";
    snapshot.intervalSeconds = 10;
    snapshot.frame = QRect(10, 20, 800, 600);
    snapshot.bars.tool = false;
    snapshot.bars.topmost = true;
    return snapshot;
  }

  /* Loads the state at PATH; fails the test when it does not load. */
  static DorvexState LoadBack(const QString& path) {
    DorvexState state;
    std::string error;
    EXPECT_TRUE(state.Load(path.toStdString(), &error)) << error;
    return state;
  }

  QTemporaryDir m_dir;
  StoreNode m_settings;
};

TEST_F(ViewStateWriterTest, DefaultsKeepEverythingWithAnAbsolutePath) {
  QString db = m_dir.filePath("db/shop.db");
  QString path = m_dir.filePath("s1.dvxs");
  QString error;
  ViewStateSnapshot snapshot = Snapshot(db);
  ASSERT_TRUE(ViewStateWriter::Write(snapshot, path, m_settings, &error)) << error.toStdString();
  DorvexState back = LoadBack(path);
  EXPECT_EQ(QString::fromStdString(back.m_query), snapshot.query);
  EXPECT_EQ(QString::fromStdString(back.m_file), db);
  EXPECT_EQ(back.m_interval, 10);
  EXPECT_EQ(back.m_left, 10);
  EXPECT_EQ(back.m_top, 20);
  EXPECT_EQ(back.m_right, 810);
  EXPECT_EQ(back.m_bottom, 620);
  EXPECT_TRUE(back.m_main->ReadBool("bars/query", false));
  EXPECT_TRUE(back.m_main->ReadBool("bars/status", false));
  EXPECT_FALSE(back.m_main->ReadBool("bars/tool", true));
  EXPECT_TRUE(back.m_main->ReadBool("topmost", false));
  // The defaults were stored where the preferences dialog shows them.
  EXPECT_TRUE(m_settings.ReadBool("state/save/pos", false));
  EXPECT_FALSE(m_settings.ReadBool("state/save/relativepath", true));
}

TEST_F(ViewStateWriterTest, PreferencesLeaveOutRectangleAndBarsAndMakeThePathRelative) {
  m_settings.WriteBool("state/save/pos", false);
  m_settings.WriteBool("state/save/size", false);
  m_settings.WriteBool("state/save/main", false);
  m_settings.WriteBool("state/save/relativepath", true);
  QString db = m_dir.filePath("data/db/shop.db");
  ASSERT_TRUE(QDir().mkpath(m_dir.filePath("data/states")));
  QString path = m_dir.filePath("data/states/s1.dvxs");
  ViewStateSnapshot snapshot = Snapshot(db);
  snapshot.intervalSeconds = 0;
  QString error;
  ASSERT_TRUE(ViewStateWriter::Write(snapshot, path, m_settings, &error)) << error.toStdString();
  DorvexState back = LoadBack(path);
  EXPECT_EQ(back.m_file, "../db/shop.db");
  EXPECT_EQ(QString::fromStdString(back.DatabasePath()), db);
  EXPECT_EQ(back.m_interval, 0);
  EXPECT_EQ(back.m_right - back.m_left, 0);
  EXPECT_TRUE(back.m_main->IsEmpty());

  // A name with "\\" beside the state stays absolute: alone it would read
  // back as a Windows path.
  QString odd = m_dir.filePath("data/states/we\\ird.db");
  ASSERT_TRUE(ViewStateWriter::Write(Snapshot(odd), path, m_settings, &error));
  EXPECT_EQ(QString::fromStdString(LoadBack(path).DatabasePath()), odd);

  // Only the size wanted: the rectangle is still written whole.
  m_settings.WriteBool("state/save/size", true);
  ASSERT_TRUE(ViewStateWriter::Write(snapshot, path, m_settings, &error));
  EXPECT_EQ(LoadBack(path).m_right, 810);
}

TEST_F(ViewStateWriterTest, FailedSavesSayWhyAndKeepTheEarlierFile) {
  QString path = m_dir.filePath("s.dvxs");
  QString error;
  ViewStateSnapshot snapshot = Snapshot(m_dir.filePath("shop.db"));
  ASSERT_TRUE(ViewStateWriter::Write(snapshot, path, m_settings, &error));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray before = file.readAll();
  file.close();

  // A query the file cannot carry is refused, not cut short.
  snapshot.query = QStringLiteral("SELECT 'a") + QChar(0) + QStringLiteral("b'");
  EXPECT_FALSE(ViewStateWriter::Write(snapshot, path, m_settings, &error));
  EXPECT_TRUE(error.contains("exactly")) << error.toStdString();
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), before);
  file.close();

  snapshot.query = "SELECT 1";
  error.clear();
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(QFile::encodeName(m_dir.path()).constData(), 0500), 0);
    EXPECT_FALSE(ViewStateWriter::Write(snapshot, m_dir.filePath("new.dvxs"), m_settings, &error));
    EXPECT_FALSE(error.isEmpty());
    chmod(QFile::encodeName(m_dir.path()).constData(), 0700);
  }
  EXPECT_FALSE(
      ViewStateWriter::Write(snapshot, m_dir.filePath("missing/new.dvxs"), m_settings, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(m_dir.filePath("missing/new.dvxs")));
}

}  // namespace
