/*
** Rimbal --convert against the sqlite3 shell's way of moving data: the same
** 500,000 rows of 5 columns, once in a 2.x file and once in a 3.x file.
** Measured are "Rimbal --convert" of the 2.x file into a new 3.x file and
** "sqlite3 OLD .dump | sqlite3 NEW" of the 3.x file (the classic reload,
** which needs no 2.x program when the data is 3.x already), each as whole
** programs: wall time, CPU time and peak memory, the median of several
** runs.  The two new files are checked to hold the same rows.
**
**   convert_bench [folder] [runs]
*/
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

#include "sqlite.h"
/* Both generations name their version macro alike; only the 3.x
** functions are used from this header. */
#undef SQLITE_VERSION
#undef SQLITE_VERSION_NUMBER
#include <sqlite3.h>

namespace {

const int kRows = 500000;

/* Wall time, CPU time and peak memory of one run. */
struct Measure {
  double seconds = 0;
  double cpuSeconds = 0;
  long peakKiB = 0;
};

/* Runs COMMAND through the shell, so a pipe counts as one run: its
** programs' CPU time together, and the largest peak among them.  Ends the
** program when it fails. */
Measure RunCommand(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  Measure measure;
  measure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                       usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  measure.peakKiB = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed (%d): %s\n", status, command.c_str());
    std::exit(2);
  }
  return measure;
}

/* Runs COMMAND RUNS times after removing TARGET each time.  Returns the
** run of the median wall time. */
Measure Median(const std::string& command, const std::string& target, int runs) {
  std::vector<Measure> all;
  for (int i = 0; i < runs; ++i) {
    unlink(target.c_str());
    all.push_back(RunCommand(command));
  }
  std::sort(all.begin(), all.end(),
            [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
  return all[all.size() / 2];
}

/* The rows: an integer key, a code, a quantity, a price with two decimals
** as a 2.x file keeps it, and a note that is sometimes NULL. */
std::string InsertSql(int k) {
  unsigned seed = static_cast<unsigned>(k) * 2654435761u;
  const char* words[] = {"red", "green", "blue", "amber", "violet", "grey", "white", "black"};
  char price[32];
  std::snprintf(price, sizeof price, "%u.%02u", (seed >> 8) % 1000u, (seed >> 4) % 100u);
  std::string note = k % 53 == 0
                         ? "NULL"
                         : "'" + std::string(words[seed % 8]) + " " + words[(seed >> 3) % 8] + "'";
  return "INSERT INTO item VALUES(" + std::to_string(k) + ", 'K-" + std::to_string(seed % 1000000) +
         "', " + std::to_string((seed >> 4) % 5000) + ", '" + price + "', " + note + ");";
}

/* Makes the 2.x file and the 3.x file with the same rows, unless present. */
void MakeFiles(const std::string& file2, const std::string& file3) {
  struct stat info {};
  if (stat(file2.c_str(), &info) == 0 && stat(file3.c_str(), &info) == 0) return;
  std::string sql =
      "BEGIN; CREATE TABLE item(id INTEGER PRIMARY KEY, code TEXT, qty INTEGER, price TEXT,"
      " note TEXT);";
  for (int k = 1; k <= kRows; ++k) sql += InsertSql(k);
  sql += "COMMIT;";
  unlink(file2.c_str());
  unlink(file3.c_str());
  char* message = nullptr;
  sqlite* db2 = sqlite_open(file2.c_str(), 0, &message);
  if (!db2 || sqlite_exec(db2, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::fprintf(stderr, "cannot build the 2.x file: %s\n", message ? message : "open failed");
    std::exit(2);
  }
  sqlite_close(db2);
  sqlite3* db3 = nullptr;
  if (sqlite3_open(file3.c_str(), &db3) != SQLITE_OK ||
      sqlite3_exec(db3, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "cannot build the 3.x file\n");
    std::exit(2);
  }
  sqlite3_close(db3);
}

/* Returns "SELECT" output of the rows of the database at PATH, as one text. */
std::string Rows(const std::string& path) {
  std::string out = path + ".rows";
  std::string command = "sqlite3 '" + path + "' 'SELECT * FROM item ORDER BY id' > '" + out + "'";
  if (std::system(command.c_str()) != 0) return "";
  std::string text;
  if (FILE* f = std::fopen(out.c_str(), "rb")) {
    char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, got);
    std::fclose(f);
  }
  unlink(out.c_str());
  return text;
}

/* Prints one line of figures. */
void Report(const char* what, const Measure& m) {
  std::printf("%-44s %7.3f s (cpu %7.3f s) peak %8ld KiB\n", what, m.seconds, m.cpuSeconds,
              m.peakKiB);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "/tmp/convert-bench";
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  mkdir(dir.c_str(), 0700);
  std::string file2 = dir + "/old2.db";
  std::string file3 = dir + "/old3.db";
  MakeFiles(file2, file3);
  std::string ours = dir + "/converted.db";
  std::string theirs = dir + "/reloaded.db";

  Measure convert =
      Median(std::string(RIMBAL_PATH) + " --convert '" + file2 + "' '" + ours + "' 2> /dev/null",
             ours, runs);
  Measure reload = Median("sqlite3 '" + file3 + "' .dump | sqlite3 '" + theirs + "'", theirs, runs);
  if (Rows(ours) != Rows(theirs) || Rows(ours).empty()) {
    std::fprintf(stderr, "the two new files differ (%s, %s)\n", ours.c_str(), theirs.c_str());
    return 1;
  }
  Report("Rimbal --convert (2.x, 500,000 rows)", convert);
  Report("sqlite3 .dump | sqlite3 (3.x, 500,000 rows)", reload);
  std::printf("ratio wall %.2f cpu %.2f (Rimbal / shell)\n", convert.seconds / reload.seconds,
              convert.cpuSeconds / reload.cpuSeconds);
  return 0;
}
