/*
** FrameLayout: the rules of the main window's remembered layout, kept free
** of any window so they can be checked without a display.
**
** Bars are known by their object names: "Toolbar", "StatusBar" and
** "QueryBar" are stored as the settings bars/tool, bars/status and
** bars/query (1 when shown); a bar with another name is not stored.  The
** same entries and "topmost" (the window stays on top) are kept under the
** settings node "main" at close and under a view state's own "main" node.
**
** A view state's rectangle is applied only when it is more than 10 pixels
** wide and more than 50 high, and only as far as the preferences
** state/save/pos and state/save/size allow; the result is then made fit
** for the screens (ClampToScreens).
*/
#ifndef FRAMELAYOUT_H
#define FRAMELAYOUT_H

#include "windowrect.h"

#include <QString>

#include <optional>
#include <vector>

class XB_SettingsAccess;

class FrameLayout {
 public:
  /* Version of the bar arrangement kept with saveState; an arrangement
  ** written with another version is not restored. */
  static constexpr int kBarStateVersion = 1;

  /* One bar of the window: its object name and whether it is shown. */
  struct Bar {
    QString name;
    bool visible = true;
  };

  /* Returns the settings key below a "main" node for the bar OBJECTNAME
  ** ("bars/tool", "bars/status", "bars/query"), or empty for a bar that is
  ** not stored. */
  static QString BarKey(const QString& objectName);

  /* Writes the visibility of every stored bar of BARS and ONTOP as
  ** "topmost" into NODE, each key preceded by PREFIX ("main/" for the
  ** settings, empty for a view state's own node). */
  static void SaveBars(XB_SettingsAccess& node, const QString& prefix, const std::vector<Bar>& bars,
                       bool onTop);

  /* Sets the visibility of every stored bar of BARS from NODE (shown when
  ** the entry is missing, which is then stored) and returns "topmost"
  ** (false when missing). */
  static bool RestoreBars(XB_SettingsAccess& node, const QString& prefix, std::vector<Bar>& bars);

  /* Returns where the window goes for a view state's rectangle STATE when
  ** it now stands at CURRENT: STATE itself with both SAVEPOS and SAVESIZE,
  ** STATE's top-left with CURRENT's size with SAVEPOS only, CURRENT's
  ** top-left with STATE's size with SAVESIZE only.  None when neither is
  ** set or STATE is not more than 10 x 50 pixels. */
  static std::optional<WindowRect> PlanStateRect(const WindowRect& state, const WindowRect& current,
                                                 bool savePos, bool saveSize);

  /* True when the placement of PLANNED depends on the window's own
  ** remembered placement first (one of SAVEPOS and SAVESIZE only). */
  static bool NeedsInitialPlacement(bool savePos, bool saveSize) { return savePos != saveSize; }

  /* Returns whether the window system PLATFORM (a Qt platform name) keeps
  ** a window above others on request.  Wayland compositors give clients no
  ** such control, nor do the full-screen platforms without a window
  ** manager; the offscreen platform keeps the request as asked. */
  static bool OnTopSupported(const QString& platform);
};

#endif
