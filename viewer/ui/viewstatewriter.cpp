/*
** Save State's record: the snapshot filtered by the state preferences.
*/
#include "viewstatewriter.h"

#include "dorvexstate.h"
#include "storenode.h"
#include "xb_settingsaccess.h"

#include <QFileInfo>

void ViewStateWriter::Fill(DorvexState& state, const ViewStateSnapshot& snapshot,
                           const QString& statePath, XB_SettingsAccess& settings) {
  state.m_query = snapshot.query.toStdString();
  state.m_file = snapshot.databasePath.toStdString();
  state.m_interval = snapshot.intervalSeconds > 0 ? snapshot.intervalSeconds : 0;
  // Both are read: each getter stores its default in the settings.
  bool pos = settings.ReadBool("state/save/pos", true);
  bool size = settings.ReadBool("state/save/size", true);
  if (pos || size) {
    // Right and bottom lie just past the window, so width is right - left.
    QRect rect = snapshot.frame;
    state.m_left = rect.x();
    state.m_top = rect.y();
    state.m_right = rect.x() + rect.width();
    state.m_bottom = rect.y() + rect.height();
  }
  if (settings.ReadBool("state/save/main", true)) {
    state.m_main->WriteBool("bars/query", snapshot.bars.query);
    state.m_main->WriteBool("bars/status", snapshot.bars.status);
    state.m_main->WriteBool("bars/tool", snapshot.bars.tool);
    state.m_main->WriteBool("topmost", snapshot.bars.topmost);
  }
  if (settings.ReadBool("state/save/relativepath", false))
    state.m_file = DorvexState::RelativePath(state.m_file, statePath.toStdString());
}

bool ViewStateWriter::Write(const ViewStateSnapshot& snapshot, const QString& path,
                            XB_SettingsAccess& settings, QString* error) {
  QString absolute = QFileInfo(path).absoluteFilePath();
  DorvexState state;
  Fill(state, snapshot, absolute, settings);
  std::string reason;
  if (state.Save(absolute.toStdString(), &reason)) return true;
  if (error) *error = QString::fromStdString(reason);
  return false;
}
