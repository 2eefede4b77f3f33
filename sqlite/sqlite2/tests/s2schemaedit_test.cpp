/*
** Schema changes written in place.  The file layer: dropped trees go to
** the freelist whole and new trees reuse it, filling their pages; new
** unique indices refuse clashing rows; rows of sqlite_master that claim
** roots the file does not give, and changes that need rows not at hand,
** are turned away.  Through the C interface: random schema changes mixed
** with row changes match SQLite 3 after every statement (content, schema
** rows, and root pages as the file holds them), every file passes the
** checker, the freelist keeps the file from growing across create and
** drop cycles, and on a large file a schema change writes a handful of
** pages (a dropped table its freelist trunks) and advances the cookie.
*/
#include "s2api_helpers.h"
#include "s2check.h"
#include "s2schemaedit.h"
#include "s2value.h"

#include <algorithm>
#include <random>

#undef SQLITE_VERSION
#undef SQLITE_VERSION_NUMBER
#include <sqlite3.h>

namespace {

using namespace s2api;

/* ------------------------------------------------------------------------
** The file layer
*/

s2::MasterEntry entry(int32_t rowid, const std::string& type, const std::string& name,
                      const std::string& table, const Cell& sql) {
  s2::MasterEntry e;
  e.rowid = rowid;
  e.type = type;
  e.name = name;
  e.tbl_name = table;
  e.sql = sql;
  return e;
}

/* A file with table t(a, b) of ROWS rows (every fifth with an overflow
** chain) and table keep(x) of one row; its bytes and schema rows. */
struct Built {
  std::string bytes;
  s2::Image schema;
};

Built buildFile(int rows, const std::string& bValue) {
  s2::Image image;
  image.master.push_back(entry(1, "table", "t", "t", std::string("CREATE TABLE t(a, b)")));
  image.master.push_back(entry(2, "table", "keep", "keep", std::string("CREATE TABLE keep(x)")));
  for (int r = 1; r <= rows; ++r) {
    std::string a = "a" + std::to_string(r) + std::string(r % 5 == 0 ? 1500 : 10, 'x');
    image.tables["t"].push_back({r, {a, bValue.empty() ? s2::Cell() : s2::Cell(bValue)}});
  }
  image.tables["keep"].push_back({1, {std::string("kept")}});
  Built built;
  s2::Status st = s2::buildImage(image, nullptr, built.bytes);
  EXPECT_TRUE(st.ok()) << st.message;
  st = s2::readSchema(built.bytes, built.schema);
  EXPECT_TRUE(st.ok()) << st.message;
  return built;
}

uint32_t freePages(const std::string& bytes) {
  s2::ByteOrder order;
  order.bigEndian = s2::nativeBigEndian();
  return order.get32(reinterpret_cast<const unsigned char*>(bytes.data()) + s2::kOffFreeCount);
}

/* Applies BEFORE -> AFTER to BYTES with ROWS as the rows of every table. */
s2::Status applyChange(std::string& bytes, const std::vector<s2::MasterEntry>& before,
                       const std::vector<s2::MasterEntry>& after,
                       const std::map<std::string, std::vector<s2::Row>>& rows,
                       std::vector<s2::MasterEntry>* written, bool* unsuitable) {
  s2::ByteOrder order;
  order.bigEndian = s2::nativeBigEndian();
  s2::SchemaChange change;
  change.before = before;
  change.after = after;
  change.rows = [&rows](const std::string& name) -> const std::vector<s2::Row>* {
    auto found = rows.find(name);
    return found == rows.end() ? nullptr : &found->second;
  };
  s2::TreeEditor editor(bytes, order);
  return s2::applySchemaChange(editor, order, change, written, unsuitable);
}

TEST(SchemaEditFile, DroppedTreesFeedTheFreelistAndNewTreesTakeFromIt) {
  Built built = buildFile(600, "b");
  std::string bytes = built.bytes;
  size_t pages = bytes.size() / s2::kPageSize;
  const s2::MasterEntry& keep = built.schema.master[1];

  /* DROP TABLE t: every page of t is free, none other, the file as long. */
  std::vector<s2::MasterEntry> written;
  bool unsuitable = false;
  s2::Status st = applyChange(bytes, built.schema.master, {keep}, {}, &written, &unsuitable);
  ASSERT_TRUE(st.ok()) << st.message;
  ASSERT_FALSE(unsuitable);
  std::vector<std::string> problems = s2check::CheckBytes(bytes);
  ASSERT_TRUE(problems.empty()) << problems.front();
  EXPECT_EQ(freePages(bytes), pages - 3); /* all but pages 1, 2 and keep's root */
  EXPECT_EQ(bytes.size(), pages * s2::kPageSize);
  s2::Image dropped;
  ASSERT_TRUE(s2::readImage(bytes, dropped).ok());
  ASSERT_EQ(dropped.master.size(), 1u);
  EXPECT_NE(dropped.schemaCookie, built.schema.schemaCookie);

  /* A new table of the same rows comes out of the freelist, its pages
  ** filled about as densely as the bulk writer filled t's: the file grows
  ** by a few pages at most. */
  s2::Image source;
  ASSERT_TRUE(s2::readImage(built.bytes, source).ok());
  std::map<std::string, std::vector<s2::Row>> rows{{"u", source.tables["t"]}};
  std::vector<s2::MasterEntry> after = dropped.master;
  after.push_back(entry(3, "table", "u", "u", std::string("CREATE TABLE u(a, b)")));
  st = applyChange(bytes, dropped.master, after, rows, &written, &unsuitable);
  ASSERT_TRUE(st.ok()) << st.message;
  EXPECT_LE(bytes.size(), pages * s2::kPageSize * 21 / 20);
  EXPECT_LE(freePages(bytes), 10u);

  /* Indices on it, a unique one among them, then take new pages. */
  s2::Image plain;
  ASSERT_TRUE(s2::readImage(bytes, plain).ok());
  after = plain.master;
  after.push_back(entry(4, "index", "ua", "u", std::string("CREATE UNIQUE INDEX ua ON u(a)")));
  after.push_back(entry(5, "index", "ub", "u", std::string("CREATE INDEX ub ON u(b)")));
  st = applyChange(bytes, plain.master, after, rows, &written, &unsuitable);
  ASSERT_TRUE(st.ok()) << st.message;
  problems = s2check::CheckBytes(bytes);
  ASSERT_TRUE(problems.empty()) << problems.front();
  s2::Image created;
  ASSERT_TRUE(s2::readImage(bytes, created).ok());
  ASSERT_EQ(created.master.size(), 4u);
  EXPECT_EQ(created.tables["u"].size(), 600u);
  EXPECT_EQ(created.tables["keep"].size(), 1u);
  for (size_t i = 0; i < written.size(); ++i)
    EXPECT_EQ(written[i].rootpage, created.master[i].rootpage) << written[i].name;
  EXPECT_EQ(freePages(bytes), 0u);
}

TEST(SchemaEditFile, NewUniqueIndexRefusesClashingRowsButNotNulls) {
  for (const char* b : {"same", ""}) {
    SCOPED_TRACE(std::string("b = '") + b + "'");
    Built built = buildFile(40, b);
    s2::Image source;
    ASSERT_TRUE(s2::readImage(built.bytes, source).ok());
    std::vector<s2::MasterEntry> after = built.schema.master;
    after.push_back(entry(3, "index", "ub", "t", std::string("CREATE UNIQUE INDEX ub ON t(b)")));
    std::string bytes = built.bytes;
    std::vector<s2::MasterEntry> written;
    bool unsuitable = false;
    s2::Status st =
        applyChange(bytes, built.schema.master, after, source.tables, &written, &unsuitable);
    if (*b) {
      EXPECT_EQ(st.code, s2::kConstraint);
      EXPECT_EQ(st.message, "indexed columns are not unique");
      continue;
    }
    /* NULL keys never clash: the index holds all 40 entries. */
    ASSERT_TRUE(st.ok()) << st.message;
    std::vector<std::string> problems = s2check::CheckBytes(bytes);
    EXPECT_TRUE(problems.empty()) << problems.front();
  }
}

TEST(SchemaEditFile, ChangesThatCannotBeMadeInPlaceAreTurnedAway) {
  Built built = buildFile(10, "b");
  std::vector<std::vector<s2::MasterEntry>> claims(4, built.schema.master);
  claims[0][0].rootpage = 99;        /* another root for t */
  claims[1].push_back(claims[1][1]); /* keep's root given twice */
  claims[1][2].rowid = 3;
  claims[1][2].name = "again";
  claims[2][1].name = "renamed"; /* a row that is not the one before */
  /* A new index of a table whose rows are not at hand. */
  claims[3].push_back(entry(3, "index", "ia", "t", std::string("CREATE INDEX ia ON t(a)")));
  for (size_t i = 0; i < claims.size(); ++i) {
    SCOPED_TRACE(i);
    std::string bytes = built.bytes;
    std::vector<s2::MasterEntry> written;
    bool unsuitable = false;
    s2::Status st = applyChange(bytes, built.schema.master, claims[i], {}, &written, &unsuitable);
    EXPECT_TRUE(st.ok()) << st.message;
    EXPECT_TRUE(unsuitable);
  }
}

TEST(SchemaEditFile, EntriesAddedInKeyOrderFillTheirPages) {
  /* t's 600 rows inserted one by one in rowid order into an empty t take
  ** about as many pages as the bulk writer gives them. */
  Built full = buildFile(600, "b");
  Built empty = buildFile(0, "b");
  s2::Image source;
  ASSERT_TRUE(s2::readImage(full.bytes, source).ok());
  std::string bytes = empty.bytes;
  s2::ByteOrder order;
  order.bigEndian = s2::nativeBigEndian();
  s2::TreeEditor editor(bytes, order);
  std::string record;
  for (const s2::Row& row : source.tables["t"]) {
    s2::encodeRowRecord(row.cells, -1, record);
    s2::Status st =
        editor.insert(uint32_t(full.schema.master[0].rootpage), s2::rowidKey(row.rowid), record);
    ASSERT_TRUE(st.ok()) << st.message;
  }
  std::vector<std::string> problems = s2check::CheckBytes(bytes);
  ASSERT_TRUE(problems.empty()) << problems.front();
  EXPECT_LE(bytes.size(), full.bytes.size() * 21 / 20);
}

/* ------------------------------------------------------------------------
** Through the C interface
*/

std::string randomText(std::mt19937& random) {
  std::string a(size_t(random() % 6 == 0 ? 300 + random() % 2500 : 1 + random() % 20), 'x');
  for (char& ch : a) ch = char('a' + random() % 26);
  return a;
}

class SchemaInPlace : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = freshPath(std::string("schemaedit-") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    m_db = openDb(m_path);
    ASSERT_NE(m_db, nullptr);
    ASSERT_EQ(sqlite3_open(":memory:", &m_model), SQLITE_OK);
  }
  void TearDown() override {
    sqlite_close(m_db);
    sqlite3_close(m_model);
  }

  /* Runs SQL on the 2.x file and on the SQLite 3 model; both must succeed
  ** or both fail.  Returns true when they succeeded. */
  bool same(const std::string& sql) {
    Result r = run(m_db, sql);
    char* error = nullptr;
    int rc = sqlite3_exec(m_model, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(r.code == SQLITE_OK, rc == SQLITE_OK)
        << r.error << " / " << (error ? error : "") << " in " << sql.substr(0, 300);
    sqlite3_free(error);
    if (r.code != SQLITE_OK && sql.starts_with("CREATE UNIQUE INDEX")) {
      EXPECT_EQ(r.error, "indexed columns are not unique");
    }
    return r.code == SQLITE_OK && rc == SQLITE_OK;
  }

  /* Names of the model's objects of TYPE that this test made. */
  std::vector<std::string> names(const std::string& type) {
    std::vector<std::string> out;
    for (const auto& row :
         modelQuery(m_model, "SELECT name FROM sqlite_master WHERE type = '" + type +
                                 "' AND name NOT LIKE 'sqlite%' "
                                 "ORDER BY name"))
      out.push_back(*row[0]);
    return out;
  }

  /* Compares schema rows, content and root pages with the model and the
  ** stored file, and runs the checker. */
  void expectSame(const std::string& where) {
    SCOPED_TRACE(where);
    /* Schema: the model's rows, automatic indices named as 2.x names them. */
    std::vector<std::vector<Cell>> model =
        modelQuery(m_model, "SELECT type, name, tbl_name FROM sqlite_master ORDER BY type, name");
    for (auto& row : model) {
      std::string name = *row[1];
      if (!name.starts_with("sqlite_autoindex_")) continue;
      std::string rest = name.substr(17);
      size_t cut = rest.rfind('_');
      row[1] = "(" + rest.substr(0, cut) + " autoindex " + rest.substr(cut + 1) + ")";
    }
    std::sort(model.begin(), model.end());
    Result engine = query(m_db, "SELECT type, name, tbl_name FROM sqlite_master");
    ASSERT_EQ(engine.code, SQLITE_OK) << engine.error;
    std::sort(engine.rows.begin(), engine.rows.end());
    ASSERT_EQ(engine.rows, model);
    /* The root pages shown are those the file holds. */
    s2::Image stored = storedImage(m_path);
    Result roots = query(m_db, "SELECT name, rootpage FROM sqlite_master ORDER BY rowid");
    ASSERT_EQ(roots.rows.size(), stored.master.size());
    for (size_t i = 0; i < stored.master.size(); ++i) {
      EXPECT_EQ(roots.rows[i][0], Cell(stored.master[i].name));
      EXPECT_EQ(roots.rows[i][1], Cell(std::to_string(stored.master[i].rootpage)));
    }
    /* Rows compared as sets: CREATE TABLE AS numbers the rows in the order
    ** its SELECT meets them, which the query plan decides. */
    for (const std::string& table : names("table")) {
      std::string sql = "SELECT * FROM " + table;
      Result rows = query(m_db, sql);
      ASSERT_EQ(rows.code, SQLITE_OK) << rows.error;
      std::vector<std::vector<Cell>> expected = modelQuery(m_model, sql);
      std::sort(rows.rows.begin(), rows.rows.end());
      std::sort(expected.begin(), expected.end());
      ASSERT_EQ(rows.rows.size(), expected.size()) << table;
      for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_TRUE(rows.rows[i] == expected[i]) << table << " differs at row " << i;
    }
    std::vector<std::string> problems = s2check::CheckFile(m_path);
    ASSERT_TRUE(problems.empty()) << problems.front();
  }

  /* One random schema or row change. */
  std::string randomStatement(std::mt19937& random, int serial) {
    std::string n = std::to_string(serial);
    auto pick = [&](const std::vector<std::string>& from) {
      return from.empty() ? std::string() : from[random() % from.size()];
    };
    std::vector<std::string> tables = names("table");
    std::vector<std::string> made;
    for (const std::string& t : tables) {
      if (t.starts_with("n")) made.push_back(t);
    }
    switch (random() % 12) {
      case 0:
        return "INSERT INTO t(a, b, c) VALUES('" + randomText(random) + "', '" +
               std::to_string(random() % 50) + "', 'c" + n + "')";
      case 1:
        return "DELETE FROM t WHERE id % 17 = " + std::to_string(random() % 17) + " AND id > " +
               std::to_string(random() % 1000);
      case 2:
        return "UPDATE t SET a = a || 'u', b = '" + std::to_string(random() % 50) +
               "' WHERE id % 29 = " + std::to_string(random() % 29);
      case 3:
        return random() % 2 ? "CREATE TABLE n" + n + "(x, y UNIQUE)"
                            : "CREATE TABLE n" + n + "(x PRIMARY KEY, y UNIQUE, z)";
      case 4:
        return "CREATE TABLE c" + n +
               " AS SELECT id, a, b FROM t WHERE id % 7 = " + std::to_string(random() % 7);
      case 5: {
        std::string victim = pick(tables);
        return victim.empty() || victim == "t" || victim == "log" ? "DROP TABLE nothing" + n
                                                                  : "DROP TABLE " + victim;
      }
      case 6: {
        std::string on = pick(made);
        switch (random() % 4) {
          case 0:
            return "CREATE UNIQUE INDEX i" + n + " ON t(b)"; /* b repeats: refused */
          case 1:
            return "CREATE UNIQUE INDEX i" + n + " ON t(c, b)";
          case 2:
            return on.empty() ? "CREATE INDEX i" + n + " ON t(a)"
                              : "CREATE INDEX i" + n + " ON " + on + "(y, x)";
          default:
            return "CREATE INDEX i" + n + " ON t(b, a)";
        }
      }
      case 7: {
        std::string index;
        for (const std::string& i : names("index")) {
          if (i.starts_with("i") && (index.empty() || random() % 2)) index = i;
        }
        return index.empty() ? "DROP INDEX nothing" : "DROP INDEX " + index;
      }
      case 8: {
        std::vector<std::string> views = names("view");
        if (!views.empty() && random() % 2) return "DROP VIEW " + pick(views);
        return "CREATE VIEW v" + n + " AS SELECT id, b FROM t WHERE id > " +
               std::to_string(random() % 500);
      }
      case 9: {
        std::vector<std::string> triggers = names("trigger");
        if (!triggers.empty() && random() % 2) return "DROP TRIGGER " + pick(triggers);
        std::string on = pick(made);
        if (on.empty()) return "DROP TRIGGER nothing";
        return "CREATE TRIGGER g" + n + " AFTER INSERT ON " + on +
               " BEGIN INSERT INTO log VALUES(new.y); END";
      }
      default: {
        std::string on = pick(made);
        if (on.empty()) return "DELETE FROM log WHERE rowid % 2 = 0";
        return "INSERT INTO " + on + "(x, y) SELECT a, c || '-" + n +
               "' FROM t WHERE id % 23 = " + std::to_string(random() % 23);
      }
    }
  }

  std::string m_path;
  sqlite* m_db = nullptr;
  sqlite3* m_model = nullptr;
};

TEST_F(SchemaInPlace, RandomSchemaAndRowChangesMatchSQLite3) {
  std::mt19937 random(20261207);
  std::string fill =
      "CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT, b, c TEXT UNIQUE); CREATE TABLE log(v);"
      "BEGIN;";
  for (int id = 1; id <= 1500; ++id) {
    fill += "INSERT INTO t VALUES(" + std::to_string(id) + ", '" + randomText(random) + "', '" +
            std::to_string(random() % 50) + "', 'c" + std::to_string(id) + "');";
  }
  ASSERT_TRUE(same(fill + "COMMIT;"));
  ASSERT_NO_FATAL_FAILURE(expectSame("filled"));
  for (int step = 0; step < 160; ++step) {
    if (random() % 6 == 0) {
      /* Several changes in one transaction, committed or rolled back. */
      std::string sql = "BEGIN; ";
      for (int s = 0; s < 4; ++s) sql += randomStatement(random, step * 10 + s) + "; ";
      sql += random() % 3 ? "COMMIT" : "ROLLBACK";
      /* A failing statement ends sqlite_exec on both sides at once. */
      same(sql);
      if (sqlite3_get_autocommit(m_model) == 0) {
        run(m_db, "ROLLBACK");
        sqlite3_exec(m_model, "ROLLBACK", nullptr, nullptr, nullptr);
      }
      ASSERT_NO_FATAL_FAILURE(expectSame("after transaction " + sql.substr(0, 300)));
      continue;
    }
    std::string sql = randomStatement(random, step * 10);
    same(sql);
    ASSERT_NO_FATAL_FAILURE(expectSame("after " + sql.substr(0, 300)));
  }
  /* The file read afresh says the same. */
  sqlite_close(m_db);
  m_db = openDb(m_path);
  ASSERT_NO_FATAL_FAILURE(expectSame("reopened"));

  /* Create and drop cycles reuse the freed pages. */
  size_t size = 0;
  for (int cycle = 0; cycle < 5; ++cycle) {
    std::string c = std::to_string(cycle);
    ASSERT_TRUE(same("CREATE TABLE big AS SELECT * FROM t; CREATE INDEX bigi ON big(a, b)"));
    ASSERT_TRUE(same("DROP TABLE big"));
    if (cycle == 0) size = fileBytes(m_path).size();
    EXPECT_LE(fileBytes(m_path).size(), size + 8 * 1024) << "cycle " << cycle;
  }
  ASSERT_NO_FATAL_FAILURE(expectSame("after cycles"));
}

/* Counts the pages that differ between two file contents (pages beyond
** the shorter one count as different). */
size_t changedPages(const std::string& a, const std::string& b) {
  size_t pages = std::max(a.size(), b.size()) / 1024, changed = 0;
  for (size_t p = 0; p < pages; ++p) {
    size_t at = p * 1024;
    if (at + 1024 > a.size() || at + 1024 > b.size() || a.compare(at, 1024, b, at, 1024) != 0)
      ++changed;
  }
  return changed;
}

/* Returns the schema cookie of the file content BYTES. */
uint32_t cookie(const std::string& bytes) {
  s2::Image schema;
  EXPECT_TRUE(s2::readSchema(bytes, schema).ok());
  return schema.schemaCookie;
}

TEST_F(SchemaInPlace, SchemaChangesOnALargeFileWriteAFewPages) {
  std::mt19937 random(7);
  std::string fill =
      "CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT, b, c TEXT UNIQUE); CREATE INDEX tb ON "
      "t(b); CREATE TABLE small(x); INSERT INTO small VALUES('one'); BEGIN;";
  for (int id = 1; id <= 20000; ++id) {
    fill += "INSERT INTO t VALUES(" + std::to_string(id) + ", '" + randomText(random) + "', '" +
            std::to_string(random() % 500) + "', 'c" + std::to_string(id) + "');";
  }
  ASSERT_TRUE(same(fill + "COMMIT;"));
  size_t filePages = fileBytes(m_path).size() / 1024;
  ASSERT_EQ(freePages(fileBytes(m_path)), 0u);
  ASSERT_TRUE(same("CREATE TABLE doomed AS SELECT * FROM t WHERE id <= 3000"));
  size_t doomedPages = fileBytes(m_path).size() / 1024 - filePages;
  ASSERT_GT(doomedPages, 300u);
  std::string before;
  const char* changes[] = {"CREATE VIEW v AS SELECT a FROM t WHERE b = '5'",
                           "CREATE TRIGGER g AFTER INSERT ON small BEGIN SELECT 1; END",
                           "CREATE TABLE more(p PRIMARY KEY, q UNIQUE)",
                           "CREATE INDEX sx ON small(x)",
                           "DROP INDEX sx",
                           "DROP VIEW v",
                           "DROP TRIGGER g",
                           "DROP TABLE more"};
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    before = fileBytes(m_path);
    ASSERT_TRUE(same(change));
    /* Page 1, sqlite_master's page (or two on a split), the new roots. */
    std::string after = fileBytes(m_path);
    EXPECT_LE(changedPages(before, after), 6u);
    /* Other connections learn of the change by the cookie. */
    EXPECT_NE(cookie(before), cookie(after));
  }
  before = fileBytes(m_path);
  ASSERT_TRUE(same("UPDATE small SET x = 'two'"));
  EXPECT_EQ(cookie(before), cookie(fileBytes(m_path)));
  ASSERT_NO_FATAL_FAILURE(expectSame("small changes"));

  /* A dropped table writes the freelist trunks that list its pages, far
  ** fewer than it has, and the file keeps its length. */
  Result count = query(m_db, "SELECT count(*) FROM doomed");
  ASSERT_EQ(count.rows.at(0).at(0), Cell("3000"));
  before = fileBytes(m_path);
  ASSERT_TRUE(same("DROP TABLE doomed"));
  std::string after = fileBytes(m_path);
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(freePages(after) - freePages(before), doomedPages);
  EXPECT_LE(changedPages(before, after), 4 + doomedPages / 200);
  /* The next table takes the freed pages. */
  ASSERT_TRUE(same("CREATE TABLE again AS SELECT * FROM t WHERE id <= 1000"));
  EXPECT_EQ(fileBytes(m_path).size(), after.size());
  ASSERT_NO_FATAL_FAILURE(expectSame("after the drop"));
}

}  // namespace
