/*
** Where the viewer's settings file lives and how it is loaded and saved.
**
** The file is "dorvex.xml" in the per-user configuration folder
** (QStandardPaths::AppConfigLocation, so $XDG_CONFIG_HOME/XB Software/
** Dorvex).  A file that exists but does not load is never overwritten: it is
** renamed with ".bad" added and the user is told; if even the rename fails,
** saving stays off for the run.  A save that fails says why, so the caller
** can tell the user (a message after a dialog, a line on the error stream at
** exit).
**
** Several viewers may run at once.  A save holds the lock file PATH +
** ".lock" while it reads the file again, takes over what another viewer
** changed meanwhile (SettingsMerge) and writes the result, so no viewer
** undoes another's changes.
*/
#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include "settingsmerge.h"

#include <QString>

class SettingsStore;

class SettingsFile {
 public:
  /* How long a save waits for another writer's lock by default. */
  static constexpr int kLockWaitMs = 10000;

  /* Returns the settings file's path in the per-user configuration folder. */
  static QString DefaultPath();

  /* Binds STORE to PATH and loads it.  A missing file leaves the tree empty
  ** and is no error.  Returns false, with a message for the user in
  ** m_notice terms (see Notice), when the file exists but could not be read;
  ** the file is then kept as PATH + ".bad". */
  bool Load(SettingsStore& store, const QString& path);

  /* Writes STORE to its file, making the folder first, after taking into
  ** STORE what another writer changed in the file since this object last
  ** read or wrote it.  Returns false with the reason in ERROR when saving
  ** is off (see Load), the lock could not be had in time (SetLockWait) or the
  ** write failed; the old file is then unchanged. */
  bool Save(SettingsStore& store, QString& error);

  /* Sets how long a save waits for another writer's lock. */
  void SetLockWait(int milliseconds) { m_lockWaitMs = milliseconds; }

  /* The message Load left for the user, empty when there is none. */
  const QString& Notice() const { return m_notice; }

  /* False after a file that could not be read could not be moved aside. */
  bool SaveAllowed() const { return m_saveAllowed; }

 private:
  QString m_path;
  QString m_notice;
  bool m_saveAllowed = true;
  int m_lockWaitMs = kLockWaitMs;
  SettingsMerge::Snapshot m_baseline; /* the file as last read or written */
};

#endif
