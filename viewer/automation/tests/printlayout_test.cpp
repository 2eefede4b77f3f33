/*
** Tests of the print page arithmetic with a fake A4 printer at 600 dpi:
** column scaling, that the page count and the pages the loop prints agree,
** and the layouts that cannot print.
*/
#include "printlayout.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

const PrintDevice kA4{210, 297, 4960, 7016};
constexpr int kCellWidth = 120;
constexpr int kCellHeight = 100;
constexpr int kScreenUnit = 20;

int Sum(const std::vector<int>& widths) {
  return std::accumulate(widths.begin(), widths.end(), 0);
}

TEST(PrintLayout, MarginsAndColumnScaling) {
  PrintLayout layout;
  ASSERT_TRUE(layout.Begin(kA4, kCellWidth, kCellHeight, kScreenUnit, {100, 40}));
  EXPECT_EQ(layout.Dpi(), 599);  // truncated: 4960 / (210 / 25.4)
  EXPECT_EQ(layout.Printable().left, 599);
  EXPECT_EQ(layout.Printable().top, 299);
  EXPECT_EQ(layout.Printable().right, 4960 - 299);
  EXPECT_EQ(layout.Printable().bottom, 7016 - 149);
  EXPECT_EQ(layout.Header().Height(), kCellHeight + 1);
  // A narrow grid: (100 + 10) * 120 / 20 + 8 = 668 and 308, each two cells wider.
  EXPECT_EQ(layout.ColumnWidths(), (std::vector<int>{668 + 240, 308 + 240}));

  // Just over half the width: every column takes a share of what is left.
  ASSERT_TRUE(layout.Begin(kA4, kCellWidth, kCellHeight, kScreenUnit, {400, 400}));
  const int printable = layout.Printable().Width();
  EXPECT_LE(Sum(layout.ColumnWidths()), printable);
  EXPECT_GT(Sum(layout.ColumnWidths()), printable * 3 / 4);

  // A grid far wider than the page is shrunk to fit.
  ASSERT_TRUE(layout.Begin(kA4, kCellWidth, kCellHeight, kScreenUnit, {2000, 1000, 3000}));
  EXPECT_LE(Sum(layout.ColumnWidths()), printable);
  EXPECT_GE(Sum(layout.ColumnWidths()), printable - 3);
  EXPECT_GT(layout.ColumnWidths()[2], layout.ColumnWidths()[0]);
}

TEST(PrintLayout, PageCountIsWhatTheLoopPrints) {
  PrintLayout layout;
  ASSERT_TRUE(layout.Begin(kA4, kCellWidth, kCellHeight, kScreenUnit, {100}));
  const int perPage = layout.RowsPerPage();
  ASSERT_GT(perPage, 1);
  // The last row of a page ends inside the printable rectangle; one more would not.
  EXPECT_LE(layout.RowTop(perPage - 1) + kCellHeight, layout.Printable().bottom);
  EXPECT_GT(layout.RowTop(perPage) + kCellHeight, layout.Printable().bottom);

  for (int64_t rows : {int64_t{0}, int64_t{1}, int64_t{40}, int64_t{perPage}, int64_t{perPage + 1},
                       int64_t{5000}}) {
    SCOPED_TRACE(rows);
    const int pages = layout.PageCount(rows);
    int64_t printed = 0;
    int64_t expectFirst = 0;
    for (int page = 1; page <= pages; ++page) {
      PrintPageRows onPage = layout.RowsOnPage(page, rows);
      EXPECT_EQ(onPage.first, expectFirst);
      if (rows > 0) {
        EXPECT_GT(onPage.count, 0) << "blank page " << page;
      }
      printed += onPage.count;
      expectFirst += onPage.count;
    }
    EXPECT_EQ(printed, rows);
    EXPECT_EQ(layout.RowsOnPage(pages + 1, rows).count, 0);
  }
  EXPECT_EQ(layout.PageCount(0), 1);  // title and headers still print
}

TEST(PrintLayout, LayoutsThatCannotPrint) {
  PrintLayout layout;
  EXPECT_FALSE(layout.Begin({0, 297, 4960, 7016}, kCellWidth, kCellHeight, kScreenUnit, {100}));
  EXPECT_FALSE(layout.Begin(kA4, kCellWidth, kCellHeight, 0, {100}));
  EXPECT_FALSE(layout.Begin(kA4, kCellWidth, kCellHeight, kScreenUnit, {}));

  // A row taller than the page: the job must stop, not loop on blank pages.
  ASSERT_TRUE(layout.Begin(kA4, kCellWidth, 7000, kScreenUnit, {100}));
  EXPECT_FALSE(layout.CanPrint());
  EXPECT_EQ(layout.PageCount(10), 0);
  EXPECT_EQ(layout.RowsOnPage(1, 10).count, 0);
}

}  // namespace
