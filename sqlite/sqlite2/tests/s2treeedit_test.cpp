/*
** In-place b-tree changes against a model: random inserts, replacements
** and removals on a table with an index, rows of every size from empty to
** several overflow pages, so that pages split and merge at every level of
** the tree.  After each batch the whole-file reader must read exactly the
** model's rows and the structural checker must accept the file, index
** contents and freelist included.
*/
#include "s2check.h"
#include "s2file.h"
#include "s2schema.h"
#include "s2treeedit.h"
#include "s2value.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

const char kTable[] = "CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT, b)";
const char kIndex[] = "CREATE INDEX tb ON t(b, a)";

struct Fixture {
  std::string bytes;
  s2::Image image;
  s2::TableDef table;
  s2::IndexDef index;
  uint32_t tableRoot = 0, indexRoot = 0;
  s2::ByteOrder order;
};

/* An empty file with the table and its index, written by the file writer. */
Fixture makeFile() {
  Fixture f;
  s2::Image image;
  image.master.push_back({1, "table", "t", "t", 0, std::string(kTable)});
  image.master.push_back({2, "index", "tb", "t", 0, std::string(kIndex)});
  image.tables["t"];
  EXPECT_TRUE(s2::buildImage(image, nullptr, f.bytes).ok());
  EXPECT_TRUE(s2::readImage(f.bytes, f.image).ok());
  f.order.bigEndian = f.image.bigEndian;
  f.tableRoot = uint32_t(f.image.master[0].rootpage);
  f.indexRoot = uint32_t(f.image.master[1].rootpage);
  EXPECT_TRUE(s2::parseCreateTable(kTable, f.table));
  s2::IndexStatement statement;
  EXPECT_TRUE(s2::parseCreateIndex(kIndex, statement));
  EXPECT_TRUE(s2::resolveIndex(statement, f.table, f.index));
  return f;
}

/* A value of a random size: mostly short, sometimes spilling over one or
** several overflow pages, sometimes NULL. */
s2::Cell randomValue(std::mt19937& random) {
  unsigned kind = random() % 20;
  if (kind == 0) return s2::Cell();
  size_t size = kind < 14   ? random() % 12
                : kind < 18 ? 100 + random() % 400
                            : 1000 + random() % 4000;
  std::string text;
  for (size_t i = 0; i < size; ++i) text.push_back(char('a' + random() % 26));
  if (kind % 3 == 0) text = std::to_string(int(random() % 1000) - 500);
  return text;
}

class TreeEditTest : public ::testing::Test {
 protected:
  /* Writes ROW (or removes rowid ROWID when ROW is null) through EDITOR,
  ** keeping the index in step with the model. */
  void apply(s2::TreeEditor& editor, int32_t rowid, const s2::Row* row) {
    auto old = m_model.find(rowid);
    bool found = false;
    if (old != m_model.end()) {
      ASSERT_TRUE(editor
                      .remove(m_file.indexRoot,
                              s2::indexKey(m_file.index, m_file.table, old->second), &found)
                      .ok());
      ASSERT_TRUE(found);
    }
    if (!row) {
      ASSERT_TRUE(editor.remove(m_file.tableRoot, s2::rowidKey(rowid), &found).ok());
      ASSERT_EQ(found, old != m_model.end());
      m_model.erase(rowid);
      return;
    }
    std::string record;
    s2::encodeRowRecord(row->cells, m_file.table.rowidColumn, record);
    ASSERT_TRUE(editor.insert(m_file.tableRoot, s2::rowidKey(rowid), record).ok());
    ASSERT_TRUE(
        editor.insert(m_file.indexRoot, s2::indexKey(m_file.index, m_file.table, *row), "").ok());
    m_model[rowid] = *row;
  }

  /* The file must read as the model and pass the checker. */
  void verify() {
    s2::Image read;
    s2::Status st = s2::readImage(m_file.bytes, read);
    ASSERT_TRUE(st.ok()) << st.message;
    const std::vector<s2::Row>& rows = read.tables["t"];
    ASSERT_EQ(rows.size(), m_model.size());
    auto expected = m_model.begin();
    for (const s2::Row& row : rows) {
      ASSERT_EQ(row.rowid, expected->first);
      ASSERT_EQ(row.cells, expected->second.cells) << row.rowid;
      ++expected;
    }
    std::vector<std::string> problems = s2check::CheckBytes(m_file.bytes);
    ASSERT_TRUE(problems.empty()) << problems.front();
  }

  /* Returns the number of levels of the tree rooted at ROOT. */
  int depth(uint32_t root) const {
    int levels = 1;
    const auto* p = reinterpret_cast<const unsigned char*>(m_file.bytes.data());
    for (uint32_t page = root; m_file.order.get32(p + (page - 1) * 1024) != 0; ++levels)
      page = m_file.order.get32(p + (page - 1) * 1024);
    return levels;
  }

  Fixture m_file = makeFile();
  std::map<int32_t, s2::Row> m_model;
};

TEST_F(TreeEditTest, RandomChangesKeepTheFileValid) {
  std::mt19937 random(20261207);
  int maxDepth = 0;
  for (int batch = 0; batch < 40; ++batch) {
    s2::TreeEditor editor(m_file.bytes, m_file.order);
    /* Growing at first, then shrinking back to nothing at the end. */
    int inserts = batch < 25 ? 160 : 10;
    for (int k = 0; k < 300; ++k) {
      int32_t rowid = int32_t(random() % 6000) - 1000;
      bool remove = int(random() % 200) >= inserts;
      if (remove && !m_model.empty()) {
        auto it = m_model.lower_bound(rowid);
        if (it == m_model.end()) it = m_model.begin();
        ASSERT_NO_FATAL_FAILURE(apply(editor, it->first, nullptr));
        continue;
      }
      s2::Row row;
      row.rowid = rowid;
      row.cells = {std::to_string(rowid), randomValue(random), randomValue(random)};
      ASSERT_NO_FATAL_FAILURE(apply(editor, rowid, &row));
    }
    ASSERT_NO_FATAL_FAILURE(verify());
    maxDepth = std::max({maxDepth, depth(m_file.tableRoot), depth(m_file.indexRoot)});
  }
  EXPECT_GE(maxDepth, 3);
  s2::TreeEditor editor(m_file.bytes, m_file.order);
  while (!m_model.empty()) ASSERT_NO_FATAL_FAILURE(apply(editor, m_model.begin()->first, nullptr));
  ASSERT_NO_FATAL_FAILURE(verify());
}

TEST_F(TreeEditTest, OnlyThePagesOnThePathChange) {
  s2::TreeEditor editor(m_file.bytes, m_file.order);
  for (int32_t rowid = 1; rowid <= 20000; ++rowid) {
    s2::Row row{
        rowid,
        {std::to_string(rowid), std::string("row ") + std::to_string(rowid), std::string("7")}};
    ASSERT_NO_FATAL_FAILURE(apply(editor, rowid, &row));
  }
  ASSERT_NO_FATAL_FAILURE(verify());
  std::string before = m_file.bytes;
  s2::Row row{12345, {std::string("12345"), std::string("changed"), std::string("8")}};
  ASSERT_NO_FATAL_FAILURE(apply(editor, 12345, &row));
  size_t changed = 0;
  for (size_t p = 0; p < before.size(); p += 1024)
    changed += before.compare(p, 1024, m_file.bytes, p, 1024) != 0;
  /* The table's path, the index paths of the old and the new key, page 1
  ** at most for the freelist. */
  EXPECT_LE(changed, 12u);
  ASSERT_NO_FATAL_FAILURE(verify());
}

TEST_F(TreeEditTest, FindsEntriesByPrefix) {
  s2::TreeEditor editor(m_file.bytes, m_file.order);
  for (int32_t rowid = 1; rowid <= 3000; ++rowid) {
    s2::Row row{rowid, {std::to_string(rowid), std::string("x"), std::to_string(rowid % 500)}};
    ASSERT_NO_FATAL_FAILURE(apply(editor, rowid, &row));
  }
  std::string key, prefix;
  s2::appendIndexField(prefix, std::string("42"), s2::ColumnClass::Numeric);
  ASSERT_TRUE(editor.findPrefix(m_file.indexRoot, prefix, &key).ok());
  EXPECT_EQ(key.substr(key.size() - 4), s2::rowidKey(42));
  prefix.clear();
  s2::appendIndexField(prefix, std::string("4242"), s2::ColumnClass::Numeric);
  ASSERT_TRUE(editor.findPrefix(m_file.indexRoot, prefix, &key).ok());
  EXPECT_EQ(key, "");
}

}  // namespace
