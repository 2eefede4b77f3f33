/*
** --dump and --convert: open the source, hand it to the dump or the
** converter of the library, and turn their outcome into lines on the error
** stream and an exit code.
*/
#include "rimbaldump.h"

#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "rimbal.h"
#include "rimbalexit.h"
#include "xb_dumpsqltext.h"
#include "xb_sqliteconvert.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitedump.h"

namespace {

/* Writes the open failure for FILE.  Returns its exit code. */
int OpenFailed(const std::string& file) {
  return ReportOpenFailure(file, "");
}

/* Returns a connection to the existing database FILE, or null with the
** engine's reason in *REASON.  A missing file is no database: opening it
** would make a new, empty one. */
std::unique_ptr<XB_SQLiteDB> OpenSource(const std::string& file, std::string* reason) {
  struct stat info;
  if (file.empty() || ::stat(file.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return nullptr;
  std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(file.c_str(), reason));
  // The dump reads through a handle of its own; this one has told the
  // generation and the text rule.
  if (db) db->Close();
  return db;
}

/* Set by an interrupt (Ctrl+C) or a termination request. */
std::atomic<bool> g_stopRequested{false};

/* Asks the running dump or conversion to stop. */
void RequestStop(int) {
  g_stopRequested = true;
}

/* Returns progress whose cancel flag an interrupt or a termination request
** sets, so that a conversion removes its temporary file and a dump ends
** with ROLLBACK instead of stopping halfway. */
XB_DumpProgress StopOnSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  XB_DumpProgress progress;
  progress.cancel = &g_stopRequested;
  return progress;
}

/* Writes SIZE bytes of DATA to standard output.  Returns false when the
** stream refused them. */
bool WriteOut(const char* data, size_t size) {
  return std::fwrite(data, 1, size, stdout) == size;
}

}  // namespace

int RunDump(const RimbalOptions& options) {
  std::string reason;
  std::unique_ptr<XB_SQLiteDB> db = OpenSource(options.file, &reason);
  if (!db) return ReportOpenFailure(options.file, reason);
  XB_DumpSqlText writer(WriteOut);
  XB_SQLiteDump dump(*db);
  XB_DumpProgress progress = StopOnSignals();
  XB_DumpOutcome outcome = dump.Run(writer, &progress);
  bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
  switch (outcome) {
    case XB_DUMP_DONE:
      if (flushed) return RX_OK;
      break;
    case XB_DUMP_OPEN_FAILED:
      OpenFailed(options.file);
      std::fprintf(stderr, "SQLITE: %s\n", dump.Error().c_str());
      return RX_OPEN_FAILED;
    case XB_DUMP_READ_FAILED:
    case XB_DUMP_CANCELLED:
      std::fprintf(stderr, "Error: Dump of %s stopped: %s.\n", options.file.c_str(),
                   dump.Error().c_str());
      return RX_QUERY_FAILED;
    case XB_DUMP_WRITE_FAILED:
      break;
  }
  std::fputs("Error: Writing the output failed.\n", stderr);
  return RX_QUERY_FAILED;
}

int RunConvert(const RimbalOptions& options) {
  std::string reason;
  std::unique_ptr<XB_SQLiteDB> db = OpenSource(options.file, &reason);
  if (!db) return ReportOpenFailure(options.file, reason);
  if (options.target.empty()) {
    std::fputs("Error: --convert needs the name of the new file.\n", stderr);
    return RX_STATEMENT_FAILED;
  }
  XB_SQLiteConvert convert(*db, options.target);
  XB_DumpProgress progress = StopOnSignals();
  XB_ConvertOutcome outcome = convert.Run(&progress);
  switch (outcome) {
    case XB_CONVERT_DONE:
    case XB_CONVERT_INCOMPLETE:
      for (const std::string& line : convert.ReportLines())
        std::fprintf(stderr, "%s\n", line.c_str());
      return outcome == XB_CONVERT_DONE ? RX_OK : RX_QUERY_FAILED;
    case XB_CONVERT_OPEN_FAILED:
      OpenFailed(options.file);
      std::fprintf(stderr, "SQLITE: %s\n", convert.Error().c_str());
      return RX_OPEN_FAILED;
    case XB_CONVERT_TARGET_FAILED:
      std::fprintf(stderr, "Error: Cannot write %s: %s.\n", options.target.c_str(),
                   convert.Error().c_str());
      return RX_STATEMENT_FAILED;
    case XB_CONVERT_READ_FAILED:
    case XB_CONVERT_CANCELLED:
      std::fprintf(stderr, "Error: Reading %s stopped (%s); %s was not written.\n",
                   options.file.c_str(), convert.Error().c_str(), options.target.c_str());
      return RX_QUERY_FAILED;
  }
  return RX_QUERY_FAILED;
}
