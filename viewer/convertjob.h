/*
** ConvertJob: the viewer's "Save as SQLite 3..." without its windows.  It
** copies a database file into a new generation-3 file on a worker thread
** (XB_SQLiteConvert, the same copy as Rimbal --convert), tells how far it
** got, can be cancelled, and turns the outcome into the text of the box
** that reports it.
**
** The new file must not exist: like --convert, the job never overwrites a
** file, even one the user agreed to replace in a file dialog.  A cancelled
** or failed copy leaves nothing behind.
**
** Protocol: Start once; while IsRunning, RowsDone/RowsTotal may be read and
** Cancel called from any thread.  FINISHED is called on the worker thread
** when the copy has ended; then Outcome and Report tell what happened.  The
** destructor cancels a copy that is still going and waits for it.  The job
** reads the source through connections of its own, so the document the
** source came from may run queries meanwhile.
*/
#ifndef CONVERTJOB_H
#define CONVERTJOB_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "xb_sqliteconvert.h"
#include "xb_sqlitedb.h"

/* The box that reports a finished copy. */
struct ConvertReport {
  bool show = false;    /* false after a cancelled copy: nothing to report */
  bool warning = false; /* something was lost, changed or failed */
  std::string title;
  std::string text;
};

class ConvertJob {
 public:
  using Finished = std::function<void()>;

  ConvertJob() = default;
  ~ConvertJob();
  ConvertJob(const ConvertJob&) = delete;
  ConvertJob& operator=(const ConvertJob&) = delete;

  /* Returns why nothing may be written at TARGET ("" when it may): the
  ** name is empty or something exists there already. */
  static std::string TargetProblem(const std::string& target);

  /* Starts copying the database SOURCE (generation VERSION, its text read
  ** as ENCODING) into the new file TARGET.  Returns false, starting
  ** nothing, when a copy was started before. */
  bool Start(const std::string& source, int version, XB_TextEncoding encoding,
             const std::string& target, Finished finished);

  /* Returns true from Start until the copy has ended. */
  bool IsRunning() const { return m_running; }

  /* Asks the copy to stop; it ends as XB_CONVERT_CANCELLED. */
  void Cancel() { m_cancel = true; }

  /* Waits until the copy has ended (at once when none was started). */
  void Wait();

  /* Rows read so far, and the rows the source holds (0 until counted). */
  int64_t RowsDone() const { return m_done; }
  int64_t RowsTotal() const { return m_total; }

  /* Returns how the copy ended; valid once it has. */
  XB_ConvertOutcome Outcome() const;

  /* Returns the report of the finished copy (see ConvertReport). */
  ConvertReport Report() const;

 private:
  void Work(std::string source, int version, XB_TextEncoding encoding, Finished finished);

  std::string m_source;
  std::string m_target;
  std::thread m_thread;
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_cancel{false};
  std::atomic<int64_t> m_done{0};
  std::atomic<int64_t> m_total{0};
  mutable std::mutex m_mutex; /* guards what the worker hands over */
  XB_ConvertOutcome m_outcome = XB_CONVERT_CANCELLED;
  std::string m_error;
  std::vector<std::string> m_lines;
};

#endif
