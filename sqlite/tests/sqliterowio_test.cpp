/*
** Tests of the row service against real databases of both generations:
** rows are read, changed, written back and read again.  Generation-3 files
** are built by the test; generation-2 files are copies of the shared 2.x
** fixtures.  The values carry quotes, percent signs, Latin-1 bytes, names of
** columns and NULLs; the tables have an INTEGER PRIMARY KEY, a UNIQUE text
** key, a composite key or no key at all.
*/
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "sqliterowio.h"
#include "sqliterowstatements.h"
#include "xb_sqliteresult.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitetestdir.h"
#include "xb_tabledef.h"

namespace fs = std::filesystem;

namespace {

/* A tricky value: quotes of both kinds, percent directives, Latin-1 bytes. */
const char* const kTricky = "O'Brien \"q\" 100% %s %d \xE4\xF6\xFC\xDF";

/* Returns the single value SQL yields on DB, or "<none>". */
std::string Value(XB_SQLiteDB& db, const char* sql) {
  XB_String out("<none>");
  db.QueryValue(out, "%s", sql);
  return std::string(out.View());
}

/* Returns the text of member KEY of SET, "<null>" for no value, or
** "<missing>". */
std::string Text(const SQLiteParameters& set, const char* key) {
  XB_Parameter* member = set.Find(key);
  if (!member) return "<missing>";
  XB_Value value;
  member->GetValue(value);
  if (value.IsNone()) return "<null>";
  return std::string(value.AsText().View());
}

/* Opens a connection of generation VERSION on PATH, failing the test when
** it cannot be opened. */
std::unique_ptr<XB_SQLiteDB> Open(const std::string& path, int version) {
  std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(path.c_str(), version));
  EXPECT_TRUE(db && db->IsOpen()) << path;
  return db;
}

}  // namespace

/* Tables built by the test in a new database of the generation under test. */
class RowIOBuilt : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    m_db = Open(m_dir.Path("built.db"), GetParam());
    ASSERT_TRUE(m_db && m_db->IsOpen());
    const char* script[] = {
        "BEGIN",
        "CREATE TABLE item(id INTEGER PRIMARY KEY, name TEXT, price REAL, note)",
        "INSERT INTO item VALUES(1, 'apple', 1.5, NULL)",
        "INSERT INTO item VALUES(2, 'pear', 2, 'x')",
        "INSERT INTO item VALUES(3, 'plum', 3, NULL)",
        "CREATE TABLE code(code TEXT UNIQUE, descr TEXT, qty INTEGER)",
        "INSERT INTO code VALUES('A1', 'first', 1)",
        "INSERT INTO code VALUES('a1', 'second', 2)",
        "INSERT INTO code VALUES('B\"2', 'third', NULL)",
        "CREATE TABLE pair(a TEXT, b INTEGER, c, PRIMARY KEY(a, b))",
        "INSERT INTO pair VALUES('x', 1, 'one')",
        "INSERT INTO pair VALUES('x', 2, 'two')",
        "INSERT INTO pair VALUES('y', 1, NULL)",
        "CREATE TABLE loose(body TEXT, prio)",
        "INSERT INTO loose VALUES('same', 1)",
        "INSERT INTO loose VALUES('same', 1)",
        "INSERT INTO loose VALUES('other', NULL)",
        "INSERT INTO code VALUES(' 7', 'spaced', 3)",
        "INSERT INTO code VALUES('7', 'plain', 4)",
        "CREATE TABLE name(sql TEXT)",
        "COMMIT",
    };
    for (const char* sql : script) ASSERT_TRUE(m_db->Exec(sql)) << sql << ": " << m_db->LastError();
  }

  XB_TestDir m_dir;
  std::unique_ptr<XB_SQLiteDB> m_db;
  SQLiteRowIO m_rows;
};

TEST_P(RowIOBuilt, IntegerPrimaryKeyRowKeepsTrickyValuesAndItsNeighbours) {
  SQLiteParameters row = m_rows.LoadRow(*m_db, "item", "id=2");
  ASSERT_EQ(Text(row, "name"), "pear");
  row.SetValueByKey("name", XB_Value(kTricky));
  row.SetValueByKey("price", XB_Value("price"));
  row.SetValueByKey("note", XB_Value("name"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);

  SQLiteParameters again = m_rows.LoadRow(*m_db, "item", "id=2");
  EXPECT_EQ(Text(again, "name"), kTricky);
  EXPECT_EQ(Text(again, "price"), "price");
  EXPECT_EQ(Text(again, "note"), "name");
  EXPECT_EQ(Value(*m_db, "SELECT name FROM item WHERE id=1"), "apple");
  EXPECT_EQ(Value(*m_db, "SELECT name FROM item WHERE id=3"), "plum");
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM item"), "3");
}

TEST_P(RowIOBuilt, NullStaysNullUnlessTheUserGivesAValue) {
  SQLiteParameters row = m_rows.LoadRow(*m_db, "item", "id=1");
  EXPECT_TRUE(row.WasStoredNull("note"));
  EXPECT_EQ(Text(row, "note"), "<null>");
  row.SetValueByKey("name", XB_Value("apricot"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM item WHERE id=1 AND note IS NULL"), "1");
  EXPECT_EQ(Value(*m_db, "SELECT name FROM item WHERE id=1"), "apricot");

  row.SetValueByKey("note", XB_Value("given"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0));
  EXPECT_EQ(Value(*m_db, "SELECT note FROM item WHERE id=1"), "given");
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM item WHERE id=3 AND note IS NULL"), "1");
}

TEST_P(RowIOBuilt, UniqueTextKeyPicksOutExactlyItsRow) {
  SQLiteParameters row = m_rows.LoadRow(*m_db, "code", "code='a1'");
  ASSERT_EQ(Text(row, "descr"), "second");
  row.SetValueByKey("descr", XB_Value("code"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT descr FROM code WHERE code='a1'"), "code");
  EXPECT_EQ(Value(*m_db, "SELECT descr FROM code WHERE code='A1'"), "first");

  /* A key holding a double quote. */
  SQLiteParameters quoted = m_rows.LoadRow(*m_db, "code", "code='B\"2'");
  ASSERT_EQ(Text(quoted, "descr"), "third");
  quoted.SetValueByKey("descr", XB_Value(kTricky));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, quoted, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT descr FROM code WHERE code='B\"2'"), kTricky);
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM code WHERE code='B\"2' AND qty IS NULL"), "1");

  /* A key with a blank in front is not the key without it, even when the
  ** key's line gives its text back with blanks around it. */
  SQLiteParameters spaced = m_rows.LoadRow(*m_db, "code", "code=' 7'");
  ASSERT_EQ(Text(spaced, "descr"), "spaced");
  spaced.SetValueByKey("code", XB_Value("  7  "));
  spaced.SetValueByKey("descr", XB_Value("changed"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, spaced, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT descr FROM code WHERE code=' 7'"), "changed");
  EXPECT_EQ(Value(*m_db, "SELECT descr FROM code WHERE code='7'"), "plain");
}

TEST_P(RowIOBuilt, CompositeKeyChangesOneRow) {
  SQLiteParameters row = m_rows.LoadRow(*m_db, "pair", "a='x' AND b=2");
  EXPECT_EQ(CountKeys(row), 2);
  ASSERT_EQ(Text(row, "c"), "two");
  row.SetValueByKey("c", XB_Value("b"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT c FROM pair WHERE a='x' AND b=2"), "b");
  EXPECT_EQ(Value(*m_db, "SELECT c FROM pair WHERE a='x' AND b=1"), "one");
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM pair WHERE c IS NULL"), "1");
}

TEST_P(RowIOBuilt, TableWithoutKeyIsWrittenByRowidOrNotAtAll) {
  SQLiteParameters row = m_rows.LoadRow(*m_db, "loose", "");
  ASSERT_EQ(Text(row, "body"), "same");
  ASSERT_TRUE(row.HasRowId());
  row.SetValueByKey("body", XB_Value("changed"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM loose WHERE body='same'"), "1");
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM loose WHERE body='changed'"), "1");

  /* No row matched: nothing identifies a row, so nothing is written. */
  SQLiteParameters none = m_rows.LoadRow(*m_db, "loose", "body='missing'");
  EXPECT_EQ(Text(none, "body"), "");
  none.SetValueByKey("body", XB_Value("everywhere"));
  EXPECT_FALSE(m_rows.UpdateRow(*m_db, none, 0));
  ASSERT_NE(m_rows.LastError(*m_db), nullptr);
  EXPECT_NE(std::string(m_rows.LastError(*m_db)).find("loose"), std::string::npos);
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM loose WHERE body='everywhere'"), "0");
}

TEST_P(RowIOBuilt, InsertLeavesTheKeyToTheEngine) {
  SQLiteParameters row = m_rows.InitRow(*m_db, "item", TD_ALL);
  EXPECT_EQ(Text(row, "id"), "<null>");
  row.SetValueByKey("name", XB_Value("  \"new 'one'\"  "));
  row.SetValueByKey("note", XB_Value("%s"));
  ASSERT_TRUE(m_rows.InsertRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(m_db->LastInsertRowId(), 4);
  SQLiteParameters back = m_rows.LoadRow(*m_db, "item", "id=4");
  EXPECT_EQ(Text(back, "name"), "new 'one'");
  EXPECT_EQ(Text(back, "note"), "%s");
}

TEST_P(RowIOBuilt, ReadingSelectsTheFirstRowMatchesNothingOrFails) {
  SQLiteParameters row = m_rows.InitRow(*m_db, "item", TD_ALL);
  ASSERT_TRUE(m_rows.ReadRow(row, *m_db, "item", " \t "));
  EXPECT_EQ(Text(row, "id"), "1");
  ASSERT_TRUE(m_rows.ReadRow(row, *m_db, "item", "id=99"));
  EXPECT_EQ(Text(row, "name"), "");
  EXPECT_FALSE(row.WasStoredNull("note"));
  row.SetValueByKey("name", XB_Value("kept"));
  EXPECT_FALSE(m_rows.ReadRow(row, *m_db, "item", "no_such_column=1"));
  EXPECT_EQ(Text(row, "name"), "kept");
}

TEST_P(RowIOBuilt, DefinitionsComeFromTheCacheAndTheRightTable) {
  XB_ParameterInfoGroup* first = m_rows.GetTableDefinition(*m_db, "item", TD_ALL);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->At(0)->GetType(), PT_KEY);
  EXPECT_NE(m_rows.GetTableDefinition(*m_db, "item", TD_PLAIN), first);
  m_db->Close();
  EXPECT_EQ(m_rows.GetTableDefinition(*m_db, "item", TD_ALL), first);
  EXPECT_EQ(m_rows.InitRow(*m_db, "item", TD_ALL).Count(), 4);
  ASSERT_TRUE(m_db->Open());

  /* A table called "name" is not every table whose name column is set. */
  EXPECT_EQ(m_rows.GetTableSql(*m_db, "name"), "CREATE TABLE name(sql TEXT)");
  EXPECT_EQ(m_rows.GetTableSql(*m_db, "it's"), "");
  EXPECT_EQ(m_rows.GetTableDefinition(*m_db, "nothing", TD_ALL), nullptr);
  SQLiteParameters none = m_rows.InitRow(*m_db, "nothing", TD_ALL);
  EXPECT_EQ(none.Count(), 0);
  EXPECT_TRUE(none.Name().IsEmpty());
}

TEST_P(RowIOBuilt, StoredTextOfEachGenerationReachesTheParser) {
  ASSERT_TRUE(m_db->Exec("create table lower(a integer primary key, b)"));
  XB_ParameterInfoGroup* lower = m_rows.GetTableDefinition(*m_db, "lower", TD_ALL);
  /* Generation 3 stores the leading keywords in upper case, generation 2
  ** keeps the text exactly as written. */
  if (GetParam() == 3) {
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(lower->Count(), 2);
  } else {
    EXPECT_EQ(lower, nullptr);
  }
}

/* Returns every column of every row of TABLE as raw text, generation 3
** through hex() so that BLOBs and NUL bytes count too. */
std::string Snapshot(XB_SQLiteDB& db, const char* table, const char* columns) {
  XB_SQLiteResult result;
  XB_String sql = db.Version() >= 3.0
                      ? XB_String::Formatted("SELECT hex(%s)||typeof(%s) FROM %s ORDER BY rowid",
                                             columns, columns, table)
                      : XB_String::Formatted("SELECT %s FROM %s ORDER BY rowid", columns, table);
  EXPECT_TRUE(db.GetTable(result, "%s", sql)) << sql.c_str() << ": " << db.LastError();
  std::string out;
  for (int r = 0; r < result.Rows(); r++) {
    for (int c = 0; c < result.Cols(); c++) {
      const char* cell = result.Get(c, r);
      out += cell ? cell : "<null>";
      out += '|';
    }
  }
  return out;
}

TEST_P(RowIOBuilt, AnEditWritesOnlyTheChangedColumn) {
  const bool three = GetParam() == 3;
  ASSERT_TRUE(m_db->Exec(
      three ? "CREATE TABLE b(id INTEGER PRIMARY KEY, name TEXT, data BLOB, other BLOB, "
              "raw TEXT, real REAL, stamp TIMESTAMP, dt DATETIME, n);"
              "INSERT INTO b VALUES(1, 'x', x'00ff', x'414243', CAST(x'80fffe41' AS TEXT), "
              "2.0, '2020-01-02 03:04:05', '2021-02-03 04:05:06', NULL)"
            : "CREATE TABLE b(id INTEGER PRIMARY KEY, name TEXT, raw TEXT, real REAL, "
              "stamp TIMESTAMP, dt DATETIME, n);"
              "INSERT INTO b VALUES(1, 'x', '\x80\xff\xfe\x41', '2.0', "
              "'2020-01-02 03:04:05', '2021-02-03 04:05:06', NULL)"));
  const char* others = three ? "id||data||other||raw||real||stamp||dt||ifnull(n,'N')"
                             : "id||'|'||raw||'|'||real||'|'||stamp||'|'||dt||'|'||ifnull(n,'N')";
  std::string before = Snapshot(*m_db, "b", others);
  SQLiteParameters row = m_rows.LoadRow(*m_db, "b", "id=1");
  EXPECT_EQ(Text(row, "stamp"), "2020-01-02 03:04:05");
  if (three) {
    EXPECT_EQ(Text(row, "data"), "<BLOB, 2 bytes>");
    EXPECT_EQ(Text(row, "other"), "<BLOB, 3 bytes>");
    EXPECT_TRUE(row.IsBlob("data"));
    /* A BLOB is never written, even when its member was overwritten. */
    row.SetValueByKey("data", XB_Value("<BLOB, 2 bytes>!"));
  }
  row.SetValueByKey("name", XB_Value("changed"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT name FROM b"), "changed");
  EXPECT_EQ(Snapshot(*m_db, "b", others), before);

  /* A changed date-time is written as typed; NULL given to a column. */
  row = m_rows.LoadRow(*m_db, "b", "id=1");
  row.SetValueByKey("stamp", XB_Value("2022-03-04 05:06:07"));
  row.SetValueByKey("name", XB_Value());
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT stamp||'|'||dt||'|'||ifnull(name, 'N') FROM b"),
            "2022-03-04 05:06:07|2021-02-03 04:05:06|N");
}

TEST_P(RowIOBuilt, InsertLeavesUntouchedColumnsToTheirDefaults) {
  ASSERT_TRUE(m_db->Exec(
      "CREATE TABLE d(id INTEGER PRIMARY KEY, qty INTEGER DEFAULT 5, note TEXT DEFAULT 'hello', "
      "neg DEFAULT -2.5, plain TEXT, gone DEFAULT NULL, typed TEXT DEFAULT 'x')"));
  SQLiteParameters row = m_rows.InitRow(*m_db, "d", TD_INSERT);
  EXPECT_EQ(Text(row, "qty"), "5");
  EXPECT_EQ(Text(row, "note"), "hello");
  EXPECT_EQ(Text(row, "neg"), "-2.5");
  EXPECT_EQ(Text(row, "plain"), "<null>");
  EXPECT_EQ(Text(row, "gone"), "<null>");
  row.SetValueByKey("typed", XB_Value("given"));
  ASSERT_TRUE(m_rows.InsertRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db,
                  "SELECT id||'|'||qty||'|'||note||'|'||neg||'|'||ifnull(plain,'N')||'|'||"
                  "ifnull(gone,'N')||'|'||typed FROM d"),
            "1|5|hello|-2.5|N|N|given");
  /* Nothing touched at all: the engine makes the whole row. */
  ASSERT_TRUE(m_rows.InsertRow(*m_db, m_rows.InitRow(*m_db, "d", TD_INSERT), 0))
      << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT qty||note||typed FROM d WHERE id=2"), "5hellox");
}

TEST_P(RowIOBuilt, InsertTakesTextAndCompositeKeys) {
  ASSERT_TRUE(
      m_db->Exec("CREATE TABLE tk(code TEXT PRIMARY KEY, v);"
                 "CREATE TABLE un(u TEXT UNIQUE NOT NULL, v)"));
  SQLiteParameters text = m_rows.InitRow(*m_db, "tk", TD_INSERT);
  EXPECT_EQ(text.Find("code")->GetInfo()->GetType(), PT_TEXT);
  text.SetValueByKey("code", XB_Value("K1"));
  ASSERT_TRUE(m_rows.InsertRow(*m_db, text, 0)) << m_rows.LastError(*m_db);
  SQLiteParameters pair = m_rows.InitRow(*m_db, "pair", TD_INSERT);
  pair.SetValueByKey("a", XB_Value("z"));
  pair.SetValueByKey("b", XB_Value("9"));
  pair.SetValueByKey("c", XB_Value("nine"));
  ASSERT_TRUE(m_rows.InsertRow(*m_db, pair, 0)) << m_rows.LastError(*m_db);
  SQLiteParameters unique = m_rows.InitRow(*m_db, "un", TD_INSERT);
  unique.SetValueByKey("u", XB_Value("only"));
  ASSERT_TRUE(m_rows.InsertRow(*m_db, unique, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT code FROM tk"), "K1");
  EXPECT_EQ(Value(*m_db, "SELECT c FROM pair WHERE a='z' AND b=9"), "nine");
  EXPECT_EQ(Value(*m_db, "SELECT u FROM un"), "only");
  /* The rowid alias stays with the engine. */
  EXPECT_EQ(m_rows.InitRow(*m_db, "item", TD_INSERT).Find("id")->GetInfo()->GetType(), PT_KEY);
}

TEST_P(RowIOBuilt, QuotedNamesInEveryFormAreEditedAndInserted) {
  /* Generation 2 knows no backquotes. */
  std::string select = GetParam() == 3 ? "`select`" : "\"select\"";
  std::string create = "CREATE TABLE \"odd table\"(\"first name\" TEXT, [order] INTEGER, " +
                       select +
                       " TEXT, 'group' TEXT, \"Stra\xC3\x9F"
                       "e_gr\xC3\xB6\xC3\x9F"
                       "e\" TEXT, id INTEGER PRIMARY KEY);"
                       "INSERT INTO \"odd table\" VALUES('Ann', 1, 's', 'g', 'street', 1)";
  ASSERT_TRUE(m_db->Exec(create.c_str())) << m_db->LastError();
  SQLiteParameters row = m_rows.LoadRow(*m_db, "odd table", "id=1");
  XB_ParameterInfoGroup* def = m_rows.GetTableDefinition(*m_db, "odd table", TD_ALL);
  ASSERT_NE(def, nullptr);
  ASSERT_EQ(def->Count(), 6);
  EXPECT_EQ(def->At(0)->Label(), "first name");
  EXPECT_EQ(def->At(1)->Label(), "order");
  EXPECT_EQ(def->At(3)->Label(), "group");
  EXPECT_EQ(def->At(4)->Label(),
            "Stra\xC3\x9F"
            "e_gr\xC3\xB6\xC3\x9F"
            "e");
  EXPECT_EQ(Text(row, def->KeyAt(0).c_str()), "Ann");
  EXPECT_EQ(Text(row, def->KeyAt(4).c_str()), "street");
  for (int i = 0; i < 5; i++)
    row.SetValueByKey(def->KeyAt(i).View(), XB_Value("v" + std::to_string(i)));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db,
                  "SELECT \"first name\"||[order]||\"select\"||\"group\"||"
                  "\"Stra\xC3\x9F"
                  "e_gr\xC3\xB6\xC3\x9F"
                  "e\" FROM \"odd table\""),
            "v0v1v2v3v4");
  SQLiteParameters fresh = m_rows.InitRow(*m_db, "odd table", TD_INSERT);
  fresh.SetValueByKey(def->KeyAt(0).View(), XB_Value("Bob"));
  fresh.SetValueByKey(def->KeyAt(2).View(), XB_Value("sel"));
  ASSERT_TRUE(m_rows.InsertRow(*m_db, fresh, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT \"first name\"||\"select\" FROM \"odd table\" WHERE id=2"),
            "Bobsel");
}

TEST_P(RowIOBuilt, TableNamesAreFoundWhateverTheirLetterCase) {
  ASSERT_TRUE(
      m_db->Exec("CREATE TABLE MyTable(k TEXT UNIQUE, v);"
                 "INSERT INTO MyTable VALUES('a', 'b')"));
  EXPECT_NE(m_rows.GetTableDefinition(*m_db, "mytable", TD_ALL), nullptr);
  SQLiteParameters row = m_rows.LoadRow(*m_db, "MYTABLE", "k='a'");
  EXPECT_EQ(row.TableName(), "MyTable");
  row.SetValueByKey("v", XB_Value("c"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT v FROM MyTable"), "c");
}

TEST_P(RowIOBuilt, NoMatchingRowIsNeverUpdated) {
  SQLiteParameters row = m_rows.LoadRow(*m_db, "code", "code='missing'");
  EXPECT_TRUE(row.NoRowFound());
  row.SetValueByKey("descr", XB_Value("typed"));
  EXPECT_FALSE(m_rows.UpdateRow(*m_db, row, 0));
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM code WHERE descr='typed'"), "0");
  SQLiteParameters broken = m_rows.InitRow(*m_db, "code", TD_ALL);
  EXPECT_FALSE(m_rows.ReadRow(broken, *m_db, "code", "code=="));
  ASSERT_NE(m_rows.LastError(*m_db), nullptr);
  EXPECT_FALSE(broken.RowFound());
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, RowIOBuilt, ::testing::Values(3, 2),
                         [](const auto& info) {
                           return "Generation" + std::to_string(info.param);
                         });

/* The shared 2.x fixtures, written by the real 2.x engine. */
class RowIOFixture : public ::testing::Test {
 protected:
  /* Copies fixture NAME into the temporary folder and opens it. */
  void OpenFixture(const char* name) {
    std::string copy = m_dir.Fixture(name);
    m_db.reset(XB_SQLiteDB::NewAuto(copy.c_str()));
    ASSERT_TRUE(m_db && m_db->IsOpen());
    ASSERT_EQ(m_db->Version(), 2.0);
  }

  XB_SQLiteTestDir m_dir;
  std::unique_ptr<XB_SQLiteDB> m_db;
  SQLiteRowIO m_rows;
};

TEST_F(RowIOFixture, TextPrimaryKeysAndCompositeKeys) {
  OpenFixture("indices.db");
  SQLiteParameters row = m_rows.LoadRow(*m_db, "code", "code='7'");
  ASSERT_EQ(Text(row, "descr"), "text key 7");
  row.SetValueByKey("descr", XB_Value("descr"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT descr FROM code WHERE code='7'"), "descr");
  EXPECT_EQ(Value(*m_db, "SELECT descr FROM code WHERE code='007'"), "text key 007");

  SQLiteParameters latin = m_rows.LoadRow(*m_db, "code", "code='\xE4'");
  ASSERT_EQ(Text(latin, "descr"), "a-umlaut");
  latin.SetValueByKey("descr", XB_Value(kTricky));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, latin, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Text(m_rows.LoadRow(*m_db, "code", "code='\xE4'"), "descr"), kTricky);

  SQLiteParameters pair = m_rows.LoadRow(*m_db, "pk2", "x='a' AND y=1");
  ASSERT_EQ(Text(pair, "z"), "a1");
  pair.SetValueByKey("z", XB_Value("z"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, pair, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT z FROM pk2 WHERE x='a' AND y=1"), "z");
  EXPECT_EQ(Value(*m_db, "SELECT z FROM pk2 WHERE x='A' AND y=1"), "A1");
  EXPECT_EQ(Value(*m_db, "SELECT z FROM pk2 WHERE x='a' AND y=10"), "a10");
}

TEST_F(RowIOFixture, RowsWithoutKeyKeepTheirNulls) {
  OpenFixture("rowids.db");
  SQLiteParameters note = m_rows.LoadRow(*m_db, "note", "prio IS NULL");
  ASSERT_EQ(Text(note, "body"), "negative rowid via oid");
  EXPECT_EQ(note.RowId(), "-5");
  note.SetValueByKey("body", XB_Value(kTricky));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, note, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT body FROM note WHERE oid=-5"), kTricky);
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM note WHERE oid=-5 AND prio IS NULL"), "1");
  EXPECT_EQ(Value(*m_db, "SELECT body FROM note WHERE oid=1"), "note 1");
}

TEST_F(RowIOFixture, DefinitionsOfStoredTexts) {
  OpenFixture("table_defs.db");
  XB_ParameterInfoGroup* defs = m_rows.GetTableDefinition(*m_db, "defs", TD_ALL);
  ASSERT_NE(defs, nullptr);
  ASSERT_EQ(defs->Count(), 11);
  EXPECT_EQ(defs->KeyAt(1), "b");
  EXPECT_EQ(defs->At(2)->GetType(), PT_REAL);
  EXPECT_EQ(m_rows.GetTableDefinition(*m_db, "lower_case", TD_ALL), nullptr);
  SQLiteParameters row = m_rows.LoadRow(*m_db, "defs", "d='given'");
  EXPECT_EQ(Text(row, "a"), "42");
  EXPECT_EQ(Text(row, "e"), "x'y");
}

TEST_F(RowIOFixture, UnchangedValuesKeepTheirBlanksAndLineBreaks) {
  OpenFixture("text_values.db");
  std::string before = Value(*m_db, "SELECT v FROM val WHERE label='trailing newline'");
  ASSERT_EQ(before, "ends with a newline\n");
  SQLiteParameters row = m_rows.LoadRow(*m_db, "val", "label='trailing newline'");
  row.SetValueByKey("label", XB_Value(" relabelled "));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db, "SELECT v FROM val WHERE label='relabelled'"), before);
}

TEST_F(RowIOFixture, NullAndEmptyTextStayApart) {
  OpenFixture("text_values.db");
  SQLiteParameters row = m_rows.LoadRow(*m_db, "nulls", "rowid=2");
  EXPECT_FALSE(row.WasStoredNull("i"));
  EXPECT_TRUE(row.WasStoredNull("t"));
  row.SetValueByKey("i", XB_Value("5"));
  ASSERT_TRUE(m_rows.UpdateRow(*m_db, row, 0)) << m_rows.LastError(*m_db);
  EXPECT_EQ(Value(*m_db,
                  "SELECT count(*) FROM nulls WHERE rowid=2 AND i='5' AND r='' "
                  "AND t IS NULL AND u=''"),
            "1");
  EXPECT_EQ(Value(*m_db, "SELECT count(*) FROM nulls WHERE i='5'"), "1");
}
