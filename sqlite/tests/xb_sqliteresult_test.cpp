/*
** Tests of the query result table: bounds of Get, NULL against empty
** cells, and the sharing and single release of the cell memory.
*/
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

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
