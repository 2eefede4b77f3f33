/*
** The viewer's automation service on the session bus (see
** dorvexautomation.h): documents made for clients, their release, and the
** reaping of documents whose client is gone.
*/
#include "dorvexautomation.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <algorithm>

#include "automationdocument.h"

DorvexAutomation::DorvexAutomation(QObject* parent)
    : QObject(parent), m_connection(QStringLiteral("(not connected)")) {
  connect(&m_reaper, &QTimer::timeout, this, &DorvexAutomation::ReapIdle);
}

DorvexAutomation::~DorvexAutomation() {
  for (auto& [number, document] : m_documents) {
    m_connection.unregisterObject(document->ObjectPath());
    delete document;
  }
  if (m_watcher) {
    m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
    m_connection.unregisterService(QString::fromLatin1(kServiceName));
  }
}

void DorvexAutomation::SetLimits(int maxDocuments, int graceMs, qint64 maxResultBytes) {
  m_maxDocuments = maxDocuments;
  m_graceMs = graceMs;
  m_maxResultBytes = maxResultBytes;
}

bool DorvexAutomation::Register(const QDBusConnection& connection, QString* error) {
  m_connection = connection;
  if (!m_connection.isConnected()) {
    *error = QStringLiteral("no session bus: %1").arg(m_connection.lastError().message());
    return false;
  }
  if (!m_connection.registerObject(QString::fromLatin1(kObjectPath), this,
                                   QDBusConnection::ExportAllSlots)) {
    *error = QStringLiteral("the object %1 is already registered").arg(kObjectPath);
    return false;
  }
  if (!m_connection.registerService(QString::fromLatin1(kServiceName))) {
    m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
    *error = QStringLiteral("the bus name %1 is owned by another process").arg(kServiceName);
    return false;
  }
  m_watcher = new QDBusServiceWatcher(QString(), m_connection,
                                      QDBusServiceWatcher::WatchForUnregistration, this);
  connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
          &DorvexAutomation::OnServiceUnregistered);
  // Check a few times per grace period; the shortest reap waits the whole period.
  m_reaper.start(std::clamp(m_graceMs / 4, 20, 30000));
  return true;
}

QDBusObjectPath DorvexAutomation::CreateDocument() {
  if (DocumentCount() >= m_maxDocuments) {
    if (calledFromDBus())
      sendErrorReply(
          QStringLiteral("org.xbsoftware.Dorvex.Error.TooManyDocuments"),
          QStringLiteral("at most %1 automation documents may be alive").arg(m_maxDocuments));
    return {};
  }
  const QString creator = calledFromDBus() ? message().service() : QString();
  auto* document = new AutomationDocument(m_nextNumber++, creator, m_maxResultBytes, this);
  if (!m_connection.registerObject(document->ObjectPath(), document,
                                   QDBusConnection::ExportAllSlots)) {
    delete document;
    if (calledFromDBus())
      sendErrorReply(QDBusError::Failed, QStringLiteral("the document could not be registered"));
    return {};
  }
  m_documents[document->Number()] = document;
  connect(document, &AutomationDocument::releaseRequested, this,
          &DorvexAutomation::OnReleaseRequested);
  if (!creator.isEmpty() && m_watcher) {
    m_watcher->addWatchedService(creator);
    // The creator may have left before the watch began.
    if (!m_connection.interface()->isServiceRegistered(creator).value())
      document->MarkCreatorGone();
  }
  return QDBusObjectPath(document->ObjectPath());
}

bool DorvexAutomation::OpenFile(const QString& path) {
  return m_opener && m_opener(path);
}

void DorvexAutomation::Activate() {
  if (m_activator) m_activator();
}

void DorvexAutomation::OnReleaseRequested(AutomationDocument* document) {
  Remove(document);
}

void DorvexAutomation::OnServiceUnregistered(const QString& name) {
  for (auto& [number, document] : m_documents)
    if (document->Creator() == name) document->MarkCreatorGone();
  m_watcher->removeWatchedService(name);
}

void DorvexAutomation::ReapIdle() {
  std::vector<AutomationDocument*> idle;
  for (auto& [number, document] : m_documents)
    if (document->CreatorGone() && document->IdleMs() >= m_graceMs) idle.push_back(document);
  for (AutomationDocument* document : idle) Remove(document);
}

void DorvexAutomation::Remove(AutomationDocument* document) {
  m_connection.unregisterObject(document->ObjectPath());
  m_documents.erase(document->Number());
  // Release arrives inside the document's own call: delete it once that returns.
  document->deleteLater();
  if (m_documents.empty()) emit lastDocumentGone();
}
