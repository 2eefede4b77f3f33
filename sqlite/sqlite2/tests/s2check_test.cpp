/*
** Tests of the structural checker: its key encoding against keys the real
** 2.x engine wrote, its verdict on every fixture (all valid) and on copies
** broken on purpose (each fault must be found), and that no damage makes it
** crash or hang.
*/
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "s2check.h"
#include "s2expect.h"

namespace {

using s2check::IndexKeyField;
using s2check::IsTextClass;
using s2check::LooksLikeNumber;
using s2check::SortableNumber;
using s2check::TextToNumber;

/* Returns the bytes of fixture NAME.db. */
std::string Fixture(const std::string& name) {
  return s2test::ReadBytes(s2test::FixturePath(name, ".db"));
}

/* Returns the problems as one text for failure messages. */
std::string Joined(const std::vector<std::string>& problems) {
  std::string out;
  for (const std::string& p : problems) out += p + "\n";
  return out;
}

/* Returns true when one of PROBLEMS contains TEXT. */
bool Mentions(const std::vector<std::string>& problems, const std::string& text) {
  for (const std::string& p : problems) {
    if (p.find(text) != std::string::npos) return true;
  }
  return false;
}

/* Little-endian accessors for the fixtures, which are all little-endian. */
uint32_t Get16(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}
uint32_t Get32(const std::string& b, size_t at) {
  return Get16(b, at) | (Get16(b, at + 2) << 16);
}
void Put16(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
size_t PageAt(uint32_t pgno) {
  return static_cast<size_t>(pgno - 1) * 1024;
}

TEST(CheckKeyEncoding, NumberTextsMatchTheKeysTheEngineWrites) {
  struct Case {
    const char* text;
    const char* sortable;
  } cases[] = {
      {"0", "000W"},
      {"-0", "000W"},
      {"00", "000W"},
      {"1", "0G1X"},
      {"1.0", "0G1X"},
      {"+1", "0G1X"},
      {"1e0", "0G1X"},
      {"10", "0G1g"},
      {"42", "0G2Wg"},
      {"64", "0G2X"},
      {"65", "0G2X1"},
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
      /* the extended precision variant differs from plain doubles here */
      {"891.953913", "0G2jxz3EaSZi"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(LooksLikeNumber(c.text)) << c.text;
    EXPECT_EQ(SortableNumber(TextToNumber(c.text)), c.sortable) << c.text;
  }
  EXPECT_EQ(SortableNumber(-std::numeric_limits<double>::infinity()), "-01");
  EXPECT_EQ(SortableNumber(std::numeric_limits<double>::quiet_NaN()), "0G0");
}

TEST(CheckKeyEncoding, FieldsFollowTheColumnClass) {
  using namespace std::string_literals;
  EXPECT_EQ(IndexKeyField(std::nullopt, true), "a\0"s);
  EXPECT_EQ(IndexKeyField("42", true), "b0G2Wg\0"s);
  EXPECT_EQ(IndexKeyField("42", false), "c42\0"s);
  EXPECT_EQ(IndexKeyField("", true), "c\0"s);
  for (const char* notNumber :
       {"", " 5", "5 ", "5.", ".5", "-.5", "1e", "0x10", "1,5", "-", "NaN", "Inf"}) {
    EXPECT_FALSE(LooksLikeNumber(notNumber)) << notNumber;
  }
  for (const char* text :
       {"TEXT", "VARCHAR ( 10 )", "CHARACTER", "BLOB", "NCHAR", "clob", "4EXT", "#HAR", "\"LOB"}) {
    EXPECT_TRUE(IsTextClass(text)) << text;
  }
  for (const char* numeric :
       {"", "INTEGER", "INT", "NUMERIC", "REAL", "DATE", "BOOLEAN", "STRING", "NOCASE"}) {
    EXPECT_FALSE(IsTextClass(numeric)) << numeric;
  }
}

class CheckFixture : public ::testing::TestWithParam<std::string> {};

/* Every file the real engine wrote passes; this also proves the key
** encoding on every index of the fixtures. */
TEST_P(CheckFixture, EngineWrittenFileIsValid) {
  std::string path = std::string(XB_SQLITE2_FIXTURES) + "/" + GetParam() + ".db";
  std::vector<std::string> problems = s2check::CheckFile(path);
  EXPECT_TRUE(problems.empty()) << Joined(problems);
}

/* Damage anywhere in the file never crashes or hangs the checker, and most
** single-byte damage to the structure is found. */
TEST_P(CheckFixture, RandomDamageIsSurvived) {
  std::string original = Fixture(GetParam());
  ASSERT_FALSE(original.empty());
  std::mt19937 random(12345);
  int found = 0;
  const int rounds = original.size() < 65536 ? 200 : 40;
  for (int i = 0; i < rounds; i++) {
    std::string copy = original;
    for (int k = 0; k < 4; k++) {
      size_t at = random() % copy.size();
      copy[at] = static_cast<char>(random());
    }
    if (!s2check::CheckBytes(copy).empty()) found++;
  }
  EXPECT_GT(found, 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CheckFixture, ::testing::ValuesIn(s2test::FixtureNames()),
                         [](const auto& info) { return info.param; });

TEST(CheckDamage, FileLevelFaults) {
  std::string good = Fixture("small_table");
  EXPECT_TRUE(s2check::CheckBytes("").empty()) << "an empty file is an empty database";

  std::string cut = good.substr(0, good.size() - 100);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(cut), "not a multiple of 1024"));

  std::string badMark = good;
  badMark[48] = 0x29;
  EXPECT_TRUE(Mentions(s2check::CheckBytes(badMark), "not a database"));

  std::string badText = good;
  badText[10] = 'X';
  EXPECT_TRUE(Mentions(s2check::CheckBytes(badText), "not a database"));

  std::string newFormat = good;
  Put32(newFormat, 64, 5);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(newFormat), "unsupported file format"));

  std::string extraPage = good + std::string(1024, '\0');
  EXPECT_TRUE(Mentions(s2check::CheckBytes(extraPage), "Page 4 is never used"));
}

TEST(CheckDamage, PageLayoutFaults) {
  std::string good = Fixture("small_table");
  size_t page3 = PageAt(3);

  std::string badOffset = good;
  Put16(badOffset, page3 + 4, 1012);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(badOffset), "cell offset 1012 out of range"));

  /* The first cell's rowid 1 becomes 9, larger than its successors. */
  std::string outOfOrder = good;
  uint32_t first = Get16(good, page3 + 4);
  outOfOrder[page3 + first + 15] = 9;
  EXPECT_TRUE(Mentions(s2check::CheckBytes(outOfOrder), "Key is out of order"));

  std::string badFree = good;
  uint32_t freeBlock = Get16(good, page3 + 6);
  ASSERT_NE(freeBlock, 0u);
  Put16(badFree, page3 + freeBlock, Get16(good, page3 + freeBlock) - 4);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(badFree), "belongs to no cell or free block"));

  std::string badKeySize = good;
  badKeySize[page3 + first + 4] = 5;
  EXPECT_FALSE(s2check::CheckBytes(badKeySize).empty());

  /* "apple" gets a 0x00 byte inside. */
  std::string nul = good;
  size_t apple = nul.find("apple");
  ASSERT_NE(apple, std::string::npos);
  nul[apple + 2] = '\0';
  EXPECT_TRUE(Mentions(s2check::CheckBytes(nul), "0x00"));
}

/* Returns B with its first OLD_TEXT replaced by NEW_TEXT padded with spaces
** to the same length (so no record changes size). */
std::string Replaced(std::string b, const std::string& oldText, std::string newText) {
  size_t at = b.find(oldText);
  EXPECT_NE(at, std::string::npos) << oldText;
  if (at == std::string::npos || newText.size() > oldText.size()) return b;
  newText.resize(oldText.size(), ' ');
  return b.replace(at, oldText.size(), newText);
}

/* Statements the 2.x grammar has no rule for must never reach the file:
** 2.x would skip such a row silently and lose the object. */
TEST(CheckDamage, SchemaTextOutsideTheGrammar) {
  std::string good = Fixture("small_table");
  const std::string create = "CREATE TABLE fruit(name TEXT, color TEXT, weight INTEGER)";
  EXPECT_TRUE(s2check::CheckBytes(Replaced(good, create, "CREATE TABLE fruit(n, c, w)")).empty())
      << "the padding itself is harmless";
  EXPECT_TRUE(Mentions(
      s2check::CheckBytes(Replaced(good, create, "CREATE TABLE IF NOT EXISTS fruit(n, c, w)")),
      "IF NOT EXISTS"));
  EXPECT_TRUE(Mentions(
      s2check::CheckBytes(Replaced(good, create, "CREATE TABLE fruit(n, c, w) WITHOUT ROWID")),
      "text after the column list"));
  EXPECT_TRUE(Mentions(s2check::CheckBytes(Replaced(
                           good, create, "CREATE TABLE fruit(n, c PRIMARY KEY AUTOINCREMENT, w)")),
                       "AUTOINCREMENT"));
  EXPECT_TRUE(
      Mentions(s2check::CheckBytes(Replaced(good, create, "CREATE TEMP TABLE fruit(n, c, w)")),
               "temporary"));
  EXPECT_TRUE(Mentions(s2check::CheckBytes(Replaced(good, create, "CREATE TABLE fruit(n, c, n)")),
                       "duplicate column"));
  EXPECT_TRUE(Mentions(s2check::CheckBytes(Replaced(good, create, "CREATE TABLE fruit(n, c)")),
                       "2 columns"));
}

TEST(CheckDamage, IndexContentFaults) {
  std::string good = Fixture("indices");
  /* The index entry of one e-mail address changes: the row lacks its
  ** entry and the entry matches no row. */
  std::string badEntry = good;
  size_t key = badEntry.find(std::string("cuser1@example.com\0", 19));
  ASSERT_NE(key, std::string::npos);
  badEntry[key + 1] = 'v';
  std::vector<std::string> problems = s2check::CheckBytes(badEntry);
  EXPECT_TRUE(Mentions(problems, "missing from index (emp autoindex 1)")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "matches no row")) << Joined(problems);

  /* The row changes instead (same length): its index entry no longer fits. */
  std::string badRow = good;
  size_t value = badRow.find(std::string("\0user1@example.com\0", 19));
  ASSERT_NE(value, std::string::npos);
  badRow[value + 1] = 'v';
  EXPECT_TRUE(
      Mentions(s2check::CheckBytes(badRow), "rowid 1 missing from index (emp autoindex 1)"));

  /* An automatic index under a name the table does not generate. */
  std::string badName = good;
  size_t autoName = badName.find("(code autoindex 1)");
  ASSERT_NE(autoName, std::string::npos);
  badName[autoName + 1] = 'd';
  problems = s2check::CheckBytes(badName);
  EXPECT_TRUE(Mentions(problems, "is not one that table")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "(code autoindex 1) of table code is missing"))
      << Joined(problems);
}

/* Returns the offset in B of the first overflow pointer of a cell on page
** PGNO whose payload needs at least MIN_PAGES overflow pages, or 0. */
size_t OverflowPointer(const std::string& b, uint32_t pgno, uint32_t minPages) {
  size_t page = PageAt(pgno);
  for (uint32_t off = Get16(b, page + 4); off != 0; off = Get16(b, page + off + 6)) {
    uint32_t payload =
        Get16(b, page + off + 4) + (static_cast<unsigned char>(b[page + off + 8]) << 16) +
        Get16(b, page + off + 10) + (static_cast<unsigned char>(b[page + off + 9]) << 16);
    if (payload > 236 + 1020 * (minPages - 1)) return page + off + 12 + 236;
  }
  return 0;
}

TEST(CheckDamage, OverflowAndFreelistFaults) {
  std::string good = Fixture("overflow");
  /* The document table's root page, from sqlite_master of the fixture. */
  size_t rootText = good.find("table\0doc\0doc\0", 0, 14);
  ASSERT_NE(rootText, std::string::npos);
  uint32_t root = static_cast<uint32_t>(std::stoul(good.substr(rootText + 14, 5)));
  size_t pointer = OverflowPointer(good, root, 2);
  ASSERT_NE(pointer, 0u);
  uint32_t firstOverflow = Get32(good, pointer);

  std::string loop = good;
  Put32(loop, PageAt(firstOverflow), firstOverflow);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(loop),
                       "2nd reference to page " + std::to_string(firstOverflow)));

  std::string shortChain = good;
  Put32(shortChain, PageAt(firstOverflow), 0);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(shortChain), "overflow chain shorter"));

  std::string freelist = Fixture("freelist");
  std::string badCount = freelist;
  Put32(badCount, 56, Get32(freelist, 56) + 1);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(badCount), "freelist holds"));

  std::string cycle = freelist;
  Put32(cycle, 52, 2);
  EXPECT_TRUE(Mentions(s2check::CheckBytes(cycle), "2nd reference to page 2"));
}

}  // namespace
