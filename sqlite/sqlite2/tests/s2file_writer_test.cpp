/*
** Writing images: the exact bytes of small known files, root page order,
** the schema cookie and the refusal of everything 2.8.17 could not load;
** reading damaged trees.  (The fixtures cover deep trees, overflow and
** record width boundaries.)
*/
#include "s2file.h"

#include <gtest/gtest.h>

namespace {

s2::MasterEntry entry(int32_t rowid, const char* type, const char* name, const char* table,
                      const char* sql) {
  s2::MasterEntry e;
  e.rowid = rowid;
  e.type = type;
  e.name = name;
  e.tbl_name = table;
  if (sql) e.sql = std::string(sql);
  return e;
}

std::string pageOf(const std::string& bytes, int page) {
  return bytes.substr(size_t(page - 1) * 1024, 1024);
}

/* The file of two indexed rows: table and index pages as 2.8.17 lays out
** a fresh file (roots 3, 4, 5), entries in key order, keys as it encodes. */
TEST(Writer, IndexPagesHoldTheEngineKeys) {
  s2::Image image;
  image.master = {entry(1, "table", "t", "t", "CREATE TABLE t(n INTEGER, s TEXT)"),
                  entry(2, "index", "tn", "t", "CREATE INDEX tn ON t(n)"),
                  entry(3, "index", "ts", "t", "CREATE INDEX ts ON t(s)")};
  image.tables["t"] = {{1, {std::string("42"), std::string("abc")}},
                       {2, {std::string("-7"), std::string("42")}}};
  std::string bytes;
  ASSERT_TRUE(s2::buildImage(image, nullptr, bytes).ok());
  ASSERT_EQ(bytes.size(), 5u * 1024);

  std::string table = pageOf(bytes, 3);
  EXPECT_EQ(table.substr(24, 10), std::string("\x03\x06\x0a"
                                              "42\0abc\0",
                                              10));

  std::string numeric = pageOf(bytes, 4);
  /* Leaf, first cell at 8; -7 sorts before 42. */
  EXPECT_EQ(numeric.substr(0, 8), std::string("\0\0\0\0\x08\0\x38\0", 8));
  EXPECT_EQ(numeric.substr(8, 22),
            std::string("\0\0\0\0\x0a\0\x20\0\0\0\0\0b-F~P\0\x80\0\0\x02", 22));
  EXPECT_EQ(numeric.substr(32, 23),
            std::string("\0\0\0\0\x0b\0\0\0\0\0\0\0b0G2Wg\0\x80\0\0\x01", 23));
  /* One free block covers the rest of the page. */
  EXPECT_EQ(numeric.substr(56, 4), std::string("\xc8\x03\0\0", 4));

  std::string text = pageOf(bytes, 5);
  EXPECT_EQ(text.substr(20, 8), std::string("c42\0\x80\0\0\x02", 8));
  EXPECT_EQ(text.substr(40, 9), std::string("cabc\0\x80\0\0\x01", 9));

  std::string header = pageOf(bytes, 1);
  EXPECT_EQ(header.substr(48, 4), "\x28\x75\xe3\xda");
  EXPECT_EQ(header.substr(64, 4), std::string("\x04\0\0\0", 4));
  EXPECT_NE(header.substr(60, 4), std::string(4, '\0')); /* a fresh cookie */
}

/* Automatic index roots come before their table's, as 2.8.17 allocates. */
TEST(Writer, AutomaticIndexRootsPrecedeTheTable) {
  s2::Image image;
  image.master = {entry(1, "table", "t", "t", "CREATE TABLE t(a PRIMARY KEY, b UNIQUE)"),
                  entry(2, "index", "(t autoindex 1)", "t", nullptr),
                  entry(3, "index", "(t autoindex 2)", "t", nullptr),
                  entry(4, "view", "v", "v", "CREATE VIEW v AS SELECT a FROM t")};
  std::string bytes;
  ASSERT_TRUE(s2::buildImage(image, nullptr, bytes).ok());
  s2::Image back;
  ASSERT_TRUE(s2::readImage(bytes, back).ok());
  ASSERT_EQ(back.master.size(), 4u);
  EXPECT_EQ(back.master[0].rootpage, 5);
  EXPECT_EQ(back.master[1].rootpage, 3);
  EXPECT_EQ(back.master[2].rootpage, 4);
  EXPECT_EQ(back.master[3].rootpage, 0);
  EXPECT_FALSE(back.master[1].sql);
}

TEST(Writer, RefusesWhatTheEngineCannotLoad) {
  s2::Image image;
  image.master = {entry(1, "table", "t", "t", "CREATE TABLE t(a, b TEXT UNIQUE)"),
                  entry(2, "index", "(t autoindex 1)", "t", nullptr)};
  std::string bytes;

  image.tables["t"] = {{1, {std::string("a\0b", 3), s2::Cell()}}};
  EXPECT_EQ(s2::buildImage(image, nullptr, bytes).code, s2::kMismatch);

  image.tables["t"] = {{1, {std::string(1048576, 'x'), s2::Cell()}}};
  EXPECT_EQ(s2::buildImage(image, nullptr, bytes).code, s2::kTooBig);
  image.tables["t"] = {{1, {std::string(1048566, 'x'), s2::Cell()}}};
  EXPECT_TRUE(s2::buildImage(image, nullptr, bytes).ok());

  image.tables["t"] = {{1, {s2::Cell(), std::string("x")}}, {1, {s2::Cell(), std::string("y")}}};
  EXPECT_EQ(s2::buildImage(image, nullptr, bytes).code, s2::kConstraint);

  /* UNIQUE on a text column: equal texts collide, NULLs never do. */
  image.tables["t"] = {{1, {s2::Cell(), std::string("7")}},
                       {2, {s2::Cell(), std::string("007")}},
                       {3, {s2::Cell(), s2::Cell()}},
                       {4, {s2::Cell(), s2::Cell()}}};
  EXPECT_TRUE(s2::buildImage(image, nullptr, bytes).ok());
  image.tables["t"].push_back({5, {s2::Cell(), std::string("7")}});
  EXPECT_EQ(s2::buildImage(image, nullptr, bytes).code, s2::kConstraint);

  /* A numeric UNIQUE column treats 007 and 7 as one value. */
  s2::Image numeric;
  numeric.master = {entry(1, "table", "u", "u", "CREATE TABLE u(n INTEGER UNIQUE)"),
                    entry(2, "index", "(u autoindex 1)", "u", nullptr)};
  numeric.tables["u"] = {{1, {std::string("7")}}, {2, {std::string("007")}}};
  EXPECT_EQ(s2::buildImage(numeric, nullptr, bytes).code, s2::kConstraint);

  /* 2.8.17 would drop an index listed before its table, or a table
  ** without the row of its automatic index. */
  s2::Image misordered;
  misordered.master = {entry(1, "index", "i", "t", "CREATE INDEX i ON t(a)"),
                       entry(2, "table", "t", "t", "CREATE TABLE t(a)")};
  EXPECT_FALSE(s2::buildImage(misordered, nullptr, bytes).ok());
  s2::Image missing;
  missing.master = {entry(1, "table", "t", "t", "CREATE TABLE t(a UNIQUE)")};
  EXPECT_FALSE(s2::buildImage(missing, nullptr, bytes).ok());
}

TEST(Writer, CookieAdvancesOnlyWithSchemaChanges) {
  s2::Image image;
  image.master = {entry(1, "table", "t", "t", "CREATE TABLE t(a)")};
  image.tables["t"] = {{1, {std::string("1")}}};
  std::string bytes;
  ASSERT_TRUE(s2::buildImage(image, nullptr, bytes).ok());
  s2::Image loaded;
  ASSERT_TRUE(s2::readImage(bytes, loaded).ok());

  s2::Image edited = loaded;
  edited.tables["t"].push_back({2, {std::string("2")}});
  std::string next;
  ASSERT_TRUE(s2::buildImage(edited, &loaded, next).ok());
  s2::Image after;
  ASSERT_TRUE(s2::readImage(next, after).ok());
  EXPECT_EQ(after.schemaCookie, loaded.schemaCookie);

  edited.master.push_back(entry(2, "table", "u", "u", "CREATE TABLE u(b)"));
  ASSERT_TRUE(s2::buildImage(edited, &loaded, next).ok());
  ASSERT_TRUE(s2::readImage(next, after).ok());
  EXPECT_NE(after.schemaCookie, loaded.schemaCookie);
  EXPECT_LE(after.schemaCookie - loaded.schemaCookie, 256u);

  /* Meta values other than cookie and format are kept. */
  edited.defaultCacheSize = -500;
  edited.defaultTempStore = 2;
  ASSERT_TRUE(s2::buildImage(edited, &loaded, next).ok());
  ASSERT_TRUE(s2::readImage(next, after).ok());
  EXPECT_EQ(after.defaultCacheSize, -500);
  EXPECT_EQ(after.defaultTempStore, 2);
}

/* Little-endian helpers for patching a written file. */
uint32_t get32(const std::string& b, size_t at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}
void put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = char(v >> (8 * i));
}

/* Cycles and references to pages used elsewhere are damage, found at once. */
TEST(Reader, CyclesAndSharedPagesAreMalformed) {
  s2::Image image;
  image.master = {entry(1, "table", "t", "t", "CREATE TABLE t(a)")};
  for (int i = 1; i <= 400; i++) image.tables["t"].push_back({i, {std::string(40, 'r')}});
  image.tables["t"].push_back({1000, {std::string(3000, 'o')}});
  std::string good;
  ASSERT_TRUE(s2::buildImage(image, nullptr, good).ok());
  s2::Image back;
  ASSERT_TRUE(s2::readImage(good, back).ok());
  /* Pages past the end read as zeros: one page alone is an empty database. */
  ASSERT_TRUE(s2::readImage(good.substr(0, 1024), back).ok());
  EXPECT_TRUE(back.master.empty());

  /* The table root (page 3) is interior: point its right child at itself. */
  std::string bytes = good;
  ASSERT_NE(get32(bytes, 2 * 1024), 0u);
  put32(bytes, 2 * 1024, 3);
  EXPECT_EQ(s2::readImage(bytes, back).code, s2::kCorrupt);

  /* The big row's overflow chain: the first page links to itself. */
  uint32_t firstOverflow = 4; /* allocated right after the roots */
  bytes = good;
  ASSERT_NE(get32(bytes, (firstOverflow - 1) * 1024), 0u);
  put32(bytes, (firstOverflow - 1) * 1024, firstOverflow);
  EXPECT_EQ(s2::readImage(bytes, back).code, s2::kCorrupt);
  /* ... or leads beyond the end of the file. */
  put32(bytes, (firstOverflow - 1) * 1024, 99999);
  EXPECT_EQ(s2::readImage(bytes, back).code, s2::kCorrupt);

  /* A freelist trunk appended to the file is fine; one naming itself as
  ** its successor, or naming a b-tree page, is not. */
  bytes = good + std::string(1024, '\0');
  uint32_t trunk = uint32_t(bytes.size() / 1024);
  put32(bytes, 52, trunk);
  put32(bytes, 56, 1);
  EXPECT_TRUE(s2::readImage(bytes, back).ok());
  put32(bytes, (trunk - 1) * 1024, trunk);
  EXPECT_EQ(s2::readImage(bytes, back).code, s2::kCorrupt);
  put32(bytes, (trunk - 1) * 1024, 0);
  put32(bytes, (trunk - 1) * 1024 + 4, 1);
  put32(bytes, (trunk - 1) * 1024 + 8, 3);
  EXPECT_EQ(s2::readImage(bytes, back).code, s2::kCorrupt);

  /* A cell whose size runs past the end of its page. */
  bytes = good;
  size_t leaf =
      size_t(get32(good, 2 * 1024 + 8) - 1) * 1024; /* left child of the root's first cell */
  bytes[leaf + 8 + 9] = char(0x7f);
  EXPECT_EQ(s2::readImage(bytes, back).code, s2::kCorrupt);
}

}  // namespace
