/*
** The 2.x rules the file depends on: number recognition and conversion,
** sortable number texts and index keys (known keys taken from real 2.8.17
** files), comparison in the two column classes, and the reading of
** CREATE TABLE / CREATE INDEX texts (rowid alias, classes, automatic
** index names).
*/
#include "s2file.h"
#include "s2schema.h"
#include "s2value.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using s2::ColumnClass;

std::string field(const char* text, ColumnClass cls = ColumnClass::Numeric) {
  std::string key;
  s2::appendIndexField(key, s2::Cell(text), cls);
  return key;
}

TEST(Numbers, LooksLikeNumber) {
  for (const char* yes : {"0", "007", "-12", "+5", "3.25", "1e3", "1E+05", "-0", "1.5e-3"}) {
    EXPECT_TRUE(s2::looksLikeNumber(yes)) << yes;
  }
  for (const char* no :
       {"", " 5", "5 ", "5.", ".5", "-.5", "1e", "0x10", "1,5", "-", "NaN", "Inf", "1e+", "+"}) {
    EXPECT_FALSE(s2::looksLikeNumber(no)) << no;
  }
}

TEST(Numbers, TextToNumberFollowsTheEngine) {
  EXPECT_EQ(s2::textToNumber("007"), 7.0);
  EXPECT_EQ(s2::textToNumber("-2.5"), -2.5);
  EXPECT_EQ(s2::textToNumber("1e3"), 1000.0);
  /* 80-bit intermediates give a different double than a correct strtod. */
  EXPECT_EQ(s2::textToNumber("1e-300"), 9.9999999999999986e-301);
  size_t used = 0;
  EXPECT_EQ(s2::textToNumber("12abc", &used), 12.0);
  EXPECT_EQ(used, 2u);
  EXPECT_TRUE(std::isinf(s2::textToNumber("1e400")));
  /* A huge exponent must neither hang nor overflow into nonsense. */
  EXPECT_TRUE(std::isinf(s2::textToNumber("1e2000000000")));
  EXPECT_EQ(s2::textToNumber("1e-2000000000"), 0.0);
}

TEST(Numbers, SortableTextsOfKnownKeys) {
  struct Case {
    const char* text;
    const char* key;
  } cases[] = {
      {"0", "000W"},
      {"-0", "000W"},
      {"00", "000W"},
      {"1", "0G1X"},
      {"1.0", "0G1X"},
      {"+1", "0G1X"},
      {"1e0", "0G1X"},
      {"2", "0G1Y"},
      {"10", "0G1g"},
      {"42", "0G2Wg"},
      {"64", "0G2X"},
      {"65", "0G2X1"},
      {"100", "0G2Xa"},
      {"1e3", "0G2le"},
      {"1000000", "0G4Zq9"},
      {"2147483647", "0G6X~~~~~"},
      {"2147483648", "0G6Y"},
      {"0.5", "0G1WW"},
      {"3.25", "0G1ZG"},
      {"0.1", "0G0cPcPcPcPc"},
      {"0.001", "0F~a69Dql6g"},
      {"-1", "-F~V"},
      {"-7", "-F~P"},
      {"-12", "-F~K"},
      {"-0.5", "-F~VW"},
      {"-0.001", "-G1RvsoBGvM1"},
      {"-2147483648", "-FwU"},
      {"1e100", "0Guaacj9PJ3W"},
      {"-1e100", "-F8RRPIsciyX"},
      {"1e400", "0~~~~~~~~~~~~"},
      {"891.953913", "0G2jxz3EaSZi"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(s2::numberToSortableText(s2::textToNumber(c.text)), c.key) << c.text;
  }
  EXPECT_EQ(s2::numberToSortableText(-HUGE_VAL), "-01");
  EXPECT_EQ(s2::numberToSortableText(std::nan("")), "0G0");
}

TEST(Numbers, SortableTextOrderFollowsNumericOrder) {
  const double values[] = {-1e300, -1e10, -65, -64, -1.5, -1e-5, -5e-324, 0,    4.9e-324,
                           1e-300, 1e-5,  0.5, 1,   63,   64,    65,      1e10, 1e300};
  for (size_t i = 1; i < sizeof values / sizeof values[0]; i++) {
    EXPECT_LT(s2::numberToSortableText(values[i - 1]), s2::numberToSortableText(values[i]))
        << values[i - 1] << " vs " << values[i];
  }
}

TEST(Keys, FieldsAndWholeKeys) {
  EXPECT_EQ(field("42"), std::string("b0G2Wg\0", 7));
  EXPECT_EQ(field("42", ColumnClass::Text), std::string("c42\0", 4));
  EXPECT_EQ(field("5."), std::string("c5.\0", 4));
  EXPECT_EQ(field(""), std::string("c\0", 2));
  std::string nullField;
  s2::appendIndexField(nullField, s2::Cell(), ColumnClass::Text);
  EXPECT_EQ(nullField, std::string("a\0", 2));

  EXPECT_EQ(s2::rowidKey(-2147483647 - 1), std::string("\x00\x00\x00\x00", 4));
  EXPECT_EQ(s2::rowidKey(-1), "\x7f\xff\xff\xff");
  EXPECT_EQ(s2::rowidKey(300), std::string("\x80\x00\x01\x2c", 4));

  s2::TableDef table;
  ASSERT_TRUE(s2::parseCreateTable("CREATE TABLE t(id INTEGER PRIMARY KEY, s TEXT, n)", table));
  s2::IndexDef index;
  index.columns = {1, 2, 0};
  s2::Row row{5, {std::string("5"), std::string("v5"), std::string("3")}};
  EXPECT_EQ(s2::indexKey(index, table, row),
            std::string("cv5\0b0G1Z\0b0G1b\0\x80\x00\x00\x05", 20));
}

TEST(Compare, NumericAndTextClasses) {
  using s2::compareText;
  EXPECT_LT(compareText("9", "10", ColumnClass::Numeric), 0);
  EXPECT_GT(compareText("9", "10", ColumnClass::Text), 0);
  EXPECT_EQ(compareText("007", "7", ColumnClass::Numeric), 0);
  EXPECT_EQ(compareText("1e1", "10", ColumnClass::Numeric), 0);
  EXPECT_NE(compareText("007", "7", ColumnClass::Text), 0);
  /* Numbers sort before every other text; other texts in byte order. */
  EXPECT_LT(compareText("99", "", ColumnClass::Numeric), 0);
  EXPECT_LT(compareText("", " 5", ColumnClass::Numeric), 0);
  EXPECT_LT(compareText("Z", "abc", ColumnClass::Numeric), 0);
  EXPECT_LT(compareText("a", "\xe4", ColumnClass::Text), 0);
  EXPECT_LT(compareText("ab", "abc", ColumnClass::Text), 0);
  EXPECT_LT(s2::compareValues(s2::Cell(), s2::Cell(""), ColumnClass::Text), 0);
  EXPECT_EQ(s2::compareValues(s2::Cell(), s2::Cell(), ColumnClass::Numeric), 0);
}

TEST(Schema, ColumnClassesFromTypesAndCollations) {
  for (const char* text :
       {"TEXT", "VARCHAR(10)", "CHARACTER", "BLOB", "NCHAR", "clob", "4EXT", "#HAR"}) {
    EXPECT_EQ(s2::classOfTypeName(text), ColumnClass::Text) << text;
  }
  for (const char* num :
       {"INTEGER", "INT", "NUMERIC", "REAL", "DATE", "BOOLEAN", "STRING", "", "TEX"}) {
    EXPECT_EQ(s2::classOfTypeName(num), ColumnClass::Numeric) << num;
  }
  s2::TableDef t;
  ASSERT_TRUE(s2::parseCreateTable(
      "CREATE TABLE c(a TEXT COLLATE NOCASE, b INTEGER COLLATE TEXT, c VARCHAR ( 10 ), d, "
      "e DOUBLE PRECISION, f NUMERIC(10,2))",
      t));
  ASSERT_EQ(t.columns.size(), 6u);
  EXPECT_EQ(t.columns[0].cls, ColumnClass::Numeric);
  EXPECT_EQ(t.columns[1].cls, ColumnClass::Text);
  EXPECT_EQ(t.columns[2].cls, ColumnClass::Text);
  EXPECT_EQ(t.columns[2].declaredType, "VARCHAR(10)");
  EXPECT_EQ(t.columns[3].declaredType, "");
  EXPECT_EQ(t.columns[4].declaredType, "DOUBLEPRECISION");
  EXPECT_EQ(t.columns[5].declaredType, "NUMERIC(10,2)");
}

TEST(Schema, RowidAliasAndAutomaticIndices) {
  s2::TableDef t;
  ASSERT_TRUE(s2::parseCreateTable(
      "CREATE TABLE \"My Tab\"(a INT PRIMARY KEY, b UNIQUE, c, d, UNIQUE(c,d))", t));
  EXPECT_EQ(t.name, "My Tab");
  EXPECT_EQ(t.rowidColumn, -1);
  ASSERT_EQ(t.autoIndices.size(), 3u);
  EXPECT_EQ(t.autoIndices[0].name, "(My Tab autoindex 1)");
  EXPECT_EQ(t.autoIndices[0].columns, std::vector<int>{0});
  EXPECT_EQ(t.autoIndices[1].columns, std::vector<int>{1});
  EXPECT_EQ(t.autoIndices[2].name, "(My Tab autoindex 3)");
  EXPECT_EQ(t.autoIndices[2].columns, (std::vector<int>{2, 3}));

  ASSERT_TRUE(
      s2::parseCreateTable("CREATE TABLE p(x, id integer PRIMARY KEY DESC, v TEXT UNIQUE)", t));
  EXPECT_EQ(t.rowidColumn, 1);
  ASSERT_EQ(t.autoIndices.size(), 1u);
  EXPECT_EQ(t.autoIndices[0].name, "(p autoindex 1)");

  ASSERT_TRUE(s2::parseCreateTable("CREATE TABLE q(k INTEGER, v, PRIMARY KEY(k))", t));
  EXPECT_EQ(t.rowidColumn, 0);
  EXPECT_TRUE(t.autoIndices.empty());
  ASSERT_TRUE(s2::parseCreateTable("CREATE TABLE r(k INTEGER(10) PRIMARY KEY)", t));
  EXPECT_EQ(t.rowidColumn, -1);
  ASSERT_TRUE(s2::parseCreateTable("CREATE TABLE s(a INTEGER, b INTEGER, PRIMARY KEY(a, b))", t));
  EXPECT_EQ(t.rowidColumn, -1);
  EXPECT_EQ(t.autoIndices[0].columns, (std::vector<int>{0, 1}));
}

TEST(Schema, DefaultsConstraintsAndFailures) {
  s2::TableDef t;
  ASSERT_TRUE(s2::parseCreateTable(
      "CREATE TABLE t(a INTEGER DEFAULT 42 /* c */, b TEXT DEFAULT 'hi' NOT NULL, c DEFAULT -1.5,"
      " d VARCHAR(10) DEFAULT NULL CHECK(d <> 'bad'), e DEFAULT 'x''y' -- note\n,"
      " f DEFAULT CURRENT_TIMESTAMP REFERENCES o(id) ON DELETE SET NULL,"
      " CONSTRAINT pk PRIMARY KEY(a) ON CONFLICT REPLACE, CHECK(a > 0)"
      " FOREIGN KEY(b) REFERENCES o(x) NOT DEFERRABLE)",
      t));
  ASSERT_EQ(t.columns.size(), 6u);
  EXPECT_EQ(t.columns[0].defaultValue, s2::Cell("42"));
  EXPECT_TRUE(t.columns[1].notNull);
  EXPECT_EQ(t.columns[2].defaultValue, s2::Cell("-1.5"));
  EXPECT_TRUE(t.columns[3].hasDefault && !t.columns[3].defaultValue);
  EXPECT_EQ(t.columns[4].defaultValue, s2::Cell("x'y"));
  EXPECT_EQ(t.columns[5].defaultValue, s2::Cell("CURRENT_TIMESTAMP"));
  EXPECT_EQ(t.rowidColumn, 0);

  std::string error;
  EXPECT_FALSE(s2::parseCreateTable("CREATE TABLE x(a, a)", t, &error));
  EXPECT_NE(error.find("duplicate column name: a"), std::string::npos);
  EXPECT_FALSE(s2::parseCreateTable("CREATE TABLE x(a PRIMARY KEY, b PRIMARY KEY)", t));
  EXPECT_FALSE(s2::parseCreateTable("CREATE TABLE x(a, UNIQUE(b))", t));
  EXPECT_FALSE(s2::parseCreateTable("CREATE TABLE x(a", t));
  EXPECT_FALSE(s2::parseCreateTable("ALTER TABLE x ADD b", t));
  EXPECT_FALSE(s2::parseCreateTable("CREATE TABLE x AS SELECT 1", t));
}

TEST(Schema, CreateIndex) {
  s2::IndexStatement stmt;
  ASSERT_TRUE(s2::parseCreateIndex(
      "CREATE UNIQUE INDEX \"my index\" ON [first table]([order] DESC, \"first name\") "
      "ON CONFLICT IGNORE",
      stmt));
  EXPECT_TRUE(stmt.unique);
  EXPECT_EQ(stmt.name, "my index");
  EXPECT_EQ(stmt.tableName, "first table");
  EXPECT_EQ(stmt.columnNames, (std::vector<std::string>{"order", "first name"}));

  s2::TableDef table;
  ASSERT_TRUE(s2::parseCreateTable("CREATE TABLE \"first table\"(\"first name\", [ORDER])", table));
  s2::IndexDef index;
  ASSERT_TRUE(s2::resolveIndex(stmt, table, index));
  EXPECT_EQ(index.columns, (std::vector<int>{1, 0}));
  ASSERT_TRUE(s2::parseCreateIndex("create index i on t(zz)", stmt));
  std::string error;
  EXPECT_FALSE(s2::resolveIndex(stmt, table, index, &error));
  EXPECT_FALSE(s2::parseCreateIndex("CREATE INDEX i ON t", stmt));
}

}  // namespace
