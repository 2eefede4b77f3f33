/*
** The web addresses of the Help menu: the SQLite web site, its SQL syntax
** page and the program's own page.  The program's page is a build setting
** (DORVEX_HOME_URL), empty by default; its menu item is disabled while it
** is empty.
*/
#ifndef HELPLINKS_H
#define HELPLINKS_H

#include <QString>

namespace HelpLinks {
QString EngineSite();
QString EngineSyntax();
QString ProgramPage();
}  // namespace HelpLinks

#endif
