/*
** Kills a process that changes a few rows of a large generation-2 table in
** each transaction, so that every commit splits or merges pages, moves
** entries of an index and allocates or frees overflow pages.  After each
** kill, opening the file (which plays back a hot journal) must find the
** content of the last transaction or of the one before, whole, and the
** structural checker must accept the file.  Each transaction is a
** BEGIN ... COMMIT of several statements, which the engine gathers as
** pending pages and writes at COMMIT, after one that it rolls back and
** that must never reach the file.  A trigger write in a transaction (a
** lazy statement on t, then updates of a small table whose trigger logs
** them, run over the loaded small tables) is killed and crashed the same
** way: t, the small table and its log are of one generation.
**
** Transaction G leaves the same content whatever came before it: rows 1 to
** 2000 stay, except that every 50th gets v = "gG-K"; rows above 2000 are
** replaced by 150 or 400 rows (by G's parity) with v = "gG-K" and a filler
** of G-dependent length, up to several overflow pages; row 0 holds G.
*/
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <set>

#include "s2check.h"
#include "s2expect.h"
#include "s2killedwriter.h"

/* The N-th fsync() of the process ends it when crashAtFsync is N > 0 (the
** data written before may or may not be on disk, as after a power cut). */
static std::atomic<int> crashAtFsync{0};

extern "C" int fsync(int fd) {
  if (crashAtFsync > 0 && --crashAtFsync == 0) _exit(9);
  return static_cast<int>(syscall(SYS_fsync, fd));
}

namespace {

using namespace s2test;

constexpr int kBase = 2000;

int ExtraRows(long g) {
  return g % 2 ? 400 : 150;
}

std::string Filler(long g, int k) {
  return std::string(size_t((g * 131 + k * 17) % 3000), char('a' + k % 26));
}

/* The value of column v of row K in generation G, or nothing for a row
** that does not exist in it. */
std::optional<std::string> ValueOf(long g, int k) {
  if (k <= kBase) return k % 50 == 0 ? "g" + std::to_string(g) + "-" + std::to_string(k) : "base";
  if (k <= kBase + ExtraRows(g))
    return "g" + std::to_string(g) + "-" + std::to_string(k) + Filler(g, k);
  return std::nullopt;
}

std::string GenerationSql(long g) {
  std::string sql =
      "BEGIN; UPDATE t SET v = 'rolled back' WHERE k % 7 = 0; DELETE FROM t WHERE k "
      "BETWEEN 100 AND 900; INSERT INTO t(v) VALUES('rolled back'); ROLLBACK;";
  sql += "BEGIN; DELETE FROM t WHERE k > " + std::to_string(kBase) + ";";
  sql += " UPDATE t SET v = 'g" + std::to_string(g) + "-' || k WHERE k % 50 = 0 AND k > 0;";
  for (int k = kBase + 1; k <= kBase + ExtraRows(g); ++k)
    sql += " INSERT INTO t VALUES(" + std::to_string(k) + ", '" + *ValueOf(g, k) + "');";
  return sql + " UPDATE t SET v = '" + std::to_string(g) + "' WHERE k = 0; COMMIT;";
}

/* Creates the file with generation 0. */
void CreateFile(const std::string& path) {
  std::filesystem::remove(path);
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  std::string sql = "CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT); CREATE INDEX tv ON t(v);";
  sql += "BEGIN; INSERT INTO t VALUES(0, '0');";
  for (int k = 1; k <= kBase; ++k)
    sql += " INSERT INTO t VALUES(" + std::to_string(k) + ", '" + *ValueOf(0, k) + "');";
  ASSERT_EQ(Exec(db, sql + " COMMIT;"), "");
  ASSERT_EQ(Exec(db, GenerationSql(0)), "");
  sqlite_close(db);
}

/* Checks that the file holds exactly one generation; returns it, or -1. */
long ReadGeneration(const std::string& path) {
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  EXPECT_NE(db, nullptr);
  if (!db) return -1;
  Table rows = GetTable(db, "SELECT k, v FROM t ORDER BY k");
  Table byIndex = GetTable(db, "SELECT count(*) FROM t WHERE v = 'base'");
  sqlite_close(db);
  if (rows.rc != SQLITE_OK || rows.rows.empty() || !rows.rows[0][1]) {
    ADD_FAILURE() << "table t unreadable: " << rows.error;
    return -1;
  }
  long g = std::stol(*rows.rows[0][1]);
  size_t expected = 1 + kBase + size_t(ExtraRows(g));
  if (rows.rows.size() != expected) {
    ADD_FAILURE() << rows.rows.size() << " rows in generation " << g;
    return -1;
  }
  for (size_t i = 1; i < rows.rows.size(); ++i) {
    if (rows.rows[i][1] != ValueOf(g, int(i))) {
      ADD_FAILURE() << "row " << i << " does not belong to generation " << g;
      return -1;
    }
  }
  EXPECT_EQ(byIndex.rows.at(0).at(0), Value(std::to_string(kBase - kBase / 50)));
  return g;
}

void ExpectSound(const std::string& path) {
  std::vector<std::string> problems = s2check::CheckFile(path);
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_FALSE(std::filesystem::exists(path + "-journal")) << "hot journal left after opening";
}

/* The value of row K after the single-statement write of generation G:
** every 25th row gets a value whose length changes with G, so that the
** writes split and merge pages of the table and of the index and grow and
** shrink overflow chains; row 0 holds G. */
std::string StatementValue(long g, int k) {
  if (k == 0) return std::to_string(g);
  if (k % 25 != 0) return "base";
  return "g" + std::to_string(g) + "-" + std::to_string(k) +
         std::string(size_t((g * 131 + k * 17) % 3000), 'f');
}

std::string StatementSql(long g) {
  std::string g_ = std::to_string(g);
  return "UPDATE t SET v = CASE WHEN k = 0 THEN '" + g_ + "' ELSE 'g" + g_ + "-' || k || substr('" +
         std::string(3000, 'f') + "', 1, (" + g_ + " * 131 + k * 17) % 3000) END WHERE k % 25 = 0";
}

void CreateStatementFile(const std::string& path) {
  std::filesystem::remove(path);
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  std::string sql = "CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT); CREATE INDEX tv ON t(v);";
  sql += "BEGIN;";
  for (int k = 0; k <= kBase; ++k)
    sql += " INSERT INTO t VALUES(" + std::to_string(k) + ", '" + StatementValue(0, k) + "');";
  ASSERT_EQ(Exec(db, sql + " COMMIT;"), "");
  sqlite_close(db);
}

/* Checks that the file holds exactly one generation of StatementValue;
** returns it, or -1. */
long ReadStatementGeneration(const std::string& path) {
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  EXPECT_NE(db, nullptr);
  if (!db) return -1;
  Table rows = GetTable(db, "SELECT k, v FROM t ORDER BY k");
  Table byIndex = GetTable(db, "SELECT count(*) FROM t WHERE v = 'base'");
  sqlite_close(db);
  if (rows.rc != SQLITE_OK || rows.rows.size() != kBase + 1 || !rows.rows[0][1]) {
    ADD_FAILURE() << "table t unreadable or incomplete: " << rows.error;
    return -1;
  }
  long g = std::stol(*rows.rows[0][1]);
  for (int k = 0; k <= kBase; ++k) {
    if (rows.rows[size_t(k)][1] != Value(StatementValue(g, k))) {
      ADD_FAILURE() << "row " << k << " does not belong to generation " << g;
      return -1;
    }
  }
  EXPECT_EQ(byIndex.rows.at(0).at(0), Value(std::to_string(kBase - kBase / 25)));
  return g;
}

/* Rows one INSERT of generation G adds: copies of rows 1 to kCopied, which
** the engine numbers after the largest rowid, with values made from G that
** need overflow pages, so that each insert splits pages of the table and
** of the index.  After G inserts the file holds kBase + 1 + G * kCopied
** rows. */
constexpr int kCopied = 10;

std::string InsertedValue(long g, int i) {
  return "i" + std::to_string(g) + "-" + std::to_string(i) +
         std::string(size_t((g * 131 + i * 17) % 1500), 'f');
}

std::string InsertSql(long g) {
  std::string g_ = std::to_string(g);
  return "INSERT INTO t(v) SELECT 'i" + g_ + "-' || k || substr('" + std::string(1500, 'f') +
         "', 1, (" + g_ + " * 131 + k * 17) % 1500) FROM t WHERE k BETWEEN 1 AND " +
         std::to_string(kCopied);
}

/* Checks that the file made by CreateStatementFile holds the rows of
** exactly some number of inserts, found through the table and the index;
** returns that number, or -1. */
long ReadInsertGeneration(const std::string& path) {
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  EXPECT_NE(db, nullptr);
  if (!db) return -1;
  Table rows = GetTable(db, "SELECT k, v FROM t ORDER BY k");
  Table base = GetTable(db, "SELECT count(*) FROM t WHERE v = 'base'");
  size_t count = rows.rows.size();
  long g = long(count - kBase - 1) / kCopied;
  Table last = GetTable(db, "SELECT k FROM t WHERE v = '" + InsertedValue(g, kCopied) + "'");
  sqlite_close(db);
  if (rows.rc != SQLITE_OK || count < kBase + 1 || (count - kBase - 1) % kCopied != 0) {
    ADD_FAILURE() << "table t unreadable or holding part of an insert: " << count << " rows "
                  << rows.error;
    return -1;
  }
  for (size_t k = 0; k < count; ++k) {
    long j = k <= kBase ? 0 : long(k - kBase - 1) / kCopied + 1;
    int i = k <= kBase ? 0 : int(k - kBase - 1) % kCopied + 1;
    Value expected = j == 0 ? Value(StatementValue(0, int(k))) : Value(InsertedValue(j, i));
    if (rows.rows[k][0] != Value(std::to_string(k)) || rows.rows[k][1] != expected) {
      ADD_FAILURE() << "row " << k << " does not belong to " << g << " inserts";
      return -1;
    }
  }
  EXPECT_EQ(base.rows.at(0).at(0), Value(std::to_string(kBase - kBase / 25)));
  if (g > 0) {
    EXPECT_EQ(last.rows.at(0).at(0), Value(std::to_string(count - 1)));
  }
  return g;
}

/* A trigger write in a transaction: the statement write of generation G
** on t runs lazily, then an update of the small table acct, whose trigger
** logs G into log, takes the partial form (acct and log loaded, t left a
** virtual table over the transaction's pages); COMMIT writes both. */
std::string TriggerSql(long g) {
  std::string g_ = std::to_string(g);
  return "BEGIN; " + StatementSql(g) + "; UPDATE acct SET g = " + g_ +
         " WHERE id = 1; UPDATE acct SET g = g WHERE id = 2; COMMIT;";
}

void CreateTriggerFile(const std::string& path) {
  ASSERT_NO_FATAL_FAILURE(CreateStatementFile(path));
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(Exec(db,
                 "CREATE TABLE acct(id INTEGER PRIMARY KEY, g); INSERT INTO acct VALUES(1, 0);"
                 "INSERT INTO acct VALUES(2, 'same'); CREATE TABLE log(g, id);"
                 "CREATE TRIGGER acct_log AFTER UPDATE ON acct BEGIN "
                 "INSERT INTO log VALUES(new.g, new.id); END;"),
            "");
  sqlite_close(db);
}

/* Checks that t holds generation G of StatementValue, acct G and log the
** two rows of each generation written, the last of them G's; returns G,
** or -1. */
long ReadTriggerGeneration(const std::string& path) {
  long g = ReadStatementGeneration(path);
  if (g < 0) return g;
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  EXPECT_NE(db, nullptr);
  if (!db) return -1;
  Table acct = GetTable(db, "SELECT g FROM acct WHERE id = 1");
  Table log = GetTable(db, "SELECT g, id FROM log ORDER BY rowid");
  sqlite_close(db);
  if (acct.rc != SQLITE_OK || acct.rows.size() != 1 ||
      acct.rows[0][0] != Value(std::to_string(g))) {
    ADD_FAILURE() << "acct does not belong to generation " << g << acct.error;
    return -1;
  }
  if (log.rc != SQLITE_OK || log.rows.size() % 2 != 0 || (g > 0 && log.rows.empty())) {
    ADD_FAILURE() << log.rows.size() << " log rows in generation " << g << log.error;
    return -1;
  }
  for (size_t i = 0; i < log.rows.size(); i += 2) {
    /* Generations go up one at a time (the first may be written twice). */
    long logged = log.rows[i][0] ? std::stol(*log.rows[i][0]) : -1;
    long previous = i == 0 ? logged : std::stol(*log.rows[i - 2][0]);
    bool last = i + 2 == log.rows.size();
    if (log.rows[i][1] != Value("1") || log.rows[i + 1] != std::vector<Value>{"same", "2"} ||
        logged - previous < 0 || logged - previous > 1 || (last && logged != g)) {
      ADD_FAILURE() << "log row " << i << " does not belong to generation " << g;
      return -1;
    }
  }
  return g;
}

/* Schema changes over the file of CreateStatementFile, one transaction
** per generation G: the index i<G-1> on t goes and i<G> comes (filled from
** the table's thousands of rows), the table d<G-1> (a copy of every third
** row of t, overflow pages included) is dropped and d<G> made by CREATE
** TABLE AS, and row 0 of t holds G.  A generation is found whole or not
** at all. */
std::string SchemaSql(long g) {
  std::string g_ = std::to_string(g), previous = std::to_string(g - 1);
  return "BEGIN; DROP INDEX i" + previous + "; CREATE INDEX i" + g_ + " ON t(v, k); DROP TABLE d" +
         previous + "; CREATE TABLE d" + g_ +
         " AS SELECT k, v FROM t WHERE k % 3 = " + std::to_string(g % 3) + "; UPDATE t SET v = '" +
         g_ + "' WHERE k = 0; COMMIT";
}

/* The same as single statements that each commit, so that a kill lands
** in one CREATE INDEX or one DROP TABLE: step S = 5 * G + J is the J-th
** statement of generation G + 1 done (S = 5 * G: generation G whole). */
std::string SchemaStepSql(long s) {
  long g = (s - 1) / 5 + 1;
  std::string g_ = std::to_string(g), previous = std::to_string(g - 1);
  switch ((s - 1) % 5) {
    case 0:
      return "DROP INDEX i" + previous;
    case 1:
      return "CREATE INDEX i" + g_ + " ON t(v, k)";
    case 2:
      return "DROP TABLE d" + previous;
    case 3:
      return "CREATE TABLE d" + g_ +
             " AS SELECT k, v FROM t WHERE k % 3 = " + std::to_string(g % 3);
    default:
      return "UPDATE t SET v = '" + g_ + "' WHERE k = 0";
  }
}

void CreateSchemaFile(const std::string& path) {
  ASSERT_NO_FATAL_FAILURE(CreateStatementFile(path));
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(Exec(db,
                 "CREATE INDEX i0 ON t(v, k); CREATE TABLE d0 AS SELECT k, v FROM t "
                 "WHERE k % 3 = 0"),
            "");
  sqlite_close(db);
}

/* Checks that the file holds generation G of SchemaSql, or one of the
** steps between G and G + 1 of SchemaStepSql, with the rows of t and of
** the copy it has whole; returns 5 * G + the steps, or -1. */
long ReadSchemaStep(const std::string& path) {
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  EXPECT_NE(db, nullptr);
  if (!db) return -1;
  Table rows = GetTable(db, "SELECT k, v FROM t ORDER BY k");
  Table objects = GetTable(db, "SELECT name FROM sqlite_master WHERE name GLOB '[id][0-9]*'");
  Table byIndex = GetTable(db, "SELECT count(*) FROM t WHERE v = 'base'");
  long g = rows.rows.empty() || !rows.rows[0][1] ? -1 : std::stol(*rows.rows[0][1]);
  std::set<std::string> names;
  for (const auto& row : objects.rows) names.insert(row[0].value_or(""));
  std::string copyName = names.count("d" + std::to_string(g + 1)) ? "d" + std::to_string(g + 1)
                                                                  : "d" + std::to_string(g);
  Table copy = GetTable(db, "SELECT k, v FROM " + copyName + " ORDER BY k");
  sqlite_close(db);
  if (rows.rc != SQLITE_OK || rows.rows.size() != kBase + 1 || objects.rc != SQLITE_OK) {
    ADD_FAILURE() << "table t unreadable or incomplete: " << rows.error << objects.error;
    return -1;
  }
  for (int k = 1; k <= kBase; ++k) {
    if (rows.rows[size_t(k)][1] != Value(StatementValue(0, k))) {
      ADD_FAILURE() << "row " << k << " changed";
      return -1;
    }
  }
  std::string i0 = "i" + std::to_string(g), i1 = "i" + std::to_string(g + 1);
  std::string d0 = "d" + std::to_string(g), d1 = "d" + std::to_string(g + 1);
  const std::set<std::string> states[] = {{i0, d0}, {d0}, {i1, d0}, {i1}, {i1, d1}};
  long step = std::find(std::begin(states), std::end(states), names) - std::begin(states);
  if (step == long(std::size(states))) {
    std::string list;
    for (const std::string& n : names) list += n + " ";
    ADD_FAILURE() << "generation " << g << " with objects " << list;
    return -1;
  }
  EXPECT_EQ(byIndex.rows.at(0).at(0), Value(std::to_string(kBase - kBase / 25)));
  if (!names.count(copyName)) return 5 * g + step;
  long copied = copyName == d1 ? g + 1 : g;
  std::vector<std::vector<Value>> expected;
  for (int k = 0; k <= kBase; ++k) {
    if (k % 3 != copied % 3) continue;
    /* Row 0 is copied with the generation of that moment: not compared. */
    expected.push_back({Value(std::to_string(k)), k == 0 ? Value() : Value(StatementValue(0, k))});
  }
  for (auto& row : copy.rows) {
    if (row[0] == Value("0")) row[1] = std::nullopt;
  }
  EXPECT_EQ(copy.rows, expected) << copyName;
  return 5 * g + step;
}

/* Checks that the file holds a whole generation of SchemaSql; returns it,
** or -1. */
long ReadSchemaGeneration(const std::string& path) {
  long step = ReadSchemaStep(path);
  EXPECT_EQ(step % 5, 0) << "a transaction was cut short";
  return step < 0 || step % 5 != 0 ? -1 : step / 5;
}

using Sql = std::string (*)(long);
using Reader = long (*)(const std::string&);

/* Kills eight writers of SQL on the file at PATH, each after its first
** commit; the first goes on from generation FIRST, every later one from the
** generation READ found.  Each kill must leave a later generation, whole,
** in a sound file. */
void KillWriters(const std::string& path, long first, Sql sql, Reader read, unsigned seed) {
  long commitMicros = TimeOneCommit(path, sql(first));
  std::mt19937 random(seed);
  long generation = first;
  for (int kill = 0; kill < 8; ++kill) {
    std::chrono::microseconds delay(random() % (2 * commitMicros + 1));
    ASSERT_TRUE(KillWriterAfterFirstCommit(path, generation, sql, delay));
    long found = read(path);
    ASSERT_GT(found, generation) << "a committed generation was lost";
    generation = found;
    ASSERT_NO_FATAL_FAILURE(ExpectSound(path));
  }
}

/* For each of the first three fsyncs: MAKE creates the file at PATH, a
** child writes generations 1 to FROM with SQL and then generation FROM + 1
** with a crash at that fsync.  A crash must leave generation FROM or
** FROM + 1, a writer that ran to its end FROM + 1, in a sound file. */
void CrashAtEachFsync(const std::string& path, void (*make)(const std::string&), Sql sql,
                      Reader read, long from) {
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE("fsync " + std::to_string(n));
    ASSERT_NO_FATAL_FAILURE(make(path));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
      if (!db) _exit(2);
      for (long g = 1; g <= from; ++g)
        if (sqlite_exec(db, sql(g).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) _exit(3);
      crashAtFsync = n;
      sqlite_exec(db, sql(from + 1).c_str(), nullptr, nullptr, nullptr);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "the writer could not write up to the crash";
    long found = read(path);
    if (WEXITSTATUS(status) == 9) {
      EXPECT_TRUE(found == from || found == from + 1) << found;
    } else {
      EXPECT_EQ(found, from + 1);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSound(path));
  }
}

TEST(InPlaceCrash, KilledInsertLeavesOldOrNewRows) {
  TempDir dir;
  std::string path = dir.path() + "/insert.db";
  ASSERT_NO_FATAL_FAILURE(CreateStatementFile(path));
  KillWriters(path, 1, InsertSql, ReadInsertGeneration, 13);
}

TEST(InPlaceCrash, EveryFsyncOfAnInsertIsACrashPoint) {
  TempDir dir;
  CrashAtEachFsync(dir.path() + "/insert-points.db", CreateStatementFile, InsertSql,
                   ReadInsertGeneration, 1);
}

TEST(InPlaceCrash, KilledStatementLeavesOldOrNewRows) {
  TempDir dir;
  std::string path = dir.path() + "/statement.db";
  ASSERT_NO_FATAL_FAILURE(CreateStatementFile(path));
  KillWriters(path, 0, StatementSql, ReadStatementGeneration, 11);
}

TEST(InPlaceCrash, EveryFsyncOfAStatementIsACrashPoint) {
  TempDir dir;
  CrashAtEachFsync(dir.path() + "/statement-points.db", CreateStatementFile, StatementSql,
                   ReadStatementGeneration, 0);
}

TEST(InPlaceCrash, KilledWriterLeavesOldOrNewContent) {
  TempDir dir;
  std::string path = dir.path() + "/inplace.db";
  ASSERT_NO_FATAL_FAILURE(CreateFile(path));
  KillWriters(path, 0, GenerationSql, ReadGeneration, 7);
}

TEST(InPlaceCrash, EveryFsyncOfAWriteIsACrashPoint) {
  TempDir dir;
  CrashAtEachFsync(dir.path() + "/points.db", CreateFile, GenerationSql, ReadGeneration, 0);
}

TEST(InPlaceCrash, KilledTriggerWriteLeavesOldOrNewRows) {
  TempDir dir;
  std::string path = dir.path() + "/trigger.db";
  ASSERT_NO_FATAL_FAILURE(CreateTriggerFile(path));
  KillWriters(path, 0, TriggerSql, ReadTriggerGeneration, 17);
}

TEST(InPlaceCrash, EveryFsyncOfATriggerWriteIsACrashPoint) {
  TempDir dir;
  CrashAtEachFsync(dir.path() + "/trigger-points.db", CreateTriggerFile, TriggerSql,
                   ReadTriggerGeneration, 0);
}

TEST(InPlaceCrash, KilledSchemaTransactionLeavesOldOrNewSchema) {
  TempDir dir;
  std::string path = dir.path() + "/schema.db";
  ASSERT_NO_FATAL_FAILURE(CreateSchemaFile(path));
  KillWriters(path, 1, SchemaSql, ReadSchemaGeneration, 17);
}

TEST(InPlaceCrash, KilledCreateIndexOrDropTableLeavesOldOrNewSchema) {
  TempDir dir;
  std::string path = dir.path() + "/schema-statements.db";
  ASSERT_NO_FATAL_FAILURE(CreateSchemaFile(path));
  KillWriters(path, 1, SchemaStepSql, ReadSchemaStep, 19);
}

TEST(InPlaceCrash, EveryFsyncOfASchemaChangeIsACrashPoint) {
  TempDir dir;
  CrashAtEachFsync(dir.path() + "/schema-points.db", CreateSchemaFile, SchemaSql,
                   ReadSchemaGeneration, 1);
}

TEST(InPlaceCrash, EveryFsyncOfACreateIndexOrDropTableIsACrashPoint) {
  TempDir dir;
  /* Step 2 of a generation creates an index, step 3 drops a table. */
  for (long from : {1, 2}) {
    SCOPED_TRACE(from);
    CrashAtEachFsync(dir.path() + "/step-points.db", CreateSchemaFile, SchemaStepSql,
                     ReadSchemaStep, from);
  }
}

}  // namespace
