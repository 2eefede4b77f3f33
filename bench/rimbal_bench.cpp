/*
** Rimbal against the sqlite3 shell, both run as whole programs in one go.
**
** A generation-3 database with a table of 1,000,000 rows and 5 columns of
** mixed text and numbers is generated once (kept in the folder given as the
** first argument, default /tmp/rimbal-bench).  Then the whole table is
** printed tab-separated and comma-separated by both programs (outputs
** compared byte for byte, wall time and peak memory measured), printed as a
** text table by Rimbal, and a count(*) is asked of a small file many times
** to compare start-up latency.  Each figure is the median of several runs.
**
**   rimbal_bench [folder] [runs]
*/
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

const int kRows = 1000000;

/* Wall time and peak resident memory of one program run. */
struct Measure {
  double seconds = 0;
  double cpuSeconds = 0; /* user + system: steadier than wall time on a busy machine */
  long peakKiB = 0;
  int exitCode = -1;
};

/* Runs ARGS with standard output going to OUTPUT (a file path).  Returns
** what the run cost. */
Measure RunProgram(const std::vector<std::string>& args, const std::string& output) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Measure measure;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(2);
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  measure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure.peakKiB = usage.ru_maxrss;
  measure.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                       usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  measure.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return measure;
}

/* Runs ARGS RUNS times and returns the median time and the largest peak. */
Measure Median(const std::vector<std::string>& args, const std::string& output, int runs) {
  std::vector<double> times;
  std::vector<double> cpu;
  Measure worst;
  for (int i = 0; i < runs; ++i) {
    Measure m = RunProgram(args, output);
    if (m.exitCode != 0) {
      std::fprintf(stderr, "%s ended with %d\n", args[0].c_str(), m.exitCode);
      std::exit(2);
    }
    times.push_back(m.seconds);
    cpu.push_back(m.cpuSeconds);
    worst.peakKiB = std::max(worst.peakKiB, m.peakKiB);
  }
  std::sort(times.begin(), times.end());
  std::sort(cpu.begin(), cpu.end());
  worst.seconds = times[times.size() / 2];
  worst.cpuSeconds = cpu[cpu.size() / 2];
  worst.exitCode = 0;
  return worst;
}

/* Returns the size of the file at PATH in bytes. */
long long FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

/* Returns true when the files at A and B have the same bytes. */
bool SameContent(const std::string& a, const std::string& b) {
  std::string command = "cmp -s '" + a + "' '" + b + "'";
  return std::system(command.c_str()) == 0;
}

/* Runs SQL on the database at PATH; ends the program on failure. */
void MustExec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::fprintf(stderr, "generating failed: %s\n", message ? message : "?");
    std::exit(2);
  }
}

/* Makes the big database at PATH unless it is already there. */
void MakeBigDatabase(const std::string& path) {
  if (FileSize(path) > 0) return;
  std::string partial = path + ".partial";
  unlink(partial.c_str());
  sqlite3* db = nullptr;
  sqlite3_open(partial.c_str(), &db);
  MustExec(db,
           "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
           "CREATE TABLE item(id INTEGER PRIMARY KEY, code TEXT, qty INTEGER, price REAL,"
           " note TEXT); BEGIN");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO item VALUES(?, ?, ?, ?, ?)", -1, &insert, nullptr);
  const char* words[] = {"red", "green", "blue", "amber", "violet", "grey", "white", "black"};
  unsigned seed = 12345;
  for (int i = 1; i <= kRows; ++i) {
    seed = seed * 1103515245u + 12345u;
    char code[32];
    std::snprintf(code, sizeof code, "K-%06u", (seed >> 8) % 1000000u);
    std::string note = std::string(words[seed % 8]) + " " + words[(seed >> 3) % 8];
    if (i % 97 == 0) note.clear();
    sqlite3_bind_int(insert, 1, i);
    sqlite3_bind_text(insert, 2, code, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 3, static_cast<int>((seed >> 4) % 5000));
    sqlite3_bind_double(insert, 4, ((seed >> 6) % 100000) / 100.0);
    if (i % 53 == 0)
      sqlite3_bind_null(insert, 5);
    else
      sqlite3_bind_text(insert, 5, note.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  MustExec(db, "COMMIT");
  sqlite3_close(db);
  rename(partial.c_str(), path.c_str());
}

/* Makes the small database at PATH. */
void MakeSmallDatabase(const std::string& path) {
  unlink(path.c_str());
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  MustExec(db,
           "CREATE TABLE t(a, b); INSERT INTO t VALUES(1, 'one'); INSERT INTO t VALUES(2, 'two');");
  sqlite3_close(db);
}

/* Prints one comparison line. */
void Report(const char* what, const Measure& rimbal, const Measure& shell, long long printed) {
  std::printf(
      "%-28s Rimbal %6.3f s (cpu %6.3f) %7ld KiB | sqlite3 %6.3f s (cpu %6.3f) %7ld KiB"
      " | ratio wall %.2f cpu %.2f",
      what, rimbal.seconds, rimbal.cpuSeconds, rimbal.peakKiB, shell.seconds, shell.cpuSeconds,
      shell.peakKiB, rimbal.seconds / shell.seconds, rimbal.cpuSeconds / shell.cpuSeconds);
  if (printed > 0) std::printf(" | peak/printed %.2f", rimbal.peakKiB * 1024.0 / printed);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "/tmp/rimbal-bench";
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  mkdir(dir.c_str(), 0700);
  std::string big = dir + "/big.db";
  std::string small = dir + "/small.db";
  MakeBigDatabase(big);
  MakeSmallDatabase(small);
  const std::string rimbal = RIMBAL_PATH;
  const std::string shell = "sqlite3";
  const std::string all = "SELECT * FROM item";

  std::string ours = dir + "/rimbal.out";
  std::string theirs = dir + "/sqlite3.out";
  struct Form {
    const char* name;
    const char* option;
    const char* separator;
  } forms[] = {{"--query-tab (1,000,000 rows)", "--query-tab", "\t"},
               {"--query-csv (1,000,000 rows)", "--query-csv", ","}};
  long long printed = 0;
  for (const Form& form : forms) {
    Measure r = Median({rimbal, form.option, big, all}, ours, runs);
    Measure s = Median({shell, "-separator", form.separator, big, all}, theirs, runs);
    printed = FileSize(ours);
    if (!SameContent(ours, theirs)) {
      std::fprintf(stderr, "%s: outputs differ (%s, %s)\n", form.option, ours.c_str(),
                   theirs.c_str());
      return 1;
    }
    Report(form.name, r, s, printed);
  }
  Measure table = Median({rimbal, "--query", big, all}, ours, runs);
  Measure tabShell = Median({shell, "-separator", "\t", big, all}, theirs, runs);
  Report("--query (1,000,000 rows)", table, tabShell, printed);
  std::printf("%-28s (sqlite3 column: the shell printing the same table tab-separated)\n", "");

  Measure one = Median({rimbal, "--query-one", small, "SELECT count(*) FROM t"}, ours, runs * 10);
  Measure oneShell = Median({shell, small, "SELECT count(*) FROM t"}, theirs, runs * 10);
  Report("--query-one (small file)", one, oneShell, 0);
  std::printf(
      "printed data: %lld bytes; peak memory of a run includes the few MiB of the\n"
      "launching process (the sqlite3 figures are that floor).\n",
      printed);
  return 0;
}
