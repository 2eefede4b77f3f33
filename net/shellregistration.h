/*
** ShellRegistration: makes the viewer known to the desktop for the current
** user: its desktop entries (databases of both generations and ".dvx"
** documents open in the viewer, ".dvxs" view states with "--state"), the
** MIME package for ".dvx" and ".dvxs", the icons and the D-Bus service.
**
** Register() writes only below the user's data folder ($XDG_DATA_HOME),
** and only when the viewer is not installed for the whole system (a
** "dorvex.desktop" in one of $XDG_DATA_DIRS).  Each file it writes carries
** the marker "X-Dorvex-Registered"; a file without the marker belongs to
** the user and is never touched.  A file whose content is already right
** is not written again, so a second start changes nothing.  The user's
** default-application choices (mimeapps.list) are never written; the
** desktop picks the viewer from the desktop entries.  When the MIME
** package or a desktop entry changed, update-mime-database and
** update-desktop-database are run on the user's folders (directly, never
** through a shell) when present.  With a system copy present, marked user
** copies left from an earlier registration are removed so that they cannot
** hide the installed ones.
** Errors: files that cannot be written are listed in the report and
** Register() gives false; nothing is shown to the user.
*/
#ifndef SHELLREGISTRATION_H
#define SHELLREGISTRATION_H

#include <QString>
#include <QStringList>

struct RegistrationReport {
  bool systemInstall = false;  // a system-wide copy exists; nothing was written
  QStringList written;         // files created or replaced
  QStringList removed;         // own stale copies removed
  QStringList foreign;         // files without the marker, left alone
  QStringList failed;          // files that could not be written
};

class ShellRegistration {
 public:
  static constexpr const char* kMarker = "X-Dorvex-Registered";

  /* Registers PROGRAMPATH (an absolute path) as above.  True when every
  ** file is in place or belongs to the user or to the system. */
  static bool Register(const QString& programPath, RegistrationReport* report = nullptr);

  /* ARGUMENT quoted for an Exec key of a desktop entry: in double quotes
  ** with ", `, $ and \ escaped, % doubled, then backslashes doubled for the
  ** string value.  Empty when ARGUMENT holds a control character, which an
  ** Exec line cannot carry. */
  static QString QuoteDesktopExec(const QString& argument);

  /* ARGUMENT quoted for the Exec line of a D-Bus service file. */
  static QString QuoteServiceExec(const QString& argument);

  /* The text of a shipped file for the user's registration: the program
  ** put in, the marker added.  Empty for an unknown path. */
  static QString RegisteredText(const QString& relativePath, const QString& programPath);
};

#endif /* SHELLREGISTRATION_H */
