/*
** Names for a downloaded release: the identifier form of the program's
** name and the file name the download is saved under.
*/
#ifndef INSTALLNAME_H
#define INSTALLNAME_H

#include <QString>

/* NAME as an identifier: á à â ã, é è ê and ç become a, e and c; everything
** before the first ASCII letter is dropped; every other character that is
** not an ASCII letter, digit or "_" separates words, and words are joined
** with one "_" per separator ("  Dorvex Pro: 2" gives "Dorvex_Pro__2"). */
QString IdentifierForm(const QString& name);

/* "install_<identifier of APPNAME>_update" followed by the extension of
** URL's path when it is ".deb", ".tar.gz", ".tar.xz" or ".zip" (in any
** letter case, written in lower case), else nothing. */
QString InstallFileName(const QString& appName, const QString& url);

#endif /* INSTALLNAME_H */
