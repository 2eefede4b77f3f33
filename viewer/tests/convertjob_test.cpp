/*
** ConvertJob, the window-free part of "Save as SQLite 3...": the copy runs
** on its worker thread with its progress counted, the file's text rule is
** kept, the report tells what SQLite 3 changed, and a refused, failed or
** cancelled copy leaves nothing behind, not even a file at the source's
** name when the source is gone.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "convertjob.h"
#include "viewertestdir.h"
#include "xb_sqlitedb.h"

namespace {

/* Returns the first column of every row STATEMENT gives on the database at
** PATH, in the generation the file has. */
std::vector<std::string> Column(const std::string& path, const std::string& statement) {
  std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(path.c_str()));
  std::vector<std::string> values;
  if (!db) return values;
  XB_SQLiteResult result;
  if (!db->GetTable(result, "%s", statement)) return values;
  for (int row = 0; row < result.Rows(); ++row) {
    const char* value = result.Get(0, row);
    values.push_back(value ? value : "");
  }
  return values;
}

/* Returns the names of the files in FOLDER. */
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/* Runs a whole copy of SOURCE into TARGET and waits for it. */
void RunJob(ConvertJob& job, const std::string& source, const std::string& target,
            XB_TextEncoding encoding = XB_TEXT_UTF8) {
  bool finished = false;
  ASSERT_TRUE(job.Start(source, 2, encoding, target, [&finished] { finished = true; }));
  job.Wait();
  EXPECT_TRUE(finished);
  EXPECT_FALSE(job.IsRunning());
}

TEST(ConvertJobTest, CopiesWithProgressAndReportsChanges) {
  ViewerTestDir dir;
  // SQLite 3 stores the price '682.40' in a REAL column as 682.4: the copy
  // keeps going, and the report says so.
  std::string source = dir.Fixture("multilevel.db", "multilevel.db");
  std::string target = dir.Path("multilevel.sqlite3");
  ConvertJob job;
  RunJob(job, source, target);
  EXPECT_EQ(job.Outcome(), XB_CONVERT_INCOMPLETE);
  ConvertReport report = job.Report();
  EXPECT_TRUE(report.show && report.warning);
  EXPECT_EQ(report.text.rfind(target + " was written", 0), 0u) << report.text;
  EXPECT_NE(report.text.find("Table item: "), std::string::npos) << report.text;
  EXPECT_FALSE(XB_SQLiteDB::IsGeneration2File(target.c_str()));
  std::vector<std::string> tables = Column(source,
                                           "SELECT name FROM sqlite_master "
                                           "WHERE type='table' ORDER BY name");
  ASSERT_FALSE(tables.empty());
  int64_t rows = 0;
  for (const std::string& table : tables) {
    std::string count = "SELECT count(*) FROM \"" + table + "\"";
    EXPECT_EQ(Column(target, count), Column(source, count)) << table;
    rows += std::stoll(Column(source, count).at(0));
  }
  EXPECT_EQ(job.RowsTotal(), rows);
  EXPECT_EQ(job.RowsDone(), rows);

  std::string small = dir.Fixture("small_table.db", "small_table.db");
  ConvertJob exact;
  RunJob(exact, small, dir.Path("small.sqlite3"));
  EXPECT_EQ(exact.Outcome(), XB_CONVERT_DONE);
  report = exact.Report();
  EXPECT_TRUE(report.show);
  EXPECT_FALSE(report.warning) << report.text;
  EXPECT_NE(report.text.find(dir.Path("small.sqlite3")), std::string::npos) << report.text;
}

TEST(ConvertJobTest, KeepsTheTextRuleOfTheDocument) {
  ViewerTestDir dir;
  // The fixture's names are Latin-1 bytes; read so, they become UTF-8.
  std::string source = dir.Fixture("indices.db", "indices.db");
  std::string target = dir.Path("indices.sqlite3");
  ConvertJob job;
  RunJob(job, source, target, XB_TEXT_LATIN1);
  ASSERT_TRUE(job.Outcome() == XB_CONVERT_DONE || job.Outcome() == XB_CONVERT_INCOMPLETE)
      << job.Report().text;
  std::vector<std::string> names = Column(target, "SELECT last FROM emp WHERE id=1");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "M\xC3\xBCller");
}

TEST(ConvertJobTest, RefusedFailedAndCancelledCopiesLeaveNothing) {
  ViewerTestDir dir;
  std::string source = dir.Fixture("small_table.db", "small_table.db");
  std::string taken = dir.Write("taken.sqlite3", "keep me");
  EXPECT_NE(ConvertJob::TargetProblem(taken), "");
  EXPECT_NE(ConvertJob::TargetProblem(""), "");
  EXPECT_EQ(ConvertJob::TargetProblem(dir.Path("new.sqlite3")), "");

  ConvertJob refused;
  RunJob(refused, source, taken);
  EXPECT_EQ(refused.Outcome(), XB_CONVERT_TARGET_FAILED);
  EXPECT_TRUE(refused.Report().show && refused.Report().warning);
  EXPECT_EQ(ViewerTestDir::Read(taken), "keep me");

  ConvertJob cancelled;
  cancelled.Cancel();
  RunJob(cancelled, source, dir.Path("new.sqlite3"));
  EXPECT_EQ(cancelled.Outcome(), XB_CONVERT_CANCELLED);
  EXPECT_FALSE(cancelled.Report().show);

  // A source that went away is not made anew by the copy.
  ConvertJob gone;
  RunJob(gone, dir.Path("gone.db"), dir.Path("gone.sqlite3"));
  EXPECT_EQ(gone.Outcome(), XB_CONVERT_OPEN_FAILED);
  EXPECT_NE(gone.Report().text.find("file no longer exists"), std::string::npos);
  EXPECT_EQ(FilesIn(dir.Path("")), (std::vector<std::string>{"small_table.db", "taken.sqlite3"}));
}

}  // namespace
