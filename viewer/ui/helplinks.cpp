/*
** Help menu addresses.
*/
#include "helplinks.h"

#ifndef DORVEX_HOME_URL
#define DORVEX_HOME_URL ""
#endif

namespace HelpLinks {
QString EngineSite() {
  return QStringLiteral("https://www.sqlite.org/");
}
QString EngineSyntax() {
  return QStringLiteral("https://www.sqlite.org/lang.html");
}
QString ProgramPage() {
  return QStringLiteral(DORVEX_HOME_URL);
}
}  // namespace HelpLinks
