/*
** Tests of the query result table: bounds of Get, NULL against empty
** cells, and the sharing and single release of the cell memory.
*/
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "xb_sqliteresult.h"

namespace {

/* A holder that counts how often its memory is given back. */
class CountingTable : public XB_SQLiteTable {
 public:
  explicit CountingTable(int* frees) : m_frees(frees) {}
  void Free() override { ++*m_frees; }
  const char* Cell(size_t index) const override { return index % 2 ? "odd" : nullptr; }
  const char* Cell(size_t index, size_t& length) const override {
    length = index % 2 ? 3 : 0;
    return Cell(index);
  }

 private:
  int* m_frees;
};

/* Returns a block table holding the cells of TEXTS (null for SQL NULL). */
XB_SQLiteBlockTable* Block(std::initializer_list<const char*> texts) {
  auto* table = new XB_SQLiteBlockTable;
  for (const char* text : texts) EXPECT_TRUE(table->Append(text, text ? std::strlen(text) : 0));
  return table;
}

TEST(SQLiteResult, GetStaysInsideTheTable) {
  XB_SQLiteResult result;
  EXPECT_EQ(result.Cols(), 0);
  EXPECT_EQ(result.Rows(), 0);
  EXPECT_EQ(result.Get(0, 0), nullptr);

  result.Set(Block({"id", "name", "1", nullptr, "2", ""}), 2, 2);
  EXPECT_STREQ(result.Cell(0), "id");
  EXPECT_STREQ(result.Cell(1), "name");
  EXPECT_STREQ(result.Get(0, 0), "1");
  EXPECT_EQ(result.Get(1, 0), nullptr);  // SQL NULL
  EXPECT_STREQ(result.Get(1, 1), "");    // empty text is not NULL
  size_t length = 99;
  EXPECT_EQ(result.Get(1, 0, length), nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_STREQ(result.Get(0, 1, length), "2");
  EXPECT_EQ(length, 1u);
  EXPECT_EQ(result.Get(result.Cols(), 0), nullptr);
  EXPECT_EQ(result.Get(0, result.Rows()), nullptr);
  EXPECT_EQ(result.Get(-1, 0), nullptr);
  EXPECT_EQ(result.Get(0, -1), nullptr);

  result.Reset();
  EXPECT_EQ(result.Cols(), 0);
  EXPECT_EQ(result.Get(0, 0), nullptr);
}

TEST(SQLiteResult, BlockCellsAreFoundBetweenTheKeptOffsets) {
  // Cells of every length class, SQL NULL and empty ones among them, so
  // that each position between two kept offsets holds some of each.
  auto* table = new XB_SQLiteBlockTable;
  std::vector<std::string> texts;
  std::vector<bool> nulls;
  size_t textBytes = 0;
  for (int i = 0; i < 61; ++i) {
    bool null = i % 7 == 3;
    std::string text =
        i % 5 == 0 ? std::string() : std::string(size_t(i * 13 % 40), char('a' + i % 26));
    ASSERT_TRUE(table->Append(null ? nullptr : text.c_str(), text.size()));
    texts.push_back(null ? std::string() : text);
    nulls.push_back(null);
    textBytes += (null ? 0 : text.size()) + 1;
  }
  // A NUL inside a value ends the cell there.
  ASSERT_TRUE(table->Append("ab\0cd", 5));
  texts.push_back("ab");
  nulls.push_back(false);
  textBytes += 3;
  table->Shrink();
  ASSERT_EQ(table->CellCount(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    size_t length = 99;
    const char* cell = table->Cell(i, length);
    if (nulls[i]) {
      EXPECT_EQ(cell, nullptr);
      EXPECT_EQ(table->Cell(i), nullptr);
      EXPECT_EQ(length, 0u);
      continue;
    }
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(std::string(cell, length), texts[i]);
    EXPECT_STREQ(table->Cell(i), texts[i].c_str());
  }
  size_t bytes = 0;
  const char* block = table->Block(bytes);
  EXPECT_EQ(bytes, textBytes);
  EXPECT_EQ(block, table->Cell(1) - texts[0].size() - 1);
  XB_SQLiteResult result;
  result.Set(table, 2, 30);
  EXPECT_STREQ(result.Get(1, 29), texts[61].c_str());
}

TEST(SQLiteResult, MemoryGoesBackOnceWhenTheLastHolderLetsGo) {
  int frees = 0;
  {
    XB_SQLiteResult first;
    first.Set(new CountingTable(&frees), 1, 1);
    first.Set(new CountingTable(&frees), 1, 1);  // refilling frees the first table
    EXPECT_EQ(frees, 1);

    XB_SQLiteResultGrid copy;
    static_cast<XB_SQLiteResult&>(copy) = first;
    XB_SQLiteResult moved(std::move(first));
    EXPECT_EQ(first.Cols(), 0);
    moved.Reset();
    EXPECT_EQ(frees, 1);  // the copy still holds the table
    EXPECT_STREQ(copy.Get(0, 0), "odd");

    XB_SQLiteResultText other;
    other.Set(new CountingTable(&frees), 1, 1);
    XB_SQLiteResult& alias = other;
    static_cast<XB_SQLiteResult&>(other) = alias;  // assigning to itself keeps the table
    static_cast<XB_SQLiteResult&>(copy) = other;   // the shared first table goes now
    EXPECT_EQ(frees, 2);
  }
  EXPECT_EQ(frees, 3);
}

}  // namespace
