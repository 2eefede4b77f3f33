/*
** ViewStateWriter: what Save State writes, without the windows.  The
** window hands over a snapshot of the active view (database, query, repeat
** interval) and of the main window (rectangle, bars, on-top state); the
** preferences state/save/pos, state/save/size, state/save/main and
** state/save/relativepath decide which of it goes into the file and whether
** the database path is written relative to the state file's folder.
*/
#ifndef VIEWSTATEWRITER_H
#define VIEWSTATEWRITER_H

#include <QRect>
#include <QString>

class DorvexState;
class XB_SettingsAccess;

/* Which of the main window's bars are shown, and whether it stays on top. */
struct FrameBars {
  bool query = true;
  bool status = true;
  bool tool = true;
  bool topmost = false;
};

/* What the active view and the main window show when the state is saved. */
struct ViewStateSnapshot {
  QString databasePath;    /* absolute path of the view's database */
  QString query;           /* the view's current query */
  int intervalSeconds = 0; /* repeat interval; 0 when not repeating */
  QRect frame;             /* the main window's rectangle */
  FrameBars bars;
};

class ViewStateWriter {
 public:
  /* Fills STATE from SNAPSHOT for a state file at STATEPATH (absolute) as
  ** SETTINGS say (missing preferences take their defaults). */
  static void Fill(DorvexState& state, const ViewStateSnapshot& snapshot, const QString& statePath,
                   XB_SettingsAccess& settings);

  /* Writes SNAPSHOT as a state file at PATH.  Returns false with the reason
  ** in *ERROR when nothing was written: the file could not be written (an
  ** earlier file at PATH is then kept), or it could not hold the query or
  ** the path exactly. */
  static bool Write(const ViewStateSnapshot& snapshot, const QString& path,
                    XB_SettingsAccess& settings, QString* error);
};

#endif
