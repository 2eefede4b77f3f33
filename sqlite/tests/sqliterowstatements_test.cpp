/*
** Tests of the row statement builder: the exact texts of SELECT, UPDATE,
** INSERT and CREATE TABLE, the quoting of values, NULLs and how a row is
** picked out.
*/
#include <gtest/gtest.h>

#include "sqliterowstatements.h"
#include "xb_parameterplain.h"
#include "xb_tabledef.h"

namespace {

/* A row set for DEFINITION with the member values VALUES in column order. */
SQLiteParameters MakeRow(XB_ParameterInfoGroup& definition,
                         std::initializer_list<const char*> values) {
  SQLiteParameters set(definition.Label().View());
  int i = 0;
  for (const char* value : values) {
    XB_ParameterInfo* info = definition.At(i++);
    auto* member = new XB_ParameterPlain(info->Key().View(), XB_Value(value), info);
    set.Add(member);
  }
  set.SetDefinition(&definition);
  return set;
}

}  // namespace

TEST(RowStatements, SelectAndKeyFunctions) {
  auto def = ParseCreateTable(
      "CREATE TABLE items(id INTEGER PRIMARY KEY, name, price REAL, "
      "code TEXT UNIQUE)",
      TD_ALL);
  EXPECT_EQ(BuildSelect(*def), "SELECT id, name, price, code FROM items");
  SQLiteParameters row = MakeRow(*def, {"1", "a", "2", "c"});
  EXPECT_EQ(BuildKeyList(row), "id, code");
  EXPECT_EQ(CountKeys(row), 2);
  ASSERT_EQ(GetKeyNames(row).size(), 2u);
  EXPECT_EQ(GetKeyNames(row)[1], "code");
  EXPECT_EQ(BuildCreateTable(row), "CREATE TABLE items(id UNIQUE, name, price REAL, code UNIQUE)");
  EXPECT_EQ(BuildCreateTable(SQLiteParameters("empty")), "CREATE TABLE empty");
}

TEST(RowStatements, UpdateQuotesValuesAndUsesKeysOnlyInTheCondition) {
  auto def = ParseCreateTable(
      "CREATE TABLE t(id INTEGER PRIMARY KEY, name, price REAL, "
      "at DATETIME)",
      TD_ALL);
  SQLiteParameters row = MakeRow(*def, {" 7 ", "  O'Brien  ", "price", "\"2024\""});
  EXPECT_EQ(BuildUpdate(row),
            "UPDATE t SET name='O''Brien', price='price', at='\"2024\"' WHERE id=='7'");
  EXPECT_EQ(BuildInsert(row, 0),
            "INSERT INTO t (name, price, at) VALUES('O''Brien', 'price', '2024')");
  EXPECT_EQ(BuildInsert(row, XB_INSERT_KEYS),
            "INSERT INTO t (id, name, price, at) VALUES('7', 'O''Brien', 'price', '2024')");

  auto pair = ParseCreateTable("CREATE TABLE p(a, b, c, PRIMARY KEY(a, b))", TD_ALL);
  SQLiteParameters pairRow = MakeRow(*pair, {"x", "100%", "%s"});
  EXPECT_EQ(BuildUpdate(pairRow), "UPDATE p SET c='%s' WHERE a=='x' AND b=='100%'");

  /* Members without a descriptor take no part. */
  row.Add(new XB_ParameterPlain("extra", XB_Value("e")));
  EXPECT_EQ(BuildInsert(row, 0),
            "INSERT INTO t (name, price, at) VALUES('O''Brien', 'price', '2024')");
  EXPECT_EQ(BuildInsert(SQLiteParameters("t"), 0), "INSERT INTO t DEFAULT VALUES");
}

TEST(RowStatements, OnlyChangedColumnsAreWrittenAndNullIsNoValue) {
  auto def = ParseCreateTable("CREATE TABLE t(id INTEGER PRIMARY KEY, a, b, c, d)", TD_ALL);
  SQLiteParameters row = MakeRow(*def, {"1", "", "same", "old", "<BLOB, 2 bytes>"});
  row.SetBaseline("id", XB_Value("1"));
  row.SetBaseline("a", XB_Value());
  row.SetBaseline("b", XB_Value("same"));
  row.SetBaseline("c", XB_Value("old"));
  row.SetBaseline("d", XB_Value("<BLOB, 2 bytes>"));
  row.SetBlob("d", 2);
  row.SetValueByKey("a", XB_Value());
  EXPECT_EQ(CountAssignments(row), 0);
  row.SetValueByKey("c", XB_Value());
  row.SetValueByKey("a", XB_Value(""));
  row.SetValueByKey("d", XB_Value("typed over the note"));
  EXPECT_EQ(BuildUpdate(row), "UPDATE t SET a='', c=NULL WHERE id=='1'");
  EXPECT_EQ(BuildInsert(row, 0), "INSERT INTO t (a, c) VALUES('', NULL)");
  SQLiteParameters copy(row);
  EXPECT_EQ(BuildUpdate(copy), BuildUpdate(row));
}

TEST(RowStatements, NamesAreQuotedWhereTheyNeedIt) {
  auto def = ParseCreateTable(
      "CREATE TABLE \"my table\"(\"first name\" TEXT, [order] INTEGER PRIMARY KEY, "
      "`select`, 'say \"hi\"', Stra\xC3\x9F"
      "e, plain)",
      TD_ALL);
  EXPECT_EQ(BuildSelect(*def),
            "SELECT \"first name\", \"order\", \"select\", \"say \"\"hi\"\"\", "
            "\"Stra\xC3\x9F"
            "e\", plain FROM \"my table\"");
  SQLiteParameters row = MakeRow(*def, {"a", "7", "s", "q", "x", "p"});
  EXPECT_EQ(BuildUpdate(row),
            "UPDATE \"my table\" SET \"first name\"='a', \"select\"='s', "
            "\"say \"\"hi\"\"\"='q', \"Stra\xC3\x9F"
            "e\"='x', plain='p' WHERE \"order\"=='7'");
  EXPECT_EQ(BuildKeyList(row), "order");
}

TEST(RowStatements, RowsWithoutUsableKeysArePickedOutByRowidOrRefused) {
  auto def = ParseCreateTable("CREATE TABLE note(body, prio)", TD_ALL);
  SQLiteParameters row = MakeRow(*def, {"text", "1"});
  EXPECT_EQ(BuildUpdate(row), "");
  row.SetRowId("42", "_rowid_");
  EXPECT_EQ(BuildUpdate(row), "UPDATE note SET body='text', prio='1' WHERE _rowid_==42");
  row.SetRowId("42; DROP TABLE note", "rowid");
  EXPECT_EQ(BuildUpdate(row), "");

  /* A key that was NULL when read cannot pick out the row. */
  auto keyed = ParseCreateTable("CREATE TABLE k(code UNIQUE, v)", TD_ALL);
  SQLiteParameters keyedRow = MakeRow(*keyed, {"  ", "x"});
  keyedRow.SetBaseline("code", XB_Value());
  EXPECT_EQ(BuildUpdate(keyedRow), "");
  keyedRow.SetRowId("-3", "rowid");
  EXPECT_EQ(BuildUpdate(keyedRow), "UPDATE k SET v='x' WHERE rowid==-3");
}

TEST(RowStatements, ValuesAsReadKeepTheirBlanksAndPickOutTheRow) {
  auto def = ParseCreateTable("CREATE TABLE t(code TEXT UNIQUE, a, b)", TD_ALL);
  SQLiteParameters row = MakeRow(*def, {"  7  ", " kept\n", " typed "});
  row.SetReadText("code", " 7");
  row.SetReadText("a", " kept\n");
  row.SetReadText("b", "old");
  EXPECT_EQ(BuildUpdate(row), "UPDATE t SET b='typed' WHERE code==' 7'");
  SQLiteParameters copy(row);
  EXPECT_EQ(BuildUpdate(copy), BuildUpdate(row));
  copy.ClearReadTexts();
  EXPECT_EQ(BuildUpdate(copy), "UPDATE t SET a='kept', b='typed' WHERE code=='7'");
}
