/*
** Tests of the query runner: runs go off the calling thread, report rows
** and time while they run, one at a time, and a slow query of either
** generation ends promptly when cancelled.
*/
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "dorvexdoc.h"
#include "queryrunner.h"
#include "viewertestdir.h"

namespace {

using Clock = std::chrono::steady_clock;

/* A slow query for VERSION: generation 3 counts with a recursive CTE, the
** generation-2 engine (which has no WITH) with a cross join. */
std::string SlowQuery(int version) {
  if (version == 3)
    return "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c) "
           "SELECT i FROM c WHERE i % 1000 = 0";
  return "SELECT a.x, b.x, c.x FROM big a, big b, big c";
}

/* Makes the database of VERSION that SlowQuery reads. */
std::string MakeSlowDatabase(const ViewerTestDir& dir, int version) {
  std::string sql = "CREATE TABLE big(x); BEGIN;";
  for (int i = 0; i < 3000; ++i) sql += "INSERT INTO big VALUES(" + std::to_string(i) + ");";
  sql += "COMMIT;";
  return dir.MakeDatabase("slow.db", version, sql);
}

class RunnerOnBothGenerations : public ::testing::TestWithParam<int> {};

TEST_P(RunnerOnBothGenerations, CancellingASlowQueryEndsItPromptly) {
  ViewerTestDir dir;
  std::string path = MakeSlowDatabase(dir, GetParam());
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path)) << doc.LastError();
  QueryRunner runner(doc);
  std::atomic<int> finished{0};
  ASSERT_TRUE(runner.Start(SlowQuery(GetParam()), QueryRunKind::Query, [&] { ++finished; }));
  EXPECT_FALSE(runner.Start("SELECT 1", QueryRunKind::Query, nullptr)) << "one run at a time";
  EXPECT_TRUE(doc.Query(*std::make_unique<XB_SQLiteResult>(), "SELECT 1") == false);
  EXPECT_EQ(doc.LastError(), "a query is still running");

  // Rows come in while it runs.
  auto deadline = Clock::now() + std::chrono::seconds(20);
  while (runner.Rows() < 10 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(runner.IsRunning());
  EXPECT_GE(runner.Rows(), 10);
  EXPECT_GT(runner.ElapsedMs(), 0);

  auto cancelled = Clock::now();
  runner.Cancel();
  ASSERT_TRUE(runner.WaitFor(std::chrono::seconds(5))) << "the query did not stop";
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - cancelled);
  EXPECT_LT(took.count(), 2000);
  std::optional<QueryOutcome> outcome = runner.TakeOutcome();
  ASSERT_TRUE(outcome);
  EXPECT_FALSE(outcome->ok);
  EXPECT_TRUE(outcome->cancelled);
  EXPECT_FALSE(runner.TakeOutcome()) << "handed over once";
  runner.Wait();
  while (finished == 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(finished, 1);

  // The document is free again, and a cancel left over from the last run
  // does not stop the next one.
  ASSERT_TRUE(runner.Start("SELECT count(*) FROM big", QueryRunKind::Query, nullptr));
  runner.Wait();
  outcome = runner.TakeOutcome();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->ok) << outcome->error;
  EXPECT_TRUE(outcome->readOnly);
  EXPECT_STREQ(outcome->result.Get(0, 0), "3000");
}

TEST_P(RunnerOnBothGenerations, AnInterruptOfTheDocumentStopsAStepWithoutRows) {
  // An aggregate gives no row until it is done: only the engine's
  // interrupt, not the check between rows, can stop it.
  ViewerTestDir dir;
  std::string path = MakeSlowDatabase(dir, GetParam());
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));
  QueryRunner runner(doc);
  ASSERT_TRUE(
      runner.Start("SELECT count(*) FROM big a, big b, big c", QueryRunKind::Query, nullptr));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(runner.IsRunning());
  doc.Interrupt();
  ASSERT_TRUE(runner.WaitFor(std::chrono::seconds(5)));
  std::optional<QueryOutcome> outcome = runner.TakeOutcome();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->cancelled) << outcome->error;
}

INSTANTIATE_TEST_SUITE_P(Generations, RunnerOnBothGenerations, ::testing::Values(2, 3));

TEST(QueryRunner, BoundsEndARunEarlyWithTheRowsSoFar) {
  ViewerTestDir dir;
  std::string path = MakeSlowDatabase(dir, 2);
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));
  QueryRunner runner(doc);
  runner.SetBounds(500, 0);
  ASSERT_TRUE(runner.Start(SlowQuery(2), QueryRunKind::Query, nullptr));
  ASSERT_TRUE(runner.WaitFor(std::chrono::seconds(20)));
  std::optional<QueryOutcome> outcome = runner.TakeOutcome();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->ok) << outcome->error;
  EXPECT_TRUE(outcome->limited);
  EXPECT_EQ(outcome->result.Rows(), 500);
}

TEST(QueryRunner, ADestroyedRunnerStopsItsRun) {
  ViewerTestDir dir;
  std::string path = MakeSlowDatabase(dir, 3);
  CDorvexDoc doc(nullptr, nullptr);
  ASSERT_TRUE(doc.OnOpenDocument(path));
  auto started = Clock::now();
  {
    QueryRunner runner(doc);
    ASSERT_TRUE(runner.Start(SlowQuery(3), QueryRunKind::Query, nullptr));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
  EXPECT_FALSE(doc.IsBusy());
}

}  // namespace
