/*
** Round trips through the generation-2 engine: each fixture is copied,
** opened, changed (UPDATE, INSERT, DELETE, a table and an index created and
** dropped, a new table with an index kept) and closed.  The written file
** must pass the structural checker, read back with the content that the
** same changes give when applied to the fixture's .expect content, carry a
** new schema cookie, and stay byte for byte the same when content that
** does not change is written again.
*/
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>

#include "s2check.h"
#include "s2expect.h"

namespace {

using namespace s2test;

/* Returns the schema cookie of the database file BYTES (either order). */
uint32_t SchemaCookie(const std::string& bytes) {
  if (bytes.size() < 64) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 60;
  bool big = static_cast<unsigned char>(bytes[48]) == 0xDA;
  return big ? (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
             : p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

/* Returns true when every row of O holds its rowid in column C, as an
** INTEGER PRIMARY KEY does (such a column is left alone when updating). */
bool HoldsRowid(const Object& o, size_t c) {
  for (const Row& r : o.rows) {
    if (r.values[c] != Value(std::to_string(r.rowid))) return false;
  }
  return true;
}

/* Returns the table whose rows the round trip changes: one with rows, no
** triggers, room for a new rowid and a column that is not the rowid. */
Object* PickTable(Content& content, size_t& column) {
  for (Object& o : content.objects) {
    if (o.type != "table" || o.rows.empty() || o.rows.back().rowid >= INT_MAX - 10) continue;
    bool triggered = false;
    for (const Object& t : content.objects)
      triggered = triggered || (t.type == "trigger" && t.tblName == o.name);
    if (triggered) continue;
    for (size_t c = o.columns.size(); c-- > 0;) {
      if (!HoldsRowid(o, c)) {
        column = c;
        return &o;
      }
    }
  }
  return nullptr;
}

/* Applies the row changes to the open database and to the model. */
void ChangeRows(sqlite* db, Object& table, size_t column) {
  std::string rowid = RowidName(table.columns);
  std::string name = Quote(table.name);
  std::string col = Quote(table.columns[column]);

  /* UPDATE of the first row, with a Latin-1 byte and a quote in the value. */
  ASSERT_FALSE(table.rows.empty());
  Row& first = table.rows.front();
  ASSERT_EQ(Exec(db, "UPDATE " + name + " SET " + col + " = 'rt-\xE4''x' WHERE " + rowid + " = " +
                         std::to_string(first.rowid)),
            "");
  first.values[column] = "rt-\xE4'x";

  /* DELETE of the last row. */
  ASSERT_EQ(Exec(db, "DELETE FROM " + name + " WHERE " + rowid + " = " +
                         std::to_string(table.rows.back().rowid)),
            "");
  table.rows.pop_back();

  /* INSERT of a full row; the new rowid is the largest plus one. */
  Row added;
  added.rowid = table.rows.empty() ? 1 : table.rows.back().rowid + 1;
  std::string values;
  for (size_t c = 0; c < table.columns.size(); c++) {
    Value v = HoldsRowid(table, c) ? Value(std::to_string(added.rowid))
                                   : Value("rt-new-" + std::to_string(c));
    values += (c ? ", '" : "'") + *v + "'";
    added.values.push_back(v);
  }
  ASSERT_EQ(Exec(db, "INSERT INTO " + name + " VALUES(" + values + ")"), "");
  table.rows.push_back(added);
}

/* Creates and drops objects, and creates a table that stays, in the
** database and in the model. */
void ChangeSchema(sqlite* db, Content& model) {
  ASSERT_EQ(Exec(db, "CREATE TABLE rt_gone(a, b TEXT)"), "");
  ASSERT_EQ(Exec(db, "INSERT INTO rt_gone VALUES(1, 'one')"), "");
  ASSERT_EQ(Exec(db, "CREATE INDEX rt_gone_b ON rt_gone(b)"), "");
  ASSERT_EQ(Exec(db, "DROP INDEX rt_gone_b"), "");
  ASSERT_EQ(Exec(db, "DROP TABLE rt_gone"), "");

  const char* create = "CREATE TABLE rt_keep(id INTEGER PRIMARY KEY, n NUMERIC, t TEXT UNIQUE)";
  ASSERT_EQ(Exec(db, create), "");
  const char* index = "CREATE INDEX rt_keep_n ON rt_keep(n)";
  Object table{"table", "rt_keep", "rt_keep", "", std::string(create), {"id", "n", "t"}, {}};
  /* Number-looking and other texts that must be stored as written. */
  const Value texts[] = {"007",        "1.50", "-0",           "+5", "1e3",
                         std::nullopt, "",     "\xE4\xF6\xFC", " 5", "12345678901234567890"};
  int rowid = 0;
  for (const Value& v : texts) {
    rowid++;
    std::string literal = v ? "'" + *v + "'" : "NULL";
    ASSERT_EQ(Exec(db, "INSERT INTO rt_keep(n, t) VALUES(" + literal + ", " + literal + ")"), "")
        << literal;
    table.rows.push_back({rowid, {std::to_string(rowid), v, v}});
  }
  ASSERT_EQ(Exec(db, index), "");
  model.objects.push_back(table);
  model.objects.push_back({"index", "(rt_keep autoindex 1)", "rt_keep", "", std::nullopt, {}, {}});
  model.objects.push_back({"index", "rt_keep_n", "rt_keep", "", std::string(index), {}, {}});
}

/* Opens PATH and reads its whole content into CONTENT. */
void ReadFile(const std::string& path, Content& content) {
  char* err = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &err);
  ASSERT_NE(db, nullptr) << (err ? err : "no message");
  std::string error;
  bool read = ReadContent(db, content, error);
  sqlite_close(db);
  ASSERT_TRUE(read) << error;
}

/* Changes a copy of fixture NAME (turned big-endian first when BIG_ENDIAN
** is set) and checks the written file: valid, new cookie, no journal left,
** the expected content, and no byte changed by writes of unchanged content. */
void RunRoundTrip(const std::string& name, bool bigEndian) {
  Content model;
  std::string error;
  ASSERT_TRUE(ParseExpect(ReadBytes(FixturePath(name, ".expect")), model, error)) << error;
  TempDir dir;
  std::string path = dir.path() + "/" + name + ".db";
  std::string original = ReadBytes(FixturePath(name, ".db"));
  if (bigEndian) original = ToBigEndian(original, model);
  ASSERT_TRUE(WriteBytes(path, original));

  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  size_t column = 0;
  if (Object* table = PickTable(model, column)) ChangeRows(db, *table, column);
  ChangeSchema(db, model);
  sqlite_close(db);
  if (::testing::Test::HasFatalFailure()) return;

  std::string written = ReadBytes(path);
  std::vector<std::string> problems = s2check::CheckFile(path);
  std::string listed;
  for (const std::string& p : problems) listed += p + "\n";
  EXPECT_TRUE(problems.empty()) << listed;
  EXPECT_NE(SchemaCookie(written), SchemaCookie(original)) << "schema changed, cookie did not";
  EXPECT_FALSE(std::filesystem::exists(path + "-journal"));

  Content actual;
  ReadFile(path, actual);
  ExpectSameContent(model, actual, false, name);

  /* Writing unchanged content again leaves every byte as it was: an UPDATE
  ** that stores the same value, and a transaction whose insert is deleted
  ** again before it commits. */
  db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(Exec(db, "UPDATE rt_keep SET t = t WHERE id = 2"), "");
  sqlite_close(db);
  EXPECT_TRUE(ReadBytes(path) == written) << "a write of unchanged content changed the file";

  db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(
      Exec(db, "BEGIN; INSERT INTO rt_keep(n) VALUES(1); DELETE FROM rt_keep WHERE n = 1; COMMIT"),
      "");
  sqlite_close(db);
  EXPECT_TRUE(ReadBytes(path) == written) << "a transaction that changed nothing changed the file";
}

class RoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, ChangedFileIsValidAndReadsBackAsChanged) {
  RunRoundTrip(GetParam(), false);
}

/* A big-endian file is changed as well (and written back valid). */
TEST(RoundTripBigEndian, ChangedFileIsValidAndReadsBackAsChanged) {
  for (const char* name : {"indices", "overflow", "freelist"}) {
    SCOPED_TRACE(name);
    RunRoundTrip(name, true);
  }
}

INSTANTIATE_TEST_SUITE_P(AllFixtures, RoundTrip, ::testing::ValuesIn(FixtureNames()),
                         [](const auto& info) { return info.param; });

/* A path that does not exist becomes a valid database once written; values
** that 2.x cannot store are refused and leave the file as it was. */
TEST(RoundTripNew, FreshFileAndRefusedValues) {
  TempDir dir;
  std::string path = dir.path() + "/new.db";
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(std::filesystem::exists(path));
  Content model;
  ChangeSchema(db, model);
  sqlite_close(db);
  if (HasFatalFailure()) return;
  std::vector<std::string> problems = s2check::CheckFile(path);
  EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
  Content actual;
  ReadFile(path, actual);
  ExpectSameContent(model, actual, false, "new file");

  std::string before = ReadBytes(path);
  db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  EXPECT_NE(Exec(db, "INSERT INTO rt_keep(id) VALUES(4294967296)"), "")
      << "rowid beyond 32 bits accepted";
  EXPECT_NE(Exec(db, "CREATE TABLE IF NOT EXISTS rt_more(a)"), "")
      << "2.x cannot load IF NOT EXISTS";
  EXPECT_NE(Exec(db, "INSERT INTO rt_keep(t) VALUES(x'610062')"), "")
      << "a value with a 0x00 byte accepted";
  EXPECT_NE(Exec(db, "INSERT INTO rt_keep(t) VALUES(char(97, 0, 98))"), "")
      << "a value with a 0x00 byte accepted";
  std::string huge(1048576, 'x');
  EXPECT_NE(Exec(db, "INSERT INTO rt_keep(t) VALUES('" + huge + "')"), "")
      << "a row over the 2.x limit accepted";
  sqlite_close(db);
  EXPECT_TRUE(ReadBytes(path) == before) << "a refused statement changed the file";
}

/* Returns V as an SQL literal (NULL or a quoted string). */
std::string Literal(const Value& v) {
  if (!v) return "NULL";
  std::string out = "'";
  for (char c : *v) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

/* Many random changes, some in transactions and some rolled back, on a
** table with two indices and values long enough to overflow: after every
** few batches the file is closed, checked and read back against a model. */
TEST(RoundTripRandom, ManyChangesStayConsistent) {
  TempDir dir;
  std::string path = dir.path() + "/random.db";
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(Exec(db,
                 "CREATE TABLE r(id INTEGER PRIMARY KEY, n INTEGER, t TEXT, big);"
                 "CREATE INDEX rn ON r(n); CREATE INDEX rtn ON r(t, n);"),
            "");
  std::mt19937 random(4242);
  const Value pool[] = {"007",
                        "7",
                        "1.50",
                        "-0",
                        "+5",
                        "1e3",
                        "abc",
                        "",
                        " 5",
                        std::nullopt,
                        "\xE9t\xE9",
                        "O'Neil",
                        "12345678901234567890",
                        "-2147483648",
                        "0.1"};
  auto pick = [&] { return pool[random() % (sizeof pool / sizeof pool[0])]; };
  auto big = [&]() -> Value {
    if (random() % 5 == 0) return std::nullopt;
    return std::string(random() % 3000, static_cast<char>('a' + random() % 26));
  };
  std::map<long long, std::vector<Value>> model;

  for (int batch = 0; batch < 60; batch++) {
    std::map<long long, std::vector<Value>> next = model;
    std::string sql;
    int statements = 1 + random() % 6;
    for (int k = 0; k < statements; k++) {
      int op = random() % 10;
      if (op < 5 || next.empty()) {
        bool automatic = random() % 3 == 0;
        long long id =
            automatic ? (next.empty() ? 1 : next.rbegin()->first + 1) : 1 + random() % 500;
        if (next.count(id)) continue;
        std::vector<Value> row = {std::to_string(id), pick(), pick(), big()};
        sql += "INSERT INTO r VALUES(" + (automatic ? std::string("NULL") : std::to_string(id)) +
               ", " + Literal(row[1]) + ", " + Literal(row[2]) + ", " + Literal(row[3]) + ");";
        next[id] = row;
      } else {
        auto it = next.begin();
        std::advance(it, random() % next.size());
        if (op < 8) {
          Value n = pick();
          Value b = big();
          sql += "UPDATE r SET n = " + Literal(n) + ", big = " + Literal(b) +
                 " WHERE id = " + std::to_string(it->first) + ";";
          it->second[1] = n;
          it->second[3] = b;
        } else {
          sql += "DELETE FROM r WHERE id = " + std::to_string(it->first) + ";";
          next.erase(it);
        }
      }
    }
    int mode = random() % 4;
    if (mode == 0) {
      ASSERT_EQ(Exec(db, "BEGIN;" + sql + "ROLLBACK;"), "") << sql;
    } else if (mode == 1) {
      ASSERT_EQ(Exec(db, "BEGIN;" + sql + "COMMIT;"), "") << sql;
      model = next;
    } else {
      ASSERT_EQ(Exec(db, sql), "") << sql;
      model = next;
    }
    if (batch % 15 != 14) continue;

    sqlite_close(db);
    std::vector<std::string> problems = s2check::CheckFile(path);
    ASSERT_TRUE(problems.empty()) << "after batch " << batch << ": " << problems.front();
    db = sqlite_open(path.c_str(), 0, nullptr);
    ASSERT_NE(db, nullptr);
    Table rows = GetTable(db, "SELECT * FROM r");
    ASSERT_EQ(rows.rc, SQLITE_OK) << rows.error;
    ASSERT_EQ(rows.rows.size(), model.size()) << "after batch " << batch;
    auto expected = model.begin();
    for (const auto& r : rows.rows) {
      ASSERT_EQ(r.size(), 4u);
      for (size_t c = 0; c < 4; c++) {
        EXPECT_EQ(Escape(r[c]), Escape(expected->second[c]))
            << "rowid " << expected->first << ", column " << c;
      }
      ++expected;
    }
  }
  sqlite_close(db);
}

}  // namespace
