/*
** Tests of the database document on both file generations: opening,
** tables and definitions, titles, locking, open transactions, Re-Open,
** dropped scripts and states, files that are no databases, and the text
** rule of generation-2 files.
*/
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dorvexdoc.h"
#include "storenode.h"
#include "viewertestdir.h"
#include "viewquerystate.h"

namespace {

/* Returns the value of the first cell of the first row of RESULT. */
std::string First(const XB_SQLiteResult& result) {
  const char* cell = result.Rows() > 0 ? result.Get(0, 0) : nullptr;
  return cell ? cell : "";
}

/* Runs SQL through DOC and returns its single value ("" when it failed). */
std::string Value(CDorvexDoc& doc, const std::string& sql) {
  XB_SQLiteResult result;
  if (!doc.Query(result, sql)) return "";
  return First(result);
}

/* A database of VERSION in DIR with table t (3 rows) and table u. */
std::string MakeSample(const ViewerTestDir& dir, const std::string& name, int version) {
  return dir.MakeDatabase(name, version,
                          "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER);"
                          "INSERT INTO t VALUES(1,'one',10); INSERT INTO t VALUES(2,'two',20);"
                          "INSERT INTO t VALUES(3,'three',30); CREATE TABLE u(x)");
}

class DocumentOnBothGenerations : public ::testing::TestWithParam<int> {};

TEST_P(DocumentOnBothGenerations, OpensListsTablesAndTitlesItsQueries) {
  ViewerTestDir dir;
  std::string path = MakeSample(dir, "name.db", GetParam());
  RecordingHost host;
  CDorvexDoc doc(&host, nullptr);
  // A relative path is made absolute once, so later runs reach the same file.
  ASSERT_EQ(chdir(dir.Path("").c_str()), 0);
  ASSERT_TRUE(doc.OnOpenDocument("name.db")) << doc.LastError();
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(doc.PathName(), path);
  EXPECT_EQ(doc.Version(), GetParam() == 2 ? 2.0 : 3.0);
  ASSERT_EQ(doc.TableCount(), 2);
  EXPECT_EQ(doc.TableName(0), "t");
  EXPECT_EQ(doc.TableName(1), "u");
  EXPECT_FALSE(doc.TableName(2));
  EXPECT_FALSE(doc.TableName(-1));
  ASSERT_NE(doc.FindTableDefinition("T"), nullptr);
  EXPECT_EQ(doc.FindTableDefinition("nosuch"), nullptr);

  XB_SQLiteResult result;
  ASSERT_TRUE(doc.Query(result, MakeTableQuery("t", 100)));
  EXPECT_EQ(result.Rows(), 3);
  std::string version = GetParam() == 2 ? "2.0" : "3.0";
  EXPECT_EQ(doc.Title(), "name:" + version + ":SELECT * FROM t LIMIT 100");

  EXPECT_FALSE(doc.Query(result, "SELECT nosuch FROM t"));
  EXPECT_EQ(result.Rows(), 3) << "a failed query keeps the caller's result";
  EXPECT_NE(doc.Title().find(":SELECT nosuch FROM t !"), std::string::npos) << doc.Title();
  EXPECT_NE(doc.LastError().find("nosuch"), std::string::npos);

  // Long titles are cut to 100 characters and "..", control characters
  // become blanks.
  std::string longQuery = "SELECT 1 AS \"" + std::string(200, 'x') + "\"";
  ASSERT_TRUE(doc.Query(result, longQuery));
  EXPECT_EQ(doc.Title().size(), 102u);
  EXPECT_EQ(doc.Title().substr(100), "..");
  ASSERT_TRUE(doc.Query(result, "SELECT 1\n\tFROM t"));
  EXPECT_EQ(doc.Title(), "name:" + version + ":SELECT 1  FROM t");
}

TEST_P(DocumentOnBothGenerations, LockingKeepsTheFileOpenBetweenQueries) {
  ViewerTestDir dir;
  std::string path = MakeSample(dir, "lock.db", GetParam());
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));
  // A TEMP table lives as long as the handle: it shows whether the file
  // stayed open between two queries.
  XB_SQLiteResult result;
  ASSERT_TRUE(doc.Query(result, "CREATE TEMP TABLE scratch(a)"));
  EXPECT_FALSE(doc.Query(result, "SELECT * FROM scratch"));

  doc.SetLocked(true);
  ASSERT_TRUE(doc.Query(result, "CREATE TEMP TABLE scratch(a)"));
  EXPECT_TRUE(doc.Query(result, "SELECT * FROM scratch"));
  doc.SetLocked(false);  // closes the handle at once
  EXPECT_FALSE(doc.Query(result, "SELECT * FROM scratch"));
}

TEST_P(DocumentOnBothGenerations, AnOpenTransactionKeepsTheFileOpenUntilItEnds) {
  for (auto end :
       {DorvexDocHost::TransactionEnd::Commit, DorvexDocHost::TransactionEnd::RollBack}) {
    ViewerTestDir dir;
    std::string path = MakeSample(dir, "tx.db", GetParam());
    RecordingHost host;
    CDorvexDoc doc(&host, nullptr);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(
        doc.Run("BEGIN; INSERT INTO t VALUES(4,'four',40)", QueryRunKind::Script, nullptr).ok);
    EXPECT_TRUE(doc.TransactionOpen());
    EXPECT_NE(doc.Title().find("[transaction open]"), std::string::npos);
    // The next query still sees the uncommitted row: nothing was rolled back.
    EXPECT_EQ(Value(doc, "SELECT count(*) FROM t"), "4");
    EXPECT_TRUE(doc.TransactionOpen());

    host.m_transactionEnd = DorvexDocHost::TransactionEnd::KeepOpen;
    EXPECT_FALSE(doc.CanClose());
    host.m_transactionEnd = end;
    ASSERT_TRUE(doc.CanClose()) << doc.LastError();
    EXPECT_FALSE(doc.TransactionOpen());
    doc.Close();

    std::unique_ptr<XB_SQLiteDB> check(XB_SQLiteDB::NewAuto(path.c_str()));
    XB_String count;
    ASSERT_TRUE(check->QueryValue(count, "SELECT count(*) FROM t"));
    EXPECT_EQ(count, end == DorvexDocHost::TransactionEnd::Commit ? "4" : "3");
  }
}

TEST_P(DocumentOnBothGenerations, ReOpenFollowsTheFileAndNeverCreatesOne) {
  ViewerTestDir dir;
  std::string path = MakeSample(dir, "re.db", GetParam());
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));
  ASSERT_EQ(doc.TableCount(), 2);

  {  // another program changes the schema
    std::unique_ptr<XB_SQLiteDB> other(XB_SQLiteDB::NewAuto(path.c_str()));
    ASSERT_TRUE(other->Exec("CREATE TABLE v(y)"));
  }
  ASSERT_TRUE(doc.ReOpen()) << doc.LastError();
  EXPECT_EQ(doc.TableCount(), 3);

  // The file is replaced by one of the other generation.
  std::filesystem::remove(path);
  MakeSample(dir, "re.db", GetParam() == 2 ? 3 : 2);
  ASSERT_TRUE(doc.ReOpen()) << doc.LastError();
  EXPECT_EQ(doc.Version(), GetParam() == 2 ? 3.0 : 2.0);
  EXPECT_EQ(doc.TableCount(), 2);
  EXPECT_EQ(Value(doc, "SELECT name FROM t WHERE id=2"), "two");

  // The file is deleted: no new file, a message, the old tables stay.
  std::filesystem::remove(path);
  EXPECT_FALSE(doc.ReOpen());
  EXPECT_NE(doc.LastError().find("file no longer exists"), std::string::npos);
  XB_SQLiteResult result;
  EXPECT_FALSE(doc.Query(result, "SELECT * FROM t"));
  EXPECT_NE(doc.LastError().find("file no longer exists"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(doc.TableCount(), 2);
  EXPECT_TRUE(doc.HasConnection());
}

TEST_P(DocumentOnBothGenerations, HostileTableNamesAreShownWithoutHarm) {
  ViewerTestDir dir;
  std::string path =
      dir.MakeDatabase("hostile.db", GetParam(),
                       "CREATE TABLE b(x); INSERT INTO b VALUES(1); INSERT INTO b VALUES(2);"
                       "CREATE TABLE \"b; DELETE FROM b; --\"(y);"
                       "CREATE TABLE \"first name\"(z); INSERT INTO \"first name\" VALUES(5);"
                       "CREATE TABLE \"order\"(w)");
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));
  ASSERT_EQ(doc.TableCount(), 4);
  for (int i = 0; i < doc.TableCount(); ++i) {
    XB_SQLiteResult result;
    EXPECT_TRUE(doc.Query(result, MakeTableQuery(*doc.TableName(i), 100)))
        << *doc.TableName(i) << ": " << doc.LastError();
  }
  EXPECT_EQ(Value(doc, "SELECT count(*) FROM b"), "2");
  EXPECT_NE(doc.FindTableDefinition("first name"), nullptr);
}

TEST(DocumentFiles, FilesThatAreNoDatabasesAreRefusedUnchanged) {
  ViewerTestDir dir;
  std::string text = dir.Write("notes.txt", "just some text\nnot a database\n");
  std::string shortText = dir.Write("short.db", "hello");
  ASSERT_EQ(mkfifo(dir.Path("fifo.db").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.Path("folder.db"));
  for (const std::string& path :
       {text, shortText, dir.Path("fifo.db"), dir.Path("folder.db"), std::string("/dev/null")}) {
    std::string before = std::filesystem::is_regular_file(path) ? ViewerTestDir::Read(path) : "";
    CDorvexDoc doc(nullptr, nullptr);
    EXPECT_FALSE(doc.OnOpenDocument(path)) << path;
    EXPECT_NE(doc.LastError().find("not an SQLite 2.x or 3.x database"), std::string::npos)
        << path << ": " << doc.LastError();
    if (!before.empty()) {
      EXPECT_EQ(ViewerTestDir::Read(path), before) << path;
    }
  }
  CDorvexDoc missing(nullptr, nullptr);
  EXPECT_FALSE(missing.OnOpenDocument(dir.Path("missing.db")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("missing.db")));

  // An empty regular file is an empty generation-3 database.
  std::string empty = dir.Write("empty.db", "");
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(empty)) << doc.LastError();
  EXPECT_EQ(doc.Version(), 3.0);
  EXPECT_EQ(doc.TableCount(), 0);
}

TEST_P(DocumentOnBothGenerations, DroppedScriptsRunStatementByStatement) {
  ViewerTestDir dir;
  std::string path = MakeSample(dir, "drop.db", GetParam());
  std::string script = dir.Write("script.sql",
                                 "-- a note; with a semicolon\r\n"
                                 "INSERT INTO u VALUES('line 1\r\nline 2; still the literal');\r\n"
                                 "CREATE TRIGGER tr AFTER INSERT ON u BEGIN\r\n"
                                 "  INSERT INTO t(name, n) VALUES('from trigger', 1);\r\n"
                                 "END;\r\n"
                                 "INSERT INTO u VALUES('fired');\r\n"
                                 "SELECT x FROM u ORDER BY rowid;\r\n"
                                 "-- done\r\n");
  std::string query = dir.Write("query.sql", "\xEF\xBB\xBF-- rows\nSELECT name\nFROM t;\n");
  std::string failing = dir.Write("failing.sql",
                                  "INSERT INTO u VALUES('a');\nINSERT INTO nosuch VALUES(1);\n"
                                  "INSERT INTO u VALUES('never');\n");
  RecordingHost host;
  CDorvexDoc doc(&host, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));

  std::vector<DropAction> actions =
      doc.DropFiles({query, dir.Path("ignored.txt"), script, failing});
  ASSERT_EQ(actions.size(), 3u);
  EXPECT_EQ(actions[0].kind, DropAction::RunQuery);
  EXPECT_EQ(actions[0].sql, "-- rows\nSELECT name\nFROM t");
  EXPECT_EQ(actions[1].kind, DropAction::RunScript);
  EXPECT_EQ(actions[2].kind, DropAction::RunScript);
  EXPECT_TRUE(host.m_questions.empty());

  QueryOutcome ran = doc.Run(actions[1].sql, QueryRunKind::Script, nullptr);
  ASSERT_TRUE(ran.ok) << ran.error;
  ASSERT_TRUE(ran.hasResult);
  ASSERT_EQ(ran.result.Rows(), 2);
  EXPECT_STREQ(ran.result.Get(0, 0), "line 1\r\nline 2; still the literal");
  EXPECT_STREQ(ran.result.Get(0, 1), "fired");
  EXPECT_EQ(Value(doc, "SELECT count(*) FROM t WHERE name='from trigger'"), "1");

  QueryOutcome failed = doc.Run(actions[2].sql, QueryRunKind::Script, nullptr);
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.error.find("statement 2 of 3"), std::string::npos) << failed.error;
  EXPECT_NE(failed.error.find("nosuch"), std::string::npos) << failed.error;
  EXPECT_EQ(Value(doc, "SELECT count(*) FROM u WHERE x='never'"), "0");
  EXPECT_EQ(Value(doc, "SELECT count(*) FROM u WHERE x='a'"), "1");

  // With dropfiles/sql/ask the user is asked first; No skips the file.
  StoreNode settings;
  settings.WriteBool("dropfiles/sql/ask", true);
  CDorvexDoc asking(&host, &settings);
  ASSERT_TRUE(asking.OnOpenDocument(path));
  host.m_yes = false;
  EXPECT_TRUE(asking.DropFiles({script}).empty());
  ASSERT_EQ(host.m_questions.size(), 1u);
  EXPECT_EQ(host.m_questions[0], "Do you want to execute '" + script + "'");
  host.m_yes = true;
  EXPECT_EQ(asking.DropFiles({script}).size(), 1u);
}

TEST(DocumentFiles, WritesAreNeverRerunOrRewrittenUnasked) {
  ViewerTestDir dir;
  std::string path = MakeSample(dir, "rerun.db", 2);
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));
  QueryOutcome refused = doc.Run("DELETE FROM t -- all of them", QueryRunKind::Rerun, nullptr);
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.refused);
  EXPECT_EQ(Value(doc, "SELECT count(*) FROM t"), "3");
  QueryOutcome read = doc.Run("SELECT * FROM t -- all of them", QueryRunKind::Rerun, nullptr);
  EXPECT_TRUE(read.ok);
  EXPECT_TRUE(read.readOnly);
  QueryOutcome typed = doc.Run("DELETE FROM t WHERE id=1", QueryRunKind::Query, nullptr);
  EXPECT_TRUE(typed.ok);
  EXPECT_FALSE(typed.readOnly);
}

TEST(DocumentFiles, StatesOpenTheirDatabaseAndAskBeforeAWrite) {
  ViewerTestDir dir;
  std::filesystem::create_directory(dir.Path("db"));
  std::filesystem::create_directory(dir.Path("states"));
  std::string path = MakeSample(dir, "db/shop.db", 3);
  std::string reading = dir.Write("states/read.dvxs",
                                  "<DorvexState><repeat intervall=\"10\"/><file>..\\db\\shop.db"
                                  "</file><query>SELECT * FROM t</query><name>Shop view</name>"
                                  "</DorvexState>");
  std::string writing = dir.Write("states/write.dvxs",
                                  "<DorvexState><repeat intervall=\"10\"/><file>../db/shop.db"
                                  "</file><query>DELETE FROM t</query></DorvexState>");
  std::string missing = dir.Write("states/missing.dvxs",
                                  "<DorvexState><file>../db/gone.db</file><query>SELECT 1"
                                  "</query></DorvexState>");
  std::string chained = dir.Write("states/chain.dvxs",
                                  "<DorvexState><file>read.dvxs</file><query>SELECT 1"
                                  "</query></DorvexState>");
  RecordingHost host;
  {
    CDorvexDoc doc(&host, nullptr);
    ASSERT_TRUE(doc.OnOpenDocument(reading)) << doc.LastError();
    EXPECT_EQ(doc.PathName(), reading);
    EXPECT_EQ(doc.DatabasePath(), path);
    ASSERT_NE(doc.PendingState(), nullptr);
    EXPECT_EQ(doc.PendingState()->query, "SELECT * FROM t");
    EXPECT_EQ(doc.PendingState()->interval, 10);
    EXPECT_FALSE(doc.PendingState()->runOnce);
    EXPECT_EQ(host.m_layouts.size(), 1u);
    XB_SQLiteResult result;
    ASSERT_TRUE(doc.Query(result, "SELECT 1"));
    EXPECT_EQ(doc.Title(), "Shop view");
  }
  {  // a second document, opened from its database, has its own title
    CDorvexDoc doc(&host, nullptr);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    XB_SQLiteResult result;
    ASSERT_TRUE(doc.Query(result, "SELECT 1"));
    EXPECT_EQ(doc.Title(), "shop:3.0:SELECT 1");
    EXPECT_EQ(doc.PendingState(), nullptr);
  }
  {  // a writing query is shown and asked about, No being the default
    CDorvexDoc doc(&host, nullptr);
    host.m_yes = false;
    ASSERT_TRUE(doc.OnOpenDocument(writing));
    ASSERT_EQ(host.m_questions.size(), 1u);
    EXPECT_NE(host.m_questions[0].find("DELETE FROM t"), std::string::npos);
    EXPECT_FALSE(host.m_defaults[0]);
    EXPECT_EQ(doc.PendingState(), nullptr);
    host.m_yes = true;
    ASSERT_TRUE(doc.OnOpenDocument(writing));
    ASSERT_NE(doc.PendingState(), nullptr);
    EXPECT_TRUE(doc.PendingState()->runOnce);
    EXPECT_EQ(doc.PendingState()->interval, 0);
    EXPECT_EQ(Value(doc, "SELECT count(*) FROM t"), "3") << "nothing ran yet";
  }
  CDorvexDoc doc(&host, nullptr);
  EXPECT_FALSE(doc.OnOpenDocument(missing));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("db/gone.db")));
  EXPECT_FALSE(doc.OnOpenDocument(chained));

  // Dropped on an open document, a state opens its database there and
  // leaves the document's path name; only the first state is handled.
  ASSERT_TRUE(doc.OnOpenDocument(dir.MakeDatabase("other.db", 2, "CREATE TABLE o(a)")));
  std::vector<DropAction> actions = doc.DropFiles({reading, writing});
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].kind, DropAction::ApplyState);
  EXPECT_EQ(doc.PathName(), dir.Path("other.db"));
  EXPECT_EQ(doc.DatabasePath(), path);
}

TEST(DocumentText, Latin1FilesShowUtf8AndRefuseWhatTheyCannotHold) {
  ViewerTestDir dir;
  std::string path = dir.Fixture("quoted_names.db", "quoted.db");
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path)) << doc.LastError();
  EXPECT_EQ(doc.TextEncoding(), XB_TEXT_LATIN1);
  bool found = false;
  for (int i = 0; i < doc.TableCount(); ++i) {
    std::string name = *doc.TableName(i);
    found |= name == "K\xC3\xA4se";
    XB_SQLiteResult result;
    EXPECT_TRUE(doc.Query(result, MakeTableQuery(name, 100))) << name << ": " << doc.LastError();
  }
  EXPECT_TRUE(found);
  // Käse(Maß TEXT, naïve INTEGER): the column names are matched in the
  // file's text, so the INTEGER column is known by its Latin-1 name.
  XB_SQLiteResult cheese;
  ASSERT_TRUE(doc.Query(cheese, "SELECT * FROM K\xC3\xA4se")) << doc.LastError();
  EXPECT_EQ(doc.IntegerColumns("k\xC3\xA4se", cheese, 0), (std::vector<bool>{false, true}));
  EXPECT_EQ(doc.IntegerColumns("k\xC3\xA4se", cheese, 1), (std::vector<bool>{true}));
  EXPECT_EQ(doc.IntegerColumns("nosuch", cheese, 0), (std::vector<bool>{false, false}));
  EXPECT_EQ(doc.FromFileText(Value(doc,
                                   "SELECT 'Gr\xC3\xB6\xC3\x9F"
                                   "e'")),
            "Gr\xC3\xB6\xC3\x9F"
            "e");
  XB_SQLiteResult result;
  EXPECT_FALSE(doc.Query(result, "SELECT '\xE2\x82\xAC'"));
  EXPECT_NE(doc.LastError().find("U+20AC"), std::string::npos) << doc.LastError();
  doc.SetTextEncoding(XB_TEXT_UTF8);
  EXPECT_TRUE(doc.Query(result, "SELECT '\xE2\x82\xAC'"));
  // The table keeps its definition under the name the list shows after the
  // switch (its Latin-1 bytes are no UTF-8, so it reads the same).
  EXPECT_NE(doc.FindTableDefinition("K\xC3\xA4se"), nullptr);
  // The user's switch holds over Re-Open of the same file.
  ASSERT_TRUE(doc.ReOpen());
  EXPECT_EQ(doc.TextEncoding(), XB_TEXT_UTF8);
  EXPECT_NE(doc.FindTableDefinition("K\xC3\xA4se"), nullptr);
  EXPECT_EQ(doc.IntegerColumns("K\xC3\xA4se", cheese, 0), (std::vector<bool>{false, true}));
}

INSTANTIATE_TEST_SUITE_P(Generations, DocumentOnBothGenerations, ::testing::Values(2, 3));

}  // namespace
