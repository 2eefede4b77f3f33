/*
** The window-free automation server the activation test starts through a
** service file, as the bus starts Dorvex --automation: documents are
** reaped after half a second and a start without documents ends after two.
*/
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>

#include "automationonly.h"
#include "dorvexautomation.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  DorvexAutomation automation;
  automation.SetLimits(DorvexAutomation::kMaxDocuments, 500, DorvexAutomation::kMaxResultBytes);
  AutomationOnly only(automation);
  QObject::connect(&only, &AutomationOnly::finished, &app, &QCoreApplication::quit);
  QString error;
  if (!only.Start(QDBusConnection::sessionBus(), 2000, &error)) {
    std::fprintf(stderr, "automation_testserver: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  return app.exec();
}
