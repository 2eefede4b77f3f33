/*
** CMainFrame: the main window of Dorvex.  A QMainWindow whose central
** widget is a QMdiArea of document windows (each holding one CDorvexView,
** opened maximized), with the menus, toolbar, status-bar panes and keys of
** the command table, the recent-file list (9 entries, kept in the profile),
** files dropped on the window opened as documents, and the title
** "Dorvex - " followed by the active document's title.  The query bar
** (QueryBar) runs its text in the active view and shows what the active
** view ran.  Save State writes the active view's database, query and
** repeat interval with this window's rectangle and bars (ViewStateWriter);
** a failed save is shown in a box that does not block.
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
**
** Layout: RestoreLayout (called once after construction, never for a start
** by the automation service) brings back the placement (unless the
** preference main/storewndpos is off), the bar arrangement, the bars shown
** (settings main/bars/...) and Always on Top (profile main/ontop); closing
** stores them again, but only when they were restored.  Bars are the direct
** toolbars and dock widgets of the window and the status bar, known by
** their object names (see FrameLayout); the View menu shows and hides each.
** A view state applies its rectangle, bars and on-top state by ApplyState.
*/
#ifndef MAINFRAME_H
#define MAINFRAME_H

#include "dochost.h"
#include "dorvexcommands.h"
#include "printcontroller.h"
#include "printdialogs.h"
#include "viewstatewriter.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <thread>

class CDorvexView;
class ConvertDialogs;
class SaveAsSqlite3;
class QLabel;
class QMdiArea;
class QFileDialog;
class QMdiSubWindow;
class QMenu;
class DorvexState;
class QueryBar;
class SettingsStore;
class XB_SettingsAccess;

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

  /* The bars shown now (read from the widgets themselves, so a bar hidden
  ** by any means counts as hidden) and whether the window stays on top. */
  FrameBars CurrentBars() const;

  /* Asks for the path Save State writes to, starting from INITIAL; "" for
  ** Cancel.  By default the dialog of StateFileDialog. */
  using StatePathAsker = std::function<QString(const QString& initial)>;
  void SetStatePathAsker(StatePathAsker asker) { m_statePathAsker = std::move(asker); }

  /* Returns the Save State dialog: suffix "dvxs", an overwrite prompt. */
  std::unique_ptr<QFileDialog> StateFileDialog(const QString& initial);

  /* The query bar. */
  QueryBar* QueryBarWidget() const { return m_queryBar; }

  /* Texts of the status-bar panes, for tests. */
  QString PagingPaneText() const;
  QString BusyPaneText() const;
  QString NoticePaneText() const;

  /* The print commands' job driver (tests replace its dialogs). */
  PrintController& Printing() { return m_printing; }

  /* Runs COMMAND as its action would. */
  void Execute(DorvexCommand command);

  /* Profile entries of the layout: placement (saveGeometry), bar
  ** arrangement (saveState) and Always on Top. */
  static constexpr const char* kPlacementKey = "WindowPlacement/main-Place";
  static constexpr const char* kBarStateKey = "WindowPlacement/main-Bars";
  static constexpr const char* kOnTopKey = "main/ontop";

  /* Restores the stored layout (see the file comment) and arms storing it
  ** at close. */
  void RestoreLayout();

  /* Gives the window STATE's rectangle (as the preferences state/save/pos
  ** and state/save/size allow, made fit for the screens) and, when STATE
  ** has bars and state/save/main is on, its bars and on-top state. */
  void ApplyState(const DorvexState& state);

  /* Writes the bars shown and the on-top state into NODE with each key
  ** preceded by PREFIX (a view state's "main" node takes no prefix). */
  void SaveBars(XB_SettingsAccess& node, const QString& prefix) const;

  /* The bars of the window: toolbars, dock widgets and the status bar. */
  QList<QWidget*> Bars() const;

  /* Writes the settings file; returns false with the reason in *ERROR. */
  using SettingsSaver = std::function<bool(QString* error)>;
  /* Sets how the settings file is written after the Preferences window
  ** (not at all when none is set). */
  void SetSettingsSaver(SettingsSaver saver) { m_settingsSaver = std::move(saver); }

  /* Whether the window stays above others; SetOnTop changes it. */
  bool OnTop() const { return m_onTop; }
  void SetOnTop(bool on);

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
  void BuildBarMenu();
  void SyncBarActions();
  /* Shows the bars as NODE says (keys after PREFIX); WITHONTOP takes its
  ** "topmost" as the on-top state too. */
  void RestoreBars(XB_SettingsAccess& node, const QString& prefix, bool withOnTop);
  bool ShowInitialPlacement();
  void SaveLayout();
  void ToggleOnTop();
  void ConnectView(CDorvexView* view, QMdiSubWindow* window);
  void UpdateCommands();
  void UpdateBusyPane();
  void OnRunFromBar(const QString& text);
  void OnQueryShown(CDorvexView* view, const QString& query, bool history);
  void OnSubWindowActivated();
  void OnOpen();
  void OnSaveAsSqlite3();
  void OnAbout();
  void OnPreferences();
  void OnSaveState();
  void OnHelpLink(DorvexCommand command);
  void OnPrint(DorvexCommand command);
  void AddRecentFile(const QString& path);
  void RebuildRecentMenu();
  void LoadRecentFiles();
  /* Writes the recent-file list to the profile on a thread of its own
  ** (after the previous write has ended). */
  void SaveRecentFiles();
  /* Waits for a running write of the recent-file list. */
  void FinishRecentFilesSave();

  SettingsStore& m_settings;
  MainFrameDocHost m_docHost{this};
  PrintDialogs m_printDialogs{this};
  PrintController m_printing{&m_printDialogs};
  QMdiArea* m_mdi = nullptr;
  QueryBar* m_queryBar = nullptr;
  QHash<int, QAction*> m_actions;
  QList<QMenu*> m_documentMenus;
  QMenu* m_recentMenu = nullptr;
  QMenu* m_viewMenu = nullptr;
  QAction* m_statusAction = nullptr;
  QLabel* m_pagingPane = nullptr;
  QLabel* m_busyPane = nullptr;
  QLabel* m_noticePane = nullptr;
  QTimer m_busyTimer;
  QStringList m_recentFiles;
  std::thread m_recentFilesSaver;
  QString m_title;
  SettingsSaver m_settingsSaver;
  bool m_onTop = false;
  bool m_layoutRestored = false;
  StatePathAsker m_statePathAsker;
  std::unique_ptr<ConvertDialogs> m_convertDialogs;
  std::unique_ptr<SaveAsSqlite3> m_saveAs; /* goes before the dialogs it uses */
};

#endif
