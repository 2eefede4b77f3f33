/*
** A writer process for the crash tests of the generation-2 engine: it
** applies one generation after another to a database until it is killed,
** and the test kills it at a random moment after its first commit.
** Waiting for that first commit (instead of a fixed delay from the start)
** keeps the test meaningful on a loaded machine, where opening the file
** and the first statement can take longer than any fixed delay.
*/
#ifndef S2KILLEDWRITER_H
#define S2KILLEDWRITER_H

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "sqlite.h"

namespace s2test {

/* Returns the microseconds one run of SQL on the database at PATH takes
** (at least 1); the run is part of the test's content. */
inline long TimeOneCommit(const std::string& path, const std::string& sql) {
  auto start = std::chrono::steady_clock::now();
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  EXPECT_NE(db, nullptr);
  if (!db) return 1;
  EXPECT_EQ(sqlite_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite_close(db);
  auto spent = std::chrono::steady_clock::now() - start;
  return std::max(1L, long(std::chrono::duration_cast<std::chrono::microseconds>(spent).count()));
}

/* Forks a writer that runs SQL(g) on the database at PATH for g = FROM + 1,
** FROM + 2, ..., waits up to 20 seconds for its first commit, lets it go on
** for DELAY and kills it.  Returns true when the writer committed and was
** still writing when it was killed; otherwise reports a failure and returns
** false. */
inline bool KillWriterAfterFirstCommit(const std::string& path, long from,
                                       const std::function<std::string(long)>& sql,
                                       std::chrono::microseconds delay) {
  int progress[2];
  if (pipe(progress) != 0) {
    ADD_FAILURE() << "no pipe";
    return false;
  }
  pid_t child = fork();
  if (child < 0) {
    ADD_FAILURE() << "no fork";
    return false;
  }
  if (child == 0) {
    close(progress[0]);
    sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
    if (!db) _exit(2);
    sqlite_busy_timeout(db, 2000);
    for (long g = from + 1;; ++g) {
      if (sqlite_exec(db, sql(g).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) _exit(3);
      if (write(progress[1], "c", 1) != 1) _exit(4);
    }
  }
  close(progress[1]);
  pollfd first{progress[0], POLLIN, 0};
  char byte;
  bool committed = poll(&first, 1, 20000) == 1 && read(progress[0], &byte, 1) == 1;
  if (committed) std::this_thread::sleep_for(delay);
  ::kill(child, SIGKILL);
  close(progress[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!committed) {
    ADD_FAILURE() << "the writer did not commit within 20 seconds";
    return false;
  }
  if (!WIFSIGNALED(status)) {
    ADD_FAILURE() << "the writer stopped by itself with status " << WEXITSTATUS(status);
    return false;
  }
  return true;
}

}  // namespace s2test

#endif  // S2KILLEDWRITER_H
