/*
** Runs the built Rimbal program the way a script does and compares its exit
** code, standard output and error stream byte for byte.
*/
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "xb_sqlitetestdir.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

const std::string kBanner =
    "Rimbal v0.10 (build 10) - one command on an SQLite 2.x or 3.x database\n\n";

const std::string kUsage =
    "USAGE:\n"
    "\n"
    "--create2 <file> <sql>\t\tcreate a SQLite 2.x database\n"
    "--create  <file> <sql>\t\tcreate a SQLite 3.x database\n"
    "\n"
    "--exec    <file> <sql>\t\texecute some sql.\n"
    "--query   <file> <sql>\t\tdisplay query as ascii table\n"
    "\n"
    "--query-one  <file> <sql>\treturn single value\n"
    "--query-csv  <file> <sql>\treturn query result as CSV\n"
    "--query-tab  <file> <sql>\treturn query result as text with tabs\n"
    "\n"
    "--edit-rows  <file> <table> [<where-part>]\tlet user edit table row-wise\n"
    "--edit-row   <file> <table> [<where-part>]\tlet user edit row via dialog\n"
    "--insert-row <file> <table>\tlet user insert row via dialog\n"
    "\n"
    "--dump    <file>\t\twrite database as SQL text\n"
    "--convert <file> <new-file>\tcopy database into a new SQLite 3.x file\n";

/* What one run of the program left behind. */
struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

/* Returns TEXT padded with spaces to WIDTH. */
std::string Pad(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

class RimbalProgram : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_dir.Root().empty()); }

  /* Returns the path of NAME inside the test's own folder. */
  std::string Path(const std::string& name) const { return m_dir.Path(name); }

  /* Runs Rimbal with ARGS and the environment of the test minus every
  ** display variable, plus EXTRAENV.  Returns what it left behind. */
  Outcome Rimbal(const std::vector<std::string>& args,
                 const std::vector<std::string>& extraEnv = {}) const {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string entry(*e);
      if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
          entry.rfind("QT_QPA_PLATFORM=", 0) == 0)
        continue;
      env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());

    std::vector<char*> argv{const_cast<char*>(RIMBAL_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string outPath = Path("stdout.txt");
    std::string errPath = Path("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    Outcome run;
    int spawned = posix_spawn(&pid, RIMBAL_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << RIMBAL_PATH;
      return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = XB_TestDir::Read(outPath);
    run.err = XB_TestDir::Read(errPath);
    return run;
  }

  /* Makes a generation-3 database at NAME from SQL.  Returns its path. */
  std::string MakeDatabase(const std::string& name, const std::string& sql) const {
    std::string path = Path(name);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    return path;
  }

  /* Makes a database whose table t has COUNT rows r1 .. rCOUNT in column a. */
  std::string MakeRows(int count) const {
    std::string sql = "CREATE TABLE t(a, b);";
    for (int i = 1; i <= count; ++i)
      sql += "INSERT INTO t VALUES('r" + std::to_string(i) + "', " + std::to_string(i) + ");";
    return MakeDatabase("rows" + std::to_string(count) + ".db", sql);
  }

  XB_TestDir m_dir;
};

TEST_F(RimbalProgram, UsageWhenNoCommandIsGiven) {
  Outcome bare = Rimbal({});
  EXPECT_EQ(bare.exitCode, 0);
  EXPECT_EQ(bare.out, kUsage);
  EXPECT_EQ(bare.err, kBanner);

  // Unknown options are ignored, also when a file follows them.
  Outcome unknown = Rimbal({"--frobnicate", "-x", Path("none.db"), "SELECT 1"});
  EXPECT_EQ(unknown.exitCode, 0);
  EXPECT_EQ(unknown.out, kUsage);
  EXPECT_EQ(unknown.err, kBanner);
  EXPECT_FALSE(access(Path("none.db").c_str(), F_OK) == 0);

  // Options are matched exactly: letter case counts.
  Outcome upper = Rimbal({"--EXEC", Path("none.db"), "SELECT 1"});
  EXPECT_EQ(upper.out, kUsage);
}

TEST_F(RimbalProgram, LaterOptionWinsAndArgumentsAfterTheFileArePositional) {
  std::string db = MakeDatabase("t.db", "CREATE TABLE t(a);");
  Outcome later = Rimbal({"--query-one", "--frobnicate", "--exec", db, "INSERT INTO t VALUES(1)"});
  EXPECT_EQ(later.exitCode, 0);
  EXPECT_EQ(later.out, "");
  EXPECT_EQ(later.err, kBanner);  // --exec writes the banner, --query-one would not

  // "-5" after the file belongs to the statement.
  Outcome minus = Rimbal({"--exec", db, "INSERT INTO t VALUES(", "-5", ")"});
  EXPECT_EQ(minus.exitCode, 0) << minus.err;
  Outcome all = Rimbal({"--query-csv", db, "SELECT a FROM t ORDER BY a"});
  EXPECT_EQ(all.out, "-5\n1\n");
  EXPECT_EQ(all.err, "");
}

TEST_F(RimbalProgram, StatementPiecesAreJoinedAndTrimmed) {
  std::string db = MakeDatabase("t.db", "CREATE TABLE t(a);");
  Outcome joined = Rimbal({"-q", db, "SELECT", "1", "   "});
  EXPECT_EQ(joined.exitCode, 0);
  EXPECT_EQ(joined.out, "1\n");
  EXPECT_EQ(joined.err, "");

  // The failure line shows the statement as joined and trimmed.
  Outcome failed = Rimbal({"--exec", db, "\t INSERT", "INTO", "nowhere", "VALUES(1)\n"});
  EXPECT_EQ(failed.exitCode, 10);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, kBanner +
                            "Error: Execution of INSERT INTO nowhere VALUES(1) failed.\n"
                            "SQLITE: no such table: nowhere\n");
}

TEST_F(RimbalProgram, PercentSignsReachTheEngineUnchanged) {
  std::string db = MakeDatabase("t.db",
                                "CREATE TABLE t(a); INSERT INTO t VALUES('100%d');"
                                "INSERT INTO t VALUES('50%s%n');");
  Outcome like = Rimbal({"-q", db, "SELECT count(*) FROM t WHERE a LIKE '%\\%d' ESCAPE '\\'"});
  EXPECT_EQ(like.out, "1\n");
  Outcome values = Rimbal({"--query-tab", db, "SELECT a, '%x' FROM t"});
  EXPECT_EQ(values.out, "100%d\t%x\n50%s%n\t%x\n");
}

TEST_F(RimbalProgram, CreateAndExec) {
  // --exec on a missing file makes an empty generation-3 database.
  std::string fresh = Path("fresh.db");
  Outcome exec = Rimbal({"--exec", fresh});
  EXPECT_EQ(exec.exitCode, 0);
  EXPECT_EQ(exec.err, kBanner);
  EXPECT_EQ(access(fresh.c_str(), F_OK), 0);
  Outcome probe = Rimbal({"-q", fresh, "SELECT sqlite_version() > '3'"});
  EXPECT_EQ(probe.out, "1\n");

  Outcome create =
      Rimbal({"--create", Path("c3.db"), "CREATE TABLE t (a); INSERT INTO t VALUES(7)"});
  EXPECT_EQ(create.exitCode, 0);
  EXPECT_EQ(XB_TestDir::Read(Path("c3.db")).substr(0, 15), "SQLite format 3");

  // A database that cannot be made is an open failure, not a success.
  Outcome nowhere = Rimbal({"--create", Path("missing/dir/x.db")});
  EXPECT_EQ(nowhere.exitCode, 3);
  EXPECT_EQ(nowhere.err,
            kBanner + "Error: Failed to open database " + Path("missing/dir/x.db") + ".\n");
}

TEST_F(RimbalProgram, CreateGeneration2) {
  std::string path = Path("c2.db");
  Outcome create = Rimbal({"--create2", path, "CREATE TABLE t (a)"});
  ASSERT_EQ(create.exitCode, 0) << create.err;
  EXPECT_EQ(XB_TestDir::Read(path).substr(0, 47),
            "** This file contains an SQLite 2.1 database **");
  Outcome query = Rimbal({"--query-tab", path, "SELECT type, name, sql FROM sqlite_master"});
  EXPECT_EQ(query.exitCode, 0);
  EXPECT_EQ(query.out, "table\tt\tCREATE TABLE t (a)\n");

  // Creating generation 3 over a 2.x file must not let the newer engine at it.
  Outcome over = Rimbal({"--create", path, "CREATE TABLE u (b)"});
  EXPECT_EQ(over.exitCode, 3);
  EXPECT_EQ(XB_TestDir::Read(path).substr(0, 47),
            "** This file contains an SQLite 2.1 database **");
}

TEST_F(RimbalProgram, QueryOneWritesOnlyTheValue) {
  std::string db = MakeDatabase("t.db", "CREATE TABLE t(a); INSERT INTO t VALUES(NULL);");
  Outcome count = Rimbal({"--query-one", db, "SELECT count(*) FROM t"});
  EXPECT_EQ(count.exitCode, 0);
  EXPECT_EQ(count.out, "1\n");
  EXPECT_EQ(count.err, "");
  Outcome null = Rimbal({"-q", db, "SELECT a FROM t"});
  EXPECT_EQ(null.exitCode, 0);
  EXPECT_EQ(null.out, "\n");

  for (const char* sql : {"SELECT a FROM t WHERE 0", "SELECT nosuch FROM t", ""}) {
    Outcome failed = Rimbal({"-q", db, sql});
    EXPECT_EQ(failed.exitCode, 12) << sql;
    EXPECT_EQ(failed.out, "") << sql;
    EXPECT_EQ(failed.err, "") << sql;
  }
}

TEST_F(RimbalProgram, SeparatedForms) {
  std::string db = MakeDatabase("t.db",
                                "CREATE TABLE t(a, b, c, d, e, f, g, h);"
                                "INSERT INTO t VALUES(1, 'x,y', 'tab\there', NULL, '', "
                                "'abcdefghijklmnopqrstuvwxyz1234', 7, 8);");
  Outcome tab = Rimbal({"--query-tab", db, "SELECT * FROM t"});
  EXPECT_EQ(tab.exitCode, 0);
  EXPECT_EQ(tab.out, "1\tx,y\ttab\there\t\t\tabcdefghijklmnopqrstuvwxyz1234\t7\t8\n");
  EXPECT_EQ(tab.err, "");
  Outcome csv = Rimbal({"--query-csv", db, "SELECT * FROM t"});
  EXPECT_EQ(csv.out, "1,x,y,tab\there,,,abcdefghijklmnopqrstuvwxyz1234,7,8\n");
  Outcome one = Rimbal({"--query-csv", db, "SELECT a FROM t UNION ALL SELECT 2"});
  EXPECT_EQ(one.out, "1\n2\n");
  Outcome none = Rimbal({"--query-tab", db, "SELECT * FROM t WHERE 0"});
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_EQ(none.out, "");

  // Outputs far larger than any write buffer, with a single cell of more
  // than a megabyte among many small ones, come out whole.
  Outcome large = Rimbal({"--query-csv", db,
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 3000) SELECT i, CASE WHEN i = 1500 THEN hex(zeroblob(700000)) "
                          "ELSE printf('%0500d', i) END, NULL FROM n"});
  std::string expected;
  for (int i = 1; i <= 3000; ++i) {
    std::string number = std::to_string(i);
    expected +=
        number + "," +
        (i == 1500 ? std::string(1400000, '0') : std::string(500 - number.size(), '0') + number) +
        ",\n";
  }
  EXPECT_EQ(large.exitCode, 0);
  EXPECT_TRUE(large.out == expected) << large.out.size() << " bytes instead of " << expected.size();
}

TEST_F(RimbalProgram, TextTableLimitsColumnsAndCutsCells) {
  std::string db =
      MakeDatabase("t.db",
                   "CREATE TABLE t(a, b, c, d, e, a_very_long_column_name, g, h);"
                   "INSERT INTO t VALUES(1, NULL, '', 'abcdefghijklmnopqrstuvwxyz1234', "
                   "'exactly15chars.', '%d', 7, 8);");
  Outcome table = Rimbal({"--query-table", db, "SELECT * FROM t"});
  EXPECT_EQ(table.exitCode, 0);
  std::string dashes(15, '-');
  std::string header = Pad("a", 15) + "|" + Pad("b", 15) + "|" + Pad("c", 15) + "|" + Pad("d", 15) +
                       "|" + Pad("e", 15) + "|a_very_long_column_name\n";
  std::string rule =
      dashes + "+" + dashes + "+" + dashes + "+" + dashes + "+" + dashes + "+" + dashes + "\n";
  std::string row = Pad("1", 16) + Pad("", 16) + Pad("", 16) + "abcdefghijklm.. " +
                    "exactly15chars. " + Pad("%d", 16) + "\n";
  EXPECT_EQ(table.out, header + rule + row + "\n");
  EXPECT_EQ(table.err, kBanner);

  // No rows: the engine reports no columns either, so both lines are empty.
  Outcome empty = Rimbal({"--query", db, "SELECT * FROM t WHERE 0"});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "\n\n\n");
}

TEST_F(RimbalProgram, TextTableElidesFromTheTwentiethRow) {
  auto expected = [](int count) {
    std::string text = Pad("a", 15) + "|" + Pad("b", 15) + "\n" + std::string(15, '-') + "+" +
                       std::string(15, '-') + "\n";
    auto line = [](int i) {
      return Pad("r" + std::to_string(i), 16) + Pad(std::to_string(i), 16) + "\n";
    };
    for (int i = 1; i <= count && i <= 19; ++i) text += line(i);
    if (count >= 20) {
      text += std::string(13, ' ') + ".. (" + std::to_string(count) + " total) ..\n";
      text += line(count);
    }
    return text + "\n";
  };
  for (int count : {19, 20, 25}) {
    Outcome run = Rimbal({"--query", MakeRows(count), "SELECT a, b FROM t ORDER BY b"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, expected(count)) << count << " rows";
  }
}

TEST_F(RimbalProgram, FailingQueriesWriteTheEngineMessage) {
  std::string db = MakeDatabase("t.db", "CREATE TABLE t(a);");
  for (const char* option : {"--query-tab", "--query-csv", "--query"}) {
    Outcome run = Rimbal({option, db, "SELECT nosuch FROM t"});
    EXPECT_EQ(run.exitCode, 12) << option;
    EXPECT_EQ(run.out, "") << option;
    std::string banner = std::string(option) == "--query" ? kBanner : "";
    EXPECT_EQ(run.err, banner + "no such column: nosuch\n") << option;
  }
}

TEST_F(RimbalProgram, FilesThatCannotBeOpened) {
  std::string text = Path("notes.txt");
  std::ofstream(text) << "just some text, not a database at all, long enough to be read\n";
  mkdir(Path("folder").c_str(), 0700);
  std::string unreadable = MakeDatabase("locked.db", "CREATE TABLE t(a);");
  chmod(unreadable.c_str(), 0);
  bool rootReadsAnyway = access(unreadable.c_str(), R_OK) == 0;

  std::vector<std::string> paths{text, Path("folder")};
  if (!rootReadsAnyway) paths.push_back(unreadable);
  for (const std::string& path : paths) {
    Outcome query = Rimbal({"--query-csv", path, "SELECT 1"});
    EXPECT_EQ(query.exitCode, 3) << path;
    EXPECT_EQ(query.out, "") << path;
    EXPECT_EQ(query.err, "Error: Failed to open database " + path + ".\n") << path;
    Outcome exec = Rimbal({"--exec", path, "SELECT 1"});
    EXPECT_EQ(exec.exitCode, 3) << path;
    EXPECT_EQ(exec.err, kBanner + "Error: Failed to open database " + path + ".\n") << path;
  }
  EXPECT_EQ(XB_TestDir::Read(text).substr(0, 9), "just some");
}

TEST_F(RimbalProgram, RowCommands) {
  // The view comes first: a lookup that took "name" for the column would
  // read the view's definition for every name.
  std::string db = MakeDatabase("t.db",
                                "CREATE VIEW v AS SELECT 1 AS a; CREATE TABLE t(a);"
                                "CREATE TABLE name(x, y, PRIMARY KEY(x, y)) WITHOUT ROWID;"
                                "CREATE TABLE sql(x, y, PRIMARY KEY(x, y)) WITHOUT ROWID;");
  Outcome noDisplay = Rimbal({"--edit-row", db, "t"});
  EXPECT_EQ(noDisplay.exitCode, 1);
  EXPECT_EQ(noDisplay.out, "");
  EXPECT_EQ(noDisplay.err,
            kBanner + "Error: No display available; the row dialogs need a windowing system.\n");

  std::vector<std::string> offscreen{"QT_QPA_PLATFORM=offscreen",
                                     "XDG_RUNTIME_DIR=" + m_dir.Root()};
  Outcome view = Rimbal({"--edit-row", db, "v"}, offscreen);
  EXPECT_EQ(view.exitCode, 4);
  EXPECT_EQ(view.err, kBanner + "Error: v must be a table.\n");
  Outcome missing = Rimbal({"-ar", db, "nothing"}, offscreen);
  EXPECT_EQ(missing.exitCode, 4);
  EXPECT_EQ(missing.err, kBanner + "Error: Failed to read table definiton for nothing.\n");
  // Tables called like the columns of sqlite_master are found as themselves:
  // their own definition (no rowid, two key columns) is what refuses them,
  // before any dialog opens.
  for (const char* table : {"name", "sql"}) {
    Outcome named = Rimbal({"--edit-rows", db, table}, offscreen);
    EXPECT_EQ(named.exitCode, 4) << table;
    EXPECT_EQ(named.err, kBanner + "Error: " + table +
                             " has neither a rowid nor exactly one key column, so its rows"
                             " cannot be told apart.\n");
  }
}

TEST_F(RimbalProgram, DumpAndConvertExitCodes) {
  std::string db =
      MakeDatabase("t.db", "CREATE TABLE t(a INTEGER, b); INSERT INTO t VALUES(1, 'x');");
  Outcome dump = Rimbal({"--dump", db});
  EXPECT_EQ(dump.exitCode, 0);
  EXPECT_EQ(dump.err, "");
  EXPECT_EQ(dump.out,
            "BEGIN TRANSACTION;\nCREATE TABLE t(a INTEGER, b);\n"
            "INSERT INTO t(rowid,a,b) VALUES(1,1,'x');\nCOMMIT;\n");

  // A missing file is no database: it is neither dumped nor made.
  std::string missing = Path("missing.db");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--dump", missing}, {"--convert", missing, Path("new.db")}}) {
    Outcome run = Rimbal(args);
    EXPECT_EQ(run.exitCode, 3) << args[0];
    EXPECT_EQ(run.out, "") << args[0];
    EXPECT_NE(run.err.find("Error: Failed to open database " + missing + ".\n"), std::string::npos);
  }
  EXPECT_NE(access(missing.c_str(), F_OK), 0);

  Outcome converted = Rimbal({"--convert", db, Path("new.db")});
  EXPECT_EQ(converted.exitCode, 0);
  EXPECT_EQ(converted.out, "");
  EXPECT_EQ(converted.err, kBanner + "Copied 1 table with 1 row into " + Path("new.db") + ".\n");
  struct stat made {};
  ASSERT_EQ(stat(Path("new.db").c_str(), &made), 0);
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(made.st_mode & 0777, 0666 & ~mask);
  Outcome again = Rimbal({"--convert", db, Path("new.db")});
  EXPECT_EQ(again.exitCode, 10);
  EXPECT_EQ(again.err, kBanner + "Error: Cannot write " + Path("new.db") + ": " + Path("new.db") +
                           " exists already.\n");
  Outcome noTarget = Rimbal({"--convert", db});
  EXPECT_EQ(noTarget.exitCode, 10);
}

TEST_F(RimbalProgram, ConvertReportsWhatSQLite3RefusedOrChanged) {
  std::string old = Path("old.db");
  Outcome made = Rimbal({"--create2", old,
                         "CREATE TABLE n(v INTEGER UNIQUE, w TEXT);"
                         "INSERT INTO n VALUES('007', 'a'); INSERT INTO n VALUES(' 7', 'b');"
                         "INSERT INTO n VALUES('8', 'c');"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  Outcome run = Rimbal({"--convert", old, Path("new.db")});
  EXPECT_EQ(run.exitCode, 12);
  EXPECT_EQ(run.err, kBanner +
                         "Table n: 2 of 3 rows copied, 1 refused, the first rowid 2: UNIQUE "
                         "constraint failed: n.v.\n"
                         "Table n: 1 value stored differently by SQLite 3, the first rowid 1, "
                         "column v: '007' stored as 7.\n"
                         "Copied 1 table with 2 rows into " +
                         Path("new.db") + ".\n");
  Outcome rows = Rimbal({"--query-csv", Path("new.db"), "SELECT rowid, v, w FROM n"});
  EXPECT_EQ(rows.out, "1,7,a\n3,8,c\n");

  // 2.x knew a NUMERIC collation; SQLite 3 refuses the table, which is
  // named, and copies the rest.
  std::string collated = Path("collated.db");
  made = Rimbal({"--create2", collated,
                 "CREATE TABLE t(a COLLATE NUMERIC); INSERT INTO t VALUES('10');"
                 "CREATE TABLE u(v); INSERT INTO u VALUES(1);"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  Outcome refused = Rimbal({"--convert", collated, Path("collated3.db")});
  EXPECT_EQ(refused.exitCode, 12);
  EXPECT_EQ(refused.err, kBanner +
                             "Table t: SQLite 3 refused its definition (no such collation "
                             "sequence: NUMERIC); 1 row not copied.\n"
                             "Copied 1 table with 1 row into " +
                             Path("collated3.db") + ".\n");
}

TEST_F(RimbalProgram, EveryFixtureDumpedIntoTheShellEqualsItsConversion) {
  if (std::system("sqlite3 -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3 shell";
  for (const std::string& name : XB_Sqlite2Fixtures()) {
    SCOPED_TRACE(name);
    std::string old = Path(name);
    std::ofstream(old, std::ios::binary)
        << XB_TestDir::Read(std::string(XB_SQLITE2_FIXTURES) + "/" + name);
    Outcome converted = Rimbal({"--convert", old, Path("c-" + name)});
    EXPECT_TRUE(converted.exitCode == 0 || converted.exitCode == 12) << converted.err;
    Outcome dump = Rimbal({"--dump", old});
    EXPECT_EQ(dump.exitCode, 0);
    std::ofstream(Path("dump.sql"), std::ios::binary) << dump.out;
    // The shell goes on after a refused row, as the converter does.
    std::string load = "sqlite3 '" + Path("s-" + name) + "' < '" + Path("dump.sql") +
                       "' > /dev/null 2>&1; sqlite3 '" + Path("s-" + name) + "' .dump > '" +
                       Path("s.txt") + "'; sqlite3 '" + Path("c-" + name) + "' .dump > '" +
                       Path("c.txt") + "'";
    std::system(load.c_str());
    EXPECT_EQ(XB_TestDir::Read(Path("s.txt")), XB_TestDir::Read(Path("c.txt")));
    EXPECT_NE(XB_TestDir::Read(Path("c.txt")).find("COMMIT;"), std::string::npos);
  }
}

}  // namespace

TEST_F(RimbalProgram, QueriesAndRowCommandsNeverCreateAFile) {
  std::vector<std::string> offscreen{"QT_QPA_PLATFORM=offscreen"};
  std::string path = Path("missing.db");
  for (const char* option : {"--query", "--query-csv", "--query-tab", "--query-one"}) {
    Outcome run = Rimbal({option, path, "SELECT 1"});
    EXPECT_EQ(run.exitCode, 3) << option;
    EXPECT_NE(run.err.find("Error: Failed to open database " + path + ".\n"), std::string::npos)
        << option;
    EXPECT_NE(access(path.c_str(), F_OK), 0) << option;
  }
  for (const char* option : {"--edit-row", "--edit-rows", "--insert-row"}) {
    Outcome run = Rimbal({option, path, "t"}, offscreen);
    EXPECT_EQ(run.exitCode, 3) << option;
    EXPECT_EQ(run.err, kBanner + "Error: Failed to open database " + path + ".\n") << option;
    EXPECT_NE(access(path.c_str(), F_OK), 0) << option;
  }
  // The commands that create still do.
  EXPECT_EQ(Rimbal({"--exec", path, ""}).exitCode, 0);
  EXPECT_EQ(access(path.c_str(), F_OK), 0);
}

TEST_F(RimbalProgram, EmptyCreate2WritesA2xDatabase) {
  std::string path = Path("empty2.db");
  Outcome create = Rimbal({"--create2", path});
  ASSERT_EQ(create.exitCode, 0) << create.err;
  std::string content = XB_TestDir::Read(path);
  ASSERT_GE(content.size(), 1024u);
  EXPECT_EQ(content.substr(0, 47), "** This file contains an SQLite 2.1 database **");
  // The next command finds generation 2 and an empty schema, and keeps it 2.x.
  Outcome count = Rimbal({"--query-one", path, "SELECT count(*) FROM sqlite_master"});
  EXPECT_EQ(count.out, "0\n");
  EXPECT_EQ(Rimbal({"--exec", path, "CREATE TABLE t(a)"}).exitCode, 0);
  EXPECT_EQ(XB_TestDir::Read(path).substr(0, 47),
            "** This file contains an SQLite 2.1 database **");
  Outcome tables = Rimbal({"--query-csv", path, "SELECT name FROM sqlite_master"});
  EXPECT_EQ(tables.out, "t\n");
}

TEST_F(RimbalProgram, PathsLongerThan260CharactersWork) {
  std::string deep = m_dir.Root();
  for (int i = 0; i < 6; i++) {
    deep += "/" + std::string(90, static_cast<char>('a' + i));
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  }
  for (const char* option : {"--create", "--create2"}) {
    std::string path = deep + "/" + option + ".db";
    ASSERT_GT(path.size(), 500u);
    Outcome create = Rimbal({option, path, "CREATE TABLE t(a); INSERT INTO t VALUES(42)"});
    EXPECT_EQ(create.exitCode, 0) << option << create.err;
    Outcome value = Rimbal({"--query-one", path, "SELECT a FROM t"});
    EXPECT_EQ(value.out, "42\n") << option;
  }
  std::string tooLong = deep + "/" + std::string(4200, 'z');
  Outcome refused = Rimbal({"--query-one", tooLong, "SELECT 1"});
  EXPECT_EQ(refused.exitCode, 3);
}

TEST_F(RimbalProgram, TextTableCutsUtf8ByCharacters) {
  std::string utf8 = MakeDatabase(
      "u.db",
      "CREATE TABLE t(a, b); INSERT INTO t VALUES('Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC\xE2\x82\xAC"
      "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
      "\xE2\x82\xAC', "
      "'\xC3\xA4');");
  Outcome table = Rimbal({"--query", utf8, "SELECT a, b AS \"\xC3\xA4\" FROM t"});
  ASSERT_EQ(table.exitCode, 0);
  EXPECT_EQ(table.out,
            "a              |\xC3\xA4              \n"
            "---------------+---------------\n"
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
            "\xE2\x82\xAC\xE2\x82\xAC.. \xC3\xA4               \n\n");

  // A Latin-1 file of generation 2 is cut and padded by bytes.
  std::string latin = Path("l.db");
  ASSERT_EQ(Rimbal({"--create2", latin,
                    "CREATE TABLE t(a); INSERT INTO t VALUES('\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4"
                    "\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4')"})
                .exitCode,
            0);
  Outcome bytes = Rimbal({"--query", latin, "SELECT a FROM t"});
  EXPECT_EQ(bytes.out, "a              \n---------------\n" + std::string(13, '\xE4') + ".. \n\n");
}

TEST_F(RimbalProgram, RowCommandsThatFindNoRow) {
  std::string db = MakeDatabase("r.db",
                                "CREATE TABLE MyTable(id INTEGER PRIMARY KEY, v);"
                                "INSERT INTO MyTable VALUES(1, 'a');");
  std::vector<std::string> offscreen{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR="};
  Outcome none = Rimbal({"--edit-row", db, "mytable", "id=9"}, offscreen);
  EXPECT_EQ(none.exitCode, 4);
  EXPECT_EQ(none.err, kBanner + "Error: No row of mytable matches id=9.\n");
  Outcome broken = Rimbal({"--edit-row", db, "MyTable", "id=="}, offscreen);
  EXPECT_EQ(broken.exitCode, 4);
  EXPECT_EQ(broken.err, kBanner + "Error: near \";\": syntax error\n");
  Outcome rows = Rimbal({"--edit-rows", db, "MyTable", "nope=1"}, offscreen);
  EXPECT_EQ(rows.exitCode, 4);
  EXPECT_EQ(rows.err, kBanner + "Error: no such column: nope\n");
}

/* A child process that holds a POSIX lock of TYPE over the whole of a file,
** as the engines of another program do, from construction until Release
** (or for HOLDMS milliseconds when that is not 0). */
class HeldLock {
 public:
  HeldLock(const std::string& path, short type, int holdMs = 0) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(m_release) != 0) {
      ADD_FAILURE() << "no pipe";
      return;
    }
    m_child = fork();
    if (m_child == 0) {
      close(ready[0]);
      close(m_release[1]);
      int fd = open(path.c_str(), O_RDWR);
      struct flock lock {};
      lock.l_type = type;
      lock.l_whence = SEEK_SET;
      char ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      if (holdMs > 0) {
        usleep(useconds_t(holdMs) * 1000);
      } else {
        char byte;
        while (read(m_release[0], &byte, 1) > 0) {
        }
      }
      _exit(0);
    }
    close(ready[1]);
    close(m_release[0]);
    char ok = 'n';
    EXPECT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y') << "the child could not lock " << path;
    close(ready[0]);
  }
  ~HeldLock() { Release(); }

  /* Ends the child, which drops its lock. */
  void Release() {
    if (m_child <= 0) return;
    close(m_release[1]);
    waitpid(m_child, nullptr, 0);
    m_child = -1;
  }

 private:
  pid_t m_child = -1;
  int m_release[2] = {-1, -1};
};

/* Runs F and returns the seconds it took. */
template <class F>
double SecondsOf(F f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class RimbalLockedFile : public RimbalProgram, public ::testing::WithParamInterface<int> {
 protected:
  /* Makes a database of the generation of the test with table t holding one
  ** row.  Returns its path. */
  std::string MakeLockable() {
    std::string path = Path("locked" + std::to_string(GetParam()) + ".db");
    const char* create = GetParam() == 2 ? "--create2" : "--create";
    Outcome made = Rimbal({create, path, "CREATE TABLE t(a)"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    Outcome filled = Rimbal({"--exec", path, "INSERT INTO t VALUES('one')"});
    EXPECT_EQ(filled.exitCode, 0) << filled.err;
    return path;
  }
};

TEST_P(RimbalLockedFile, WritersLockWaitsThenSaysWhy) {
  std::string path = MakeLockable();
  const std::string failed =
      "Error: Failed to open database " + path + ".\nSQLITE: database is locked\n";
  {
    HeldLock writer(path, F_WRLCK);
    Outcome query;
    double waited = SecondsOf([&] { query = Rimbal({"--query-csv", path, "SELECT a FROM t"}); });
    EXPECT_EQ(query.exitCode, 3);
    EXPECT_EQ(query.out, "");
    EXPECT_EQ(query.err, failed);
    // The busy timeout is 2 s: the command waited for the lock first.
    EXPECT_GE(waited, 1.8);
    Outcome exec = Rimbal({"--exec", path, "INSERT INTO t VALUES('two')"});
    EXPECT_EQ(exec.exitCode, 3);
    EXPECT_EQ(exec.err, kBanner + failed);
    Outcome dump = Rimbal({"--dump", path});
    EXPECT_EQ(dump.exitCode, 3);
    EXPECT_EQ(dump.err, failed);
  }
  // A lock let go during the wait ends it: the command goes on as usual.
  HeldLock brief(path, F_WRLCK, 500);
  Outcome query = Rimbal({"--query-csv", path, "SELECT a FROM t"});
  EXPECT_EQ(query.exitCode, 0) << query.err;
  EXPECT_EQ(query.out, "one\n");
  EXPECT_EQ(query.err, "");
}

TEST_P(RimbalLockedFile, AWriteWaitsForReadersOfAnotherProgram) {
  std::string path = MakeLockable();
  {
    HeldLock reader(path, F_RDLCK);
    // Reading goes on beside another reader; the write cannot.
    Outcome query = Rimbal({"--query-csv", path, "SELECT a FROM t"});
    EXPECT_EQ(query.exitCode, 0) << query.err;
    EXPECT_EQ(query.out, "one\n");
    Outcome exec;
    double waited = SecondsOf([&] {
      exec = Rimbal({"--exec", path, "INSERT INTO t VALUES('two')"});
    });
    EXPECT_EQ(exec.exitCode, 10);
    EXPECT_EQ(exec.err, kBanner +
                            "Error: Execution of INSERT INTO t VALUES('two') failed.\n"
                            "SQLITE: database is locked\n");
    EXPECT_GE(waited, 1.8);
  }
  HeldLock brief(path, F_RDLCK, 500);
  Outcome exec = Rimbal({"--exec", path, "INSERT INTO t VALUES('three')"});
  EXPECT_EQ(exec.exitCode, 0) << exec.err;
  brief.Release();
  Outcome all = Rimbal({"--query-csv", path, "SELECT a FROM t"});
  EXPECT_EQ(all.out, "one\nthree\n");
}

INSTANTIATE_TEST_SUITE_P(Generations, RimbalLockedFile, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Generation" + std::to_string(info.param);
                         });

TEST_F(RimbalProgram, DamagedPagesHideOnlyTheirTable) {
  std::string sound = Path("indices.db");
  std::filesystem::copy_file(std::string(XB_SQLITE2_FIXTURES) + "/indices.db", sound);
  Outcome root = Rimbal({"-q", sound, "SELECT rootpage FROM sqlite_master WHERE name='code'"});
  ASSERT_EQ(root.exitCode, 0);
  int page = std::atoi(root.out.c_str());
  ASSERT_GT(page, 1);
  std::string bytes = XB_TestDir::Read(sound);
  bytes[size_t(page - 1) * 1024 + 4] = 3;  // a cell offset no multiple of 4
  bytes[size_t(page - 1) * 1024 + 5] = 0;
  std::string damaged = Path("damaged.db");
  std::ofstream(damaged, std::ios::binary) << bytes;
  std::string malformed = "database disk image is malformed (page " + std::to_string(page) + ")";
  std::string warning = "Warning: The database " + damaged + " is damaged (" + malformed +
                        "); only its sound " + "pages were read.\n";

  // Sound tables read as from the sound file, with one warning line.
  for (const char* option : {"--query-csv", "--query", "-q"}) {
    const char* query =
        std::string(option) == "-q" ? "SELECT count(*) FROM emp" : "SELECT * FROM emp ORDER BY id";
    Outcome expected = Rimbal({option, sound, query});
    ASSERT_EQ(expected.exitCode, 0) << option;
    Outcome run = Rimbal({option, damaged, query});
    EXPECT_EQ(run.exitCode, 0) << option;
    EXPECT_EQ(run.out, expected.out) << option;
    EXPECT_EQ(run.err, expected.err + warning) << option;
  }
  // The damaged table fails, naming the page.
  Outcome broken = Rimbal({"--query-csv", damaged, "SELECT * FROM code"});
  EXPECT_EQ(broken.exitCode, 12);
  EXPECT_EQ(broken.out, "");
  EXPECT_EQ(broken.err, malformed + "\n");
  // No write reaches the damaged file.
  Outcome write = Rimbal({"--exec", damaged, "INSERT INTO pair VALUES(1, 'x', 2)"});
  EXPECT_EQ(write.exitCode, 10);
  EXPECT_EQ(XB_TestDir::Read(damaged), bytes);
}
