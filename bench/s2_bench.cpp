/*
** The generation-2 engine against SQLite 3 on the same data, whole process:
** a table of 500,000 rows (INTEGER PRIMARY KEY, an index on a text column)
** once in a 2.x file and once in a 3.x file, in two sizes: rows of about
** 75 bytes (a file of about 36 MiB) and rows padded so that half of them
** spill onto overflow pages (a file of more than 300 MiB).  Each statement
** runs in a fresh child process that opens the file, runs it and closes the
** file; the best wall time of a few runs and the child's peak resident
** memory are reported, with the ratio of the 2.x engine's time to SQLite
** 3's.  The one-row UPDATE and INSERT and the transaction of three
** UPDATEs are written to disk and synced by both.  Beside t each file
** holds two small tables, acct (100 rows) and log, and a trigger that logs
** every change of acct into log: a write of acct is one the 2.x engine runs
** in SQLite 3 tables, loading only those two.  Schema changes (a new
** index on a small table, a view, dropping a small table) are timed the
** same way, with the pages of the 2.x file they change.
**
**   s2_bench [--small-only] [--runs N] [--only TEXT] [DIR]
**
** --only runs just the statements whose label contains TEXT; DIR keeps the
** files for the next run.
*/
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "s2check.h"
#include "s2file.h"
#include "sqlite.h"
/* Both generations name their version macro alike; only the 3.x
** functions are used from this header. */
#undef SQLITE_VERSION
#undef SQLITE_VERSION_NUMBER
#include <sqlite3.h>

namespace {

constexpr int kRows = 500000;

const char kCreate[] =
    "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, price REAL, code TEXT, qty, pad TEXT)";
const char kIndex[] = "CREATE INDEX t_name ON t(name)";
const char kAcct[] = "CREATE TABLE acct(id INTEGER PRIMARY KEY, owner TEXT UNIQUE, bal)";
const char kLog[] = "CREATE TABLE log(id, bal, what)";
const char kTrigger[] =
    "CREATE TRIGGER acct_log AFTER UPDATE ON acct BEGIN "
    "INSERT INTO log VALUES(new.id, new.bal, 'u'); END";
constexpr int kAccounts = 100;

/* The values of row K; PADDED rows carry a filler that makes every second
** row overflow its b-tree cell. */
std::vector<std::string> RowValues(int k, bool padded) {
  std::string pad;
  if (padded) pad.assign(k % 2 ? 120 : 700, char('a' + k % 26));
  return {std::to_string(k),
          "n" + std::to_string(k * 7919 % 100000),
          std::to_string(k) + ".25",
          "c" + std::to_string(k % 97),
          std::to_string(k * 31 % 1000),
          pad};
}

/* Writes the 2.x file with the engine's own file writer. */
bool Build2(const std::string& path, bool padded) {
  s2::Image image;
  image.master.push_back({1, "table", "t", "t", 0, std::string(kCreate)});
  image.master.push_back({2, "index", "t_name", "t", 0, std::string(kIndex)});
  image.master.push_back({3, "table", "acct", "acct", 0, std::string(kAcct)});
  image.master.push_back({4, "index", "(acct autoindex 1)", "acct", 0, std::nullopt});
  image.master.push_back({5, "table", "log", "log", 0, std::string(kLog)});
  image.master.push_back({6, "trigger", "acct_log", "acct", 0, std::string(kTrigger)});
  for (int k = 1; k <= kAccounts; ++k) {
    image.tables["acct"].push_back(
        {k, {std::to_string(k), "o" + std::to_string(k), std::to_string(k * 10)}});
  }
  std::vector<s2::Row>& rows = image.tables["t"];
  rows.reserve(kRows);
  for (int k = 1; k <= kRows; ++k) {
    s2::Row row;
    row.rowid = k;
    for (std::string& v : RowValues(k, padded)) row.cells.emplace_back(std::move(v));
    rows.push_back(std::move(row));
  }
  std::string bytes;
  s2::Status st = s2::buildImage(image, nullptr, bytes);
  if (!st.ok()) {
    std::fprintf(stderr, "cannot build the 2.x file: %s\n", st.message.c_str());
    return false;
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f) std::fclose(f);
  return ok;
}

bool Build3(const std::string& path, bool padded) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr);
  sqlite3_exec(db, kIndex, nullptr, nullptr, nullptr);
  for (const char* sql : {kAcct, kLog, kTrigger}) sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  for (int k = 1; k <= kAccounts; ++k) {
    std::string n = std::to_string(k);
    std::string sql = "INSERT INTO acct VALUES(" + n + ", 'o" + n + "', " + n + "0)";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  }
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?,?,?)", -1, &insert, nullptr);
  for (int k = 1; k <= kRows; ++k) {
    std::vector<std::string> values = RowValues(k, padded);
    sqlite3_bind_int64(insert, 1, k);
    for (int i = 1; i < 6; ++i)
      sqlite3_bind_text(insert, i + 1, values[size_t(i)].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

/* Counts the values of every row handed to it. */
int CountRow(void* arg, int ncol, char**, char**) {
  *static_cast<long*>(arg) += ncol;
  return 0;
}

/* Runs SQL on the file in this (child) process; returns the exit status. */
int RunStatement(bool generation2, const std::string& path, const std::string& sql) {
  long values = 0;
  if (generation2) {
    char* err = nullptr;
    sqlite* db = sqlite_open(path.c_str(), 0, &err);
    if (!db) return 2;
    int rc = sqlite_exec(db, sql.c_str(), CountRow, &values, &err);
    if (rc != SQLITE_OK) std::fprintf(stderr, "2.x: %s\n", err ? err : "error");
    sqlite_close(db);
    return rc == SQLITE_OK ? 0 : 1;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return 2;
  int rc = sqlite3_exec(db, sql.c_str(), CountRow, &values, nullptr);
  if (rc != SQLITE_OK) std::fprintf(stderr, "3.x: %s\n", sqlite3_errmsg(db));
  sqlite3_close(db);
  return rc == SQLITE_OK ? 0 : 1;
}

/* Returns the peak resident memory of this process in KiB (VmHWM). */
long PeakKiB() {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atol(line + 6);
  }
  std::fclose(status);
  return kib;
}

struct Measure {
  double seconds = 1e300;
  double peakMiB = 0;
  bool ok = true;
};

/* Runs the statement RUNS times, each in a fresh process. */
Measure Time(bool generation2, const std::string& path, const std::string& sql, int runs) {
  Measure m;
  for (int r = 0; r < runs; ++r) {
    auto start = std::chrono::steady_clock::now();
    /* A fresh program, not a fork, that reports its own peak: the kernel
    ** would count the pages of the files built here as the child's. */
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return m;
    pid_t child = fork();
    if (child == 0) {
      dup2(pipeFd[1], 1);
      close(pipeFd[0]);
      execl("/proc/self/exe", "s2_bench", "--run", generation2 ? "2" : "3", path.c_str(),
            sql.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFd[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = read(pipeFd[0], buffer, sizeof buffer)) > 0;)
      report.append(buffer, size_t(n));
    close(pipeFd[0]);
    int status = 0;
    waitpid(child, &status, 0);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.ok = m.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    m.seconds = std::min(m.seconds, seconds);
    m.peakMiB = std::max(m.peakMiB, std::atof(report.c_str()) / 1024.0);
  }
  return m;
}

struct Case {
  const char* label;
  const char* sql;
};

const Case kCases[] = {
    {"count(*)", "SELECT count(*) FROM t"},
    {"sum over every row", "SELECT sum(qty) FROM t"},
    {"every row, every column", "SELECT * FROM t"},
    {"first 100 rows (LIMIT 100)", "SELECT * FROM t LIMIT 100"},
    {"one row by rowid", "SELECT * FROM t WHERE rowid = 424242"},
    {"one row by INTEGER PRIMARY KEY", "SELECT * FROM t WHERE id = 424242"},
    {"rows through a 2.x index", "SELECT * FROM t WHERE name = 'n4242'"},
    {"one-row UPDATE by rowid, synced", "UPDATE t SET qty = qty + 1 WHERE id = 4242"},
    {"one-row INSERT, new rowid, synced",
     "INSERT INTO t(name, price, code, qty, pad) VALUES('n4242', 1.25, 'c1', 7, 'new')"},
    {"transaction of 3 one-row UPDATEs",
     "BEGIN; UPDATE t SET qty = qty + 1 WHERE id = 4242; UPDATE t SET qty = qty + 1 WHERE id = "
     "242424; UPDATE t SET qty = qty + 1 WHERE id = 424242; COMMIT"},
    {"small table UPDATE, logged", "UPDATE acct SET bal = bal + 1 WHERE id = 42"},
    {"small table INSERT OR REPLACE", "INSERT OR REPLACE INTO acct VALUES(43, 'o43', 1)"},
    {"small table UPDATE moving a rowid", "UPDATE acct SET id = -id WHERE id IN (44, -44)"},
};

/* A schema change: SETUP runs before each timed run and CLEANUP after
** it, untimed, so that every run finds the same file. */
struct SchemaCase {
  const char* label;
  const char* setup;
  const char* sql;
  const char* cleanup;
};

const SchemaCase kSchemaCases[] = {
    {"CREATE INDEX on a 100-row table", "", "CREATE INDEX small_x ON small(x)",
     "DROP INDEX small_x"},
    {"CREATE VIEW", "", "CREATE VIEW cheap AS SELECT name FROM t WHERE qty > 500",
     "DROP VIEW cheap"},
    {"DROP TABLE of a 100-row table",
     "CREATE TABLE gone(x, y); INSERT INTO gone SELECT x, x FROM small", "DROP TABLE gone", ""},
};

/* The small table the schema cases use, made once in both files. */
const char kSmallTable[] = "CREATE TABLE small(x); INSERT INTO small SELECT name FROM t LIMIT 100";

/* Runs SQL (when not empty) on the file in this process; true on success. */
bool Untimed(bool generation2, const std::string& path, const std::string& sql) {
  return sql.empty() || RunStatement(generation2, path, sql) == 0;
}

/* True when the 3.x file at PATH has the small table (made in both files
** at once). */
bool HasSmallTable(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  bool found = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
               sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = 'small'", -1, &stmt,
                                  nullptr) == SQLITE_OK &&
               sqlite3_step(stmt) == SQLITE_ROW;
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return found;
}

/* Returns a digest of each page of the file at PATH. */
std::vector<size_t> PageDigests(const std::string& path) {
  std::vector<size_t> digests;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return digests;
  std::string page(1024, '\0');
  while (std::fread(page.data(), 1, page.size(), f) == page.size())
    digests.push_back(std::hash<std::string>()(page));
  std::fclose(f);
  return digests;
}

/* Returns the number of pages that differ between two digest lists. */
size_t ChangedPages(const std::vector<size_t>& a, const std::vector<size_t>& b) {
  size_t changed = std::max(a.size(), b.size()) - std::min(a.size(), b.size());
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) changed += a[i] != b[i];
  return changed;
}

/* Times CASE on both files; prints one line.  Returns false on a failure. */
bool RunSchemaCase(const SchemaCase& c, const std::string& s2, const std::string& s3,
                   const std::string& size, int runs) {
  Measure m2, m3;
  size_t pages = 0;
  bool ok = true;
  for (int r = 0; r < runs; ++r) {
    ok = ok && Untimed(true, s2, c.setup) && Untimed(false, s3, c.setup);
    std::vector<size_t> before = PageDigests(s2);
    Measure one2 = Time(true, s2, c.sql, 1);
    pages = std::max(pages, ChangedPages(before, PageDigests(s2)));
    Measure one3 = Time(false, s3, c.sql, 1);
    ok = ok && Untimed(true, s2, c.cleanup) && Untimed(false, s3, c.cleanup);
    for (auto [all, one] : {std::make_pair(&m2, &one2), std::make_pair(&m3, &one3)}) {
      all->ok = all->ok && one->ok;
      all->seconds = std::min(all->seconds, one->seconds);
      all->peakMiB = std::max(all->peakMiB, one->peakMiB);
    }
  }
  ok = ok && m2.ok && m3.ok;
  std::printf("%-34s %-8s %10.3f %10.3f %7.2f %10.1f %10.1f %8zu%s\n", c.label, size.c_str(),
              m2.seconds, m3.seconds, m2.seconds / m3.seconds, m2.peakMiB, m3.peakMiB, pages,
              ok ? "" : "  FAILED");
  std::fflush(stdout);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--run") == 0) {
    int rc = RunStatement(std::strcmp(argv[2], "2") == 0, argv[3], argv[4]);
    std::printf("%ld\n", PeakKiB());
    return rc;
  }
  bool smallOnly = false;
  int runs = 3;
  std::string only;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--small-only") == 0) {
      smallOnly = true;
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only = argv[++i];
    } else {
      dir = argv[i];
    }
  }
  bool ownDir = dir.empty();
  if (ownDir) {
    char pattern[] = "/tmp/s2benchXXXXXX";
    if (!mkdtemp(pattern)) return 1;
    dir = pattern;
  }
  std::printf("%-34s %-8s %10s %10s %7s %10s %10s %8s\n", "statement", "file", "2.x s", "3.x s",
              "ratio", "2.x MiB", "3.x MiB", "2.x pages written");
  int failures = 0;
  for (bool padded : {false, true}) {
    if (padded && smallOnly) break;
    std::string s2 = dir + (padded ? "/large2.db" : "/small2.db");
    std::string s3 = dir + (padded ? "/large3.db" : "/small3.db");
    if (!std::filesystem::exists(s2) && !Build2(s2, padded)) return 1;
    if (!std::filesystem::exists(s3) && !Build3(s3, padded)) return 1;
    std::string size = std::to_string(std::filesystem::file_size(s2) >> 20) + "MiB";
    for (const Case& c : kCases) {
      if (std::string(c.label).find(only) == std::string::npos) continue;
      Measure m2 = Time(true, s2, c.sql, runs);
      Measure m3 = Time(false, s3, c.sql, runs);
      if (!m2.ok || !m3.ok) ++failures;
      std::printf("%-34s %-8s %10.3f %10.3f %7.2f %10.1f %10.1f%s\n", c.label, size.c_str(),
                  m2.seconds, m3.seconds, m2.seconds / m3.seconds, m2.peakMiB, m3.peakMiB,
                  m2.ok && m3.ok ? "" : "  FAILED");
      std::fflush(stdout);
    }
    for (const SchemaCase& c : kSchemaCases) {
      if (std::string(c.label).find(only) == std::string::npos) continue;
      if (!HasSmallTable(s3) &&
          !(Untimed(true, s2, kSmallTable) && Untimed(false, s3, kSmallTable)))
        return 1;
      if (!RunSchemaCase(c, s2, s3, size, runs)) ++failures;
    }
    for (const std::string& problem : s2check::CheckFile(s2))
      std::printf("2.x file after the runs: %s\n", problem.c_str());
  }
  if (ownDir) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  return failures == 0 ? 0 : 1;
}
