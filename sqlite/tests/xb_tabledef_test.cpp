/*
** Tests of the table definition parser on CREATE TABLE texts: the type
** words, key marking and selection flags, table constraints, nesting,
** quoting and comments.
*/
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xb_tabledef.h"

namespace {

/* Returns "key:type" for every descriptor of DEF, in order. */
std::vector<std::string> Columns(const XB_ParameterInfoGroup& def) {
  std::vector<std::string> out;
  for (int i = 0; i < def.Count(); i++) {
    out.push_back(std::string(def.KeyAt(i).View()) + ":" + std::to_string(def.At(i)->GetType()));
  }
  return out;
}

using Cols = std::vector<std::string>;

}  // namespace

TEST(ParseCreateTable, TypeWordsAndKeyMarking) {
  const char* sql =
      "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, price REAL, born DATE, at TIME, "
      "stamp DATETIME)";
  auto all = ParseCreateTable(sql, TD_ALL);
  ASSERT_TRUE(all);
  EXPECT_EQ(Columns(*all), (Cols{"id:255", "name:3", "price:4", "born:12", "at:13", "stamp:14"}));
  EXPECT_EQ(all->Key(), "t");
  EXPECT_EQ(all->At(0)->Comment(), "auto generated");
  auto unmarked = ParseCreateTable(sql, TD_PLAIN | TD_PRIMARY | TD_UNIQUE);
  EXPECT_EQ(unmarked->At(0)->GetType(), PT_INT);
  auto plainOnly = ParseCreateTable(sql, TD_PLAIN);
  EXPECT_EQ(plainOnly->Count(), 5);

  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(x DOUBLE, y BIGINT, dt DATETIME, "
                                      "updated TEXT, code varchar(3) UNIQUE)",
                                      TD_ALL)),
            (Cols{"x:3", "y:3", "dt:14", "updated:12", "code:255"}));
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(primary_key INTEGER)", TD_ALL)),
            (Cols{"primary_key:255"}));
}

TEST(ParseCreateTable, WhatIsNotATableDefinition) {
  EXPECT_FALSE(ParseCreateTable("create table t(a, b)", TD_ALL));
  EXPECT_FALSE(ParseCreateTable(" CREATE TABLE t(a)", TD_ALL));
  EXPECT_FALSE(ParseCreateTable("CREATE VIEW v AS SELECT 1", TD_ALL));
  EXPECT_FALSE(ParseCreateTable("", TD_ALL));
  auto bare = ParseCreateTable("CREATE TABLE t", TD_ALL);
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->Count(), 0);
  EXPECT_EQ(bare->Label(), "t");
  EXPECT_EQ(ParseCreateTable("CREATE TABLE copy AS SELECT a, b FROM t", TD_ALL)->Count(), 0);
}

TEST(ParseCreateTable, TableConstraints) {
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(a, b, PRIMARY KEY(a, b))", TD_ALL)),
            (Cols{"a:255", "b:255"}));
  EXPECT_EQ(ParseCreateTable("CREATE TABLE t(a, b, PRIMARY KEY(a, b))", TD_PLAIN)->Count(), 0);
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(a, UNIQUE(code))", TD_ALL)),
            (Cols{"a:3", "code:255"}));
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(a CHECK(a>0), CHECK(a<9))", TD_ALL)),
            (Cols{"a:3"}));
  /* Named constraints, a foreign key, an ON CONFLICT clause and ordering
  ** words after the column names invent no columns. */
  EXPECT_EQ(Columns(*ParseCreateTable(
                "CREATE TABLE t(a INTEGER, b TEXT, c, CONSTRAINT pk PRIMARY KEY (a DESC, b) "
                "ON CONFLICT REPLACE, FOREIGN KEY(c) REFERENCES other(id), "
                "constraint u unique(c COLLATE NOCASE))",
                TD_ALL)),
            (Cols{"a:255", "b:255", "c:255"}));
}

TEST(ParseCreateTable, NestingQuotesAndComments) {
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(a NUMERIC(10,2), b)", TD_ALL)),
            (Cols{"a:3", "b:3"}));
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(a TEXT DEFAULT 'x,y', b CHECK(b <> ')'), "
                                      "c TEXT DEFAULT 'primary key unique', d)",
                                      TD_ALL)),
            (Cols{"a:3", "b:3", "c:3", "d:3"}));
  /* The stored text of a 2.x table keeps comments and line breaks. */
  const char* defs =
      "CREATE TABLE defs(\n  a INTEGER DEFAULT 42,  -- the answer\n"
      "  b TEXT DEFAULT 'hi' NOT NULL, /* a block\n  comment */ c REAL DEFAULT -1.5,\n"
      "\td VARCHAR(10) DEFAULT NULL CHECK(d <> 'bad'),\n"
      "  e NUMERIC(10,2) DEFAULT 'x''y',\n"
      "  f BLOB, g CLOB, h CHAR(3), i DOUBLE PRECISION, j unsigned big int,\n"
      "  k BOOLEAN DEFAULT 0\n)";
  EXPECT_EQ(Columns(*ParseCreateTable(defs, TD_ALL)),
            (Cols{"a:1", "b:3", "c:4", "d:3", "e:3", "f:3", "g:3", "h:3", "i:3", "j:3", "k:3"}));
  /* An unbalanced list ends with the text; the last item still counts. */
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE t(a, b INTEGER", TD_ALL)),
            (Cols{"a:3", "b:1"}));
  EXPECT_EQ(Columns(*ParseCreateTable("CREATE TABLE \"orders\"(\"price\" REAL)", TD_ALL)),
            (Cols{"price:4"}));
}

TEST(ParseCreateTable, QuotedNamesInEveryForm) {
  auto def = ParseCreateTable(
      "CREATE TABLE IF NOT EXISTS main.\"my \"\"t\"\"\"(\"first name\" TEXT, [order] INTEGER, "
      "`sel``ect` REAL, 'it''s' DATE, first_name, \"primary\" TEXT, "
      "UNIQUE(\"first name\"), PRIMARY KEY([order]))",
      TD_ALL);
  ASSERT_TRUE(def);
  EXPECT_EQ(def->Label(), "my \"t\"");
  std::vector<std::string> labels;
  for (int i = 0; i < def->Count(); i++) labels.push_back(std::string(def->At(i)->Label().View()));
  EXPECT_EQ(labels, (Cols{"first name", "order", "sel`ect", "it's", "first_name", "primary"}));
  /* Keys stay unique; the quoted word primary is a column, not a constraint. */
  EXPECT_EQ(Columns(*def), (Cols{"first_name:255", "order:255", "sel_ect:4", "it_s:12",
                                 "first_name_2:3", "primary:3"}));
}

TEST(ParseCreateTable, TimestampDefaultsAndTheRowidAlias) {
  auto def = ParseCreateTable(
      "CREATE TABLE t(id INTEGER PRIMARY KEY, stamp TIMESTAMP DEFAULT CURRENT_TIMESTAMP, "
      "qty INTEGER DEFAULT 5, note TEXT DEFAULT 'it''s, here', neg DEFAULT -2.5, "
      "gone DEFAULT NULL, calc DEFAULT (1+2), at TIME)",
      TD_ALL);
  ASSERT_TRUE(def);
  EXPECT_EQ(Columns(*def),
            (Cols{"id:255", "stamp:14", "qty:1", "note:3", "neg:3", "gone:3", "calc:3", "at:13"}));
  auto column = [&](int i) { return XB_ColumnOf(def->At(i)); };
  EXPECT_TRUE(column(0)->IsRowidAlias());
  EXPECT_EQ(column(0)->DeclaredType(), PT_INT);
  EXPECT_FALSE(column(1)->HasLiteralDefault());
  EXPECT_EQ(column(2)->DefaultText(), "5");
  EXPECT_EQ(column(3)->DefaultText(), "it's, here");
  EXPECT_EQ(column(4)->DefaultText(), "-2.5");
  EXPECT_TRUE(column(5)->HasLiteralDefault());
  EXPECT_TRUE(column(5)->DefaultIsNull());
  EXPECT_FALSE(column(6)->HasLiteralDefault());

  /* Only the INTEGER PRIMARY KEY of a table with rowid is the alias; on
  ** insert every other key is an ordinary column. */
  auto insert = ParseCreateTable(
      "CREATE TABLE k(id INTEGER PRIMARY KEY, code TEXT UNIQUE NOT NULL, n INT PRIMARY KEY)",
      TD_INSERT);
  EXPECT_EQ(Columns(*insert), (Cols{"id:255", "code:3", "n:3"}));
  auto tableKey = ParseCreateTable("CREATE TABLE k(a, id INTEGER, PRIMARY KEY(id))", TD_INSERT);
  EXPECT_EQ(Columns(*tableKey), (Cols{"a:3", "id:255"}));
  auto noRowid =
      ParseCreateTable("CREATE TABLE w(id INTEGER PRIMARY KEY, v) WITHOUT ROWID", TD_INSERT);
  EXPECT_FALSE(noRowid->HasRowid());
  EXPECT_EQ(Columns(*noRowid), (Cols{"id:1", "v:3"}));
}
