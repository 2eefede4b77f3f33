/*
** Off-thread runs of a document's queries.
*/
#include "queryworker.h"

#include "viewdocument.h"

#include <QMetaObject>

QueryWorker::QueryWorker(ViewDocument& document) : m_document(document) {}

QueryWorker::~QueryWorker() {
  CancelAndWait();
}

bool QueryWorker::Start(const QString& sql, RowBound bound, std::function<void(bool)> done) {
  if (IsRunning()) return false;
  m_result.Reset();
  m_limited = false;
  m_cancelled = false;
  m_progress = std::make_shared<XB_QueryProgress>();
  m_progress->maxRows = bound.maxRows;
  m_progress->maxBytes = bound.maxBytes;
  auto progress = m_progress;
  auto result = std::make_shared<XB_SQLiteResult>();
  QByteArray text = sql.toUtf8();
  m_thread = std::thread([this, progress, result, text, done = std::move(done)]() mutable {
    bool ok = m_document.RunQuery(*result, text, progress.get());
    // Back on the window thread; dropped if the worker is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this, ok, progress, result, done = std::move(done)]() mutable {
          m_result = std::move(*result);
          m_limited = ok && progress->limited;
          m_cancelled = !ok && progress->cancel;
          Deliver(ok, std::move(done));
        },
        Qt::QueuedConnection);
  });
  return true;
}

void QueryWorker::Deliver(bool ok, std::function<void(bool)> done) {
  if (m_thread.joinable()) m_thread.join();
  if (done) done(ok);
}

void QueryWorker::Cancel() {
  if (!m_progress) return;
  m_progress->cancel = true;
  m_document.Interrupt();
}

void QueryWorker::CancelAndWait() {
  if (!m_thread.joinable()) return;
  Cancel();
  m_thread.join();
}
