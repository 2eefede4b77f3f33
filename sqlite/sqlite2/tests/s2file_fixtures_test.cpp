/*
** Reads every 2.x fixture written by a real 2.8.17 engine and compares the
** content with its .expect file; then writes each one back, reads it again
** and checks that the content survived, that a second write of the same
** image gives the same bytes, and that both byte orders read alike.
*/
#include "s2file.h"
#include "s2schema.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace {

const char* const kFixtures[] = {"dropped_table", "freelist",    "freelist_vacuumed", "indices",
                                 "many_tables",   "multilevel",  "numeric_text",      "overflow",
                                 "quoted_names",  "rowids",      "small_table",       "table_defs",
                                 "text_values",   "view_trigger"};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string fixturePath(const std::string& name, const char* suffix) {
  return std::string(XB_SQLITE2_FIXTURES) + "/" + name + suffix;
}

/* Escapes a field the way the .expect files do. */
std::string escape(const s2::Cell& cell) {
  if (!cell) return "\\N";
  std::string out;
  for (unsigned char c : *cell) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else
      out.push_back(char(c));
  }
  return out;
}

/* Renders IMAGE in the .expect form; WITHROOTS false blanks the root pages,
** which a different writer may legitimately choose otherwise. */
std::string render(const s2::Image& image, bool withRoots) {
  std::string out = "objects\t" + std::to_string(image.master.size()) + "\n";
  for (const s2::MasterEntry& e : image.master) {
    out += "\ntype\t" + escape(e.type) + "\nname\t" + escape(e.name) + "\ntbl_name\t" +
           escape(e.tbl_name) + "\nrootpage\t" +
           (withRoots || e.rootpage == 0 ? std::to_string(e.rootpage) : std::string("*")) +
           "\nsql\t" + escape(e.sql) + "\n";
    if (e.type != "table") continue;
    s2::TableDef def;
    EXPECT_TRUE(e.sql && s2::parseCreateTable(*e.sql, def)) << *e.sql;
    out += "columns";
    for (const s2::ColumnDef& c : def.columns) out += "\t" + escape(c.name);
    auto rows = image.tables.find(e.name);
    size_t count = rows == image.tables.end() ? 0 : rows->second.size();
    out += "\nrows\t" + std::to_string(count) + "\n";
    if (count == 0) continue;
    for (const s2::Row& row : rows->second) {
      out += std::to_string(row.rowid);
      for (const s2::Cell& cell : row.cells) out += "\t" + escape(cell);
      out += "\n";
    }
  }
  return out;
}

/* Rewrites the .expect text with blanked root pages. */
std::string blankRoots(const std::string& expect) {
  std::istringstream in(expect);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.rfind("rootpage\t", 0) == 0 && line != "rootpage\t0") line = "rootpage\t*";
    out += line + "\n";
  }
  return out;
}

/* Converts a little-endian 2.x file to big-endian order (for tests only):
** every integer of page 1, page headers, cells, free blocks, overflow and
** freelist pages, found by walking the trees the reader reports. */
class ByteSwapper {
 public:
  explicit ByteSwapper(std::string& bytes) : m_b(bytes) {}

  void swapFile(const s2::Image& image) {
    uint32_t trunk = get32(52);
    for (size_t off = 48; off < 96; off += 4) swap32(off);
    swapTree(2);
    for (const s2::MasterEntry& e : image.master) {
      if (e.rootpage > 0) swapTree(uint32_t(e.rootpage));
    }
    while (trunk) {
      size_t base = size_t(trunk - 1) * 1024;
      uint32_t next = get32(base), leaves = get32(base + 4);
      for (size_t i = 0; i < 2 + leaves; i++) swap32(base + 4 * i);
      trunk = next;
    }
  }

 private:
  uint32_t get32(size_t off) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(m_b.data()) + off;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
  }
  uint32_t get16(size_t off) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(m_b.data()) + off;
    return p[0] | p[1] << 8;
  }
  void swap32(size_t off) {
    std::swap(m_b[off], m_b[off + 3]);
    std::swap(m_b[off + 1], m_b[off + 2]);
  }
  void swap16(size_t off) { std::swap(m_b[off], m_b[off + 1]); }

  void swapTree(uint32_t page) {
    size_t base = size_t(page - 1) * 1024;
    uint32_t right = get32(base);
    uint32_t cell = get16(base + 4), freeBlock = get16(base + 6);
    swap32(base);
    swap16(base + 4);
    swap16(base + 6);
    while (cell) {
      size_t c = base + cell;
      uint32_t left = get32(c), next = get16(c + 6);
      uint32_t payload =
          (get16(c + 4) | uint8_t(m_b[c + 8]) << 16) + (get16(c + 10) | uint8_t(m_b[c + 9]) << 16);
      swap32(c);
      swap16(c + 4);
      swap16(c + 6);
      swap16(c + 10);
      if (payload > 236) {
        uint32_t overflow = get32(c + 248);
        swap32(c + 248);
        while (overflow) {
          size_t o = size_t(overflow - 1) * 1024;
          overflow = get32(o);
          swap32(o);
        }
      }
      if (left) swapTree(left);
      cell = next;
    }
    while (freeBlock) {
      uint32_t next = get16(base + freeBlock + 2);
      swap16(base + freeBlock);
      swap16(base + freeBlock + 2);
      freeBlock = next;
    }
    if (right) swapTree(right);
  }

  std::string& m_b;
};

class Fixture : public ::testing::TestWithParam<const char*> {};

TEST_P(Fixture, ReadsAsExpected) {
  std::string name = GetParam();
  std::string bytes = readFile(fixturePath(name, ".db"));
  ASSERT_FALSE(bytes.empty());
  s2::Image image;
  s2::Status status = s2::readImage(bytes, image);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(render(image, true), readFile(fixturePath(name, ".expect")));
}

TEST_P(Fixture, WriteBackKeepsContentAndIsDeterministic) {
  std::string name = GetParam();
  std::string original = readFile(fixturePath(name, ".db"));
  s2::Image image;
  ASSERT_TRUE(s2::readImage(original, image).ok());
  std::string first;
  s2::Status status = s2::buildImage(image, &image, first);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(first.size() % 1024, 0u);

  s2::Image again;
  status = s2::readImage(first, again);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(render(again, false), blankRoots(readFile(fixturePath(name, ".expect"))));
  EXPECT_EQ(again.fileFormat, 4u);

  std::string second;
  ASSERT_TRUE(s2::buildImage(again, &again, second).ok());
  EXPECT_EQ(first, second);
  /* No free pages are written: the new file is never larger than needed. */
  EXPECT_LE(first.size(), original.size());
}

TEST_P(Fixture, BigEndianCopyReadsTheSame) {
  std::string name = GetParam();
  std::string bytes = readFile(fixturePath(name, ".db"));
  s2::Image image;
  ASSERT_TRUE(s2::readImage(bytes, image).ok());
  ByteSwapper(bytes).swapFile(image);
  s2::Image swapped;
  s2::Status status = s2::readImage(bytes, swapped);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_TRUE(swapped.bigEndian);
  EXPECT_EQ(render(swapped, true), render(image, true));

  /* Written back, it is native again and holds the same content. */
  std::string rewritten;
  ASSERT_TRUE(s2::buildImage(swapped, &swapped, rewritten).ok());
  s2::Image native;
  ASSERT_TRUE(s2::readImage(rewritten, native).ok());
  EXPECT_FALSE(native.bigEndian);
  EXPECT_EQ(render(native, false), render(image, false));
}

/* Damaged copies (random bytes changed, pages cut off) must give an error
** or an image, never a crash or a hang; an image they give must write. */
TEST_P(Fixture, DamagedCopiesNeverCrash) {
  std::string name = GetParam();
  const std::string original = readFile(fixturePath(name, ".db"));
  std::mt19937 random(12345);
  for (int round = 0; round < 80; round++) {
    std::string bytes = original;
    int changes = 1 + int(random() % 8);
    for (int c = 0; c < changes; c++) {
      size_t at = random() % bytes.size();
      /* Mostly hit the structural fields at the start of a page or cell. */
      if (random() % 2) at = (at / 1024) * 1024 + random() % 24;
      bytes[at] = char(random());
    }
    if (round % 10 == 9) bytes.resize(random() % bytes.size());
    s2::Image image;
    s2::Status status = s2::readImage(bytes, image);
    EXPECT_TRUE(status.ok() || status.code == s2::kCorrupt || status.code == s2::kNotADb ||
                status.code == s2::kError)
        << status.code << " " << status.message;
    if (!status.ok()) {
      EXPECT_FALSE(status.message.empty());
      continue;
    }
    std::string rewritten;
    s2::buildImage(image, &image, rewritten);
  }
}

INSTANTIATE_TEST_SUITE_P(All, Fixture, ::testing::ValuesIn(kFixtures));

}  // namespace
