/*
** Tests of the viewer's plain rules: clipboard text, column sampling and
** width, the repeat interval, the command line, the command table and the
** settings file in the per-user folder.
*/
#include <gtest/gtest.h>

#include "dorvexcommands.h"
#include "dorvexoptions.h"
#include "gridtext.h"
#include "repeatinterval.h"
#include "settingsfile.h"
#include "settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

TEST(GridText, CopyLinesQuoteOnlyCellsThatWouldBreakThem) {
  QString out;
  GridText::AppendLine(out, {"1", "plain text", "3.5"});
  GridText::AppendLine(out, {"a\tb", "two\nlines", "cr\r", "say \"hi\""});
  GridText::AppendLine(out, {"\"quoted\"", "", "x"});
  EXPECT_EQ(out,
            "1\tplain text\t3.5\n"
            "\"a\tb\"\t\"two\nlines\"\t\"cr\r\"\tsay \"hi\"\n"
            "\"\"\"quoted\"\"\"\t\tx\n");
}

TEST(GridText, SampleCoversHeadAndTailWithoutRepeats) {
  EXPECT_TRUE(GridText::SampleRows(0, 200).empty());
  EXPECT_TRUE(GridText::SampleRows(10, 0).empty());
  EXPECT_EQ(GridText::SampleRows(3, 200), (std::vector<int64_t>{0, 1, 2}));

  std::vector<int64_t> rows = GridText::SampleRows(1000000, 200);
  ASSERT_LE(rows.size(), 200u);
  EXPECT_EQ(rows.front(), 0);
  EXPECT_EQ(rows.back(), 999999);
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LT(rows[i - 1], rows[i]);

  // Barely more rows than the sample: still ascending, in range, last row in.
  rows = GridText::SampleRows(201, 200);
  EXPECT_EQ(rows.back(), 200);
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LT(rows[i - 1], rows[i]);
}

TEST(GridText, ColumnWidthTakesWidestWithinBounds) {
  EXPECT_EQ(GridText::ColumnWidth(40, {10, 70, 30}, 12, 24, 480), 82);
  EXPECT_EQ(GridText::ColumnWidth(40, {}, 12, 24, 480), 52);
  EXPECT_EQ(GridText::ColumnWidth(0, {2}, 0, 24, 480), 24);
  EXPECT_EQ(GridText::ColumnWidth(50, {100000}, 12, 24, 480), 480);
}

TEST(RepeatInterval, MillisecondsIn64BitsCappedAtOneDay) {
  EXPECT_EQ(RepeatInterval::Milliseconds(0), 0);
  EXPECT_EQ(RepeatInterval::Milliseconds(-10), 0);
  EXPECT_EQ(RepeatInterval::Milliseconds(10), 10000);
  // 3,000,000 s times 1000 overflows 32 bits; it is capped at one day.
  EXPECT_EQ(RepeatInterval::Milliseconds(3000000), RepeatInterval::kMaxMilliseconds);
  EXPECT_EQ(RepeatInterval::Milliseconds(INT64_MAX), RepeatInterval::kMaxMilliseconds);
  EXPECT_EQ(RepeatInterval::Milliseconds(86400), 86400000);
}

TEST(RepeatInterval, PreferenceDefaultIsStoredAndValuesAreClamped) {
  SettingsStore store;
  EXPECT_EQ(RepeatInterval::FromPreferences(store), 5);
  EXPECT_EQ(store.ReadInt("autoupdate/intervall", -1), 5);
  store.WriteInt("autoupdate/intervall", 1);
  EXPECT_EQ(RepeatInterval::FromPreferences(store), 3);
  store.WriteInt("autoupdate/intervall", 1000);
  EXPECT_EQ(RepeatInterval::FromPreferences(store), 300);
  store.WriteInt("autoupdate/intervall", -7);
  EXPECT_EQ(RepeatInterval::FromPreferences(store), 3);
}

TEST(DorvexOptions, FilesStateAndAutomation) {
  DorvexOptions o;
  QString error;
  ASSERT_TRUE(ParseDorvexOptions({}, o, error));
  EXPECT_TRUE(o.files.isEmpty());
  EXPECT_FALSE(o.automation);

  ASSERT_TRUE(ParseDorvexOptions({"a.db", "b.dvxs", "c.db"}, o, error));
  EXPECT_EQ(o.files, QStringList({"a.db", "b.dvxs", "c.db"}));

  ASSERT_TRUE(ParseDorvexOptions({"--automation", "--state", "my view.dvxs"}, o, error));
  EXPECT_TRUE(o.automation);
  EXPECT_EQ(o.stateFile, "my view.dvxs");
  EXPECT_TRUE(o.files.isEmpty());

  ASSERT_TRUE(ParseDorvexOptions({"--", "--state", "-x.db"}, o, error));
  EXPECT_EQ(o.files, QStringList({"--state", "-x.db"}));
  EXPECT_TRUE(o.stateFile.isEmpty());
}

TEST(DorvexOptions, BadCommandLinesSayWhy) {
  DorvexOptions o;
  QString error;
  EXPECT_FALSE(ParseDorvexOptions({"--state"}, o, error));
  EXPECT_TRUE(error.contains("--state"));
  EXPECT_FALSE(ParseDorvexOptions({"--state", "a.dvxs", "--state", "b.dvxs"}, o, error));
  EXPECT_FALSE(ParseDorvexOptions({"--state", "a.dvxs", "x.db"}, o, error));
  EXPECT_FALSE(ParseDorvexOptions({"--frobnicate"}, o, error));
  EXPECT_TRUE(error.contains("--frobnicate"));
  EXPECT_TRUE(IsStateFilePath("/a/b/View.DVXS"));
  EXPECT_FALSE(IsStateFilePath("/a/b.dvxs/x.db"));
}

TEST(DorvexCommands, NoKeyIsBoundTwice) {
  QSet<QString> seen;
  for (const DorvexCommandInfo& info : DorvexCommands()) {
    for (const QKeySequence& key : info.keys) {
      QString text = key.toString(QKeySequence::PortableText);
      EXPECT_FALSE(seen.contains(text)) << text.toStdString() << " bound twice";
      seen.insert(text);
    }
  }
  EXPECT_TRUE(seen.contains("Ctrl+C"));
  EXPECT_TRUE(seen.contains("Shift+PgDown"));
}

/* Points the per-user folders at a temporary folder for one test. */
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_home.isValid());
    m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }
  void TearDown() override {
    if (m_hadConfigHome)
      qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }
  QTemporaryDir m_home;
  bool m_hadConfigHome = false;
  QByteArray m_oldConfigHome;
};

TEST_F(SettingsFileTest, SavedInThePerUserFolderAndReadBack) {
  QString path = SettingsFile::DefaultPath();
  EXPECT_EQ(path, m_home.path() + "/XB Software/Dorvex/dorvex.xml");

  SettingsStore store;
  SettingsFile file;
  EXPECT_TRUE(file.Load(store, path));  // a missing file is no error
  EXPECT_TRUE(file.Notice().isEmpty());
  store.WriteInt("view/limit", 250);
  QString error;
  ASSERT_TRUE(file.Save(store, error)) << error.toStdString();

  SettingsStore again;
  SettingsFile reread;
  ASSERT_TRUE(reread.Load(again, path));
  EXPECT_EQ(again.ReadInt("view/limit", 100), 250);
}

TEST_F(SettingsFileTest, UnreadableFileIsKeptAsBadAndNotOverwritten) {
  QString path = SettingsFile::DefaultPath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  QByteArray garbage = "<xbstore><view><limit>12</limit></vi";
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(garbage);
  }
  SettingsStore store;
  SettingsFile file;
  EXPECT_FALSE(file.Load(store, path));
  EXPECT_TRUE(file.Notice().contains(".bad"));
  QFile bad(path + ".bad");
  ASSERT_TRUE(bad.open(QIODevice::ReadOnly));
  EXPECT_EQ(bad.readAll(), garbage);

  // Saving now writes a fresh file and leaves the kept one alone.
  QString error;
  EXPECT_TRUE(file.Save(store, error));
  EXPECT_TRUE(QFileInfo::exists(path));
  bad.close();
  ASSERT_TRUE(bad.open(QIODevice::ReadOnly));
  EXPECT_EQ(bad.readAll(), garbage);
}

TEST_F(SettingsFileTest, UnwritableFolderIsReported) {
  if (geteuid() == 0) {
    // Root writes through permissions; a file standing where the folder
    // should be blocks the save just as well.
    QDir().mkpath(m_home.path() + "/XB Software");
    QFile blocker(m_home.path() + "/XB Software/Dorvex");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  } else {
    QString folder = m_home.path() + "/XB Software/Dorvex";
    QDir().mkpath(folder);
    chmod(QFile::encodeName(folder).constData(), 0500);
  }
  SettingsStore store;
  SettingsFile file;
  file.Load(store, SettingsFile::DefaultPath());
  store.WriteBool("main/storewndpos", true);
  QString error;
  EXPECT_FALSE(file.Save(store, error));
  EXPECT_TRUE(error.contains("dorvex.xml") || error.contains("Dorvex")) << error.toStdString();
  chmod(QFile::encodeName(m_home.path() + "/XB Software/Dorvex").constData(), 0700);
}
