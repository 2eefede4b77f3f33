/*
** Oracle test of the sorting and paging rewrites: over a real database,
** every rewritten query must prepare and return the rows that the plain
** wrapping SELECT * FROM (base) ORDER BY ... LIMIT ... OFFSET ... returns.
** The base of each query (without its own ORDER BY and LIMIT) and its
** limit are written by hand, so the oracle does not lean on the rewrites.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "viewertestdir.h"
#include "viewquerystate.h"
#include "xb_sqlitedb.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

/* One query of the oracle: its text, its base, the ORDER BY terms it keeps
** when paged, and its LIMIT clause's count and offset (-1: no LIMIT). */
struct OracleCase {
  const char* query;
  const char* base;
  const char* order;
  int64_t limit;
  int64_t offset;
};

const OracleCase kCases[] = {
    {"SELECT * FROM t", "SELECT * FROM t", "", -1, 0},
    {"SELECT * FROM t WHERE a > 3;", "SELECT * FROM t WHERE a > 3", "", -1, 0},
    {"SELECT a, b FROM t LIMIT 7", "SELECT a, b FROM t", "", 7, 0},
    {"SELECT * FROM t ORDER BY b, id LIMIT 5 OFFSET 3", "SELECT * FROM t", "b, id", 5, 3},
    {"SELECT a, count(*) FROM t GROUP BY a", "SELECT a, count(*) FROM t GROUP BY a", "", -1, 0},
    {"SELECT * FROM t -- every row", "SELECT * FROM t", "", -1, 0},
    {"select *\nfrom t\nwhere b like '%  %'", "select * from t where b like '%  %'", "", -1, 0},
    {"SELECT * FROM (SELECT * FROM t ORDER BY a DESC LIMIT 20) WHERE b <> 'x'",
     "SELECT * FROM (SELECT * FROM t ORDER BY a DESC LIMIT 20) WHERE b <> 'x'", "", -1, 0},
    {"WITH c AS (SELECT id, a FROM t LIMIT 30) SELECT * FROM c LIMIT 12",
     "WITH c AS (SELECT id, a FROM t LIMIT 30) SELECT * FROM c", "", 12, 0},
    {"SELECT a FROM t UNION SELECT a + 100 FROM t", "SELECT a FROM t UNION SELECT a + 100 FROM t",
     "", -1, 0},
    {"SELECT t.a, u.a FROM t JOIN u ON u.a = t.a", "SELECT t.a, u.a FROM t JOIN u ON u.a = t.a", "",
     -1, 0},
    {"SELECT id, a, row_number() OVER (ORDER BY a DESC, id) AS rn FROM t LIMIT 8",
     "SELECT id, a, row_number() OVER (ORDER BY a DESC, id) AS rn FROM t", "", 8, 0},
    {"SELECT * FROM t LIMIT 3, 4", "SELECT * FROM t", "", 4, 3},
    {"SELECT id AS \"the id\", b FROM t WHERE b = 'x  y' LIMIT 2147483647 OFFSET 1",
     "SELECT id AS \"the id\", b FROM t WHERE b = 'x  y'", "", 2147483647, 1},
};

/* Runs SQL on DB; fails the test when it does not prepare. */
Rows RowsOf(XB_SQLiteDB& db, const std::string& sql) {
  XB_SQLiteResult result;
  EXPECT_TRUE(db.GetTable(result, "%s", sql)) << sql << "\n"
                                              << (db.LastError() ? db.LastError() : "");
  Rows rows;
  for (int r = 0; r < result.Rows(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < result.Cols(); ++c) {
      const char* cell = result.Get(c, r);
      row.push_back(cell ? cell : "NULL");
    }
    rows.push_back(row);
  }
  return rows;
}

/* Returns the result column names of SQL on DB. */
std::vector<std::string> NamesOf(XB_SQLiteDB& db, const std::string& sql) {
  XB_SQLiteResult result;
  db.GetTable(result, "%s", sql);
  std::vector<std::string> names;
  for (int c = 0; c < result.Cols(); ++c) names.push_back(result.Cell(c));
  return names;
}

/* Returns column C of ROWS. */
std::vector<std::string> Column(const Rows& rows, size_t c) {
  std::vector<std::string> values;
  for (const auto& row : rows) values.push_back(row[c]);
  return values;
}

TEST(RewriteOracle, SortedAndPagedRewritesReturnTheOraclesRows) {
  ViewerTestDir dir;
  std::string sql =
      "CREATE TABLE t(id INTEGER PRIMARY KEY, a INTEGER, b TEXT); CREATE TABLE u(a INTEGER);";
  for (int i = 1; i <= 40; ++i) {
    sql += "INSERT INTO t VALUES(" + std::to_string(i) + "," + std::to_string((i * 7) % 11) + ",'" +
           (i % 5 == 0 ? std::string("x  y") : "v" + std::to_string(i % 9)) + "');";
    if (i % 3 == 0) sql += "INSERT INTO u VALUES(" + std::to_string(i % 11) + ");";
  }
  std::string path = dir.MakeDatabase("oracle.db", 3, sql);
  std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(path.c_str()));

  int checked = 0;
  for (const OracleCase& c : kCases) {
    SCOPED_TRACE(c.query);
    std::vector<std::string> names = NamesOf(*db, c.query);
    ASSERT_FALSE(names.empty());
    std::string limitClause =
        " LIMIT " + std::to_string(c.limit) + " OFFSET " + std::to_string(c.offset);
    for (size_t column = 0; column < names.size(); ++column) {
      for (bool ascending : {true, false}) {
        std::string term = SortTermOf(names, static_cast<int>(column));
        std::string sorted = MakeSortedQuery(c.query, term, ascending);
        std::string oracle = "SELECT * FROM (" + std::string(c.base) + ") ORDER BY " +
                             std::to_string(column + 1) + (ascending ? " ASC" : " DESC") +
                             limitClause;
        Rows got = RowsOf(*db, sorted);
        Rows want = RowsOf(*db, oracle);
        // Ties may come in any order: the sort column must agree exactly,
        // the rows as a whole as sets.
        EXPECT_EQ(Column(got, column), Column(want, column)) << sorted;
        if (c.limit < 0) {
          std::sort(got.begin(), got.end());
          std::sort(want.begin(), want.end());
          EXPECT_EQ(got, want) << sorted;
        }
        ++checked;
      }
    }
    // Paging forward twice, then back once.
    std::string query = c.query;
    int64_t pageLimit = c.limit < 0 ? 10 : c.limit;
    int64_t offset = c.offset;
    for (PageDirection direction : {PageDirection::Down, PageDirection::Down, PageDirection::Up}) {
      PagedQuery paged = MakePagedQuery(query, direction);
      offset = direction == PageDirection::Down ? offset + pageLimit
                                                : std::max<int64_t>(0, offset - pageLimit);
      EXPECT_EQ(paged.offset, offset);
      std::string ordered = std::string(c.base) + (*c.order ? " ORDER BY " : "") + c.order;
      std::string oracle = "SELECT * FROM (" + ordered + ") LIMIT " + std::to_string(pageLimit) +
                           " OFFSET " + std::to_string(offset);
      Rows got = RowsOf(*db, paged.text);
      Rows want = RowsOf(*db, oracle);
      if (*c.order == '\0') {
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
      }
      EXPECT_EQ(got, want) << paged.text;
      query = paged.text;
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
