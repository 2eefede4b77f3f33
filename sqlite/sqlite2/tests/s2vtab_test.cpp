/*
** The lazy readers against the whole-file reader: every fixture and large
** generated files read through the page cache and the virtual tables give
** exactly the rows the whole-file reader gives; rowid, INTEGER PRIMARY KEY
** and index lookups find the same rows as a filter over all rows; damage
** in one table leaves the others readable and names the damaged page; a
** lookup in a large file reads only a few pages; while a connection's
** virtual tables refuse row changes, a write reaching one fails and leaves
** the file alone.
*/
#include "s2btree.h"
#include "s2catalog.h"
#include "s2file.h"
#include "s2lazy.h"
#include "s2sqltoken.h"
#include "s2sqlvalue.h"
#include "s2vtab.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>
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

/* A working copy with the tables of BYTES as virtual tables. */
class LazyDb : public s2::TreeHost {
 public:
  explicit LazyDb(std::string bytes, size_t cachePages = s2::PageCache::kDefaultCapacity)
      : m_bytes(std::move(bytes)), m_source(m_bytes), m_cache(cachePages) {
    m_cache.setSource(&m_source);
    m_schema = s2::readCatalogSchema(m_cache, m_image);
    s2::ByteOrder order;
    order.bigEndian = m_image.bigEndian;
    m_catalog.build(m_image.master, order, m_image.fileFormat);
    sqlite3_open(":memory:", &m_db);
    m_hooks = std::make_unique<s2::FunctionHooks>();
    s2::registerFunctions(m_db, m_hooks.get());
    s2::registerTreeModule(m_db, this);
    for (const s2::MasterEntry& e : m_image.master) {
      if (e.type != "table" || !m_catalog.find(e.name)) continue;
      std::string sql = s2::treeTableStatement("main", e.name);
      EXPECT_EQ(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    }
  }
  ~LazyDb() override { sqlite3_close(m_db); }

  s2::PageCache& pageCache() override { return m_cache; }
  const s2::TreeCatalog& catalog() override { return m_catalog; }
  s2::Status readable() override { return s2::Status::success(); }

  /* Runs SQL; returns the rows as "v1|v2|..." lines or "error N: message". */
  std::string query(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
      return std::string("error: ") + sqlite3_errmsg(m_db);
    std::string out;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* v = sqlite3_column_text(stmt, i);
        out += (i ? "|" : "") + (v ? std::string(reinterpret_cast<const char*>(v)) : "NULL");
      }
      out += "\n";
    }
    if (rc != SQLITE_DONE)
      out = "error " + std::to_string(sqlite3_errcode(m_db)) + ": " + sqlite3_errmsg(m_db);
    sqlite3_finalize(stmt);
    return out;
  }

  s2::Image m_image;
  s2::Status m_schema;

 private:
  std::string m_bytes;
  s2::MemorySource m_source;
  s2::PageCache m_cache;
  s2::TreeCatalog m_catalog;
  sqlite3* m_db = nullptr;
  std::unique_ptr<s2::FunctionHooks> m_hooks;
};

/* The rows of TABLE in IMAGE in the form LazyDb::query gives for
** "SELECT rowid, * FROM table". */
std::string expectedRows(const s2::Image& image, const std::string& table,
                         const std::function<bool(const s2::Row&)>& keep = {}) {
  std::string out;
  for (const s2::Row& row : image.tables.at(table)) {
    if (keep && !keep(row)) continue;
    out += std::to_string(row.rowid);
    for (const s2::Cell& cell : row.cells) out += "|" + cell.value_or("NULL");
    out += "\n";
  }
  return out;
}

std::string selectAll(const std::string& table, const std::string& where = "") {
  return "SELECT rowid, * FROM " + s2::quoteIdentifier(table) + where;
}

TEST(LazyReadTest, FixturesReadAsTheWholeFileReaderReadsThem) {
  for (const char* name : kFixtures) {
    SCOPED_TRACE(name);
    std::string bytes = readFile(std::string(XB_SQLITE2_FIXTURES) + "/" + name + ".db");
    s2::Image whole;
    ASSERT_TRUE(s2::readImage(bytes, whole).ok());
    LazyDb lazy(bytes);
    ASSERT_TRUE(lazy.m_schema.ok()) << lazy.m_schema.message;
    ASSERT_EQ(lazy.m_image.master.size(), whole.master.size());
    for (size_t i = 0; i < whole.master.size(); ++i) {
      EXPECT_EQ(lazy.m_image.master[i].name, whole.master[i].name);
      EXPECT_EQ(lazy.m_image.master[i].rootpage, whole.master[i].rootpage);
      EXPECT_EQ(lazy.m_image.master[i].sql, whole.master[i].sql);
    }
    for (const auto& [table, rows] : whole.tables) {
      SCOPED_TRACE(table);
      /* All rows, then every row found again by its rowid, one at a time
      ** (where no column takes that name). */
      bool shadowed = false;
      for (const s2::ColumnDef& c : lazy.catalog().find(table)->def.columns)
        shadowed = shadowed || s2::sameName(c.name, "rowid");
      if (shadowed) continue;
      EXPECT_EQ(lazy.query(selectAll(table)), expectedRows(whole, table));
      for (size_t i = 0; i < rows.size(); i += 1 + rows.size() / 20) {
        int32_t rowid = rows[i].rowid;
        EXPECT_EQ(lazy.query(selectAll(table, " WHERE rowid = " + std::to_string(rowid))),
                  expectedRows(whole, table, [&](const s2::Row& r) { return r.rowid == rowid; }));
      }
    }
  }
}

/* Builds a file with table t(id INTEGER PRIMARY KEY, name TEXT, qty,
** note) of COUNT rows, an index on qty and one on (name, qty). */
std::string buildFile(int count, s2::Image& image) {
  image = s2::Image();
  image.master.push_back({1, "table", "t", "t", 0,
                          std::string("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, qty, "
                                      "note)")});
  image.master.push_back({2, "index", "iq", "t", 0, std::string("CREATE INDEX iq ON t(qty)")});
  image.master.push_back(
      {3, "index", "inq", "t", 0, std::string("CREATE INDEX inq ON t(name, qty)")});
  image.master.push_back({4, "table", "small", "small", 0, std::string("CREATE TABLE small(a)")});
  std::mt19937 random(7);
  std::vector<s2::Row>& rows = image.tables["t"];
  for (int k = 0; k < count; ++k) {
    s2::Row row;
    row.rowid = k * 3 - 1000;
    std::string note;
    if (k % 97 == 0) note.assign(300 + random() % 3000, char('a' + k % 26));
    row.cells = {std::to_string(row.rowid), "n" + std::to_string(k % 50),
                 k % 10 == 0 ? s2::Cell() : s2::Cell(std::to_string(k % 37) + (k % 2 ? ".0" : "")),
                 note.empty() ? s2::Cell("x") : s2::Cell(note)};
    rows.push_back(std::move(row));
  }
  image.tables["small"].push_back({1, {std::string("only")}});
  std::string bytes;
  EXPECT_TRUE(s2::buildImage(image, nullptr, bytes).ok());
  EXPECT_TRUE(s2::readImage(bytes, image).ok());
  return bytes;
}

TEST(LazyReadTest, LookupsFindTheRowsAFilterFinds) {
  s2::Image image;
  std::string bytes = buildFile(20000, image);
  LazyDb lazy(bytes, 50);
  ASSERT_TRUE(lazy.m_schema.ok());
  EXPECT_EQ(lazy.query(selectAll("t")), expectedRows(image, "t"));
  EXPECT_EQ(lazy.query("SELECT count(*) FROM t"), "20000\n");
  /* By rowid and by the INTEGER PRIMARY KEY, with values SQLite 3 turns
  ** into the same integer. */
  for (const char* where : {" WHERE rowid = 2000", " WHERE id = 2000", " WHERE id = '2000'",
                            " WHERE id = 2000.0", " WHERE 2000 = id"}) {
    EXPECT_EQ(lazy.query(selectAll("t", where)),
              expectedRows(image, "t", [](const s2::Row& r) { return r.rowid == 2000; }))
        << where;
  }
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE id = 2001")), "");
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE id = 9e12")), "");
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE id > 58000 AND id <= 58990")),
            expectedRows(image, "t",
                         [](const s2::Row& r) { return r.rowid > 58000 && r.rowid <= 58990; }));
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE id < -990.5")),
            expectedRows(image, "t", [](const s2::Row& r) { return r.rowid < -990; }));
  EXPECT_EQ(lazy.query("SELECT id FROM t ORDER BY id LIMIT 3"), "-1000\n-997\n-994\n");
  /* Through the indices: numeric comparison in the numeric column (5 and
  ** 5.0 are the same key), byte comparison in the text column. */
  auto qtyIs5 = [](const s2::Row& r) { return r.cells[2] && std::stod(*r.cells[2]) == 5; };
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE qty = 5 ORDER BY rowid")),
            expectedRows(image, "t", qtyIs5));
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE qty = '5.0' ORDER BY rowid")),
            expectedRows(image, "t", qtyIs5));
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE name = 'n7' AND qty = '7' ORDER BY rowid")),
            expectedRows(image, "t", [](const s2::Row& r) {
              return *r.cells[1] == "n7" && r.cells[2] && std::stod(*r.cells[2]) == 7;
            }));
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE qty = 5.5")), "");
  EXPECT_EQ(lazy.query(selectAll("t", " WHERE qty = NULL")), "");
  EXPECT_EQ(lazy.query("SELECT count(*) FROM t WHERE qty IS NULL"), "2000\n");
}

TEST(LazyReadTest, DamageStaysInTheTableThatHasIt) {
  s2::Image image;
  std::string bytes = buildFile(3000, image);
  const s2::MasterEntry* t = nullptr;
  for (const s2::MasterEntry& e : image.master) {
    if (e.name == "t") t = &e;
  }
  ASSERT_NE(t, nullptr);
  /* A cell offset that is no multiple of 4 on the root of t. */
  size_t root = size_t(t->rootpage - 1) * 1024;
  bytes[root + 4] = 3;
  bytes[root + 5] = 0;
  LazyDb lazy(bytes);
  ASSERT_TRUE(lazy.m_schema.ok());
  EXPECT_EQ(lazy.query("SELECT * FROM small"), "only\n");
  /* A count reads an index of t, which is sound; a column needs t. */
  EXPECT_EQ(lazy.query("SELECT count(*) FROM t"), "3000\n");
  EXPECT_EQ(
      lazy.query("SELECT count(note) FROM t"),
      "error 11: database disk image is malformed (page " + std::to_string(t->rootpage) + ")");
}

TEST(LazyReadTest, DamagedTreesNeverHang) {
  s2::Image image;
  std::string bytes = buildFile(3000, image);
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::string damaged = bytes;
    for (int k = 0; k < 8; ++k) damaged[2048 + random() % (damaged.size() - 2048)] = char(random());
    LazyDb lazy(damaged, 20);
    lazy.query("SELECT count(*), max(note) FROM t");
    lazy.query("SELECT * FROM t WHERE qty = 3");
    lazy.query("SELECT * FROM t WHERE id BETWEEN 100 AND 400");
  }
}

TEST(LazyReadTest, ALookupInALargeFileReadsFewPages) {
  s2::Image image;
  std::string bytes = buildFile(60000, image);
  ASSERT_GT(bytes.size(), 4000u * 1024);
  LazyDb lazy(bytes, 100);
  ASSERT_TRUE(lazy.m_schema.ok());
  lazy.pageCache().clear();
  lazy.pageCache().resetCounters();
  EXPECT_EQ(lazy.query("SELECT * FROM small"), "only\n");
  EXPECT_LE(lazy.pageCache().sourceReads(), 2u);
  lazy.pageCache().resetCounters();
  EXPECT_EQ(lazy.query("SELECT name FROM t WHERE id = 29999"), "n33\n");
  EXPECT_LE(lazy.pageCache().sourceReads(), 6u);
  lazy.pageCache().resetCounters();
  EXPECT_EQ(lazy.query("SELECT count(*) FROM (SELECT * FROM t LIMIT 100)"), "100\n");
  EXPECT_LE(lazy.pageCache().sourceReads(), 40u);
  lazy.pageCache().resetCounters();
  EXPECT_EQ(lazy.query("SELECT count(*) FROM t WHERE name = 'n3' AND qty = '3.0'"), "33\n");
  /* 33 rows, each found through the index and then in the table. */
  EXPECT_LE(lazy.pageCache().sourceReads(), 33u * 4);
}

TEST(LazyReadTest, WalksReadOnlyThePagesTheirColumnsNeed) {
  s2::Image image;
  std::string bytes = buildFile(60000, image);
  LazyDb lazy(bytes, 100);
  ASSERT_TRUE(lazy.m_schema.ok());
  int64_t rowids = 0, noteBytes = 0;
  for (const s2::Row& row : image.tables.at("t")) {
    rowids += row.rowid;
    noteBytes += int64_t(row.cells[3].value_or("").size());
  }
  auto reads = [&](const std::string& sql, const std::string& expected) {
    lazy.pageCache().clear();
    lazy.pageCache().resetCounters();
    EXPECT_EQ(lazy.query(sql), expected) << sql;
    return lazy.pageCache().sourceReads();
  };
  /* Rowids alone come from the keys of the smaller index, never from the
  ** table; a column before the long notes from the table's own pages, the
  ** notes from their overflow pages too. */
  size_t keys = reads("SELECT count(*), sum(rowid), sum(id) FROM t",
                      "60000|" + std::to_string(rowids) + "|" + std::to_string(rowids) + "\n");
  size_t names = reads("SELECT count(name) FROM t", "60000\n");
  size_t notes = reads("SELECT sum(length(note)) FROM t", std::to_string(noteBytes) + "\n");
  EXPECT_LT(keys, names);
  EXPECT_LT(names + 600, notes);
  /* A DELETE of every row finds them by the same keys. */
  EXPECT_EQ(lazy.query("SELECT count(*) FROM t WHERE rowid IN (SELECT rowid FROM t)"), "60000\n");
}

/* Runs SQL on DB; returns "" or "error N: message". */
std::string execError(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return "";
  return "error " + std::to_string(sqlite3_errcode(db)) + ": " + sqlite3_errmsg(db);
}

TEST(LazyWriteTest, RefusedRowChangesLeaveTheFileAlone) {
  s2::Image image;
  std::string bytes = buildFile(3000, image);
  std::string path = (std::filesystem::temp_directory_path() /
                      ("s2vtab-refused-" + std::to_string(getpid()) + ".db"))
                         .string();
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  s2::File file;
  ASSERT_TRUE(file.open(path).ok());
  s2::FunctionHooks hooks;
  s2::LazyFile lazy(file, hooks);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  ASSERT_EQ(s2::registerFunctions(db, &hooks), SQLITE_OK);
  ASSERT_EQ(s2::registerTreeModule(db, &lazy), SQLITE_OK);
  ASSERT_TRUE(file.lockWrite().ok());
  bool changed = false;
  ASSERT_TRUE(lazy.refresh(&changed).ok());
  for (const char* name : {"t", "small"})
    ASSERT_EQ(execError(db, s2::treeTableStatement("main", name)), "");
  /* Rows read whole through the cache are those of the whole-file reader. */
  std::vector<s2::Row> rows;
  ASSERT_TRUE(lazy.readRows("t", rows).ok());
  const std::vector<s2::Row>& expected = image.tables.at("t");
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].rowid, expected[i].rowid);
    EXPECT_EQ(rows[i].cells, expected[i].cells) << rows[i].rowid;
  }
  lazy.refuseRowChanges(true);
  for (const char* write : {"UPDATE small SET a = 'changed'", "INSERT INTO small VALUES('new')",
                            "DELETE FROM t WHERE id < 100", "UPDATE t SET note = 'n'"}) {
    std::string error = execError(db, write);
    EXPECT_EQ(error.rfind("error 2: ", 0), 0u) << write << ": " << error;
    EXPECT_NE(error.find("is not in the working copy"), std::string::npos) << error;
  }
  EXPECT_TRUE(lazy.commitChanges().ok());
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
  lazy.refuseRowChanges(false);
  ASSERT_EQ(execError(db, "UPDATE small SET a = 'changed'"), "");
  EXPECT_TRUE(lazy.commitChanges().ok());
  ASSERT_TRUE(lazy.refresh(&changed).ok());
  ASSERT_TRUE(lazy.readRows("small", rows).ok());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cells, std::vector<s2::Cell>{s2::Cell("changed")});
  sqlite3_close(db);
  file.unlock();
  file.close();
  std::filesystem::remove(path);
}

}  // namespace
