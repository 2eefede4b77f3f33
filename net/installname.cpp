/*
** The identifier form and the install file name.
*/
#include "installname.h"

#include <QUrl>

namespace {

/* C with the accents the identifier form knows folded away. */
QChar Folded(QChar c) {
  switch (c.unicode()) {
    case 0xE1:
    case 0xE0:
    case 0xE2:
    case 0xE3:
      return QLatin1Char('a');
    case 0xE9:
    case 0xE8:
    case 0xEA:
      return QLatin1Char('e');
    case 0xE7:
      return QLatin1Char('c');
    default:
      return c;
  }
}

bool IsAsciiLetter(QChar c) {
  return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
         (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool IsWordChar(QChar c) {
  return IsAsciiLetter(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
         c == QLatin1Char('_');
}

}  // namespace

QString IdentifierForm(const QString& name) {
  QString text;
  bool started = false;
  for (QChar c : name) {
    c = Folded(c);
    if (!started && !IsAsciiLetter(c)) continue;
    started = true;
    text += IsWordChar(c) ? c : QLatin1Char(' ');
  }
  return text.trimmed().replace(QLatin1Char(' '), QLatin1Char('_'));
}

QString InstallFileName(const QString& appName, const QString& url) {
  QString path = QUrl(url).path().toLower();
  QString extension;
  for (const char* known : {".deb", ".tar.gz", ".tar.xz", ".zip"}) {
    if (path.endsWith(QLatin1String(known))) extension = QLatin1String(known);
  }
  return QStringLiteral("install_") + IdentifierForm(appName) + QStringLiteral("_update") +
         extension;
}
