/*
** The window-free run of the viewer under the bus (see automationonly.h).
*/
#include "automationonly.h"

AutomationOnly::AutomationOnly(DorvexAutomation& automation, QObject* parent)
    : QObject(parent), m_automation(automation) {
  m_idle.setSingleShot(true);
  connect(&m_idle, &QTimer::timeout, this, &AutomationOnly::OnIdle);
  connect(&m_automation, &DorvexAutomation::lastDocumentGone, this, &AutomationOnly::OnIdle);
}

bool AutomationOnly::Start(const QDBusConnection& connection, int idleMs, QString* error) {
  if (!m_automation.Register(connection, error)) return false;
  m_idle.start(idleMs);
  return true;
}

void AutomationOnly::KeepRunning() {
  m_keepRunning = true;
  m_idle.stop();
}

void AutomationOnly::OnIdle() {
  if (m_keepRunning || m_automation.DocumentCount() > 0) return;
  emit finished();
}
