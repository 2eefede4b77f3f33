/*
** Tests of the dump and the conversion into a new generation-3 file: a
** dump loaded back gives the same database, 2.x values keep their text,
** what SQLite 3 refuses or changes is reported, and a conversion that
** fails leaves nothing behind.
*/
#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "xb_dumpsqltext.h"
#include "xb_sqliteconvert.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitedump.h"
#include "xb_sqlitetestdir.h"

namespace {

/* Every table of a database: name -> rows, each row its cells with their
** storage class ("i:7", "r:<17 digits>", "t:text", "b:<hex>", "n"). */
using Content = std::map<std::string, std::vector<std::string>>;

/* Returns the cell C of STMT's current row with its storage class. */
std::string TypedCell(sqlite3_stmt* stmt, int c) {
  char text[64];
  switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_NULL:
      return "n";
    case SQLITE_INTEGER:
      return "i:" + std::to_string(sqlite3_column_int64(stmt, c));
    case SQLITE_FLOAT:
      std::snprintf(text, sizeof text, "r:%.17g", sqlite3_column_double(stmt, c));
      return text;
    case SQLITE_BLOB: {
      std::string hex = "b:";
      const unsigned char* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, c));
      for (int i = 0; i < sqlite3_column_bytes(stmt, c); ++i) {
        std::snprintf(text, sizeof text, "%02x", bytes[i]);
        hex += text;
      }
      return hex;
    }
    default:
      return "t:" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                size_t(sqlite3_column_bytes(stmt, c)));
  }
}

/* Returns the rows of SQL on DB, cells typed. */
std::vector<std::string> TypedRows(sqlite3* db, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
      << sql << ": " << sqlite3_errmsg(db);
  while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) row += TypedCell(stmt, c) + "|";
    rows.push_back(row);
  }
  sqlite3_finalize(stmt);
  return rows;
}

/* Returns the schema and every table's rows (with rowids where the table
** has them) of the generation-3 database at PATH. */
Content Generation3Content(const std::string& path) {
  Content content;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  content["(schema)"] = TypedRows(db, "SELECT type, name, sql FROM sqlite_master ORDER BY name");
  std::vector<std::string> tables;
  for (const std::string& row :
       TypedRows(db,
                 "SELECT name, wr FROM pragma_table_list WHERE schema='main' AND "
                 "type='table' AND name NOT LIKE 'sqlite_schema' AND "
                 "name NOT LIKE 'sqlite_temp_schema'"))
    tables.push_back(row);
  for (const std::string& row : tables) {
    std::string name = row.substr(2, row.find('|') - 2);
    bool withoutRowid = row.find("|i:1|") != std::string::npos;
    std::string quoted = "\"" + name + "\"";
    content[name] =
        TypedRows(db, withoutRowid ? "SELECT * FROM " + quoted
                                   : "SELECT _rowid_, * FROM " + quoted + " ORDER BY 1");
  }
  sqlite3_close(db);
  return content;
}

/* Runs SQL on the generation-3 database at PATH (made when missing). */
void Exec3(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* message = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
      << (message ? message : "");
  sqlite3_free(message);
  sqlite3_close(db);
}

/* Dumps the database at PATH.  Returns the text; *OUTCOME gets how it ended. */
std::string DumpText(const std::string& path, XB_DumpOutcome* outcome = nullptr) {
  std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(path.c_str()));
  EXPECT_TRUE(db);
  if (!db) return "";
  std::string text;
  XB_DumpSqlText writer([&text](const char* data, size_t size) {
    text.append(data, size);
    return true;
  });
  XB_SQLiteDump dump(*db);
  XB_DumpOutcome ended = dump.Run(writer, nullptr);
  if (outcome) *outcome = ended;
  return text;
}

/* Converts the database at FROM into TO. */
XB_ConvertOutcome Convert(const std::string& from, const std::string& to,
                          std::vector<XB_ConvertTable>* tables = nullptr,
                          const XB_DumpProgress* progress = nullptr) {
  std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(from.c_str()));
  EXPECT_TRUE(db);
  if (!db) return XB_CONVERT_OPEN_FAILED;
  XB_SQLiteConvert convert(*db, to);
  XB_ConvertOutcome outcome = convert.Run(progress);
  if (tables) *tables = convert.Tables();
  return outcome;
}

/* Returns the names in FOLDER. */
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/* A generation-3 database with every kind of value and schema entry a dump
** must carry. */
const char kAllKinds[] =
    "CREATE TABLE \"select\"(\"group\" INTEGER, b REAL, c TEXT, d BLOB, e);"
    "INSERT INTO \"select\"(rowid, \"group\", b, c, d, e) VALUES"
    " (-9223372036854775808, 9223372036854775807, 0.1, 'it''s', X'00FF10', NULL),"
    " (-5, -9223372036854775808, 1e300, 'line' || char(13) || char(10) || 'end', X'', 1.0),"
    " (7, 0, 1.0/3, 'nul' || char(0) || 'in', NULL, '007'),"
    " (9223372036854775807, NULL, 9e999, 'Dürer ☃', x'41', 2.5e-300);"
    "CREATE TABLE odd(rowid TEXT, _rowid_ TEXT, v);"
    "INSERT INTO odd VALUES('a', 'b', 1), ('c', 'd', 2);"
    "CREATE TABLE counted(id INTEGER PRIMARY KEY AUTOINCREMENT, v);"
    "INSERT INTO counted(v) VALUES('x'), ('y'); DELETE FROM counted WHERE v = 'y';"
    "CREATE TABLE keyed(k TEXT PRIMARY KEY, v) WITHOUT ROWID;"
    "INSERT INTO keyed VALUES('b', 2), ('a', 1);"
    "CREATE TABLE made(a, b GENERATED ALWAYS AS (a * 2) STORED);"
    "INSERT INTO made(a) VALUES(21);"
    "CREATE INDEX select_c ON \"select\"(c);"
    "CREATE VIEW doubled AS SELECT a, b FROM made;"
    "CREATE TRIGGER keep AFTER INSERT ON made BEGIN INSERT INTO odd(v) VALUES(new.a); END;";

}  // namespace

TEST(XB_SQLiteDump, Generation3DumpLoadsBackAsAnEqualDatabase) {
  XB_SQLiteTestDir dir;
  std::string source = dir.Path("source.db");
  Exec3(source, kAllKinds);
  XB_DumpOutcome outcome = XB_DUMP_READ_FAILED;
  std::string text = DumpText(source, &outcome);
  ASSERT_EQ(outcome, XB_DUMP_DONE);
  EXPECT_EQ(text.rfind("BEGIN TRANSACTION;\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 8), "COMMIT;\n");
  // A carriage return ending a line is lost by line readers.
  EXPECT_EQ(text.find("\r"), std::string::npos);

  std::string loaded = dir.Path("loaded.db");
  Exec3(loaded, text);
  Content expected = Generation3Content(source);
  EXPECT_EQ(Generation3Content(loaded), expected);

  std::vector<XB_ConvertTable> tables;
  std::string converted = dir.Path("converted.db");
  EXPECT_EQ(Convert(source, converted, &tables), XB_CONVERT_DONE);
  EXPECT_EQ(Generation3Content(converted), expected);
  // The engine's own sequence table is carried after the tables it counts.
  ASSERT_FALSE(tables.empty());
  EXPECT_EQ(tables.back().name, "sqlite_sequence");
}

TEST(XB_SQLiteDump, Generation2TextIsANumberOnlyInItsCanonicalForm) {
  // Written as a number, the value must read back from an untyped SQLite 3
  // column as the very same text; otherwise it is written as text.
  const char* const numbers[] = {"0",        "7",        "-7",          "1.5",
                                 "0.1",      "100000.0", "-2147483648", "9223372036854775807",
                                 "1.0e+100", "3.0"};
  const char* const texts[] = {"007",
                               "1.50",
                               "1e3",
                               "-0",
                               "+5",
                               " 7",
                               "7 ",
                               "1.",
                               ".5",
                               "0x10",
                               "9223372036854775808",
                               "-9223372036854775808",
                               "0.30000000000000004",
                               "1E-5",
                               "1e5.5",
                               "-0.0",
                               "Inf",
                               "",
                               "abc"};
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT CAST(?1 AS TEXT)", -1, &stmt, nullptr), SQLITE_OK);
  for (const char* text : numbers) {
    XB_DumpValue value;
    EXPECT_TRUE(XB_SQLiteDump::ClassifyText(text, &value)) << text;
    if (value.kind == XB_DumpValue::kInteger) sqlite3_bind_int64(stmt, 1, value.integer);
    if (value.kind == XB_DumpValue::kReal) sqlite3_bind_double(stmt, 1, value.real);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), text);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  for (const char* text : texts) {
    XB_DumpValue value;
    EXPECT_FALSE(XB_SQLiteDump::ClassifyText(text, &value)) << text;
    EXPECT_EQ(value.kind, XB_DumpValue::kText) << text;
  }
}

TEST(XB_SQLiteDump, Generation2TextKeepsUniqueValuesTheClassicDumpWouldMerge) {
  XB_SQLiteTestDir dir;
  std::string source = dir.Path("prices.db");
  {
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(source.c_str(), 2));
    ASSERT_TRUE(
        db->Exec("CREATE TABLE price(p TEXT UNIQUE, n);"
                 "INSERT INTO price VALUES('1.50', 1);"
                 "INSERT INTO price VALUES('1.5', 2);"
                 "INSERT INTO price VALUES('7', 3);"));
  }
  // The classic 2.x dump writes every number-like text as a number, so
  // SQLite 3 stores 1.50 and 1.5 as the same text '1.5' and refuses one.
  std::string text = DumpText(source);
  EXPECT_NE(text.find("VALUES(1,'1.50',1);"), std::string::npos) << text;
  EXPECT_NE(text.find("VALUES(2,1.5,2);"), std::string::npos) << text;

  std::vector<XB_ConvertTable> tables;
  std::string converted = dir.Path("prices3.db");
  ASSERT_EQ(Convert(source, converted, &tables), XB_CONVERT_DONE);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].newRows, 3);
  EXPECT_EQ(Generation3Content(converted)["price"],
            (std::vector<std::string>{"i:1|t:1.50|i:1|", "i:2|t:1.5|i:2|", "i:3|t:7|i:3|"}));
}

TEST(XB_SQLiteDump, EveryFixtureConvertsWithEachDifferenceReported) {
  XB_SQLiteTestDir dir;
  for (const std::string& name : XB_Sqlite2Fixtures()) {
    SCOPED_TRACE(name);
    std::string source = dir.Fixture(name);
    std::string converted = dir.Path(name + "3");
    std::vector<XB_ConvertTable> tables;
    XB_ConvertOutcome outcome = Convert(source, converted, &tables);
    ASSERT_TRUE(outcome == XB_CONVERT_DONE || outcome == XB_CONVERT_INCOMPLETE);

    // Read both files back the way the console program does and count the
    // cells that differ: exactly the ones the report names.
    std::unique_ptr<XB_SQLiteDB> oldDb(XB_SQLiteDB::NewAuto(source.c_str()));
    std::unique_ptr<XB_SQLiteDB> newDb(XB_SQLiteDB::NewAuto(converted.c_str()));
    ASSERT_TRUE(oldDb && newDb);
    bool clean = true;
    for (const XB_ConvertTable& table : tables) {
      SCOPED_TRACE(table.name);
      XB_SQLiteResult before;
      XB_SQLiteResult after;
      std::string query = "SELECT rowid, * FROM \"" + table.name + "\" ORDER BY rowid";
      std::string stored;
      std::string ignored;
      ASSERT_TRUE(oldDb->ToFileText(query, &stored, &ignored));
      ASSERT_TRUE(oldDb->GetTable(before, "%s", stored));
      ASSERT_TRUE(newDb->GetTable(after, "%s", query));
      EXPECT_EQ(before.Rows() - after.Rows(), table.refused);
      int64_t changed = 0;
      int r = 0;
      for (int o = 0; o < before.Rows() && r < after.Rows(); ++o) {
        const char* oldId = before.Get(0, o);
        if (std::string(oldId) != after.Get(0, r)) continue;  // a refused row
        for (int c = 1; c < before.Cols(); ++c) {
          const char* was = before.Get(c, o);
          const char* is = after.Get(c, r);
          std::string wasText = was ? oldDb->FromFileText(was) : "";
          if ((was == nullptr) != (is == nullptr) || (is && wasText != is)) ++changed;
        }
        ++r;
      }
      EXPECT_EQ(r, after.Rows());
      EXPECT_EQ(changed, table.changed);
      if (table.refused || table.changed) clean = false;
    }
    EXPECT_EQ(outcome == XB_CONVERT_DONE, clean);
  }
}

TEST(XB_SQLiteDump, ConversionThatCannotWriteLeavesNothingBehind) {
  XB_SQLiteTestDir dir;
  std::string source = dir.Fixture("rowids.db");
  std::string existing = dir.Write("existing.db", "keep me");
  EXPECT_EQ(Convert(source, existing), XB_CONVERT_TARGET_FAILED);
  EXPECT_EQ(XB_SQLiteTestDir::Read(existing), "keep me");
  EXPECT_EQ(Convert(source, dir.Path("missing/new.db")), XB_CONVERT_TARGET_FAILED);
  EXPECT_EQ(Listing(dir.Root()), (std::vector<std::string>{"existing.db", "rowids.db"}));
}

TEST(XB_SQLiteDump, ProgressCountsEveryRowAndCancelLeavesNothing) {
  XB_SQLiteTestDir dir;
  std::string source = dir.Fixture("multilevel.db");
  std::atomic<bool> cancel{false};
  int64_t last = -1;
  int64_t total = -1;
  XB_DumpProgress progress;
  progress.onRows = [&](int64_t done, int64_t all) {
    last = done;
    total = all;
  };
  progress.cancel = &cancel;
  EXPECT_EQ(Convert(source, dir.Path("all.db"), nullptr, &progress), XB_CONVERT_INCOMPLETE);
  EXPECT_EQ(total, 3000);
  EXPECT_EQ(last, 3000);

  progress.onRows = [&](int64_t done, int64_t) {
    if (done >= 1000) cancel = true;
  };
  EXPECT_EQ(Convert(source, dir.Path("cancelled.db"), nullptr, &progress), XB_CONVERT_CANCELLED);
  EXPECT_EQ(Listing(dir.Root()), (std::vector<std::string>{"all.db", "multilevel.db"}));
}

TEST(XB_SQLiteDump, ReadingThatFailsMidwayEndsTheDumpWithRollback) {
  XB_SQLiteTestDir dir;
  std::string source = dir.Path("damaged.db");
  std::string rows =
      "CREATE TABLE a(v); CREATE TABLE b(v); INSERT INTO a VALUES('first');"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
      " INSERT INTO b SELECT printf('%0200d', i) FROM n;";
  Exec3(source, "PRAGMA page_size=1024;" + rows);
  // Damage a leaf page near the end of table b: the dump has written table
  // a and part of b when reading fails.
  struct stat info;
  ASSERT_EQ(::stat(source.c_str(), &info), 0);
  {
    std::FILE* file = std::fopen(source.c_str(), "r+b");
    ASSERT_TRUE(file);
    std::fseek(file, info.st_size - 10 * 1024, SEEK_SET);
    std::string junk(1024, '\xEE');
    std::fwrite(junk.data(), 1, junk.size(), file);
    std::fclose(file);
  }
  XB_DumpOutcome outcome = XB_DUMP_DONE;
  std::string text = DumpText(source, &outcome);
  EXPECT_EQ(outcome, XB_DUMP_READ_FAILED);
  EXPECT_NE(text.find("'first'"), std::string::npos);
  ASSERT_GE(text.size(), 10u);
  EXPECT_EQ(text.substr(text.size() - 10), "ROLLBACK;\n");

  EXPECT_EQ(Convert(source, dir.Path("new.db")), XB_CONVERT_READ_FAILED);
  EXPECT_EQ(Listing(dir.Root()), (std::vector<std::string>{"damaged.db"}));
}

TEST(XB_SQLiteDump, SchemaSQLite3RefusesIsReportedAndTheRestCopied) {
  XB_SQLiteTestDir dir;
  std::string source = dir.Path("collated.db");
  {
    // A collation of the program that made the file, unknown to others.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(source.c_str(), &db), SQLITE_OK);
    auto compare = [](void*, int a, const void* x, int b, const void* y) {
      return std::string(static_cast<const char*>(x), size_t(a))
          .compare(std::string(static_cast<const char*>(y), size_t(b)));
    };
    sqlite3_create_collation(db, "private", SQLITE_UTF8, nullptr, compare);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE plain(v); INSERT INTO plain VALUES(1);"
                           "CREATE TABLE odd(v TEXT COLLATE private); INSERT INTO odd VALUES('x');"
                           "CREATE INDEX plain_v ON plain(v COLLATE private);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(source.c_str()));
  ASSERT_TRUE(db);
  XB_SQLiteConvert convert(*db, dir.Path("new.db"));
  ASSERT_EQ(convert.Run(nullptr), XB_CONVERT_INCOMPLETE);
  ASSERT_EQ(convert.Tables().size(), 2u);
  EXPECT_EQ(convert.Tables()[0].newRows, 1);
  EXPECT_NE(convert.Tables()[1].schemaError.find("private"), std::string::npos);
  ASSERT_EQ(convert.RefusedObjects().size(), 1u);
  EXPECT_EQ(convert.RefusedObjects()[0].name, "plain_v");
  std::vector<std::string> report = convert.ReportLines();
  ASSERT_EQ(report.size(), 3u);
  EXPECT_EQ(report[0].rfind("Table odd: SQLite 3 refused its definition (", 0), 0u) << report[0];
  EXPECT_EQ(report[1].rfind("Index plain_v: SQLite 3 refused it (", 0), 0u) << report[1];
}

TEST(XB_SQLiteDump, Generation2FileHoldsStillWhileItIsDumped) {
  XB_SQLiteTestDir dir;
  std::string source = dir.Fixture("multilevel.db");
  std::unique_ptr<XB_SQLiteDB> reader(XB_SQLiteDB::NewAuto(source.c_str()));
  std::unique_ptr<XB_SQLiteDB> writer(XB_SQLiteDB::NewAuto(source.c_str()));
  ASSERT_TRUE(reader && writer);
  // The first report comes after the schema was read and before any rows:
  // no statement of the dump is running then, yet the file stays locked.
  bool writtenMidway = true;
  XB_DumpProgress progress;
  progress.onRows = [&](int64_t done, int64_t) {
    if (done == 0) writtenMidway = writer->Exec("DELETE FROM item WHERE id > 2000");
  };
  XB_DumpSqlText text([](const char*, size_t) { return true; });
  XB_SQLiteDump dump(*reader);
  ASSERT_EQ(dump.Run(text, &progress), XB_DUMP_DONE);
  EXPECT_FALSE(writtenMidway);
  ASSERT_EQ(dump.Tables().size(), 1u);
  EXPECT_EQ(dump.Tables()[0].rows, 3000);
  EXPECT_TRUE(writer->Exec("DELETE FROM item WHERE id > 2000"));
}
