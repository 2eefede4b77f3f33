/*
** The groups of the Preferences window.
*/
#include "preferencesmodel.h"

#include "dorvexview.h"
#include "repeatinterval.h"

PreferencesModel::PreferencesModel(XB_SettingsAccess& settings) : m_settings(settings) {
  // Pages are made parents first, so a position stays the same page as
  // long as the groups do.
  m_pages.reserve(7);
  XB_ParameterGroup& program = AddPage("Program", -1);
  program.AddBool("main/storewndpos", "remember window postion", true);
  XB_ParameterGroup& drop = AddPage("Drop", 0);
  drop.AddBool("dropfiles/dvxs/movewindow", "move window", true);
  drop.AddBool("dropfiles/sql/ask", "ask before running sql", false);
  XB_ParameterGroup& update = AddPage("AutoUpdate", 0);
  update.AddBool("update/docheck", "check for new versions", true);
  update.AddInt("update/dayscheck", "check interval [days]", 7);

  AddPage("View", -1);
  XB_ParameterGroup& tables = AddPage("Tables", 3);
  tables.AddInt("view/limit", "default LIMIT", 100);
  tables.AddInt("view/maxrows", "most rows read", CDorvexView::kDefaultMaxRows);
  tables.AddInt("view/maxmb", "most text read [MiB]", CDorvexView::kDefaultMaxMegabytes);
  XB_ParameterGroup& repeat = AddPage("Update", 3);
  repeat.AddInt(RepeatInterval::kSettingsKey, "intervall [s]", RepeatInterval::kDefaultSeconds);
  XB_ParameterGroup& state = AddPage("State", 3);
  state.AddBool("state/save/pos", "window position", true);
  state.AddBool("state/save/size", "window size", true);
  state.AddBool("state/save/main", "window state", true);
  state.AddBool("state/save/relativepath", "relative paths", false);
}

XB_ParameterGroup& PreferencesModel::AddPage(const char* label, int parent) {
  Page page;
  page.label = QString::fromLatin1(label);
  page.parent = parent;
  page.group = std::make_unique<XB_ParameterGroup>(label, &m_settings);
  m_pages.push_back(std::move(page));
  return *m_pages.back().group;
}

int PreferencesModel::PageToShow(int stored, int pageCount) {
  return stored >= 0 && stored < pageCount ? stored : 0;
}
