/*
** CPrefsTreeDialog: the Preferences window.  A tree of the settings groups
** on the left third, the page of the selected group on the rest (4 pixels
** to the right of the tree).  There is no OK or Cancel: a page stores its
** values when another page is selected and when the window closes, and the
** caller then writes the settings file.  A value that cannot be held keeps
** its page shown and says why.
**
** The window keeps its placement and the position of the page last shown
** ("lastsel") in the profile section "Prefs-" + title; a position that
** names no page shows the first.  Without a stored placement the window
** takes a third of the screen's width and height, centred.
*/
#ifndef PREFSTREEDIALOG_H
#define PREFSTREEDIALOG_H

#include <QDialog>

class CPrefsPage;
class PreferencesModel;
class QTreeWidget;
class QTreeWidgetItem;

class CPrefsTreeDialog : public QDialog {
  Q_OBJECT
 public:
  /* A window for MODEL's pages titled TITLE, owned by PARENT. */
  CPrefsTreeDialog(PreferencesModel& model, const QString& title, QWidget* parent = nullptr);
  ~CPrefsTreeDialog() override;

  /* Shows the window and returns once it was closed: 1. */
  int Run();

  /* The page shown (its position), -1 for none; the page itself. */
  int CurrentPage() const { return m_current; }
  CPrefsPage* Page() const { return m_page; }
  /* Shows the page at INDEX as selecting it in the tree does. */
  void SelectPage(int index);

  QTreeWidget* Tree() const { return m_tree; }

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FillTree();
  void OnSelectionChanged();
  /* Stores and removes the page shown; false when it keeps a bad value. */
  bool LeavePage();
  void ShowPage(int index);
  void FirstShow();
  void Layout();
  QString Section() const;

  PreferencesModel& m_model;
  QTreeWidget* m_tree;
  QList<QTreeWidgetItem*> m_items;
  CPrefsPage* m_page = nullptr;
  int m_current = -1;
  bool m_shown = false;
};

#endif
