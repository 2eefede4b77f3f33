/*
** Tests of query composition: the classic texts on ordinary SQL, and the
** rewrites of everything else working on the query's own top-level clauses
** only, with the rest of the text kept.
*/
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "sqltext.h"
#include "viewquerystate.h"

namespace {

TEST(QueryComposition, OrdinaryQueriesGiveTheClassicTexts) {
  EXPECT_EQ(MakeTableQuery("t", 100), "SELECT * FROM t LIMIT 100");
  EXPECT_EQ(MakeTableQuery("t", 0), "SELECT * FROM t");
  EXPECT_EQ(MakeTableQuery("t", -5), "SELECT * FROM t");
  EXPECT_EQ(TrimQuery("  SELECT 1;; \n"), "SELECT 1;");

  struct Sort {
    const char* query;
    const char* column;
    bool ascending;
    const char* expected;
  } sorts[] = {
      {"SELECT * FROM t LIMIT 100", "name", false, "SELECT * FROM t ORDER BY name DESC LIMIT 100"},
      {"SELECT * FROM t ORDER BY name DESC LIMIT 100", "id", true,
       "SELECT * FROM t ORDER BY id ASC LIMIT 100"},
      {"select * from t where a = 1;", "a", true, "select * from t where a = 1 ORDER BY a ASC "},
      {"SELECT * FROM t ORDER BY b DESC LIMIT 5 OFFSET 10", "a", false,
       "SELECT * FROM t ORDER BY a DESC LIMIT 5 OFFSET 10"},
  };
  for (const Sort& s : sorts)
    EXPECT_EQ(MakeSortedQuery(s.query, s.column, s.ascending), s.expected) << s.query;

  LimitSplit split = SplitLimitClause("SELECT * FROM t LIMIT 10 OFFSET 20");
  EXPECT_EQ(split.rest, "SELECT * FROM t");
  EXPECT_EQ(split.clause, "LIMIT 10 OFFSET 20");
  EXPECT_EQ(StripOrderBy("SELECT * FROM t ORDER BY b DESC"), "SELECT * FROM t");

  struct Paging {
    const char* query;
    PageDirection direction;
    const char* expected;
    int64_t offset;
  } pages[] = {
      {"SELECT * FROM t;", PageDirection::Down, "SELECT * FROM t LIMIT 10 OFFSET 10", 10},
      {"SELECT * FROM t LIMIT 100", PageDirection::Down, "SELECT * FROM t LIMIT 100 OFFSET 100",
       100},
      {"SELECT * FROM t LIMIT 10 OFFSET 5", PageDirection::Up, "SELECT * FROM t LIMIT 10 OFFSET 0",
       0},
  };
  for (const Paging& p : pages) {
    PagedQuery paged = MakePagedQuery(p.query, p.direction);
    EXPECT_EQ(paged.text, p.expected) << p.query;
    EXPECT_EQ(paged.offset, p.offset) << p.query;
  }

  EXPECT_EQ(ParseLimitOffset("SELECT * FROM t").limit, 10);
  EXPECT_EQ(ParseLimitOffset("SELECT * FROM t").offset, 0);
  EXPECT_EQ(ParseLimitOffset("SELECT * FROM t LIMIT -1").limit, -1);
  EXPECT_EQ(ParseLimitOffset("SELECT * FROM t LIMIT 0x10 OFFSET 3").limit, 16);
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM Items WHERE x=1"), "items");
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM(t)"), "");
  EXPECT_EQ(TableNameOfQuery("SELECT count(*) FROM a,b"), "a");
  EXPECT_EQ(TableNameOfQuery("SELECT 1"), "");
  EXPECT_EQ(PagingStatusText(1500, 100), "1.500+100");
  EXPECT_EQ(PagingStatusText(0, 100), "0+100");
  EXPECT_EQ(PagingStatusText(1234567, -1), "1.234.567+-1");
}

TEST(QueryComposition, HostileAndUnusualNamesAreQuoted) {
  EXPECT_EQ(MakeTableQuery("b; DELETE FROM b; --", 100),
            "SELECT * FROM \"b; DELETE FROM b; --\" LIMIT 100");
  EXPECT_EQ(MakeTableQuery("first name", 0), "SELECT * FROM \"first name\"");
  EXPECT_EQ(MakeTableQuery("order", 0), "SELECT * FROM \"order\"");
  EXPECT_EQ(MakeTableQuery("say \"hi\"", 0), "SELECT * FROM \"say \"\"hi\"\"\"");
  EXPECT_EQ(MakeTableQuery("caf\xC3\xA9", 0), "SELECT * FROM \"caf\xC3\xA9\"");
  EXPECT_EQ(MakeTableQuery("_t2$", 0), "SELECT * FROM _t2$");

  // Every quoting form is read back.
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM \"first name\" LIMIT 5"), "first name");
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM \"say \"\"hi\"\"\""), "say \"hi\"");
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM [a b] WHERE 1"), "a b");
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM `x`"), "x");
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM main.T1"), "t1");
  EXPECT_EQ(TableNameOfQuery("SELECT * FROM  t"), "t");
  EXPECT_EQ(TableNameOfQuery("SELECT 'from x' FROM t"), "t");
  EXPECT_EQ(TableNameOfQuery("SELECT (SELECT 1 FROM u) FROM t"), "t");

  // Sorting: plain unique names by name, everything else by position.
  std::vector<std::string> names = {"id", "count(*)", "first name", "x", "X", "order"};
  EXPECT_EQ(SortTermOf(names, 0), "id");
  EXPECT_EQ(SortTermOf(names, 1), "2");
  EXPECT_EQ(SortTermOf(names, 2), "3");
  EXPECT_EQ(SortTermOf(names, 3), "4");  // a duplicate name from a join
  EXPECT_EQ(SortTermOf(names, 5), "6");
}

TEST(QueryComposition, OnlyTheQuerysOwnClausesAreRewritten) {
  struct Case {
    const char* query;
    const char* sorted; /* by b, descending */
    const char* paged;  /* one page down */
  } cases[] = {
      // A trailing line comment would swallow an appended clause.
      {"SELECT * FROM t -- all rows", "SELECT * FROM t ORDER BY b DESC  -- all rows",
       "SELECT * FROM t LIMIT 10 OFFSET 10 -- all rows"},
      // ORDER BY and LIMIT inside a sub-query belong to it.
      {"SELECT * FROM (SELECT * FROM t ORDER BY a LIMIT 5)",
       "SELECT * FROM (SELECT * FROM t ORDER BY a LIMIT 5) ORDER BY b DESC ",
       "SELECT * FROM (SELECT * FROM t ORDER BY a LIMIT 5) LIMIT 10 OFFSET 10"},
      // ... and so do those of a window function.
      {"SELECT a, row_number() OVER (ORDER BY a) AS n FROM t LIMIT 3",
       "SELECT a, row_number() OVER (ORDER BY a) AS n FROM t ORDER BY b DESC LIMIT 3",
       "SELECT a, row_number() OVER (ORDER BY a) AS n FROM t LIMIT 3 OFFSET 3"},
      // Literals keep their blanks and their words.
      {"select * from t where x = 'a  b ORDER BY z LIMIT 1' and y = 1",
       "select * from t where x = 'a  b ORDER BY z LIMIT 1' and y = 1 ORDER BY b DESC ",
       "select * from t where x = 'a  b ORDER BY z LIMIT 1' and y = 1 LIMIT 10 OFFSET 10"},
      // A CTE's own clauses stay; the main query's are found.
      {"WITH c AS (SELECT * FROM t LIMIT 2) SELECT * FROM c ORDER BY a LIMIT 4",
       "WITH c AS (SELECT * FROM t LIMIT 2) SELECT * FROM c ORDER BY b DESC LIMIT 4",
       "WITH c AS (SELECT * FROM t LIMIT 2) SELECT * FROM c ORDER BY a LIMIT 4 OFFSET 4"},
      // A compound select is sorted as a whole.
      {"SELECT a FROM t UNION SELECT a FROM u",
       "SELECT a FROM t UNION SELECT a FROM u ORDER BY b DESC ",
       "SELECT a FROM t UNION SELECT a FROM u LIMIT 10 OFFSET 10"},
      // Line breaks and comments inside the text stay where they were.
      {"SELECT *\n  FROM t /* note */\n  LIMIT 20",
       "SELECT *\n  FROM t /* note */\n  ORDER BY b DESC LIMIT 20",
       "SELECT *\n  FROM t /* note */\n  LIMIT 20 OFFSET 20"},
      {"SELECT * FROM t -- note\nLIMIT 20", "SELECT * FROM t -- note\nORDER BY b DESC LIMIT 20",
       "SELECT * FROM t -- note\nLIMIT 20 OFFSET 20"},
      // A column named like a keyword, quoted, does not cut the query.
      {"SELECT \"order\" FROM t", "SELECT \"order\" FROM t ORDER BY b DESC ",
       "SELECT \"order\" FROM t LIMIT 10 OFFSET 10"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeSortedQuery(c.query, "b", false), c.sorted) << c.query;
    EXPECT_EQ(MakePagedQuery(c.query, PageDirection::Down).text, c.paged) << c.query;
  }
  EXPECT_EQ(ParseLimitOffset("SELECT * FROM (SELECT * FROM t LIMIT 5 OFFSET 7)").limit, 10);
  EXPECT_EQ(ParseLimitOffset("SELECT * FROM t WHERE x = 'LIMIT 5'").limit, 10);
}

TEST(QueryComposition, LimitsAreRead64BitAndTheCommaFormIsOffsetFirst) {
  LimitOffset comma = ParseLimitOffset("SELECT * FROM t LIMIT 10, 20");
  EXPECT_EQ(comma.offset, 10);
  EXPECT_EQ(comma.limit, 20);
  EXPECT_EQ(SplitLimitClause("SELECT * FROM t LIMIT 10, 20").clause, "LIMIT 20 OFFSET 10");
  EXPECT_EQ(MakeSortedQuery("SELECT * FROM t LIMIT 10, 20", "a", true),
            "SELECT * FROM t ORDER BY a ASC LIMIT 20 OFFSET 10");
  EXPECT_EQ(MakePagedQuery("SELECT * FROM t LIMIT 10, 20", PageDirection::Down).text,
            "SELECT * FROM t LIMIT 20 OFFSET 30");

  // The "all rows" idiom: the next offset saturates instead of wrapping.
  PagedQuery all =
      MakePagedQuery("SELECT * FROM t LIMIT 9223372036854775807 OFFSET 1", PageDirection::Down);
  EXPECT_EQ(all.offset, INT64_MAX);
  EXPECT_EQ(all.text, "SELECT * FROM t LIMIT 9223372036854775807 OFFSET 9223372036854775807");
  PagedQuery wide =
      MakePagedQuery("SELECT * FROM t LIMIT 2147483647 OFFSET 1", PageDirection::Down);
  EXPECT_EQ(wide.offset, 2147483648LL);
  EXPECT_EQ(ParseLimitOffset("SELECT * FROM t LIMIT 99999999999999999999").limit, INT64_MAX);
  EXPECT_EQ(ParseLimitOffset("SELECT * FROM t LIMIT -99999999999999999999").limit, INT64_MIN);
  EXPECT_EQ(MakePagedQuery("SELECT * FROM t LIMIT -9223372036854775808 OFFSET 0", PageDirection::Up)
                .offset,
            INT64_MAX);
}

TEST(QueryComposition, RunBookkeepingAndTheTableWalk) {
  ViewQueryState state;
  EXPECT_EQ(state.limit, 25);
  state.tableIndex = -1;
  NoteQueryRun(state, "SELECT * FROM t LIMIT 50 OFFSET 100");
  EXPECT_EQ(state.limit, 50);
  EXPECT_EQ(state.offset, 100);
  EXPECT_EQ(state.lastCustomQuery, "SELECT * FROM t LIMIT 50 OFFSET 100");
  NoteQueryReadOnly(state, true);

  state.tableIndex = 0;
  NoteQueryRun(state, "SELECT * FROM u");
  NoteQueryReadOnly(state, true);
  EXPECT_EQ(state.lastCustomQuery, "SELECT * FROM t LIMIT 50 OFFSET 100");
  EXPECT_EQ(state.limit, 10);
  EXPECT_TRUE(CanGoPreviousTable(state));
  EXPECT_TRUE(CanGoNextTable(state, 2));
  EXPECT_FALSE(CanGoNextTable(state, 1));

  // A custom query that writes is never returned to unasked.
  state.tableIndex = -1;
  NoteQueryRun(state, "DELETE FROM t");
  NoteQueryReadOnly(state, false);
  state.tableIndex = 0;
  EXPECT_FALSE(CanGoPreviousTable(state));
  ViewQueryState fresh;
  EXPECT_FALSE(CanGoPreviousTable(fresh));
  fresh.tableIndex = -1;
  EXPECT_TRUE(CanGoNextTable(fresh, 1));
}

TEST(SqlText, ScriptsSplitOnlyBetweenStatements) {
  std::vector<std::string> got = SplitSqlStatements(
      "CREATE TABLE t(x);\r\n"
      "INSERT INTO t VALUES('a;\nb');  -- one; two\n"
      "/* ; */ INSERT INTO \"t\" VALUES(1);\n"
      "CREATE TRIGGER tr AFTER INSERT ON t BEGIN\n"
      "  UPDATE t SET x = CASE WHEN x = 1 THEN 2 ELSE x END;\n"
      "  DELETE FROM t WHERE x = 3;\n"
      "END;\n"
      "BEGIN; COMMIT;\n"
      ";;  -- trailing\n");
  std::vector<std::string> expected = {
      "CREATE TABLE t(x)",
      "INSERT INTO t VALUES('a;\nb')",
      "-- one; two\n/* ; */ INSERT INTO \"t\" VALUES(1)",
      "CREATE TRIGGER tr AFTER INSERT ON t BEGIN\n"
      "  UPDATE t SET x = CASE WHEN x = 1 THEN 2 ELSE x END;\n"
      "  DELETE FROM t WHERE x = 3;\n"
      "END",
      "BEGIN",
      "COMMIT",
  };
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(SplitSqlStatements("  -- only a note\n").empty());
  EXPECT_EQ(SplitSqlStatements("SELECT 'unterminated; x").size(), 1u);
}

}  // namespace
