/*
** When a viewer serving the bus may end (see servicelifetime.h).
*/
#include "servicelifetime.h"

ServiceLifetime::ServiceLifetime(DorvexAutomation& automation, QObject* parent)
    : QObject(parent), m_automation(automation) {
  m_idle.setSingleShot(true);
  connect(&m_idle, &QTimer::timeout, this, &ServiceLifetime::Check);
  connect(&m_automation, &DorvexAutomation::lastDocumentGone, this, &ServiceLifetime::Check);
}

bool ServiceLifetime::Start(const QDBusConnection& connection, int idleMs, QString* error) {
  if (!m_automation.Register(connection, error)) return false;
  m_idle.start(idleMs);
  return true;
}

void ServiceLifetime::SetWindowOpen(bool open) {
  m_windowOpen = open;
  if (open) {
    m_idle.stop();
    return;
  }
  Check();
}

void ServiceLifetime::Check() {
  if (m_windowOpen || m_automation.DocumentCount() > 0) return;
  emit finished();
}
