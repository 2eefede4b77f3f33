/*
** Tests of the query history over an in-memory profile: what loading skips
** and where it stops, the recency order and its bounds, stale entries, and
** two instances saving in turn.
*/
#include "queryhistory.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace {

/* A profile section in memory; STORE stands for the file both instances
** share, which Lock() re-reads and Unlock() writes. */
class FakeProfile : public QueryProfile {
 public:
  explicit FakeProfile(std::shared_ptr<std::map<std::string, std::string>> store)
      : m_store(std::move(store)), m_section(*m_store) {}

  std::string Read(const std::string& key) override {
    auto it = m_section.find(key);
    return it == m_section.end() ? std::string() : it->second;
  }
  void Write(const std::string& key, const std::string& text) override {
    EXPECT_TRUE(m_locked);
    m_section[key] = text;
  }
  void Remove(const std::string& key) override {
    EXPECT_TRUE(m_locked);
    m_section.erase(key);
  }
  std::vector<std::string> Keys() override {
    std::vector<std::string> keys;
    for (const auto& entry : m_section) keys.push_back(entry.first);
    return keys;
  }
  bool Lock() override {
    if (m_refuseLock) return false;
    m_locked = true;
    m_section = *m_store;
    return true;
  }
  bool Unlock() override {
    m_locked = false;
    *m_store = m_section;
    return true;
  }

  std::shared_ptr<std::map<std::string, std::string>> m_store;
  std::map<std::string, std::string> m_section;
  bool m_locked = false;
  bool m_refuseLock = false;
};

std::shared_ptr<std::map<std::string, std::string>> Store(
    std::map<std::string, std::string> entries = {}) {
  return std::make_shared<std::map<std::string, std::string>>(std::move(entries));
}

std::vector<std::string> Texts(std::initializer_list<const char*> texts) {
  return std::vector<std::string>(texts.begin(), texts.end());
}

TEST(QueryHistory, LoadSkipsEarlyGapsStopsLaterAndDropsDuplicates) {
  FakeProfile gaps(Store({{"hist0", "a"},
                          {"hist1", "b"},
                          {"hist2", "c"},
                          {"hist3", "d"},
                          {"hist4", "e"},
                          {"hist12", "late"}}));
  QueryHistory history(gaps);
  history.Load();
  EXPECT_EQ(history.Items(), Texts({"a", "b", "c", "d", "e"}));

  FakeProfile early(Store({{"hist0", "select 1"},
                           {"hist1", "SELECT 1"},
                           {"hist5", "x"},
                           {"hist6", std::string(QueryHistory::kMaxTextBytes + 1, 'q')},
                           {"hist7", "y"}}));
  QueryHistory second(early);
  second.Load();
  EXPECT_EQ(second.Items(), Texts({"select 1", "x", "y"}));
}

TEST(QueryHistory, RememberKeepsANewestFirstListOfAHundred) {
  std::map<std::string, std::string> full;
  for (int i = 0; i < 150; ++i) full["hist" + std::to_string(i)] = "q" + std::to_string(i);
  full["hist400"] = "stale far away";
  full["hist007"] = "not ours";
  auto store = Store(full);
  FakeProfile profile(store);
  QueryHistory history(profile);
  history.Load();
  ASSERT_EQ(history.Items().size(), QueryHistory::kMaxItems);

  EXPECT_FALSE(history.Remember(""));
  EXPECT_FALSE(history.Remember(std::string(QueryHistory::kMaxTextBytes + 1, 'x')));
  EXPECT_TRUE(history.Remember("select 1"));
  EXPECT_TRUE(history.Remember("Q5"));
  EXPECT_TRUE(history.Remember("SELECT 1"));
  ASSERT_TRUE(history.Save());

  // This run's queries lead, the old list follows without their duplicates,
  // and nothing past entry 99 is left behind.
  EXPECT_EQ((*store)["hist0"], "SELECT 1");
  EXPECT_EQ((*store)["hist1"], "Q5");
  EXPECT_EQ((*store)["hist2"], "q0");
  EXPECT_EQ((*store)["hist99"], "q98");
  EXPECT_EQ(store->size(), 100u);
  EXPECT_EQ(store->count("hist100"), 0u);
  EXPECT_EQ(store->count("hist400"), 0u);
  EXPECT_EQ(store->count("hist007"), 0u);
  EXPECT_EQ(history.Items().front(), "SELECT 1");

  // A shorter list removes what the longer one left.
  auto small = Store({{"hist0", "a"}, {"hist1", "b"}, {"hist2", "c"}, {"hist5", "old"}});
  FakeProfile smallProfile(small);
  QueryHistory shorter(smallProfile);
  shorter.Load();
  (*small)["hist1"] = "";
  ASSERT_TRUE(shorter.Remember("c"));
  ASSERT_TRUE(shorter.Save());
  EXPECT_EQ(*small,
            (std::map<std::string, std::string>{{"hist0", "c"}, {"hist1", "a"}, {"hist2", "old"}}));
}

TEST(QueryHistory, TwoInstancesSavingKeepBothSetsOfChanges) {
  auto store = Store({{"hist0", "old"}});
  FakeProfile first(store), second(store);
  QueryHistory one(first), two(second);
  one.Load();
  two.Load();
  one.Remember("from one");
  two.Remember("from two a");
  two.Remember("from two b");
  ASSERT_TRUE(one.Save());
  ASSERT_TRUE(two.Save());
  EXPECT_EQ((*store)["hist0"], "from two b");
  EXPECT_EQ((*store)["hist1"], "from two a");
  EXPECT_EQ((*store)["hist2"], "from one");
  EXPECT_EQ((*store)["hist3"], "old");

  // A failed lock writes nothing and keeps the change for the next save.
  one.Remember("later");
  first.m_refuseLock = true;
  EXPECT_FALSE(one.Save());
  EXPECT_EQ((*store)["hist0"], "from two b");
  first.m_refuseLock = false;
  ASSERT_TRUE(one.Save());
  EXPECT_EQ((*store)["hist0"], "later");
  EXPECT_EQ(one.Items(), Texts({"later", "from two b", "from two a", "from one", "old"}));
}

}  // namespace
