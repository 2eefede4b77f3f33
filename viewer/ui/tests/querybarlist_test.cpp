/*
** Tests of the query bar's list without a window: what a page step, a kept
** query, a blank or an oversized text do to the edit text, the items and
** the profile, a profile that cannot be written for a while, and saves
** made off the window thread.
*/
#include "querybarlist.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace {

/* The profile section in memory; counts the saves that reached it. */
class MemoryProfile : public QueryProfile {
 public:
  std::string Read(const std::string& key) override {
    auto it = m_entries.find(key);
    return it == m_entries.end() ? std::string() : it->second;
  }
  void Write(const std::string& key, const std::string& text) override { m_entries[key] = text; }
  void Remove(const std::string& key) override { m_entries.erase(key); }
  std::vector<std::string> Keys() override {
    std::vector<std::string> keys;
    for (const auto& entry : m_entries) keys.push_back(entry.first);
    return keys;
  }
  bool Lock() override { return !m_refuse; }
  bool Unlock() override {
    ++m_saves;
    return true;
  }

  std::map<std::string, std::string> m_entries;
  bool m_refuse = false;
  int m_saves = 0;
};

TEST(QueryBarList, PageStepsShowOnlyWhileRunsAreKeptFirstAndSavedAtOnce) {
  MemoryProfile profile;
  profile.m_entries = {{"hist0", "SELECT * FROM t LIMIT 100"}, {"hist1", "SELECT 1"}};
  QueryBarList list(profile);
  list.Load();
  ASSERT_EQ(list.Items(), QStringList({"SELECT * FROM t LIMIT 100", "SELECT 1"}));

  // A page step: shown in the box, neither listed nor written.
  EXPECT_FALSE(list.Show("SELECT * FROM t LIMIT 100 OFFSET 100", false));
  EXPECT_EQ(list.EditText(), "SELECT * FROM t LIMIT 100 OFFSET 100");
  EXPECT_EQ(list.Items().size(), 2);
  EXPECT_EQ(profile.m_saves, 0);

  // A kept query in another letter case replaces the old item and leads.
  EXPECT_TRUE(list.Show("select 1", true));
  EXPECT_EQ(list.EditText(), "select 1");
  EXPECT_EQ(list.Items(), QStringList({"select 1", "SELECT * FROM t LIMIT 100"}));
  EXPECT_EQ(profile.m_saves, 1);
  EXPECT_EQ(profile.m_entries["hist0"], "select 1");
  EXPECT_EQ(profile.m_entries.count("hist2"), 0u);
  EXPECT_FALSE(list.Unsaved());
}

TEST(QueryBarList, BlankAndOversizedTextsAreNeverKept) {
  MemoryProfile profile;
  QueryBarList list(profile);
  list.Load();
  EXPECT_FALSE(QueryBarList::Runnable(""));
  EXPECT_FALSE(QueryBarList::Runnable(" \t\n"));
  EXPECT_TRUE(QueryBarList::Runnable(" SELECT 1"));
  EXPECT_FALSE(list.Show("  ", true));

  QString huge = "SELECT '" + QString(64 * 1024, QChar('x')) + "'";
  EXPECT_FALSE(list.Show(huge, true));
  EXPECT_EQ(list.EditText(), huge);  // shown all the same
  EXPECT_TRUE(list.Items().isEmpty());
  EXPECT_EQ(profile.m_saves, 0);
}

TEST(QueryBarList, ListStaysBoundedAndKeepsTheNewest) {
  MemoryProfile profile;
  QueryBarList list(profile);
  list.Load();
  for (int i = 0; i < 150; ++i) list.Show(QStringLiteral("SELECT %1").arg(i), true);
  QStringList items = list.Items();
  ASSERT_EQ(items.size(), 100);
  EXPECT_EQ(items.front(), "SELECT 149");
  EXPECT_EQ(items.back(), "SELECT 50");
  EXPECT_EQ(profile.m_entries.size(), 100u);
  EXPECT_EQ(profile.m_entries["hist99"], "SELECT 50");
}

TEST(QueryBarList, TextsWaitForAProfileThatCannotBeWritten) {
  MemoryProfile profile;
  QueryBarList list(profile);
  list.Load();
  profile.m_refuse = true;
  EXPECT_TRUE(list.Remember("SELECT 1"));
  EXPECT_TRUE(list.Unsaved());
  EXPECT_FALSE(list.Flush());
  EXPECT_TRUE(profile.m_entries.empty());

  profile.m_refuse = false;
  EXPECT_TRUE(list.Flush());
  EXPECT_FALSE(list.Unsaved());
  EXPECT_EQ(profile.m_entries["hist0"], "SELECT 1");
  EXPECT_TRUE(list.Flush());  // nothing left: no further save
  EXPECT_EQ(profile.m_saves, 1);
}

TEST(QueryBarList, SavesMadeElsewhereKeepTheTextsKeptMeanwhile) {
  MemoryProfile mine;
  QueryBarList list(mine);
  list.SetSaveLater(true);
  list.Load();
  EXPECT_TRUE(list.Remember("SELECT 1"));
  EXPECT_EQ(mine.m_saves, 0);  // noted only; the owner saves it
  std::vector<std::string> first = list.TakeChanges();
  ASSERT_EQ(first, std::vector<std::string>({"SELECT 1"}));

  // The save fails while two more texts are kept, one of them again.
  EXPECT_TRUE(list.Remember("SELECT 2"));
  EXPECT_TRUE(list.Remember("select 1"));
  list.EndSave(first, std::nullopt);
  EXPECT_TRUE(list.Unsaved());
  std::vector<std::string> second = list.TakeChanges();
  EXPECT_EQ(second, std::vector<std::string>({"SELECT 2", "select 1"}));

  // The next save (into a profile another viewer also wrote) works; a text
  // kept meanwhile stays first.
  MemoryProfile shared;
  shared.m_entries = {{"hist0", "SELECT other"}};
  std::optional<std::vector<std::string>> merged = QueryHistory::Merge(shared, second);
  ASSERT_TRUE(merged);
  EXPECT_EQ(shared.m_entries["hist0"], "select 1");
  EXPECT_EQ(shared.m_entries["hist2"], "SELECT other");
  EXPECT_TRUE(list.Remember("SELECT 3"));
  list.EndSave(second, merged);
  EXPECT_EQ(list.Items(), QStringList({"SELECT 3", "select 1", "SELECT 2", "SELECT other"}));
  EXPECT_TRUE(list.Unsaved());
  EXPECT_EQ(list.TakeChanges(), std::vector<std::string>({"SELECT 3"}));
  list.EndSave({"SELECT 3"}, std::vector<std::string>({"SELECT 3", "select 1"}));
  EXPECT_FALSE(list.Unsaved());
}

}  // namespace
