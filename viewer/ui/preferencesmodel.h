/*
** PreferencesModel: the settings the Preferences window edits, as a tree
** of groups, and the rules of the window that need no display.
**
** Each group is one page: "Program" (with "Drop" and "AutoUpdate" below
** it) and "View" (with "Tables", "Update" and "State" below it), in that
** order, which is also the order of the page positions kept as "lastsel".
** Every parameter is bound to its settings key and reads the program's own
** default when the key is missing, so the window never shows a value the
** program would not use.
*/
#ifndef PREFERENCESMODEL_H
#define PREFERENCESMODEL_H

#include "xb_parametergroup.h"

#include <QString>

#include <memory>
#include <vector>

class XB_SettingsAccess;

class PreferencesModel {
 public:
  /* Title of the viewer's window; the profile section is "Prefs-" + title. */
  static constexpr const char* kTitle = "Preferences";

  /* One page: its label in the tree, the position of its parent page (-1
  ** for a top-level one) and its group. */
  struct Page {
    QString label;
    int parent = -1;
    std::unique_ptr<XB_ParameterGroup> group;
  };

  /* Builds the groups bound to SETTINGS (which must outlive the model). */
  explicit PreferencesModel(XB_SettingsAccess& settings);

  int PageCount() const { return static_cast<int>(m_pages.size()); }
  const Page& PageAt(int index) const { return m_pages[size_t(index)]; }

  /* Returns the page to show for the stored position STORED among
  ** PAGECOUNT pages: STORED when it names a page, else the first (0). */
  static int PageToShow(int stored, int pageCount);

  /* Returns the profile section of the window titled TITLE. */
  static QString ProfileSection(const QString& title) { return QStringLiteral("Prefs-") + title; }

 private:
  /* Appends a page LABEL below PARENT and returns its group. */
  XB_ParameterGroup& AddPage(const char* label, int parent);

  XB_SettingsAccess& m_settings;
  std::vector<Page> m_pages;
};

#endif
