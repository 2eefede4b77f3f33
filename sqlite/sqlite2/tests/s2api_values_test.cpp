/*
** Tests of value fidelity through the 2.x C interface: what is stored is
** the 2.x text of each value, byte for byte; comparisons, sorting and
** UNIQUE follow the column classes; rowids follow the 2.x rules; values a
** 2.x file cannot hold are refused before anything is written.
*/
#include "s2api_helpers.h"

#include "s2check.h"

using namespace s2api;

namespace {

TEST(S2ApiValues, StoredTextKeepsSpellingAndComputedValuesTake2xForm) {
  std::string path = freshPath("spelling");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db, "CREATE TABLE v(i INTEGER, t TEXT, u)").code, SQLITE_OK);
  ASSERT_EQ(run(db,
                "INSERT INTO v VALUES(007, 1.50, 1e3);"
                "INSERT INTO v VALUES(-0, +5, 12345678901234567890);"
                "INSERT INTO v VALUES(- 1.50, '+5', -0.0);"
                "INSERT INTO v VALUES('', NULL, '\xe4\xf6\xfc\xdf \x80\xff');"
                "INSERT INTO v VALUES(1.5*2, 7/2.0, 0.1+0.2);"
                "INSERT INTO v VALUES(1e20*10, 7/2, 1/0)")
                .code,
            SQLITE_OK);
  ASSERT_EQ(run(db, "UPDATE v SET u = i * 1 WHERE rowid = 1").code, SQLITE_OK);
  const std::vector<std::vector<Cell>> expected = {
      {"007", "1.50", "7"},    {"-0", "5", "12345678901234567890"},
      {"-1.50", "+5", "-0.0"}, {"", std::nullopt, "\xe4\xf6\xfc\xdf \x80\xff"},
      {"3", "3.5", "0.3"},     {"1e+21", "3", std::nullopt}};
  EXPECT_EQ(query(db, "SELECT * FROM v").rows, expected);
  sqlite_close(db);

  /* The file holds exactly these texts, and reads back the same. */
  s2::Image image = storedImage(path);
  std::vector<s2::Row> rows = storedRows(image, "v");
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].cells, expected[i]) << "row " << i;
  EXPECT_TRUE(s2check::CheckFile(path).empty());
  db = openDb(path);
  EXPECT_EQ(query(db, "SELECT * FROM v").rows, expected);
  EXPECT_EQ(column(db, "SELECT count(*) FROM v WHERE t IS NULL"), std::vector<Cell>{"1"});
  EXPECT_EQ(column(db, "SELECT count(*) FROM v WHERE i = ''"), std::vector<Cell>{"1"});
  sqlite_close(db);
}

TEST(S2ApiValues, SortingAndComparisonFollowTheColumnClass) {
  sqlite* db = openDb(freshPath("classes"));
  ASSERT_EQ(run(db, "CREATE TABLE s(n NUMERIC, t VARCHAR(10), c TEXT COLLATE NOCASE)").code,
            SQLITE_OK);
  for (const char* v : {"'10'", "'9'", "'abc'", "'1e1'", "NULL", "'-2.5'", "'Z'", "' 5'", "''"}) {
    std::string sql = std::string("INSERT INTO s VALUES(") + v + "," + v + "," + v + ")";
    ASSERT_EQ(run(db, sql).code, SQLITE_OK);
  }
  std::vector<Cell> numeric = column(db, "SELECT n FROM s ORDER BY n");
  ASSERT_EQ(numeric.size(), 9u);
  EXPECT_EQ(numeric[0], std::nullopt);
  EXPECT_EQ(numeric[1], "-2.5");
  EXPECT_EQ(numeric[2], "9");
  EXPECT_TRUE((numeric[3] == "10" && numeric[4] == "1e1") ||
              (numeric[3] == "1e1" && numeric[4] == "10"));
  EXPECT_EQ(std::vector<Cell>(numeric.begin() + 5, numeric.end()),
            (std::vector<Cell>{"", " 5", "Z", "abc"}));
  EXPECT_EQ(column(db, "SELECT t FROM s ORDER BY t"),
            (std::vector<Cell>{std::nullopt, "", " 5", "-2.5", "10", "1e1", "9", "Z", "abc"}));
  EXPECT_EQ(column(db, "SELECT n FROM s ORDER BY n COLLATE TEXT"),
            (std::vector<Cell>{std::nullopt, "", " 5", "-2.5", "10", "1e1", "9", "Z", "abc"}));
  EXPECT_EQ(column(db, "SELECT t FROM s WHERE t > '' ORDER BY t COLLATE NUMERIC DESC LIMIT 3"),
            (std::vector<Cell>{"abc", "Z", " 5"}));
  /* COLLATE with any name but a text one makes the column numeric. */
  EXPECT_EQ(column(db, "SELECT c FROM s WHERE c < 10 ORDER BY c"),
            (std::vector<Cell>{"-2.5", "9"}));
  EXPECT_EQ(column(db, "SELECT n FROM s WHERE n = '10.0' ORDER BY rowid"),
            (std::vector<Cell>{"10", "1e1"}));
  EXPECT_EQ(column(db, "SELECT t FROM s WHERE t = '10.0'"), std::vector<Cell>{});
  EXPECT_EQ(column(db, "SELECT count(DISTINCT n) FROM s"), std::vector<Cell>{"7"});
  EXPECT_EQ(column(db, "SELECT max(n) FROM s WHERE n < 'a'"), std::vector<Cell>{"Z"});
  sqlite_close(db);
}

TEST(S2ApiValues, UniqueComparesNumericColumnsByValue) {
  std::string path = freshPath("unique");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db,
                "CREATE TABLE n(v INTEGER UNIQUE);"
                "CREATE TABLE t(v TEXT UNIQUE);"
                "CREATE TABLE p(a, b, UNIQUE(a, b))")
                .code,
            SQLITE_OK);
  EXPECT_EQ(run(db, "INSERT INTO n VALUES('007')").code, SQLITE_OK);
  for (const char* dup : {"'7'", "7.0", "'+7'", "'7e0'"}) {
    Result r = run(db, std::string("INSERT INTO n VALUES(") + dup + ")");
    EXPECT_EQ(r.code, SQLITE_CONSTRAINT) << dup;
    EXPECT_EQ(r.error, "column v is not unique");
  }
  EXPECT_EQ(run(db, "INSERT INTO n VALUES(' 7')").code, SQLITE_OK);
  EXPECT_EQ(run(db, "INSERT INTO n VALUES(NULL); INSERT INTO n VALUES(NULL)").code, SQLITE_OK);
  EXPECT_EQ(run(db,
                "INSERT INTO t VALUES('007'); INSERT INTO t VALUES('7'); "
                "INSERT INTO t VALUES('7.0')")
                .code,
            SQLITE_OK);
  EXPECT_EQ(run(db, "INSERT INTO t VALUES('7')").error, "column v is not unique");
  EXPECT_EQ(run(db, "INSERT INTO p VALUES(1, 'x')").code, SQLITE_OK);
  Result pair = run(db, "INSERT INTO p VALUES('1.0', 'x')");
  EXPECT_EQ(pair.code, SQLITE_CONSTRAINT);
  EXPECT_EQ(pair.error, "columns a, b are not unique");
  ASSERT_EQ(run(db, "CREATE TABLE m(v)").code, SQLITE_OK);
  ASSERT_EQ(run(db, "INSERT INTO m VALUES(5); INSERT INTO m VALUES('5.0')").code, SQLITE_OK);
  Result index = run(db, "CREATE UNIQUE INDEX mv ON m(v)");
  EXPECT_EQ(index.code, SQLITE_CONSTRAINT);
  EXPECT_EQ(index.error, "indexed columns are not unique");
  sqlite_close(db);
  EXPECT_TRUE(s2check::CheckFile(path).empty());
  EXPECT_EQ(storedRows(storedImage(path), "n").size(), 4u);
}

TEST(S2ApiValues, IntegerPrimaryKeyIsTheRowidAndRowidsStayIn32Bits) {
  std::string path = freshPath("rowids");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db, "CREATE TABLE p(name, id INTEGER PRIMARY KEY)").code, SQLITE_OK);
  ASSERT_EQ(run(db, "INSERT INTO p VALUES('seven', '007')").code, SQLITE_OK);
  EXPECT_EQ(sqlite_last_insert_rowid(db), 7);
  ASSERT_EQ(run(db, "INSERT INTO p(name) VALUES('next')").code, SQLITE_OK);
  EXPECT_EQ(sqlite_last_insert_rowid(db), 8);
  Result bad = run(db, "INSERT INTO p VALUES('x', 'abc')");
  EXPECT_EQ(bad.code, SQLITE_MISMATCH);
  EXPECT_EQ(bad.error, "datatype mismatch");
  EXPECT_EQ(run(db, "INSERT INTO p VALUES('x', 3000000000)").code, SQLITE_MISMATCH);
  EXPECT_EQ(run(db, "UPDATE p SET id = -3000000000 WHERE id = 7").code, SQLITE_MISMATCH);
  EXPECT_EQ(run(db, "INSERT INTO p VALUES('again', 7)").error, "PRIMARY KEY must be unique");

  /* Automatic rowids: largest + 1, negative ones count. */
  ASSERT_EQ(run(db, "CREATE TABLE h(v)").code, SQLITE_OK);
  ASSERT_EQ(run(db, "INSERT INTO h(rowid, v) VALUES(-3, 'a'); INSERT INTO h(v) VALUES('b')").code,
            SQLITE_OK);
  EXPECT_EQ(sqlite_last_insert_rowid(db), -2);
  /* After the largest rowid is taken, a free one is chosen at random. */
  ASSERT_EQ(run(db, "INSERT INTO h(rowid, v) VALUES(2147483647, 'top')").code, SQLITE_OK);
  ASSERT_EQ(run(db, "INSERT INTO h(v) VALUES('random')").code, SQLITE_OK);
  int chosen = sqlite_last_insert_rowid(db);
  EXPECT_NE(chosen, 0);
  EXPECT_NE(chosen, 2147483647);
  EXPECT_EQ(column(db, "SELECT v FROM h WHERE rowid = " + std::to_string(chosen)),
            std::vector<Cell>{"random"});
  sqlite_close(db);

  s2::Image image = storedImage(path);
  std::vector<s2::Row> rows = storedRows(image, "p");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].rowid, 7);
  EXPECT_EQ(rows[0].cells, (std::vector<Cell>{"seven", "7"}));
  std::vector<s2::Row> h = storedRows(image, "h");
  ASSERT_EQ(h.size(), 4u);
  EXPECT_EQ(h[0].rowid, -3);
  EXPECT_EQ(h[1].rowid, -2);
  EXPECT_TRUE(s2check::CheckFile(path).empty());
  db = openDb(path);
  EXPECT_EQ(query(db, "SELECT id, name FROM p").rows,
            (std::vector<std::vector<Cell>>{{"7", "seven"}, {"8", "next"}}));
  sqlite_close(db);
}

/* Returns the rows of table T as SELECT shows them and as the file holds
** them, each as rowid followed by the values. */
std::pair<std::vector<std::vector<Cell>>, std::vector<std::vector<Cell>>> shownAndStored(
    sqlite* db, const std::string& path, const std::string& t) {
  std::vector<std::vector<Cell>> shown =
      query(db, "SELECT rowid, * FROM " + t + " ORDER BY rowid").rows;
  std::vector<std::vector<Cell>> stored;
  for (const s2::Row& row : storedRows(storedImage(path), t)) {
    std::vector<Cell> line{std::to_string(row.rowid)};
    line.insert(line.end(), row.cells.begin(), row.cells.end());
    stored.push_back(std::move(line));
  }
  return {shown, stored};
}

TEST(S2ApiValues, RowChangesOfEveryKindReachTheFile) {
  std::string path = freshPath("row-changes");
  sqlite* db = openDb(path);
  std::string fill = "BEGIN; CREATE TABLE t(k UNIQUE, v); CREATE TABLE big(v);";
  for (int i = 1; i <= 20; ++i) fill += "INSERT INTO t VALUES(" + std::to_string(i) + ", 'v');";
  for (int i = 0; i < 5000; ++i) fill += "INSERT INTO big VALUES(" + std::to_string(i) + ");";
  ASSERT_EQ(run(db, fill + "COMMIT").code, SQLITE_OK);
  for (const char* change :
       {"UPDATE t SET rowid = rowid + 100 WHERE rowid < 5", "DELETE FROM t WHERE rowid % 3 = 0",
        "INSERT OR REPLACE INTO t VALUES('7.0', 'replaced')",
        "REPLACE INTO t(rowid, k, v) VALUES(8, 'eight', 'again')",
        "UPDATE t SET v = k || v WHERE k > 15", "DELETE FROM t WHERE k = 2"}) {
    ASSERT_EQ(run(db, change).code, SQLITE_OK) << change;
    auto [shown, stored] = shownAndStored(db, path, "t");
    EXPECT_EQ(shown, stored) << change;
  }
  ASSERT_EQ(run(db, "BEGIN; UPDATE big SET v = v + 1; DELETE FROM big WHERE v > 4990; COMMIT").code,
            SQLITE_OK);
  auto [shown, stored] = shownAndStored(db, path, "big");
  EXPECT_EQ(shown, stored);
  EXPECT_EQ(stored.size(), 4990u);
  sqlite_close(db);
  EXPECT_TRUE(s2check::CheckFile(path).empty());
}

TEST(S2ApiValues, ValuesA2xFileCannotHoldAreRefusedBeforeWriting) {
  std::string path = freshPath("refused-values");
  sqlite* db = openDb(path);
  ASSERT_EQ(run(db, "CREATE TABLE r(v); INSERT INTO r VALUES('kept')").code, SQLITE_OK);
  std::string before = fileBytes(path);
  EXPECT_NE(run(db, "INSERT INTO r VALUES('a' || char(0) || 'b')").code, SQLITE_OK);
  EXPECT_NE(run(db, "INSERT INTO r VALUES(x'610062')").code, SQLITE_OK);
  Result big = run(db, "INSERT INTO r VALUES(replace(hex(zeroblob(600000)), '0', 'a'))");
  EXPECT_EQ(big.code, SQLITE_TOOBIG);
  EXPECT_EQ(fileBytes(path), before);
  Result row = run(db,
                   "CREATE TABLE w(a, b); "
                   "INSERT INTO w VALUES(replace(hex(zeroblob(300000)), '0', 'a'), "
                   "replace(hex(zeroblob(300000)), '0', 'b'))");
  EXPECT_EQ(row.code, SQLITE_TOOBIG);
  EXPECT_EQ(column(db, "SELECT v FROM r"), std::vector<Cell>{"kept"});
  EXPECT_EQ(column(db, "SELECT count(*) FROM w"), std::vector<Cell>{"0"});
  sqlite_close(db);
  EXPECT_EQ(storedRows(storedImage(path), "r").size(), 1u);
  EXPECT_TRUE(s2check::CheckFile(path).empty());
}

}  // namespace
