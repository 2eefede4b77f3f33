/*
** One automation document on the session bus (see automationdocument.h):
** the calls of a script or program turned into opens, queries and closes
** of a window-free document, and results turned into tab-separated text.
*/
#include "automationdocument.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <utility>

#include "dorvexdochost.h"
#include "queryrunner.h"

namespace {

const char kRolledBack[] = "an open transaction was rolled back";
const char kTooLarge[] = "org.xbsoftware.Dorvex.Error.ResultTooLarge";
const char kBusy[] = "org.xbsoftware.Dorvex.Error.Busy";
const char kCancelled[] = "org.xbsoftware.Dorvex.Error.Cancelled";

}  // namespace

/* Nobody watches an automation document: no question is asked (the safe
** answer holds), an open transaction is rolled back, no window moves. */
class AutomationDocument::Host : public DorvexDocHost {
 public:
  bool AskYesNo(const std::string&, bool) override { return false; }
  TransactionEnd AskTransactionEnd(const std::string&) override { return TransactionEnd::RollBack; }
  void ApplyStateLayout(const DorvexState&) override {}
};

AutomationDocument::AutomationDocument(int number, const QString& creator, qint64 maxResultBytes,
                                       QObject* parent)
    : QObject(parent),
      m_host(std::make_unique<Host>()),
      m_doc(m_host.get(), nullptr),
      m_number(number),
      m_creator(creator),
      m_maxResultBytes(maxResultBytes),
      m_runner(std::make_unique<QueryRunner>(m_doc)),
      m_replyConnection(QStringLiteral("(not connected)")) {
  m_lastCall.start();
  // Each stored cell counts its text and 5 bytes, its tabbed form at least a
  // fifth of that: a run stopped here could never be sent.
  m_runner->SetBounds(0, m_maxResultBytes * 5 + 1);
}

AutomationDocument::~AutomationDocument() {
  StopQuery(QStringLiteral("the document was released"));
  EndTransaction();
  m_doc.Close();
}

QString AutomationDocument::ObjectPath() const {
  return QStringLiteral("/org/xbsoftware/Dorvex/Document/%1").arg(m_number);
}

void AutomationDocument::EndTransaction() {
  if (!m_doc.TransactionOpen()) return;
  if (m_doc.CanClose()) m_lastError = QString::fromLatin1(kRolledBack);
}

bool AutomationDocument::load(const QString& path) {
  m_lastCall.restart();
  m_lastError.clear();
  if (path.contains(QChar(0))) {
    m_lastError = QStringLiteral("the text holds a NUL character");
    return false;
  }
  // The caller's working folder is not ours: a relative path would name another file.
  if (!QDir::isAbsolutePath(path)) {
    m_lastError = QStringLiteral("load needs an absolute path");
    return false;
  }
  StopQuery(QStringLiteral("load was called"));
  EndTransaction();
  const QString rolledBack = m_lastError;
  m_doc.Close();
  const std::string file = QDir::cleanPath(path).toStdString();
  if (!QFileInfo::exists(path)) {
    std::unique_ptr<XB_SQLiteDB> made(XB_SQLiteDB::NewByVersion(file.c_str(), 3));
    if (!made || !made->OpenOrCreate()) {
      m_lastError = made && made->LastError() ? QString::fromUtf8(made->LastError())
                                              : QStringLiteral("the database could not be made");
      return false;
    }
  }
  m_doc.SetLocked(true);
  const bool ok = m_doc.OpenDatabase(file);
  m_lastError = ok ? rolledBack : QString::fromStdString(m_doc.LastError());
  return ok;
}

bool AutomationDocument::free() {
  m_lastCall.restart();
  m_lastError.clear();
  StopQuery(QStringLiteral("free was called"));
  EndTransaction();
  m_doc.Close();
  return true;
}

QString AutomationDocument::lastError() {
  m_lastCall.restart();
  return m_lastError;
}

void AutomationDocument::Release() {
  m_lastCall.restart();
  StopQuery(QStringLiteral("the document was released"));
  emit releaseRequested(this);
}

QString AutomationDocument::queryTabbed(const QString& sql) {
  m_lastCall.restart();
  if (calledFromDBus() && m_pending.type() != QDBusMessage::InvalidMessage) {
    sendErrorReply(QString::fromLatin1(kBusy),
                   QStringLiteral("the document is still running a query"));
    return {};
  }
  m_lastError.clear();
  if (sql.contains(QChar(0))) {
    // The engine would stop at the NUL and run another statement than was sent.
    m_lastError = QStringLiteral("the text holds a NUL character");
    return {};
  }
  if (!m_doc.HasConnection()) {
    m_lastError = QStringLiteral("no database is loaded");
    return {};
  }
  if (calledFromDBus()) {
    StartQuery(sql.toStdString());
    return {};
  }
  XB_QueryProgress progress;
  progress.maxBytes = m_maxResultBytes * 5 + 1;
  bool tooLarge = false;
  return Answer(m_doc.Run(sql.toStdString(), QueryRunKind::Query, &progress), &tooLarge);
}

void AutomationDocument::StartQuery(const std::string& sql) {
  setDelayedReply(true);
  auto finished = [this] {
    QMetaObject::invokeMethod(this, &AutomationDocument::OnQueryFinished, Qt::QueuedConnection);
  };
  if (!m_runner->Start(sql, QueryRunKind::Query, finished)) {
    sendErrorReply(QString::fromLatin1(kBusy), QStringLiteral("the document is busy"));
    return;
  }
  m_pending = message();
  m_replyConnection = connection();
}

void AutomationDocument::OnQueryFinished() {
  // StopQuery may have answered the call already.
  if (m_pending.type() == QDBusMessage::InvalidMessage) return;
  std::optional<QueryOutcome> outcome = m_runner->TakeOutcome();
  if (!outcome) return;
  const QDBusMessage request = std::exchange(m_pending, QDBusMessage());
  m_lastCall.restart();
  bool tooLarge = false;
  const QString text = Answer(*outcome, &tooLarge);
  m_replyConnection.send(tooLarge
                             ? request.createErrorReply(QString::fromLatin1(kTooLarge), m_lastError)
                             : request.createReply(text));
}

void AutomationDocument::StopQuery(const QString& why) {
  if (m_pending.type() == QDBusMessage::InvalidMessage) return;
  m_runner->Cancel();
  m_runner->Wait();
  m_runner->TakeOutcome();
  const QDBusMessage request = std::exchange(m_pending, QDBusMessage());
  m_replyConnection.send(request.createErrorReply(QString::fromLatin1(kCancelled), why));
}

QString AutomationDocument::Answer(const QueryOutcome& outcome, bool* tooLarge) {
  QString text;
  if (!outcome.ok) {
    m_lastError = QString::fromStdString(outcome.error.empty() ? m_doc.LastError() : outcome.error);
    return {};
  }
  if (outcome.limited || !TabbedText(outcome.result, &text)) {
    m_lastError = QStringLiteral("the result is larger than a bus message may hold (%1 bytes)")
                      .arg(m_maxResultBytes);
    *tooLarge = true;
    return {};
  }
  return text;
}

/* Builds the tabbed text of RESULT into TEXT; false when it grows past the
** limit (counted in UTF-8, the form the bus sends). */
bool AutomationDocument::TabbedText(const XB_SQLiteResult& result, QString* text) {
  std::string utf8;
  const int cols = result.Cols();
  if (cols <= 0) return true;
  for (int row = 0; row < result.Rows(); ++row) {
    for (int col = 0; col < cols; ++col) {
      size_t length = 0;
      const char* value = result.Get(col, row, length);
      if (value) utf8 += m_doc.FromFileText(std::string_view(value, length));
      utf8 += col + 1 < cols ? '\t' : '\n';
    }
    if (static_cast<qint64>(utf8.size()) > m_maxResultBytes) return false;
  }
  *text = QString::fromStdString(utf8);
  return true;
}
