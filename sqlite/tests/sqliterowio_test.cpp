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
#include "xb_sqlitedb.h"
#include "xb_tabledef.h"

namespace fs = std::filesystem;

namespace {

/* A tricky value: quotes of both kinds, percent directives, Latin-1 bytes. */
const char* const kTricky = "O'Brien \"q\" 100% %s %d \xE4\xF6\xFC\xDF";

/* A fresh temporary folder, removed with the object. */
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "rowio-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const char* name) const { return (fs::path(path_) / name).string(); }

 private:
  std::string path_;
};

/* Returns the single value SQL yields on DB, or "<none>". */
std::string Value(XB_SQLiteDB& db, const char* sql) {
  XB_String out("<none>");
  db.QueryValue(out, "%s", sql);
  return std::string(out.View());
}

/* Returns the text of member KEY of SET, or "<missing>". */
std::string Text(const SQLiteParameters& set, const char* key) {
  XB_Parameter* member = set.Find(key);
  if (!member) return "<missing>";
  XB_Value value;
  member->GetValue(value);
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
    db_ = Open(dir_.File("built.db"), GetParam());
    ASSERT_TRUE(db_ && db_->IsOpen());
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
    for (const char* sql : script) ASSERT_TRUE(db_->Exec(sql)) << sql << ": " << db_->LastError();
  }

  TempDir dir_;
  std::unique_ptr<XB_SQLiteDB> db_;
  SQLiteRowIO rows_;
};

TEST_P(RowIOBuilt, IntegerPrimaryKeyRowKeepsTrickyValuesAndItsNeighbours) {
  SQLiteParameters row = rows_.LoadRow(*db_, "item", "id=2");
  ASSERT_EQ(Text(row, "name"), "pear");
  row.SetValueByKey("name", XB_Value(kTricky));
  row.SetValueByKey("price", XB_Value("price"));
  row.SetValueByKey("note", XB_Value("name"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);

  SQLiteParameters again = rows_.LoadRow(*db_, "item", "id=2");
  EXPECT_EQ(Text(again, "name"), kTricky);
  EXPECT_EQ(Text(again, "price"), "price");
  EXPECT_EQ(Text(again, "note"), "name");
  EXPECT_EQ(Value(*db_, "SELECT name FROM item WHERE id=1"), "apple");
  EXPECT_EQ(Value(*db_, "SELECT name FROM item WHERE id=3"), "plum");
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM item"), "3");
}

TEST_P(RowIOBuilt, NullStaysNullUnlessTheUserGivesAValue) {
  SQLiteParameters row = rows_.LoadRow(*db_, "item", "id=1");
  EXPECT_TRUE(row.WasStoredNull("note"));
  EXPECT_EQ(Text(row, "note"), "");
  row.SetValueByKey("name", XB_Value("apricot"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM item WHERE id=1 AND note IS NULL"), "1");
  EXPECT_EQ(Value(*db_, "SELECT name FROM item WHERE id=1"), "apricot");

  row.SetValueByKey("note", XB_Value("given"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0));
  EXPECT_EQ(Value(*db_, "SELECT note FROM item WHERE id=1"), "given");
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM item WHERE id=3 AND note IS NULL"), "1");
}

TEST_P(RowIOBuilt, UniqueTextKeyPicksOutExactlyItsRow) {
  SQLiteParameters row = rows_.LoadRow(*db_, "code", "code='a1'");
  ASSERT_EQ(Text(row, "descr"), "second");
  row.SetValueByKey("descr", XB_Value("code"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT descr FROM code WHERE code='a1'"), "code");
  EXPECT_EQ(Value(*db_, "SELECT descr FROM code WHERE code='A1'"), "first");

  /* A key holding a double quote. */
  SQLiteParameters quoted = rows_.LoadRow(*db_, "code", "code='B\"2'");
  ASSERT_EQ(Text(quoted, "descr"), "third");
  quoted.SetValueByKey("descr", XB_Value(kTricky));
  ASSERT_TRUE(rows_.UpdateRow(*db_, quoted, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT descr FROM code WHERE code='B\"2'"), kTricky);
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM code WHERE code='B\"2' AND qty IS NULL"), "1");

  /* A key with a blank in front is not the key without it, even when the
  ** key's line gives its text back with blanks around it. */
  SQLiteParameters spaced = rows_.LoadRow(*db_, "code", "code=' 7'");
  ASSERT_EQ(Text(spaced, "descr"), "spaced");
  spaced.SetValueByKey("code", XB_Value("  7  "));
  spaced.SetValueByKey("descr", XB_Value("changed"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, spaced, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT descr FROM code WHERE code=' 7'"), "changed");
  EXPECT_EQ(Value(*db_, "SELECT descr FROM code WHERE code='7'"), "plain");
}

TEST_P(RowIOBuilt, CompositeKeyChangesOneRow) {
  SQLiteParameters row = rows_.LoadRow(*db_, "pair", "a='x' AND b=2");
  EXPECT_EQ(CountKeys(row), 2);
  ASSERT_EQ(Text(row, "c"), "two");
  row.SetValueByKey("c", XB_Value("b"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT c FROM pair WHERE a='x' AND b=2"), "b");
  EXPECT_EQ(Value(*db_, "SELECT c FROM pair WHERE a='x' AND b=1"), "one");
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM pair WHERE c IS NULL"), "1");
}

TEST_P(RowIOBuilt, TableWithoutKeyIsWrittenByRowidOrNotAtAll) {
  SQLiteParameters row = rows_.LoadRow(*db_, "loose", "");
  ASSERT_EQ(Text(row, "body"), "same");
  ASSERT_TRUE(row.HasRowId());
  row.SetValueByKey("body", XB_Value("changed"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM loose WHERE body='same'"), "1");
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM loose WHERE body='changed'"), "1");

  /* No row matched: nothing identifies a row, so nothing is written. */
  SQLiteParameters none = rows_.LoadRow(*db_, "loose", "body='missing'");
  EXPECT_EQ(Text(none, "body"), "");
  none.SetValueByKey("body", XB_Value("everywhere"));
  EXPECT_FALSE(rows_.UpdateRow(*db_, none, 0));
  ASSERT_NE(rows_.LastError(*db_), nullptr);
  EXPECT_NE(std::string(rows_.LastError(*db_)).find("loose"), std::string::npos);
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM loose WHERE body='everywhere'"), "0");
}

TEST_P(RowIOBuilt, InsertLeavesTheKeyToTheEngine) {
  SQLiteParameters row = rows_.InitRow(*db_, "item", TD_ALL);
  EXPECT_EQ(Text(row, "id"), "");
  row.SetValueByKey("name", XB_Value("  \"new 'one'\"  "));
  row.SetValueByKey("note", XB_Value("%s"));
  ASSERT_TRUE(rows_.InsertRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(db_->LastInsertRowId(), 4);
  SQLiteParameters back = rows_.LoadRow(*db_, "item", "id=4");
  EXPECT_EQ(Text(back, "name"), "new 'one'");
  EXPECT_EQ(Text(back, "note"), "%s");
}

TEST_P(RowIOBuilt, ReadingSelectsTheFirstRowMatchesNothingOrFails) {
  SQLiteParameters row = rows_.InitRow(*db_, "item", TD_ALL);
  ASSERT_TRUE(rows_.ReadRow(row, *db_, "item", " \t "));
  EXPECT_EQ(Text(row, "id"), "1");
  ASSERT_TRUE(rows_.ReadRow(row, *db_, "item", "id=99"));
  EXPECT_EQ(Text(row, "name"), "");
  EXPECT_FALSE(row.WasStoredNull("note"));
  row.SetValueByKey("name", XB_Value("kept"));
  EXPECT_FALSE(rows_.ReadRow(row, *db_, "item", "no_such_column=1"));
  EXPECT_EQ(Text(row, "name"), "kept");
}

TEST_P(RowIOBuilt, DefinitionsComeFromTheCacheAndTheRightTable) {
  XB_ParameterInfoGroup* first = rows_.GetTableDefinition(*db_, "item", TD_ALL);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->At(0)->GetType(), PT_KEY);
  EXPECT_NE(rows_.GetTableDefinition(*db_, "item", TD_PLAIN), first);
  db_->Close();
  EXPECT_EQ(rows_.GetTableDefinition(*db_, "item", TD_ALL), first);
  EXPECT_EQ(rows_.InitRow(*db_, "item", TD_ALL).Count(), 4);
  ASSERT_TRUE(db_->Open());

  /* A table called "name" is not every table whose name column is set. */
  EXPECT_EQ(rows_.GetTableSql(*db_, "name"), "CREATE TABLE name(sql TEXT)");
  EXPECT_EQ(rows_.GetTableSql(*db_, "it's"), "");
  EXPECT_EQ(rows_.GetTableDefinition(*db_, "nothing", TD_ALL), nullptr);
  SQLiteParameters none = rows_.InitRow(*db_, "nothing", TD_ALL);
  EXPECT_EQ(none.Count(), 0);
  EXPECT_TRUE(none.Name().IsEmpty());
}

TEST_P(RowIOBuilt, StoredTextOfEachGenerationReachesTheParser) {
  ASSERT_TRUE(db_->Exec("create table lower(a integer primary key, b)"));
  XB_ParameterInfoGroup* lower = rows_.GetTableDefinition(*db_, "lower", TD_ALL);
  /* Generation 3 stores the leading keywords in upper case, generation 2
  ** keeps the text exactly as written. */
  if (GetParam() == 3) {
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(lower->Count(), 2);
  } else {
    EXPECT_EQ(lower, nullptr);
  }
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
    std::string copy = dir_.File(name);
    fs::copy_file(fs::path(XB_SQLITE2_FIXTURES) / name, copy);
    db_.reset(XB_SQLiteDB::NewAuto(copy.c_str()));
    ASSERT_TRUE(db_ && db_->IsOpen());
    ASSERT_EQ(db_->Version(), 2.0);
  }

  TempDir dir_;
  std::unique_ptr<XB_SQLiteDB> db_;
  SQLiteRowIO rows_;
};

TEST_F(RowIOFixture, TextPrimaryKeysAndCompositeKeys) {
  OpenFixture("indices.db");
  SQLiteParameters row = rows_.LoadRow(*db_, "code", "code='7'");
  ASSERT_EQ(Text(row, "descr"), "text key 7");
  row.SetValueByKey("descr", XB_Value("descr"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT descr FROM code WHERE code='7'"), "descr");
  EXPECT_EQ(Value(*db_, "SELECT descr FROM code WHERE code='007'"), "text key 007");

  SQLiteParameters latin = rows_.LoadRow(*db_, "code", "code='\xE4'");
  ASSERT_EQ(Text(latin, "descr"), "a-umlaut");
  latin.SetValueByKey("descr", XB_Value(kTricky));
  ASSERT_TRUE(rows_.UpdateRow(*db_, latin, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Text(rows_.LoadRow(*db_, "code", "code='\xE4'"), "descr"), kTricky);

  SQLiteParameters pair = rows_.LoadRow(*db_, "pk2", "x='a' AND y=1");
  ASSERT_EQ(Text(pair, "z"), "a1");
  pair.SetValueByKey("z", XB_Value("z"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, pair, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT z FROM pk2 WHERE x='a' AND y=1"), "z");
  EXPECT_EQ(Value(*db_, "SELECT z FROM pk2 WHERE x='A' AND y=1"), "A1");
  EXPECT_EQ(Value(*db_, "SELECT z FROM pk2 WHERE x='a' AND y=10"), "a10");
}

TEST_F(RowIOFixture, RowsWithoutKeyKeepTheirNulls) {
  OpenFixture("rowids.db");
  SQLiteParameters note = rows_.LoadRow(*db_, "note", "prio IS NULL");
  ASSERT_EQ(Text(note, "body"), "negative rowid via oid");
  EXPECT_EQ(note.RowId(), "-5");
  note.SetValueByKey("body", XB_Value(kTricky));
  ASSERT_TRUE(rows_.UpdateRow(*db_, note, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT body FROM note WHERE oid=-5"), kTricky);
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM note WHERE oid=-5 AND prio IS NULL"), "1");
  EXPECT_EQ(Value(*db_, "SELECT body FROM note WHERE oid=1"), "note 1");
}

TEST_F(RowIOFixture, DefinitionsOfStoredTexts) {
  OpenFixture("table_defs.db");
  XB_ParameterInfoGroup* defs = rows_.GetTableDefinition(*db_, "defs", TD_ALL);
  ASSERT_NE(defs, nullptr);
  ASSERT_EQ(defs->Count(), 11);
  EXPECT_EQ(defs->KeyAt(1), "b");
  EXPECT_EQ(defs->At(2)->GetType(), PT_REAL);
  EXPECT_EQ(rows_.GetTableDefinition(*db_, "lower_case", TD_ALL), nullptr);
  SQLiteParameters row = rows_.LoadRow(*db_, "defs", "d='given'");
  EXPECT_EQ(Text(row, "a"), "42");
  EXPECT_EQ(Text(row, "e"), "x'y");
}

TEST_F(RowIOFixture, UnchangedValuesKeepTheirBlanksAndLineBreaks) {
  OpenFixture("text_values.db");
  std::string before = Value(*db_, "SELECT v FROM val WHERE label='trailing newline'");
  ASSERT_EQ(before, "ends with a newline\n");
  SQLiteParameters row = rows_.LoadRow(*db_, "val", "label='trailing newline'");
  row.SetValueByKey("label", XB_Value(" relabelled "));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_, "SELECT v FROM val WHERE label='relabelled'"), before);
}

TEST_F(RowIOFixture, NullAndEmptyTextStayApart) {
  OpenFixture("text_values.db");
  SQLiteParameters row = rows_.LoadRow(*db_, "nulls", "rowid=2");
  EXPECT_FALSE(row.WasStoredNull("i"));
  EXPECT_TRUE(row.WasStoredNull("t"));
  row.SetValueByKey("i", XB_Value("5"));
  ASSERT_TRUE(rows_.UpdateRow(*db_, row, 0)) << rows_.LastError(*db_);
  EXPECT_EQ(Value(*db_,
                  "SELECT count(*) FROM nulls WHERE rowid=2 AND i='5' AND r='' "
                  "AND t IS NULL AND u=''"),
            "1");
  EXPECT_EQ(Value(*db_, "SELECT count(*) FROM nulls WHERE i='5'"), "1");
}
