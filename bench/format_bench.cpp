/*
** Speed of XB_String::Format against snprintf for the directives that the
** programs use most: %s, %d, %D (snprintf has no grouping, so its %d stands
** in) and %-15s.
*/
#include <benchmark/benchmark.h>

#include <cstdio>

#include "xb_string.h"

namespace {

const char* const kNames[] = {"id", "customer_name", "created", "a rather long column title"};

/* The typical mix, formatted with Format into a reused string. */
void BM_FormatMix(benchmark::State& state) {
  XB_String out;
  int i = 0;
  for (auto _ : state) {
    const char* name = kNames[i & 3];
    out.Format("%s=%d rows %D [%-15s]", name, i, i * 7919, name);
    benchmark::DoNotOptimize(out.c_str());
    i++;
  }
}
BENCHMARK(BM_FormatMix);

/* The same mix with snprintf into a stack buffer. */
void BM_SnprintfMix(benchmark::State& state) {
  char buf[256];
  int i = 0;
  for (auto _ : state) {
    const char* name = kNames[i & 3];
    std::snprintf(buf, sizeof buf, "%s=%d rows %d [%-15s]", name, i, i * 7919, name);
    benchmark::DoNotOptimize(buf);
    i++;
  }
}
BENCHMARK(BM_SnprintfMix);

/* Single directives, each against its snprintf counterpart. */
void BM_FormatText(benchmark::State& state) {
  XB_String out;
  for (auto _ : state) {
    out.Format("SELECT * FROM %s LIMIT %d", kNames[1], 100);
    benchmark::DoNotOptimize(out.c_str());
  }
}
BENCHMARK(BM_FormatText);

void BM_SnprintfText(benchmark::State& state) {
  char buf[256];
  for (auto _ : state) {
    std::snprintf(buf, sizeof buf, "SELECT * FROM %s LIMIT %d", kNames[1], 100);
    benchmark::DoNotOptimize(buf);
  }
}
BENCHMARK(BM_SnprintfText);

void BM_FormatPadded(benchmark::State& state) {
  XB_String out;
  for (auto _ : state) {
    out.Format("%-15s|%-15s|%-15s", kNames[0], kNames[1], kNames[3]);
    benchmark::DoNotOptimize(out.c_str());
  }
}
BENCHMARK(BM_FormatPadded);

void BM_SnprintfPadded(benchmark::State& state) {
  char buf[256];
  for (auto _ : state) {
    std::snprintf(buf, sizeof buf, "%-15s|%-15s|%-15s", kNames[0], kNames[1], kNames[3]);
    benchmark::DoNotOptimize(buf);
  }
}
BENCHMARK(BM_SnprintfPadded);

}  // namespace

BENCHMARK_MAIN();
