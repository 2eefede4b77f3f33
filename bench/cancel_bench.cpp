/*
** Time from Cancel to the end of a running query, through the viewer's
** query runner, on both file generations (goal: 200 ms).  Two slow
** queries: one that streams rows (a cross join; the runner's flag stops it
** between rows) and one that gives no row until done (an aggregate over a
** cross join; only the engine's interrupt can stop it).  Each iteration
** starts the query, lets it run 50 ms, cancels it and times the wait.
*/
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "dorvexdoc.h"
#include "queryrunner.h"
#include "xb_sqlitedb.h"

namespace {

/* The two files, made once: table big with 3,000 rows. */
struct Files {
  std::string dir;
  std::string path[4];
  Files() {
    char pattern[] = "/tmp/cancelbenchXXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/tmp";
    std::string sql = "CREATE TABLE big(x); BEGIN;";
    for (int i = 0; i < 3000; ++i) sql += "INSERT INTO big VALUES(" + std::to_string(i) + ");";
    sql += "COMMIT;";
    for (int version : {2, 3}) {
      path[version] = dir + "/big" + std::to_string(version) + ".db";
      std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(path[version].c_str(), version));
      if (!db->Exec(sql.c_str())) {
        std::fprintf(stderr, "cannot build %s\n", path[version].c_str());
        std::exit(1);
      }
    }
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

Files& TheFiles() {
  static Files files;
  return files;
}

const char* const kQueries[] = {
    "SELECT a.x, b.x, c.x FROM big a, big b, big c",
    "SELECT count(*) FROM big a, big b, big c",
};

/* Arguments: the generation and the query (0 streaming, 1 aggregate). */
void BM_CancelLatency(benchmark::State& state) {
  int version = static_cast<int>(state.range(0));
  const char* query = kQueries[state.range(1)];
  CDorvexDoc doc(nullptr, nullptr);
  if (!doc.OnOpenDocument(TheFiles().path[version])) {
    state.SkipWithError("cannot open the file");
    return;
  }
  QueryRunner runner(doc);
  double worstMs = 0;
  for (auto _ : state) {
    if (!runner.Start(query, QueryRunKind::Query, nullptr)) {
      state.SkipWithError("cannot start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto cancelled = std::chrono::steady_clock::now();
    runner.Cancel();
    runner.Wait();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - cancelled;
    state.SetIterationTime(took.count());
    worstMs = std::max(worstMs, took.count() * 1000);
    std::optional<QueryOutcome> outcome = runner.TakeOutcome();
    if (!outcome || !outcome->cancelled) {
      state.SkipWithError("the query was not cancelled");
      break;
    }
  }
  state.counters["worst_ms"] = worstMs;
  state.counters["goal_ms"] = 200;
}

}  // namespace

BENCHMARK(BM_CancelLatency)
    ->ArgsProduct({{2, 3}, {0, 1}})
    ->ArgNames({"generation", "aggregate"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

BENCHMARK_MAIN();
