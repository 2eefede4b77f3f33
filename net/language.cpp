/*
** Language selection from the profile.
*/
#include "language.h"

#include <QLocale>

namespace {
const char kEntry[] = "app/lang";
}

void ApplyLanguage(QSettings& profile) {
  bool german = IsLanguage(profile, QStringLiteral("de"));
  QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany)
                             : QLocale(QLocale::English, QLocale::UnitedStates));
  profile.setValue(kEntry, german ? QStringLiteral("de") : QStringLiteral("en"));
}

bool IsLanguage(QSettings& profile, const QString& code) {
  QString lang = profile.value(kEntry, QStringLiteral("en")).toString();
  return lang.compare(code, Qt::CaseInsensitive) == 0;
}
