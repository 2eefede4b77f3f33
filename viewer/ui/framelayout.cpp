/*
** Rules of the main window's remembered layout.
*/
#include "framelayout.h"

#include "xb_settingsaccess.h"

QString FrameLayout::BarKey(const QString& objectName) {
  if (objectName == QLatin1String("Toolbar")) return QStringLiteral("bars/tool");
  if (objectName == QLatin1String("StatusBar")) return QStringLiteral("bars/status");
  if (objectName == QLatin1String("QueryBar")) return QStringLiteral("bars/query");
  return QString();
}

void FrameLayout::SaveBars(XB_SettingsAccess& node, const QString& prefix,
                           const std::vector<Bar>& bars, bool onTop) {
  for (const Bar& bar : bars) {
    QString key = BarKey(bar.name);
    if (key.isEmpty()) continue;
    node.WriteBool((prefix + key).toUtf8().constData(), bar.visible);
  }
  node.WriteBool((prefix + QStringLiteral("topmost")).toUtf8().constData(), onTop);
}

bool FrameLayout::RestoreBars(XB_SettingsAccess& node, const QString& prefix,
                              std::vector<Bar>& bars) {
  for (Bar& bar : bars) {
    QString key = BarKey(bar.name);
    if (key.isEmpty()) continue;
    bar.visible = node.ReadBool((prefix + key).toUtf8().constData(), true);
  }
  return node.ReadBool((prefix + QStringLiteral("topmost")).toUtf8().constData(), false);
}

std::optional<WindowRect> FrameLayout::PlanStateRect(const WindowRect& state,
                                                     const WindowRect& current, bool savePos,
                                                     bool saveSize) {
  if (state.Width() <= 10 || state.Height() <= 50) return std::nullopt;
  if (savePos && saveSize) return state;
  if (savePos)
    return WindowRect{state.left, state.top, state.left + current.Width(),
                      state.top + current.Height()};
  if (saveSize)
    return WindowRect{current.left, current.top, current.left + state.Width(),
                      current.top + state.Height()};
  return std::nullopt;
}

bool FrameLayout::OnTopSupported(const QString& platform) {
  if (platform.startsWith(QLatin1String("wayland"))) return false;
  static const char* const kWithoutManager[] = {"eglfs", "linuxfb", "minimal", "vnc",
                                                "vkkhrdisplay"};
  for (const char* name : kWithoutManager)
    if (platform == QLatin1String(name)) return false;
  return true;
}
