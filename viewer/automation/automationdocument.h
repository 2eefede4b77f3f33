/*
** AutomationDocument: one database document on the session bus, made by
** DorvexAutomation::CreateDocument at /org/xbsoftware/Dorvex/Document/N,
** interface org.xbsoftware.Dorvex.Document.  It wraps the same window-free
** document (CDorvexDoc) the viewer opens, without a window, and offers:
**
**   load(s path) -> b      opens PATH (absolute) and keeps it open between
**                          queries; a path where no file is creates an
**                          empty 3.x database
**   queryTabbed(s sql) -> s  the result's rows, values separated by a tab,
**                          each row ended by a newline, NULL as an empty
**                          field; no header, nothing quoted
**   free() -> b            closes the file; always true
**   lastError() -> s       the message of the last call, empty after success
**   Release()              ends the document; its path is never reused
**
** An open transaction is rolled back when the document is freed, released,
** loaded with another file or reaped (nobody is left to ask); free and load
** say so in lastError.
**
** A queryTabbed call from the bus runs off the event loop (the viewer's
** window keeps answering) and is answered when the query ends.  Meanwhile
** a second queryTabbed is refused with org.xbsoftware.Dorvex.Error.Busy,
** and load, free or Release stop the query: its caller gets the error
** org.xbsoftware.Dorvex.Error.Cancelled.
**
** Errors: load answers false and queryTabbed the empty text, with the
** reason in lastError: "load needs an absolute path", "the text holds a
** NUL character", "no database is loaded", the document's messages (a text
** the file's encoding cannot hold among them) and the engine's.  A result
** that would not fit in a bus message is answered with the D-Bus error
** org.xbsoftware.Dorvex.Error.ResultTooLarge.
*/
#ifndef AUTOMATIONDOCUMENT_H
#define AUTOMATIONDOCUMENT_H

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <memory>

#include "dorvexdoc.h"

class QueryRunner;

class AutomationDocument : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.xbsoftware.Dorvex.Document")

 public:
  /* NUMBER is the N of the object path; CREATOR the bus name of the client
  ** that made it (empty when made from inside the viewer); MAXRESULTBYTES
  ** the largest queryTabbed text, in UTF-8 bytes. */
  AutomationDocument(int number, const QString& creator, qint64 maxResultBytes,
                     QObject* parent = nullptr);
  ~AutomationDocument() override;

  int Number() const { return m_number; }
  const QString& Creator() const { return m_creator; }
  /* Returns the bus object path of the document. */
  QString ObjectPath() const;
  /* Returns the milliseconds since the last call on the bus (or creation). */
  qint64 IdleMs() const { return m_lastCall.elapsed(); }
  /* Notes that the creator has left the bus. */
  void MarkCreatorGone() { m_creatorGone = true; }
  bool CreatorGone() const { return m_creatorGone; }

 public slots:
  QString queryTabbed(const QString& sql);
  bool load(const QString& path);
  bool free();
  QString lastError();
  void Release();

 signals:
  /* Release was called: the owner unregisters and deletes the document. */
  void releaseRequested(AutomationDocument* document);

 private:
  void EndTransaction();
  bool TabbedText(const XB_SQLiteResult& result, QString* text);
  /* Returns the text of OUTCOME; an empty one with lastError set when it
  ** failed, and TOOLARGE set when it cannot be sent. */
  QString Answer(const QueryOutcome& outcome, bool* tooLarge);
  /* Runs SQL on the runner; the current bus call is answered once it ends. */
  void StartQuery(const std::string& sql);
  void OnQueryFinished();
  /* Stops a query still running and answers its caller with WHY. */
  void StopQuery(const QString& why);

  class Host;
  std::unique_ptr<Host> m_host;
  CDorvexDoc m_doc;
  int m_number;
  QString m_creator;
  qint64 m_maxResultBytes;
  QString m_lastError;
  QElapsedTimer m_lastCall;
  bool m_creatorGone = false;
  // Runs on m_doc: declared after it, so that it is gone first.
  std::unique_ptr<QueryRunner> m_runner;
  QDBusConnection m_replyConnection;
  QDBusMessage m_pending; /* the call a running query answers */
};

#endif
