/*
** The query runner: one worker thread per run, joined before the next.
*/
#include "queryrunner.h"

QueryRunner::QueryRunner(CDorvexDoc& doc) : m_doc(doc) {}

QueryRunner::~QueryRunner() {
  Cancel();
  Wait();
  if (m_thread.joinable()) m_thread.join();
}

bool QueryRunner::Start(const std::string& sql, QueryRunKind kind, Finished finished,
                        bool withRowId) {
  std::thread previous;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_running) return false;
    previous = std::move(m_thread);
  }
  // The last run's thread has done its work (its callback may still be
  // running and call this runner); only the join is left.
  if (previous.joinable()) previous.join();
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_running || !m_doc.ReserveRun()) return false;
  m_running = true;
  m_outcome.reset();
  m_progress.rows = 0;
  m_progress.cancel = false;
  m_progress.limited = false;
  m_progress.maxRows = m_maxRows;
  m_progress.maxBytes = m_maxBytes;
  m_started = std::chrono::steady_clock::now();
  m_thread = std::thread(&QueryRunner::Work, this, sql, kind, std::move(finished), withRowId);
  return true;
}

void QueryRunner::Work(std::string sql, QueryRunKind kind, Finished finished, bool withRowId) {
  QueryOutcome outcome = m_doc.RunReserved(sql, kind, &m_progress, withRowId);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastElapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - m_started)
                          .count();
    m_outcome = std::move(outcome);
    m_running = false;
  }
  m_ended.notify_all();
  if (finished) finished();
}

void QueryRunner::SetBounds(int64_t maxRows, int64_t maxBytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_maxRows = maxRows;
  m_maxBytes = maxBytes;
}

bool QueryRunner::IsRunning() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_running;
}

void QueryRunner::Cancel() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_running) return;
  // The flag stops the run between rows and at the engine's next check,
  // whenever the statement starts; the interrupt cuts a long step short.
  m_progress.cancel = true;
  m_doc.Interrupt();
}

void QueryRunner::Wait() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_ended.wait(lock, [this] { return !m_running; });
}

bool QueryRunner::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_ended.wait_for(lock, timeout, [this] { return !m_running; });
}

int64_t QueryRunner::ElapsedMs() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_running) return m_lastElapsedMs;
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               m_started)
      .count();
}

std::optional<QueryOutcome> QueryRunner::TakeOutcome() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::optional<QueryOutcome> outcome = std::move(m_outcome);
  m_outcome.reset();
  return outcome;
}
