/*
** Entry point of Dorvex: makes the application object, keeps number
** formatting in the "C" form, and runs start-up (on the session bus), the
** event loop and exit.
*/
#include "dorvexstartup.h"

#include <QApplication>
#include <QDBusConnection>

#include <clocale>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Qt sets the C locale from the environment; values and titles must keep
  // "." as the decimal point whatever the user's language.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setOrganizationName(QStringLiteral("XB Software"));
  QApplication::setApplicationName(QStringLiteral("Dorvex"));
  DorvexStartup startup;
  startup.UseBus(QDBusConnection::sessionBus());
  int code = startup.Start(QApplication::arguments().mid(1));
  if (code >= 0) return code;
  int result = QApplication::exec();
  startup.Finish();
  return result;
}
