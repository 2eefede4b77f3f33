/*
** AutomationOnly: the viewer started by the bus (--automation) without a
** window.  It serves the automation objects and ends the event loop when
** its last document is gone, or when no document was made within the grace
** period after the start (a start nobody followed up).  A window opened
** later (the single-instance hand-over) calls KeepRunning: from then on
** the window decides when the program ends.
**
** Errors: Start fails with the message of DorvexAutomation::Register.
*/
#ifndef AUTOMATIONONLY_H
#define AUTOMATIONONLY_H

#include <QObject>
#include <QTimer>

#include "dorvexautomation.h"

class AutomationOnly : public QObject {
  Q_OBJECT

 public:
  /* AUTOMATION serves the bus and must outlive this object. */
  explicit AutomationOnly(DorvexAutomation& automation, QObject* parent = nullptr);

  /* Registers AUTOMATION on CONNECTION and starts watching; IDLEMS is how
  ** long a start without any document may last.  False with ERROR set when
  ** the service cannot be registered. */
  bool Start(const QDBusConnection& connection, int idleMs, QString* error);
  /* Stops ending the program when the documents are gone. */
  void KeepRunning();

 signals:
  /* Nothing is left to serve: the program may end. */
  void finished();

 private slots:
  void OnIdle();

 private:
  DorvexAutomation& m_automation;
  QTimer m_idle;
  bool m_keepRunning = false;
};

#endif
