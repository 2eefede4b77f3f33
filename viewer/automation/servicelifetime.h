/*
** ServiceLifetime: decides when a viewer that serves the bus may end.  The
** program ends once it has no automation document left and no window open:
** a start by the bus (--automation) without a window ends after its last
** document, or when no document was made within the idle period after the
** start (a start nobody followed up); a window closed while a client still
** holds documents leaves the program running, without a window, until
** they are gone.  The window tells it with SetWindowOpen.
**
** Errors: Start fails with the message of DorvexAutomation::Register.
*/
#ifndef SERVICELIFETIME_H
#define SERVICELIFETIME_H

#include <QObject>
#include <QTimer>

#include "dorvexautomation.h"

class ServiceLifetime : public QObject {
  Q_OBJECT

 public:
  /* AUTOMATION serves the bus and must outlive this object. */
  explicit ServiceLifetime(DorvexAutomation& automation, QObject* parent = nullptr);

  /* Registers AUTOMATION on CONNECTION and starts watching; IDLEMS is how
  ** long a start without any document or window may last.  False with
  ** ERROR set when the service cannot be registered. */
  bool Start(const QDBusConnection& connection, int idleMs, QString* error);
  /* Says whether the program's window is open (it is not at first). */
  void SetWindowOpen(bool open);

 signals:
  /* Nothing is left to serve and no window is open: the program may end. */
  void finished();

 private slots:
  void Check();

 private:
  DorvexAutomation& m_automation;
  QTimer m_idle;
  bool m_windowOpen = false;
};

#endif
