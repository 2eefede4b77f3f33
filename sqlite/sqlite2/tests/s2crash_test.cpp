/*
** Kills a process that writes a generation-2 database at random moments
** and checks what is left: after opening (which plays back a hot journal)
** the file must hold either the content before or after a transaction,
** complete, and pass the structural checker.
**
** Every transaction of the writer replaces the whole table by generation G:
** 100 rows for even G and 160 for odd G (so every other commit shrinks the
** content), each with v = "gG-K" and w = G, so any mix of two generations,
** a lost row or a half-written page shows.
*/
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include <chrono>
#include <functional>
#include <random>

#include "s2check.h"
#include "s2expect.h"
#include "s2killedwriter.h"

/* Crash points for the writer process.  When crashAtFsync is N > 0, the
** N-th fsync() of the process ends it at once (the data written before it
** may or may not be on disk, as after a power cut); when crashAtJournalDelete
** is set, deleting a "-journal" file ends it just before the commit point.
** Both replace the C library's functions for the whole test program and
** otherwise pass the call on. */
static std::atomic<int> crashAtFsync{0};
static std::atomic<bool> crashAtJournalDelete{false};

extern "C" int fsync(int fd) {
  if (crashAtFsync > 0 && --crashAtFsync == 0) _exit(9);
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int unlink(const char* path) {
  size_t n = std::strlen(path);
  if (crashAtJournalDelete && n > 8 && std::strcmp(path + n - 8, "-journal") == 0) _exit(9);
  return static_cast<int>(syscall(SYS_unlink, path));
}

namespace {

using namespace s2test;

/* Returns the number of rows of generation G. */
int RowsOf(long g) {
  return 100 + 60 * static_cast<int>(g % 2);
}

/* Returns the SQL of the transaction that writes generation G. */
std::string GenerationSql(long g) {
  std::string sql = "BEGIN; DELETE FROM t;";
  for (int k = 1; k <= RowsOf(g); k++) {
    sql += " INSERT INTO t VALUES(" + std::to_string(k) + ", 'g" + std::to_string(g) + "-" +
           std::to_string(k) + "', " + std::to_string(g) + ");";
  }
  return sql + " COMMIT;";
}

/* Reads the generation in the file at PATH and checks that the table holds
** exactly that generation.  Returns the generation, or -1 after reporting
** a failure. */
long ReadGeneration(const std::string& path) {
  char* err = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &err);
  EXPECT_NE(db, nullptr) << (err ? err : "no message");
  if (!db) return -1;
  Table rows = GetTable(db, "SELECT k, v, w FROM t ORDER BY k");
  sqlite_close(db);
  EXPECT_EQ(rows.rc, SQLITE_OK) << rows.error;
  if (rows.rc != SQLITE_OK || rows.rows.empty() || !rows.rows[0][2]) {
    ADD_FAILURE() << "table t unreadable or empty";
    return -1;
  }
  long g = std::stol(*rows.rows[0][2]);
  EXPECT_EQ(static_cast<int>(rows.rows.size()), RowsOf(g)) << "generation " << g;
  for (size_t i = 0; i < rows.rows.size(); i++) {
    const auto& r = rows.rows[i];
    std::string k = std::to_string(i + 1);
    if (r[0] != Value(k) || r[1] != Value("g" + std::to_string(g) + "-" + k) ||
        r[2] != Value(std::to_string(g))) {
      ADD_FAILURE() << "row " << k << " does not belong to generation " << g << ": "
                    << Escape(r[1]);
      return -1;
    }
  }
  return g;
}

/* A writer killed at any moment of its commits leaves the old or the new
** content, never a mix, and the file stays valid. */
TEST(CrashRecovery, KilledWriterLeavesOldOrNewContent) {
  TempDir dir;
  std::string path = dir.path() + "/crash.db";
  {
    sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
    ASSERT_NE(db, nullptr);
    ASSERT_EQ(
        Exec(db, "CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT, w); CREATE INDEX tv ON t(v);"), "");
    ASSERT_EQ(Exec(db, GenerationSql(0)), "");
    sqlite_close(db);
  }
  /* Kills land anywhere in the transactions after the first commit of each
  ** writer: the delay is drawn from twice the time one commit takes here. */
  long commitMicros = TimeOneCommit(path, GenerationSql(0));
  std::mt19937 random(20261206);
  long generation = 0;
  for (int kill = 0; kill < 30; kill++) {
    std::chrono::microseconds delay(random() % (2 * commitMicros + 1));
    ASSERT_TRUE(KillWriterAfterFirstCommit(path, generation, GenerationSql, delay));

    long found = ReadGeneration(path);
    ASSERT_GT(found, generation) << "a committed generation was lost";
    generation = found;
    std::vector<std::string> problems = s2check::CheckFile(path);
    ASSERT_TRUE(problems.empty()) << "after kill " << kill << ": " << problems.front();
    EXPECT_FALSE(std::filesystem::exists(path + "-journal")) << "hot journal left after opening";
  }
}

/* Writes generation FROM to a fresh file at PATH, then lets a child write
** generation TO and end at the crash point set by CRASH (run in the child).
** Returns after checking that opening the file finds generation FROM whole. */
void CrashOnce(const std::string& path, long from, long to, const std::function<void()>& crash) {
  std::filesystem::remove(path);
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(Exec(db, "CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT, w); CREATE INDEX tv ON t(v);"),
            "");
  ASSERT_EQ(Exec(db, GenerationSql(from)), "");
  sqlite_close(db);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sqlite* writer = sqlite_open(path.c_str(), 0, nullptr);
    if (!writer) _exit(2);
    crash();
    sqlite_exec(writer, GenerationSql(to).c_str(), nullptr, nullptr, nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9)
      << "the writer did not reach the crash point";
  ASSERT_TRUE(std::filesystem::exists(path + "-journal")) << "no journal before the commit point";
  EXPECT_EQ(ReadGeneration(path), from) << "the interrupted transaction was not rolled back";
  std::vector<std::string> problems = s2check::CheckFile(path);
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_FALSE(std::filesystem::exists(path + "-journal")) << "hot journal left after opening";
}

/* A writer that dies at any fsync or just before deleting its journal has
** not committed: the next opener plays the journal back to the old content.
** Here the new content is larger than the old. */
TEST(CrashRecovery, EveryCrashPointOfAGrowingWriteRollsBack) {
  TempDir dir;
  std::string path = dir.path() + "/points.db";
  for (int n = 1; n <= 2; n++) {
    SCOPED_TRACE("fsync " + std::to_string(n));
    CrashOnce(path, 2, 3, [n] { crashAtFsync = n; });
  }
  SCOPED_TRACE("journal delete");
  CrashOnce(path, 2, 3, [] { crashAtJournalDelete = true; });
}

/* The same when the new content is smaller: the pages the write cuts off
** the end of the file must come back too. */
TEST(CrashRecovery, EveryCrashPointOfAShrinkingWriteRollsBack) {
  TempDir dir;
  std::string path = dir.path() + "/points.db";
  for (int n = 1; n <= 2; n++) {
    SCOPED_TRACE("fsync " + std::to_string(n));
    CrashOnce(path, 3, 4, [n] { crashAtFsync = n; });
  }
  SCOPED_TRACE("journal delete");
  CrashOnce(path, 3, 4, [] { crashAtJournalDelete = true; });
}

}  // namespace
