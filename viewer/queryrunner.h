/*
** QueryRunner: runs a document's queries off the window thread, one at a
** time, so the window never freezes on a long query.
**
** Protocol: Start hands a text to a worker thread, which runs it through
** CDorvexDoc::Run; while it runs, Rows and ElapsedMs tell how far it got
** and Cancel (any thread) stops it promptly - the engine is interrupted
** and the outcome says cancelled.  When the run ends, the FINISHED callback
** given to Start is called on the worker thread (the window program passes
** it on to its own thread) and TakeOutcome hands over the outcome.  Start
** refuses a second run while one is going (returns false).  The runner
** must outlive its run: the destructor cancels a run that is still going
** and waits for it.
*/
#ifndef QUERYRUNNER_H
#define QUERYRUNNER_H

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "dorvexdoc.h"

class QueryRunner {
 public:
  using Finished = std::function<void()>;

  explicit QueryRunner(CDorvexDoc& doc);
  ~QueryRunner();
  QueryRunner(const QueryRunner&) = delete;
  QueryRunner& operator=(const QueryRunner&) = delete;

  /* Starts running SQL as KIND (WITHROWID: see CDorvexDoc::Run); FINISHED
  ** (may be empty) is called on the worker thread when it ends.  Returns
  ** false, starting nothing, while a run is going or the document is busy. */
  bool Start(const std::string& sql, QueryRunKind kind, Finished finished, bool withRowId = false);

  /* Sets the bounds of the next runs' results (0: none; see
  ** XB_QueryProgress): a run that reaches one ends early, successfully,
  ** with the rows gathered so far and QueryOutcome::limited set. */
  void SetBounds(int64_t maxRows, int64_t maxBytes);

  /* Returns true from Start until the run's outcome is ready. */
  bool IsRunning() const;
  /* Asks the running query to stop; does nothing when none runs. */
  void Cancel();
  /* Waits until the run has ended (at once when none runs). */
  void Wait();
  /* Waits up to TIMEOUT; returns true when no run is going afterwards. */
  bool WaitFor(std::chrono::milliseconds timeout);

  /* Returns the rows gathered so far by the current or last run. */
  int64_t Rows() const { return m_progress.rows; }
  /* Returns the milliseconds since the current run started, or the length
  ** of the last run. */
  int64_t ElapsedMs() const;

  /* Hands over the outcome of the run that ended last, once; none while a
  ** run is going or when it was taken already. */
  std::optional<QueryOutcome> TakeOutcome();

 private:
  void Work(std::string sql, QueryRunKind kind, Finished finished, bool withRowId);

  CDorvexDoc& m_doc;
  mutable std::mutex m_mutex;
  std::condition_variable m_ended;
  std::thread m_thread;
  bool m_running = false;
  XB_QueryProgress m_progress;
  int64_t m_maxRows = 0;
  int64_t m_maxBytes = 0;
  std::chrono::steady_clock::time_point m_started;
  int64_t m_lastElapsedMs = 0;
  std::optional<QueryOutcome> m_outcome;
};

#endif
