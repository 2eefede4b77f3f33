/*
** The language of the viewer's own prompts: German or English, chosen by
** the profile's "app/lang" entry ("de" in any case means German, anything
** else English).
*/
#ifndef LANGUAGE_H
#define LANGUAGE_H

#include <QSettings>
#include <QString>

/* Sets the default locale to German (Germany) or English (United States)
** by the profile and writes the entry back as "de" or "en". */
void ApplyLanguage(QSettings& profile);

/* True when the profile's language equals CODE ignoring case; a missing
** entry means "en". */
bool IsLanguage(QSettings& profile, const QString& code);

#endif /* LANGUAGE_H */
