/*
** CMainFrame: the main window of Dorvex.  A QMainWindow whose central
** widget is a QMdiArea of document windows (each holding one CDorvexView,
** opened maximized), with the menus, toolbar, status-bar panes and keys of
** the command table, the recent-file list (9 entries, kept in the profile),
** files dropped on the window opened as documents, and the title
** "Dorvex - " followed by the active document's title.
**
** Commands are routed to the active view; their enabled and checked states
** are refreshed whenever the active view announces a change.  Grid
** commands act only while the keyboard focus is in the document area (see
** dorvexcommands.h).  Opening a file that fails shows why in a message box.
** File > "Save as SQLite 3..." copies the active generation-2 document's
** file into a new SQLite 3 file (SaveAsSqlite3); it is off for generation-3
** documents, while the view is busy and while a copy runs.
** Print and Print Preview work on a snapshot of the active grid, all print
** commands on the one printer of PrintController.
*/
#ifndef MAINFRAME_H
#define MAINFRAME_H

#include "dochost.h"
#include "dorvexcommands.h"
#include "printcontroller.h"
#include "printdialogs.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <memory>

class CDorvexView;
class ConvertDialogs;
class SaveAsSqlite3;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class SettingsStore;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kRecentFileCount = 9;

  explicit CMainFrame(SettingsStore& settings, QWidget* parent = nullptr);
  ~CMainFrame() override;

  /* Opens PATH (a database or a view state) in a new document window.
  ** Returns false when it could not be opened; the reason is in *ERROR when
  ** ERROR is given, otherwise shown in a message box. */
  bool OpenDocument(const QString& path, QString* error = nullptr, bool asState = false);

  /* The view of the active document window, or null. */
  CDorvexView* ActiveView() const;

  /* All document views, in window order. */
  QList<CDorvexView*> Views() const;

  /* The action of COMMAND (every command has one). */
  QAction* Action(DorvexCommand command) const {
    return m_actions.value(static_cast<int>(command));
  }

  /* The recent files, newest first. */
  QStringList RecentFiles() const { return m_recentFiles; }

  /* The empty document area, where dropped files open as documents. */
  QWidget* DocumentArea() const;

  /* Texts of the status-bar panes, for tests. */
  QString PagingPaneText() const;
  QString BusyPaneText() const;
  QString NoticePaneText() const;

  /* The print commands' job driver (tests replace its dialogs). */
  PrintController& Printing() { return m_printing; }

  /* Runs COMMAND as its action would. */
  void Execute(DorvexCommand command);

  /* Replaces the dialogs of "Save as SQLite 3..." (a test double takes the
  ** place of the file dialog, the progress and the report box).  Only
  ** while no copy runs. */
  void SetConvertDialogs(std::unique_ptr<ConvertDialogs> dialogs);

  /* True while "Save as SQLite 3..." copies a file. */
  bool IsSavingAsSqlite3() const;

 signals:
  /* The main window is closing (network work started for it must end). */
  void Closing();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void ConnectView(CDorvexView* view, QMdiSubWindow* window);
  void UpdateCommands();
  void UpdateBusyPane();
  void OnOpen();
  void OnSaveAsSqlite3();
  void OnAbout();
  void OnHelpLink(DorvexCommand command);
  void OnPrint(DorvexCommand command);
  void AddRecentFile(const QString& path);
  void RebuildRecentMenu();
  void LoadRecentFiles();
  void SaveRecentFiles() const;

  SettingsStore& m_settings;
  MainFrameDocHost m_docHost{this};
  PrintDialogs m_printDialogs{this};
  PrintController m_printing{&m_printDialogs};
  QMdiArea* m_mdi = nullptr;
  QHash<int, QAction*> m_actions;
  QList<QMenu*> m_documentMenus;
  QMenu* m_recentMenu = nullptr;
  QLabel* m_pagingPane = nullptr;
  QLabel* m_busyPane = nullptr;
  QLabel* m_noticePane = nullptr;
  QTimer m_busyTimer;
  QStringList m_recentFiles;
  QString m_title;
  std::unique_ptr<ConvertDialogs> m_convertDialogs;
  std::unique_ptr<SaveAsSqlite3> m_saveAs; /* goes before the dialogs it uses */
};

#endif
