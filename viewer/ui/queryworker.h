/*
** QueryWorker: runs one query of a document on a thread of its own and
** delivers the outcome on the window thread, so the window keeps painting
** and answering while the engine works.
**
** Protocol: Start while no run is under way (IsRunning false); the result
** is gathered into a fresh XB_SQLiteResult, never into one the window
** shows.  When the run ends, DONE is called on the window thread with true
** for success; TakeResult then hands over the result, WasLimited tells
** whether the row bound cut it short and Cancelled whether Cancel stopped
** it.  Cancel may be called at any time; CancelAndWait also waits for the
** thread (the document must not go while it runs).  A worker deleted
** before its run was delivered never calls DONE.
*/
#ifndef QUERYWORKER_H
#define QUERYWORKER_H

#include "xb_sqlitedb.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <thread>

class ViewDocument;

/* Where a result stops: at most this many rows and bytes of cell text
** (0 for no bound). */
struct RowBound {
  int64_t maxRows = 0;
  int64_t maxBytes = 0;
};

class QueryWorker : public QObject {
  Q_OBJECT
 public:
  explicit QueryWorker(ViewDocument& document);
  ~QueryWorker() override;

  /* Runs SQL on the document's connection off the window thread.  Returns
  ** false (and never calls DONE) while another run is under way. */
  bool Start(const QString& sql, RowBound bound, std::function<void(bool)> done);

  bool IsRunning() const { return m_thread.joinable(); }

  /* Asks the running query to stop. */
  void Cancel();
  /* Asks it to stop and waits until the thread has ended. */
  void CancelAndWait();

  /* Rows gathered so far by the running query. */
  int64_t RowsSoFar() const { return m_progress ? m_progress->rows.load() : 0; }

  XB_SQLiteResult TakeResult() { return std::move(m_result); }
  bool WasLimited() const { return m_limited; }
  bool Cancelled() const { return m_cancelled; }

 private:
  void Deliver(bool ok, std::function<void(bool)> done);

  ViewDocument& m_document;
  std::thread m_thread;
  std::shared_ptr<XB_QueryProgress> m_progress;
  XB_SQLiteResult m_result;
  bool m_limited = false;
  bool m_cancelled = false;
};

#endif
