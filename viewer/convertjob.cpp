/*
** The copy into a new generation-3 file on a worker thread, and its report.
*/
#include "convertjob.h"

#include <sys/stat.h>

#include <memory>

namespace {

/* Returns true when PATH names a regular file. */
bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

/* Returns LINES, one a line. */
std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

}  // namespace

ConvertJob::~ConvertJob() {
  Cancel();
  if (m_thread.joinable()) m_thread.join();
}

std::string ConvertJob::TargetProblem(const std::string& target) {
  if (target.empty()) return "no file name given";
  struct stat info;
  if (::lstat(target.c_str(), &info) == 0)
    return target + " exists already; the copy goes into a new file only";
  return "";
}

bool ConvertJob::Start(const std::string& source, int version, XB_TextEncoding encoding,
                       const std::string& target, Finished finished) {
  if (m_thread.joinable() || m_running) return false;
  m_source = source;
  m_target = target;
  m_running = true;
  m_thread = std::thread(&ConvertJob::Work, this, source, version, encoding, std::move(finished));
  return true;
}

void ConvertJob::Work(std::string source, int version, XB_TextEncoding encoding,
                      Finished finished) {
  XB_ConvertOutcome outcome = XB_CONVERT_OPEN_FAILED;
  std::string error = "file no longer exists";
  std::vector<std::string> lines;
  // Making a connection to a missing file would create one.
  if (IsRegularFile(source)) {
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(source.c_str(), version));
    // The copy reads through handles of its own; this connection tells the
    // path, the generation and the text rule the document uses.
    db->Close();
    db->SetTextEncoding(encoding);
    XB_DumpProgress progress;
    progress.cancel = &m_cancel;
    progress.onRows = [this](int64_t done, int64_t total) {
      m_total = total;
      m_done = done;
    };
    XB_SQLiteConvert convert(*db, m_target);
    outcome = convert.Run(&progress);
    error = convert.Error();
    if (outcome == XB_CONVERT_DONE || outcome == XB_CONVERT_INCOMPLETE)
      lines = convert.ReportLines();
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_outcome = outcome;
    m_error = error;
    m_lines = std::move(lines);
  }
  m_running = false;
  if (finished) finished();
}

void ConvertJob::Wait() {
  if (m_thread.joinable()) m_thread.join();
}

XB_ConvertOutcome ConvertJob::Outcome() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_outcome;
}

ConvertReport ConvertJob::Report() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  ConvertReport report;
  report.title = "Save as SQLite 3";
  report.show = m_outcome != XB_CONVERT_CANCELLED;
  report.warning = m_outcome != XB_CONVERT_DONE;
  switch (m_outcome) {
    case XB_CONVERT_DONE:
      report.text = Joined(m_lines);
      break;
    case XB_CONVERT_INCOMPLETE:
      report.text = m_target + " was written, but SQLite 3 did not take everything as it was:\n" +
                    Joined(m_lines);
      break;
    case XB_CONVERT_OPEN_FAILED:
      report.text = "Could not read " + m_source + ": " + m_error + ".";
      break;
    case XB_CONVERT_TARGET_FAILED:
      report.text = "Could not write " + m_target + ": " + m_error + ". Nothing was written.";
      break;
    case XB_CONVERT_READ_FAILED:
      report.text =
          "Reading " + m_source + " stopped (" + m_error + "); " + m_target + " was not written.";
      break;
    case XB_CONVERT_CANCELLED:
      break;
  }
  return report;
}
