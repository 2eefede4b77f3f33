/*
** Reads every fixture written by the real 2.x engine through the public C
** interface and compares all objects, all rows, rowids, NULLs and bytes
** with the fixture's .expect file.  The fixture itself must stay untouched:
** reading never writes.
*/
#include <gtest/gtest.h>

#include "s2check.h"
#include "s2expect.h"

namespace {

using namespace s2test;

class FixtureRead : public ::testing::TestWithParam<std::string> {};

/* Every object and every row reads back exactly as the engine stored it,
** and opening and reading leaves the file as it was. */
TEST_P(FixtureRead, ReadsBackExactlyAsExpected) {
  const std::string name = GetParam();
  Content expected;
  std::string error;
  ASSERT_TRUE(ParseExpect(ReadBytes(FixturePath(name, ".expect")), expected, error)) << error;

  TempDir dir;
  std::string path = dir.path() + "/" + name + ".db";
  std::string original = ReadBytes(FixturePath(name, ".db"));
  ASSERT_TRUE(WriteBytes(path, original));

  char* err = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &err);
  ASSERT_NE(db, nullptr) << (err ? err : "no message");
  Content actual;
  bool read = ReadContent(db, actual, error);
  sqlite_close(db);
  ASSERT_TRUE(read) << error;
  ExpectSameContent(expected, actual, true, name);
  EXPECT_TRUE(ReadBytes(path) == original) << "reading changed the file";
  EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

/* The same content stored in big-endian order reads back the same, and the
** converted file is valid (the checker follows the byte order too). */
TEST_P(FixtureRead, BigEndianCopyReadsTheSame) {
  const std::string name = GetParam();
  Content expected;
  std::string error;
  ASSERT_TRUE(ParseExpect(ReadBytes(FixturePath(name, ".expect")), expected, error)) << error;
  TempDir dir;
  std::string path = dir.path() + "/" + name + ".db";
  ASSERT_TRUE(WriteBytes(path, ToBigEndian(ReadBytes(FixturePath(name, ".db")), expected)));
  std::vector<std::string> problems = s2check::CheckFile(path);
  EXPECT_TRUE(problems.empty()) << problems.front();

  char* err = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &err);
  ASSERT_NE(db, nullptr) << (err ? err : "no message");
  Content actual;
  bool read = ReadContent(db, actual, error);
  sqlite_close(db);
  ASSERT_TRUE(read) << error;
  ExpectSameContent(expected, actual, true, name + " (big-endian)");
}

/* Every fixture in the folder comes with the script that built it and the
** content it reads back; every test over the fixtures lists the folder, so
** a fixture added there is tested without being named anywhere. */
TEST(FixtureFolder, EveryFixtureHasItsScriptAndExpectation) {
  std::vector<std::string> names = FixtureNames();
  EXPECT_GE(names.size(), 10u);
  for (const std::string& name : names) {
    EXPECT_TRUE(std::filesystem::exists(FixturePath(name, ".sql"))) << name;
    EXPECT_TRUE(std::filesystem::exists(FixturePath(name, ".expect"))) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(AllFixtures, FixtureRead, ::testing::ValuesIn(FixtureNames()),
                         [](const auto& info) { return info.param; });

/* Returns the rank of a value in the 2.x numeric sort: NULL, then numbers
** by value, then other texts by bytes.  Compares A < B. */
bool NumericLess(const Value& a, const Value& b) {
  if (!a || !b) return !a && b;
  bool an = s2check::LooksLikeNumber(*a);
  bool bn = s2check::LooksLikeNumber(*b);
  if (an != bn) return an;
  if (an) return s2check::TextToNumber(*a) < s2check::TextToNumber(*b);
  return *a < *b;
}

/* Queries follow the 2.x column classes: a numeric column finds '007' and
** '7.0' by the value 7 and sorts by value, a text column compares bytes.
** The expectation is computed from the .expect rows, not from the engine. */
TEST(FixtureQueries, ColumnClassesDecideComparisonAndOrder) {
  Content expected;
  std::string error;
  ASSERT_TRUE(ParseExpect(ReadBytes(FixturePath("numeric_text", ".expect")), expected, error))
      << error;
  const Object* num = nullptr;
  for (const Object& o : expected.objects) {
    if (o.name == "num") num = &o;
  }
  ASSERT_NE(num, nullptr);
  size_t sevenByValue = 0;
  size_t sevenByText = 0;
  for (const Row& r : num->rows) {
    const Value& i = r.values[1];
    if (i && s2check::LooksLikeNumber(*i) && s2check::TextToNumber(*i) == 7.0) sevenByValue++;
    if (r.values[3] == Value("7")) sevenByText++;
  }

  TempDir dir;
  std::string path = dir.path() + "/numeric_text.db";
  ASSERT_TRUE(WriteBytes(path, ReadBytes(FixturePath("numeric_text", ".db"))));
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  Table byValue = GetTable(db, "SELECT label FROM num WHERE i = 7");
  Table byText = GetTable(db, "SELECT label FROM num WHERE t = '7'");
  Table sortedNumeric = GetTable(db, "SELECT i FROM num ORDER BY i");
  Table sortedText = GetTable(db, "SELECT t FROM num ORDER BY t");
  sqlite_close(db);

  ASSERT_EQ(byValue.rc, SQLITE_OK) << byValue.error;
  ASSERT_EQ(byText.rc, SQLITE_OK) << byText.error;
  EXPECT_EQ(byValue.rows.size(), sevenByValue);
  EXPECT_EQ(byText.rows.size(), sevenByText);
  EXPECT_GT(sevenByValue, sevenByText);

  ASSERT_EQ(sortedNumeric.rc, SQLITE_OK) << sortedNumeric.error;
  ASSERT_EQ(sortedNumeric.rows.size(), num->rows.size());
  for (size_t k = 1; k < sortedNumeric.rows.size(); k++) {
    EXPECT_FALSE(NumericLess(sortedNumeric.rows[k][0], sortedNumeric.rows[k - 1][0]))
        << Escape(sortedNumeric.rows[k - 1][0]) << " sorted before "
        << Escape(sortedNumeric.rows[k][0]);
  }
  ASSERT_EQ(sortedText.rc, SQLITE_OK) << sortedText.error;
  for (size_t k = 1; k < sortedText.rows.size(); k++) {
    const Value& a = sortedText.rows[k - 1][0];
    const Value& b = sortedText.rows[k][0];
    EXPECT_FALSE(a && (!b || *b < *a)) << Escape(a) << " sorted before " << Escape(b);
  }
}

}  // namespace
