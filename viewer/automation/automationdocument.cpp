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

#include "dorvexdochost.h"

namespace {

const char kRolledBack[] = "an open transaction was rolled back";

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
      m_maxResultBytes(maxResultBytes) {
  m_lastCall.start();
}

AutomationDocument::~AutomationDocument() {
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
  emit releaseRequested(this);
}

QString AutomationDocument::queryTabbed(const QString& sql) {
  m_lastCall.restart();
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
  XB_QueryProgress progress;
  // Each stored cell counts its text and 5 bytes, its tabbed form at least a
  // fifth of that: a run stopped here could never be sent.
  progress.maxBytes = m_maxResultBytes * 5 + 1;
  const QueryOutcome outcome = m_doc.Run(sql.toStdString(), QueryRunKind::Query, &progress);
  QString text;
  if (!outcome.ok) {
    m_lastError = QString::fromStdString(outcome.error.empty() ? m_doc.LastError() : outcome.error);
    return {};
  }
  if (outcome.limited || !TabbedText(outcome.result, &text)) {
    m_lastError = QStringLiteral("the result is larger than a bus message may hold (%1 bytes)")
                      .arg(m_maxResultBytes);
    if (calledFromDBus())
      sendErrorReply(QStringLiteral("org.xbsoftware.Dorvex.Error.ResultTooLarge"), m_lastError);
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
