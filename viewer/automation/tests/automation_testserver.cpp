/*
** The window-free automation server the activation test starts through a
** service file, as the bus starts Dorvex --automation: documents are
** reaped after half a second and a start without documents ends after two.
*/
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>

#include "servicelifetime.h"
#include "dorvexautomation.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  DorvexAutomation automation;
  automation.SetLimits(DorvexAutomation::kMaxDocuments, 500, DorvexAutomation::kMaxResultBytes);
  ServiceLifetime lifetime(automation);
  QObject::connect(&lifetime, &ServiceLifetime::finished, &app, &QCoreApplication::quit);
  QString error;
  if (!lifetime.Start(QDBusConnection::sessionBus(), 2000, &error)) {
    std::fprintf(stderr, "automation_testserver: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  return app.exec();
}
