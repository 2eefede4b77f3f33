/*
** Tests of the query history in a real settings file: what one viewer
** writes the next one reads, and two viewers saving in turn keep each
** other's queries.
*/
#include "settingsqueryprofile.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

namespace {

TEST(SettingsQueryProfile, TwoViewersSavingKeepBothHistories) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString file = dir.filePath("Dorvex.conf");
  {
    QSettings seed(file, QSettings::IniFormat);
    seed.setValue("query/hist0", "SELECT 'old'");
    seed.setValue("query/hist7", "stale");
    seed.setValue("query/hist12", "beyond the end");
    seed.setValue("main/other", "kept");
  }
  QSettings firstSettings(file, QSettings::IniFormat), secondSettings(file, QSettings::IniFormat);
  SettingsQueryProfile first(firstSettings), second(secondSettings);
  QueryHistory one(first), two(second);
  one.Load();
  two.Load();
  ASSERT_EQ(one.Items(), (std::vector<std::string>{"SELECT 'old'", "stale"}));
  one.Remember("SELECT 1 -- caf\xC3\xA9");
  two.Remember("SELECT 2");
  ASSERT_TRUE(one.Save());
  ASSERT_TRUE(two.Save());

  QSettings after(file, QSettings::IniFormat);
  EXPECT_EQ(after.value("query/hist0").toString(), "SELECT 2");
  EXPECT_EQ(after.value("query/hist1").toString(), QString::fromUtf8("SELECT 1 -- caf\xC3\xA9"));
  EXPECT_EQ(after.value("query/hist2").toString(), "SELECT 'old'");
  EXPECT_EQ(after.value("query/hist3").toString(), "stale");
  EXPECT_FALSE(after.contains("query/hist7"));
  EXPECT_FALSE(after.contains("query/hist12"));
  EXPECT_EQ(after.value("main/other").toString(), "kept");
  EXPECT_FALSE(QFile::exists(file + ".query-lock"));

  // A lock held elsewhere makes the save fail without writing.
  QLockFile held(file + ".query-lock");
  ASSERT_TRUE(held.tryLock(0));
  one.Remember("SELECT 3");
  EXPECT_FALSE(one.Save());
}

}  // namespace
