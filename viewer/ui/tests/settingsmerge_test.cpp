/*
** Two viewers saving one settings file: what each changed survives the
** other's save, whether the trees are merged directly or written through
** two settings files on the same path.
*/
#include <gtest/gtest.h>

#include "settingsfile.h"
#include "settingsmerge.h"
#include "settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

void Fill(StoreNode& node) {
  node.WriteInt("view/limit", 100);
  node.WriteInt("update/dayscheck", 7);
  node.WriteBool("main/bars/tool", true);
  node.WriteInt("old/entry", 1);
}

}  // namespace

TEST(SettingsMerge, EachSideKeepsWhatItChanged) {
  StoreNode mine, theirs;
  Fill(mine);
  Fill(theirs);
  SettingsMerge::Snapshot baseline = SettingsMerge::Take(mine);
  ASSERT_EQ(baseline.size(), 4u);

  mine.WriteBool("main/bars/tool", false);  // changed here only
  mine.WriteInt("view/limit", 42);          // changed on both sides
  mine.Path("old/entry")->ClearValues();    // removed here
  theirs.WriteInt("view/limit", 77);
  theirs.WriteInt("update/dayscheck", 14);  // changed there only
  theirs.WriteInt("new/there", 5);          // added there

  EXPECT_EQ(SettingsMerge::Merge(mine, baseline, theirs), 2);
  EXPECT_EQ(mine.ReadInt("view/limit", -1), 42) << "this side's change is written";
  EXPECT_EQ(mine.ReadInt("update/dayscheck", -1), 14);
  EXPECT_FALSE(mine.ReadBool("main/bars/tool", true));
  EXPECT_EQ(mine.ReadInt("new/there", -1), 5);
  EXPECT_EQ(mine.Path("old/entry")->ValueCount(), 0) << "a removal here stays";
}

TEST(SettingsMerge, RemovalsThereAndDefaultsStoredHere) {
  StoreNode mine, theirs;
  Fill(mine);
  Fill(theirs);
  SettingsMerge::Snapshot baseline = SettingsMerge::Take(mine);
  theirs.Path("old/entry")->ClearValues();
  theirs.WriteInt("autoupdate/intervall", 30);
  // A getter here stored its default for the same key meanwhile.
  EXPECT_EQ(mine.ReadInt("autoupdate/intervall", 5), 5);

  EXPECT_EQ(SettingsMerge::Merge(mine, baseline, theirs), 2);
  EXPECT_EQ(mine.ReadInt("autoupdate/intervall", -1), 30);
  EXPECT_EQ(mine.Path("old/entry")->ValueCount(), 0);
  // Merged once, nothing is left to take.
  EXPECT_EQ(SettingsMerge::Merge(mine, SettingsMerge::Take(mine), theirs), 0);
}

TEST(SettingsMerge, TwoSettingsFilesOnOnePathKeepBothChanges) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString path = dir.filePath("cfg/dorvex.xml");
  QString error;
  {
    SettingsStore seed;
    SettingsFile file;
    ASSERT_TRUE(file.Load(seed, path));
    Fill(seed);
    ASSERT_TRUE(file.Save(seed, error)) << error.toStdString();
  }
  SettingsStore first, second;
  SettingsFile firstFile, secondFile;
  ASSERT_TRUE(firstFile.Load(first, path));
  ASSERT_TRUE(secondFile.Load(second, path));
  first.WriteInt("view/limit", 42);
  second.WriteInt("update/dayscheck", 14);
  ASSERT_TRUE(firstFile.Save(first, error)) << error.toStdString();
  ASSERT_TRUE(secondFile.Save(second, error)) << error.toStdString();
  // The first saves again after a further change and keeps the second's.
  first.WriteBool("main/bars/tool", false);
  ASSERT_TRUE(firstFile.Save(first, error)) << error.toStdString();

  SettingsStore result;
  SettingsFile reader;
  ASSERT_TRUE(reader.Load(result, path));
  EXPECT_EQ(result.ReadInt("view/limit", -1), 42);
  EXPECT_EQ(result.ReadInt("update/dayscheck", -1), 14);
  EXPECT_FALSE(result.ReadBool("main/bars/tool", true));
  EXPECT_FALSE(QFile::exists(path + ".lock"));
}

TEST(SettingsMerge, ALockHeldElsewhereFailsTheSave) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString path = dir.filePath("dorvex.xml");
  SettingsStore store;
  SettingsFile file;
  ASSERT_TRUE(file.Load(store, path));
  // A lock of a live process (this one) that is not stale.
  QFile lock(path + ".lock");
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.write(QByteArray::number(qint64(QCoreApplication::applicationPid())) +
             "\nDorvex\nthis-host\n");
  lock.close();
  store.WriteInt("view/limit", 1);
  file.SetLockWait(200);
  QString error;
  EXPECT_FALSE(file.Save(store, error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(path));
}

TEST(SettingsMerge, AValueSetOnPurposeBeatsADefaultWhateverSavesFirst) {
  for (bool purposeFirst : {true, false}) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString path = dir.filePath("dorvex.xml");
    SettingsStore withDefault, withValue;
    SettingsFile defaultFile, valueFile;
    ASSERT_TRUE(defaultFile.Load(withDefault, path));
    ASSERT_TRUE(valueFile.Load(withValue, path));
    // Neither run found the key in the file: one getter stored the
    // default, the user of the other viewer set a value.
    EXPECT_EQ(withDefault.ReadInt("update/dayscheck", 7), 7);
    withValue.WriteInt("update/dayscheck", 14);
    QString error;
    SettingsFile& first = purposeFirst ? valueFile : defaultFile;
    SettingsFile& second = purposeFirst ? defaultFile : valueFile;
    ASSERT_TRUE(first.Save(purposeFirst ? withValue : withDefault, error));
    ASSERT_TRUE(second.Save(purposeFirst ? withDefault : withValue, error));
    SettingsStore result;
    SettingsFile reader;
    ASSERT_TRUE(reader.Load(result, path));
    EXPECT_EQ(result.ReadInt("update/dayscheck", -1), 14) << "value saved first: " << purposeFirst;
  }
}
