/*
** Tests of what every connection shares across both generations: the text
** rule (UTF-8 or Latin-1 files, nothing turned into "?"), the wait for a
** locked file, and telling one read-only statement from anything else.
*/
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "xb_sqlite2db.h"
#include "xb_sqlite3db.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitetestdir.h"

namespace {

using Connection = std::unique_ptr<XB_SQLiteDB>;
using Clock = std::chrono::steady_clock;

/* Makes a generation-2 file at PATH from SQL (whose text goes in as bytes). */
void Make2x(const std::string& path, const std::string& sql) {
  Connection db(XB_SQLiteDB::NewByVersion(path.c_str(), 2));
  ASSERT_TRUE(db->Exec(sql.c_str())) << db->LastError();
}

TEST(ConnectionText, Generation2EncodingIsDetectedFromSchemaAndRows) {
  XB_SQLiteTestDir dir;
  struct Case {
    const char* name;
    std::string sql;
    XB_TextEncoding expected;
  } cases[] = {
      {"utf8.db",
       "CREATE TABLE t(x); INSERT INTO t VALUES('Gr\xC3\xBC\xC3\x9F"
       "e')",
       XB_TEXT_UTF8},
      {"latin1.db",
       "CREATE TABLE t(x); INSERT INTO t VALUES('Gr\xFC\xDF"
       "e')",
       XB_TEXT_LATIN1},
      // Valid UTF-8 in one table does not outvote a Latin-1 byte in another.
      {"mixed.db",
       "CREATE TABLE a(x); INSERT INTO a VALUES('\xC3\xA9'); CREATE TABLE b(y);"
       "INSERT INTO b VALUES('caf\xE9')",
       XB_TEXT_LATIN1},
      // Only ASCII: nothing shows UTF-8, so the file stays Latin-1.
      {"ascii.db", "CREATE TABLE t(x); INSERT INTO t VALUES('plain')", XB_TEXT_LATIN1},
      // A UTF-8 table name alone is enough.
      {"name.db", "CREATE TABLE \"caf\xC3\xA9\"(x)", XB_TEXT_UTF8},
  };
  for (const Case& c : cases) {
    std::string path = dir.Path(c.name);
    Make2x(path, c.sql);
    Connection db(XB_SQLiteDB::NewAuto(path.c_str()));
    ASSERT_TRUE(db) << c.name;
    EXPECT_EQ(db->TextEncoding(), c.expected) << c.name;
  }

  // Generation 3 is UTF-8 whatever the user asks.
  Connection db3(XB_SQLiteDB::NewAuto(dir.Path("three.db").c_str()));
  db3->SetTextEncoding(XB_TEXT_LATIN1);
  EXPECT_EQ(db3->TextEncoding(), XB_TEXT_UTF8);
}

TEST(ConnectionText, Latin1FilesRefuseWhatTheyCannotHoldAndLoseNothing) {
  XB_SQLiteTestDir dir;
  std::string path = dir.Path("latin.db");
  Make2x(path, "CREATE TABLE t(x); INSERT INTO t VALUES('caf\xE9')");
  Connection db(XB_SQLiteDB::NewAuto(path.c_str()));
  ASSERT_EQ(db->TextEncoding(), XB_TEXT_LATIN1);

  std::string stored, error;
  ASSERT_TRUE(db->ToFileText("INSERT INTO t VALUES('na\xC3\xAFve')", &stored, &error));
  EXPECT_EQ(stored, "INSERT INTO t VALUES('na\xEFve')");
  ASSERT_TRUE(db->Exec(stored.c_str()));
  XB_String out;
  ASSERT_TRUE(db->QueryValue(out, "SELECT x FROM t WHERE rowid=2"));
  EXPECT_EQ(db->FromFileText(out.View()), "na\xC3\xAFve");

  // The euro sign has no Latin-1 byte: refused with a message, never "?".
  EXPECT_FALSE(db->ToFileText("SELECT '\xE2\x82\xAC'", &stored, &error));
  EXPECT_NE(error.find("U+20AC"), std::string::npos) << error;
  EXPECT_FALSE(db->ToFileText("bad \xC3", &stored, &error));

  // Switched to UTF-8, the same text passes unchanged; a stray Latin-1 byte
  // is still shown as its letter.
  db->SetTextEncoding(XB_TEXT_UTF8);
  ASSERT_TRUE(db->ToFileText("\xE2\x82\xAC", &stored, &error));
  EXPECT_EQ(stored, "\xE2\x82\xAC");
  EXPECT_EQ(db->FromFileText("caf\xE9 \xE2\x82\xAC"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_FALSE(XB_SQLiteDB::IsValidUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(XB_SQLiteDB::IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(XB_SQLiteDB::IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_TRUE(XB_SQLiteDB::IsValidUtf8("\xF0\x9F\x98\x80"));
}

/* Holds a write transaction on PATH from another connection for HOLD, then
** commits; sets LOCKED once the transaction holds the lock (or failed to). */
void HoldWriteLock(const std::string& path, int version, std::chrono::milliseconds hold,
                   bool* began, std::atomic<bool>* locked) {
  Connection writer(XB_SQLiteDB::NewByVersion(path.c_str(), version));
  *began = writer->Exec("BEGIN EXCLUSIVE") || writer->Exec("BEGIN");
  writer->Exec("INSERT INTO t VALUES(2)");
  *locked = true;
  std::this_thread::sleep_for(hold);
  writer->Exec("COMMIT");
}

TEST(ConnectionBusy, EveryConnectionWaitsForALockedFile) {
  for (int version : {2, 3}) {
    SCOPED_TRACE(version);
    XB_SQLiteTestDir dir;
    std::string path = dir.Path("busy.db");
    {
      Connection db(XB_SQLiteDB::NewByVersion(path.c_str(), version));
      ASSERT_TRUE(db->Exec("CREATE TABLE t(x); INSERT INTO t VALUES(1)"));
    }
    Connection reader(XB_SQLiteDB::NewAuto(path.c_str()));
    ASSERT_TRUE(reader);
    reader->Close();
    bool began = false;
    std::atomic<bool> locked{false};
    std::thread writer(HoldWriteLock, path, version, std::chrono::milliseconds(400), &began,
                       &locked);
    while (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(reader->Open());
    XB_String count;
    // Without a wait this fails at once with "database is locked".
    EXPECT_TRUE(reader->QueryValue(count, "SELECT count(*) FROM t"));
    writer.join();
    EXPECT_TRUE(began);
    EXPECT_EQ(count, "2");
  }
}

TEST(ConnectionStatements, OnlyOneReadingStatementCountsAsReadOnly) {
  struct Case {
    const char* sql;
    bool readOnly;
  } cases[] = {
      {"SELECT * FROM t", true},
      {"  -- a note\nSELECT x FROM t WHERE x > 1 -- trailing", true},
      {"SELECT * FROM t;", true},
      {"SELECT * FROM t; ", true},
      {"PRAGMA table_info(t)", true},
      {"DELETE FROM t", false},
      {"DELETE FROM t -- SELECT", false},
      {"SELECT 1; DELETE FROM t", false},
      {"SELECT 1; SELECT 2", false},
      {"INSERT INTO t VALUES(5)", false},
      {"CREATE TABLE u(y)", false},
      {"BEGIN", false},
      {"COMMIT", false},
      {"", false},
  };
  for (int version : {2, 3}) {
    XB_SQLiteTestDir dir;
    std::string path = dir.Path("ro.db");
    Connection db(XB_SQLiteDB::NewByVersion(path.c_str(), version));
    ASSERT_TRUE(db->Exec("CREATE TABLE t(x); INSERT INTO t VALUES(1)"));
    for (const Case& c : cases) {
      bool readOnly = true;
      EXPECT_TRUE(db->IsOneReadOnlyStatement(c.sql, &readOnly)) << version << ": " << c.sql;
      EXPECT_EQ(readOnly, c.readOnly) << version << ": " << c.sql;
    }
    bool readOnly = true;
    EXPECT_FALSE(db->IsOneReadOnlyStatement("SELEC * FROM t", &readOnly));
    EXPECT_FALSE(readOnly);
    // Nothing was run: the table still holds its one row.
    XB_String count;
    ASSERT_TRUE(db->QueryValue(count, "SELECT count(*) FROM t"));
    EXPECT_EQ(count, "1") << version;
  }
}

TEST(ConnectionStatements, AWatchedQueryCountsRowsAndStopsWhenCancelled) {
  for (int version : {2, 3}) {
    SCOPED_TRACE(version);
    XB_SQLiteTestDir dir;
    std::string path = dir.Path("watch.db");
    Connection db(XB_SQLiteDB::NewByVersion(path.c_str(), version));
    ASSERT_TRUE(db->Exec("CREATE TABLE t(x); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2)"));
    XB_QueryProgress progress;
    XB_SQLiteResult result;
    ASSERT_TRUE(db->GetTableWatched(result, "SELECT x FROM t ORDER BY x", &progress));
    EXPECT_EQ(progress.rows, 2);
    EXPECT_EQ(result.Rows(), 2);

    // A cancel made before the run starts is not lost.
    progress.cancel = true;
    EXPECT_FALSE(db->GetTableWatched(result, "SELECT x FROM t", &progress));
    EXPECT_STREQ(db->LastError(), "interrupted");
    EXPECT_EQ(result.Rows(), 0);

    // An interrupt while no watched query runs stops nothing later.
    db->Interrupt();
    EXPECT_TRUE(db->GetTableWatched(result, "SELECT x FROM t", nullptr));
    EXPECT_EQ(result.Rows(), 2);
  }
}

}  // namespace
