/*
** The generation-2 engine against SQLite 3 on the same data: 50,000 rows
** of 5 columns, once in a 2.x file and once in a 3.x file.  Measured are
** reading every row (open, SELECT *, close) and one single-row UPDATE on
** an open connection, each written to disk as the engine commits it.
** The ratios are printed as counters: s2 time / s3 time.
*/
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "s2check.h"
#include "sqlite.h"
/* Both generations name their version macro alike; only the 3.x
** functions are used from this header. */
#undef SQLITE_VERSION
#undef SQLITE_VERSION_NUMBER
#include <sqlite3.h>

namespace {

constexpr int kRows = 50000;

/* The data set: row K has an integer, a text, a real, a short text and a
** number-looking text, about 60 bytes per row. */
std::string InsertSql(int k) {
  return "INSERT INTO t VALUES(" + std::to_string(k) + ", 'name " +
         std::to_string(k * 7919 % 100000) + " of the row', " + std::to_string(k) + ".25, 'c" +
         std::to_string(k % 97) + "', '" + std::to_string(k * 31 % 1000) + "')";
}

const char kCreate[] = "CREATE TABLE t(id INTEGER, name TEXT, price REAL, code TEXT, qty)";

/* The directory holding both files, made and filled once. */
struct Files {
  std::string dir, s2, s3;
  Files() {
    char pattern[] = "/tmp/s2benchXXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/tmp";
    s2 = dir + "/data2.db";
    s3 = dir + "/data3.db";
    std::string sql = std::string("BEGIN;") + kCreate + ";";
    for (int k = 1; k <= kRows; k++) sql += InsertSql(k) + ";";
    sql += "COMMIT;";
    sqlite* db2 = sqlite_open(s2.c_str(), 0, nullptr);
    char* err = nullptr;
    if (!db2 || sqlite_exec(db2, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::fprintf(stderr, "cannot build the 2.x file: %s\n", err ? err : "open failed");
      std::exit(1);
    }
    sqlite_close(db2);
    for (const std::string& problem : s2check::CheckFile(s2))
      std::fprintf(stderr, "2.x file: %s\n", problem.c_str());
    sqlite3* db3 = nullptr;
    if (sqlite3_open(s3.c_str(), &db3) != SQLITE_OK ||
        sqlite3_exec(db3, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "cannot build the 3.x file\n");
      std::exit(1);
    }
    sqlite3_close(db3);
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Files& TheFiles() {
  static Files files;
  return files;
}

/* Counts the values of every row handed to it. */
int CountRow(void* arg, int ncol, char** values, char**) {
  *static_cast<long*>(arg) += ncol;
  return 0;
}

void BM_ReadAll_S2(benchmark::State& state) {
  const std::string& path = TheFiles().s2;
  for (auto _ : state) {
    long cells = 0;
    sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
    sqlite_exec(db, "SELECT * FROM t", CountRow, &cells, nullptr);
    sqlite_close(db);
    if (cells != 5L * kRows) state.SkipWithError("wrong number of values");
    benchmark::DoNotOptimize(cells);
  }
}

void BM_ReadAll_S3(benchmark::State& state) {
  const std::string& path = TheFiles().s3;
  for (auto _ : state) {
    long cells = 0;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "SELECT * FROM t", CountRow, &cells, nullptr);
    sqlite3_close(db);
    if (cells != 5L * kRows) state.SkipWithError("wrong number of values");
    benchmark::DoNotOptimize(cells);
  }
}

void BM_UpdateOne_S2(benchmark::State& state) {
  sqlite* db = sqlite_open(TheFiles().s2.c_str(), 0, nullptr);
  long n = 0;
  for (auto _ : state) {
    std::string sql = "UPDATE t SET qty = '" + std::to_string(++n) + "' WHERE id = 25000";
    if (sqlite_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      state.SkipWithError("update failed");
  }
  sqlite_close(db);
}

void BM_UpdateOne_S3(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(TheFiles().s3.c_str(), &db);
  long n = 0;
  for (auto _ : state) {
    std::string sql = "UPDATE t SET qty = '" + std::to_string(++n) + "' WHERE id = 25000";
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      state.SkipWithError("update failed");
  }
  sqlite3_close(db);
}

BENCHMARK(BM_ReadAll_S2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAll_S3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateOne_S2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateOne_S3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
