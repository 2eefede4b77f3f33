/*
** DorvexAutomation: the viewer's service on the session bus, well-known
** name org.xbsoftware.Dorvex.  Its application object
** /org/xbsoftware/Dorvex (interface org.xbsoftware.Dorvex.Application)
** offers
**
**   CreateDocument() -> o   a new AutomationDocument (paths count up from 1
**                           and are never reused)
**   OpenFile(s path) -> b   hands PATH to the viewer's window (a second
**                           start of the viewer calls it); false when the
**                           viewer has no opener or the opener fails
**   Activate()               shows the viewer's window and brings it to the
**                           front (a second start without files calls it)
**
** and keeps the documents alive until Release, or until their creator has
** left the bus and nobody called them for the grace period (5 minutes, so
** a shell script may span several gdbus calls).  When the last document is
** gone, lastDocumentGone tells the program (which ends when it has no
** window either).
**
** Protocol: construct, optionally SetLimits and SetFileOpener, then
** Register on a connection.
**
** Errors: Register fails with a message when the name is owned by another
** process or the objects cannot be registered; CreateDocument answers the
** D-Bus error org.xbsoftware.Dorvex.Error.TooManyDocuments while the
** document limit (64) is reached.
*/
#ifndef DORVEXAUTOMATION_H
#define DORVEXAUTOMATION_H

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

class AutomationDocument;
class QDBusServiceWatcher;

class DorvexAutomation : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.xbsoftware.Dorvex.Application")

 public:
  static constexpr const char* kServiceName = "org.xbsoftware.Dorvex";
  static constexpr const char* kObjectPath = "/org/xbsoftware/Dorvex";
  static constexpr int kMaxDocuments = 64;
  static constexpr int kGraceMs = 5 * 60 * 1000;
  /* A bus message holds at most 128 MiB; the reply's header needs some. */
  static constexpr qint64 kMaxResultBytes = 128LL * 1024 * 1024 - 64 * 1024;

  /* Opens a file in the viewer's window; returns whether it opened. */
  using FileOpener = std::function<bool(const QString& path)>;

  explicit DorvexAutomation(QObject* parent = nullptr);
  ~DorvexAutomation() override;

  /* Changes the limits (tests shorten them). */
  void SetLimits(int maxDocuments, int graceMs, qint64 maxResultBytes);
  /* Sets who opens files for OpenFile. */
  void SetFileOpener(FileOpener opener) { m_opener = std::move(opener); }
  /* Sets who shows the window for Activate. */
  void SetActivator(std::function<void()> activator) { m_activator = std::move(activator); }

  /* Registers the application object on CONNECTION and takes the service
  ** name.  Returns false with ERROR set on failure (see the class comment). */
  bool Register(const QDBusConnection& connection, QString* error);

  /* Returns the number of live documents. */
  int DocumentCount() const { return static_cast<int>(m_documents.size()); }

 public slots:
  QDBusObjectPath CreateDocument();
  bool OpenFile(const QString& path);
  void Activate();

 signals:
  /* The last live document was released or reaped. */
  void lastDocumentGone();

 private slots:
  void OnReleaseRequested(AutomationDocument* document);
  void OnServiceUnregistered(const QString& name);
  void ReapIdle();

 private:
  void Remove(AutomationDocument* document);

  QDBusConnection m_connection;
  QDBusServiceWatcher* m_watcher = nullptr;
  QTimer m_reaper;
  FileOpener m_opener;
  std::function<void()> m_activator;
  std::map<int, AutomationDocument*> m_documents;
  int m_nextNumber = 1;
  int m_maxDocuments = kMaxDocuments;
  int m_graceMs = kGraceMs;
  qint64 m_maxResultBytes = kMaxResultBytes;
};

#endif
