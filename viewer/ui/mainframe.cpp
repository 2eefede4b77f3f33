/*
** The main window: actions, menus, toolbar, status panes, the document
** area, recent files and dropped files.
*/
#include "mainframe.h"

#include "filemanager.h"

#include "dorvexdoc.h"
#include "convertdialogs.h"
#include "dorvexstate.h"
#include "dorvexview.h"
#include "framelayout.h"
#include "helplinks.h"
#include "preferencesmodel.h"
#include "prefstreedialog.h"
#include "querybar.h"
#include "resultgrid.h"
#include "saveassqlite3.h"
#include "settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

namespace {

/* Profile section of the recent-file list and its entry names. */
const char* const kRecentSection = "Recent File List";

/* Returns the standard icon for COMMAND's toolbar button, or none. */
QIcon CommandIcon(DorvexCommand command, QStyle* style) {
  switch (command) {
    case DorvexCommand::Open:
      return style->standardIcon(QStyle::SP_DialogOpenButton);
    case DorvexCommand::ReOpen:
      return style->standardIcon(QStyle::SP_BrowserReload);
    case DorvexCommand::FileInfo:
      return style->standardIcon(QStyle::SP_FileDialogInfoView);
    case DorvexCommand::PreviousTable:
      return style->standardIcon(QStyle::SP_ArrowLeft);
    case DorvexCommand::NextTable:
      return style->standardIcon(QStyle::SP_ArrowRight);
    case DorvexCommand::OffsetDown:
      return style->standardIcon(QStyle::SP_ArrowDown);
    case DorvexCommand::OffsetUp:
      return style->standardIcon(QStyle::SP_ArrowUp);
    case DorvexCommand::Stop:
      return style->standardIcon(QStyle::SP_BrowserStop);
    case DorvexCommand::About:
      return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case DorvexCommand::Print:
      // Without an icon theme the button shows its text.
      return QIcon::fromTheme(QStringLiteral("document-print"));
    default:
      return QIcon();
  }
}

}  // namespace

CMainFrame::CMainFrame(SettingsStore& settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings) {
  setObjectName(QStringLiteral("CMainFrame"));
  m_mdi = new QMdiArea(this);
  m_mdi->setViewMode(QMdiArea::SubWindowView);
  setCentralWidget(m_mdi);
  setAcceptDrops(true);
  // The empty document area takes dropped files too.
  m_mdi->viewport()->setAcceptDrops(true);
  m_mdi->viewport()->installEventFilter(this);
  m_convertDialogs = std::make_unique<QtConvertDialogs>(this);
  m_saveAs = std::make_unique<SaveAsSqlite3>(m_convertDialogs.get());
  connect(m_saveAs.get(), &SaveAsSqlite3::Finished, this, &CMainFrame::UpdateCommands);
  m_queryBar = new QueryBar(this);
  addDockWidget(Qt::TopDockWidgetArea, m_queryBar);
  m_queryBar->toggleViewAction()->setText(QStringLiteral("&Query Bar"));
  m_queryBar->toggleViewAction()->setStatusTip(QStringLiteral("view query bar"));
  connect(m_queryBar, &QueryBar::RunRequested, this, &CMainFrame::OnRunFromBar);
  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  BuildBarMenu();
  LoadRecentFiles();
  connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateCommands);
  connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);
  m_busyTimer.setInterval(100);
  connect(&m_busyTimer, &QTimer::timeout, this, &CMainFrame::UpdateBusyPane);
  resize(1000, 700);
  UpdateCommands();
}

CMainFrame::~CMainFrame() {
  // The document windows go after this object's members: nothing they or
  // the area announce while going may reach this window any more.
  m_mdi->disconnect(this);
  for (CDorvexView* view : Views()) view->disconnect(this);
  FinishRecentFilesSave();
}

void CMainFrame::BuildActions() {
  for (const DorvexCommandInfo& info : DorvexCommands()) {
    auto* action = new QAction(info.text, this);
    action->setShortcuts(info.keys);
    action->setCheckable(info.checkable);
    QString prompt = info.prompt.section(QLatin1Char('\n'), 0, 0);
    action->setStatusTip(prompt);
    action->setToolTip(info.prompt.section(QLatin1Char('\n'), 1, 1));
    action->setIcon(CommandIcon(info.id, style()));
    if (info.scope == CommandScope::Grid) {
      // Grid keys act inside the document area only, so other widgets keep
      // the same keys for editing.
      action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      m_mdi->addAction(action);
    } else {
      action->setShortcutContext(Qt::WindowShortcut);
      addAction(action);
    }
    DorvexCommand id = info.id;
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions.insert(static_cast<int>(id), action);
  }
}

void CMainFrame::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(Action(DorvexCommand::Open));
  file->addAction(Action(DorvexCommand::Close));
  file->addAction(Action(DorvexCommand::SaveState));
  file->addSeparator();
  file->addAction(Action(DorvexCommand::SaveAsSqlite3));
  file->addSeparator();
  file->addAction(Action(DorvexCommand::Print));
  file->addAction(Action(DorvexCommand::PrintPreview));
  file->addAction(Action(DorvexCommand::PrintSetup));
  file->addSeparator();
  m_recentMenu = file->addMenu(QStringLiteral("Recent &Files"));
  file->addSeparator();
  file->addAction(Action(DorvexCommand::Exit));

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->addAction(Action(DorvexCommand::Copy));
  edit->addAction(Action(DorvexCommand::SelectAll));
  edit->addSeparator();
  edit->addAction(Action(DorvexCommand::EditRow));
  m_documentMenus << edit;

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  m_viewMenu = view;
  view->addAction(Action(DorvexCommand::NextTable));
  view->addAction(Action(DorvexCommand::PreviousTable));
  view->addAction(Action(DorvexCommand::OffsetDown));
  view->addAction(Action(DorvexCommand::OffsetUp));
  view->addSeparator();
  view->addAction(Action(DorvexCommand::Refresh));
  view->addAction(Action(DorvexCommand::AutoUpdate));
  view->addAction(Action(DorvexCommand::Stop));
  view->addAction(Action(DorvexCommand::FileInfo));
  view->addSeparator();
  view->addAction(Action(DorvexCommand::LockFile));
  view->addAction(Action(DorvexCommand::ReOpen));
  view->addAction(Action(DorvexCommand::Latin1Text));

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  options->addAction(Action(DorvexCommand::Preferences));
  options->addAction(Action(DorvexCommand::AlwaysOnTop));
  // Where the window system cannot keep a window above others the command
  // would promise what it cannot do.
  Action(DorvexCommand::AlwaysOnTop)
      ->setEnabled(FrameLayout::OnTopSupported(QGuiApplication::platformName()));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(Action(DorvexCommand::HelpEngineSite));
  help->addAction(Action(DorvexCommand::HelpSyntax));
  help->addAction(Action(DorvexCommand::HelpProgram));
  help->addSeparator();
  help->addAction(Action(DorvexCommand::About));
}

void CMainFrame::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Toolbar"));
  bar->setObjectName(QStringLiteral("Toolbar"));
  bar->setIconSize(QSize(22, 22));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bar->addAction(Action(DorvexCommand::Open));
  bar->addAction(Action(DorvexCommand::LockFile));
  bar->addAction(Action(DorvexCommand::ReOpen));
  bar->addAction(Action(DorvexCommand::AutoUpdate));
  bar->addAction(Action(DorvexCommand::Stop));
  bar->addSeparator();
  bar->addAction(Action(DorvexCommand::Print));
  bar->addSeparator();
  bar->addAction(Action(DorvexCommand::FileInfo));
  bar->addAction(Action(DorvexCommand::PreviousTable));
  bar->addAction(Action(DorvexCommand::NextTable));
  bar->addSeparator();
  bar->addAction(Action(DorvexCommand::OffsetDown));
  bar->addAction(Action(DorvexCommand::OffsetUp));
  bar->addAction(Action(DorvexCommand::Copy));
  bar->addSeparator();
  bar->addAction(Action(DorvexCommand::About));
}

void CMainFrame::BuildStatusBar() {
  statusBar()->setObjectName(QStringLiteral("StatusBar"));
  m_noticePane = new QLabel(this);
  m_busyPane = new QLabel(this);
  m_pagingPane = new QLabel(this);
  m_pagingPane->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFontMetrics metrics(m_pagingPane->font());
  m_pagingPane->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0000+9999")) + 8);
  m_busyPane->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("running 000.0 s")) + 8);
  statusBar()->addPermanentWidget(m_noticePane);
  statusBar()->addPermanentWidget(m_busyPane);
  statusBar()->addPermanentWidget(m_pagingPane);
}

void CMainFrame::BuildBarMenu() {
  // Every bar made so far gets its item; the toolbars' and dock widgets'
  // own actions show and hide them, the status bar needs one of its own.
  m_viewMenu->addSeparator();
  for (QWidget* bar : Bars()) {
    if (auto* tool = qobject_cast<QToolBar*>(bar)) {
      m_viewMenu->addAction(tool->toggleViewAction());
    } else if (auto* dock = qobject_cast<QDockWidget*>(bar)) {
      m_viewMenu->addAction(dock->toggleViewAction());
    } else {
      m_statusAction = m_viewMenu->addAction(QStringLiteral("&Status Bar"));
      m_statusAction->setCheckable(true);
      connect(m_statusAction, &QAction::triggered, bar, &QWidget::setVisible);
    }
  }
  // Bars hidden before the window was first shown do not update their
  // actions, so the marks are set from the bars whenever the menu opens.
  connect(m_viewMenu, &QMenu::aboutToShow, this, &CMainFrame::SyncBarActions);
  SyncBarActions();
}

void CMainFrame::SyncBarActions() {
  for (QWidget* bar : Bars()) {
    bool shown = !bar->isHidden();
    if (auto* tool = qobject_cast<QToolBar*>(bar))
      tool->toggleViewAction()->setChecked(shown);
    else if (auto* dock = qobject_cast<QDockWidget*>(bar))
      dock->toggleViewAction()->setChecked(shown);
    else if (m_statusAction)
      m_statusAction->setChecked(shown);
  }
}

QList<QWidget*> CMainFrame::Bars() const {
  QList<QWidget*> bars;
  for (QToolBar* bar : findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) bars << bar;
  for (QDockWidget* bar : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) bars << bar;
  bars << statusBar();
  return bars;
}

void CMainFrame::RestoreLayout() {
  QSettings profile;
  ShowInitialPlacement();
  // restoreState checks the data and leaves the arrangement as it is when
  // the data is damaged or of another version.
  restoreState(profile.value(QLatin1String(kBarStateKey)).toByteArray(),
               FrameLayout::kBarStateVersion);
  RestoreBars(m_settings, QStringLiteral("main/"), false);
  // The profile decides the on-top state at start, not the settings file.
  SetOnTop(profile.value(QLatin1String(kOnTopKey), 0).toInt() > 0);
  m_layoutRestored = true;
}

bool CMainFrame::ShowInitialPlacement() {
  if (!m_settings.ReadBool("main/storewndpos", true)) return false;
  QSettings profile;
  // saveGeometry keeps the normal rectangle and the maximized state only,
  // so a window closed minimized comes back restored.
  return restoreGeometry(profile.value(QLatin1String(kPlacementKey)).toByteArray());
}

void CMainFrame::RestoreBars(XB_SettingsAccess& node, const QString& prefix, bool withOnTop) {
  QList<QWidget*> widgets = Bars();
  std::vector<FrameLayout::Bar> bars;
  for (QWidget* bar : widgets) bars.push_back({bar->objectName(), !bar->isHidden()});
  bool onTop = FrameLayout::RestoreBars(node, prefix, bars);
  for (qsizetype i = 0; i < widgets.size(); ++i) widgets[i]->setVisible(bars[size_t(i)].visible);
  SyncBarActions();
  if (withOnTop) SetOnTop(onTop);
}

void CMainFrame::SaveBars(XB_SettingsAccess& node, const QString& prefix) const {
  std::vector<FrameLayout::Bar> bars;
  for (QWidget* bar : Bars()) bars.push_back({bar->objectName(), !bar->isHidden()});
  FrameLayout::SaveBars(node, prefix, bars, m_onTop);
}

void CMainFrame::SaveLayout() {
  if (!m_layoutRestored) return;
  SaveBars(m_settings, QStringLiteral("main/"));
  QSettings profile;
  if (m_settings.ReadBool("main/storewndpos", true))
    profile.setValue(QLatin1String(kPlacementKey), saveGeometry());
  profile.setValue(QLatin1String(kBarStateKey), saveState(FrameLayout::kBarStateVersion));
}

void CMainFrame::SetOnTop(bool on) {
  Action(DorvexCommand::AlwaysOnTop)->setChecked(on);
  if (on == m_onTop) return;
  m_onTop = on;
  bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  // Changing a window flag hides the window; it comes back in its state.
  if (shown) show();
}

void CMainFrame::ToggleOnTop() {
  SetOnTop(!m_onTop);
  QSettings profile;
  profile.setValue(QLatin1String(kOnTopKey), m_onTop ? 1 : 0);
}

void CMainFrame::ApplyState(const DorvexState& state) {
  bool savePos = m_settings.ReadBool("state/save/pos", true);
  bool saveSize = m_settings.ReadBool("state/save/size", true);
  if (FrameLayout::NeedsInitialPlacement(savePos, saveSize)) ShowInitialPlacement();
  QRect now = normalGeometry().isValid() ? normalGeometry() : geometry();
  WindowRect current{now.left(), now.top(), int64_t(now.left()) + now.width(),
                     int64_t(now.top()) + now.height()};
  WindowRect wanted{state.m_left, state.m_top, state.m_right, state.m_bottom};
  std::optional<WindowRect> planned =
      FrameLayout::PlanStateRect(wanted, current, savePos, saveSize);
  if (planned) {
    std::vector<WindowRect> screens;
    QList<QScreen*> all = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) {
      all.removeAll(primary);
      all.prepend(primary);
    }
    for (QScreen* screen : all) {
      QRect area = screen->availableGeometry();
      screens.push_back({area.left(), area.top(), int64_t(area.left()) + area.width(),
                         int64_t(area.top()) + area.height()});
    }
    WindowRect fit = ClampToScreens(*planned, screens);
    setWindowState(windowState() &
                   ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    // ClampToScreens keeps the rectangle on a screen, so it fits in int.
    setGeometry(int(fit.left), int(fit.top), int(fit.Width()), int(fit.Height()));
  }
  if (state.m_main && !state.m_main->IsEmpty() && m_settings.ReadBool("state/save/main", true))
    RestoreBars(*state.m_main, QString(), true);
}

bool CMainFrame::OpenDocument(const QString& path, QString* error, bool asState) {
  QString reason;
  QString absolute = QFileInfo(path).absoluteFilePath();
  auto* view = new CDorvexView(m_settings, &m_docHost);
  if (!view->Open(absolute, &reason, asState)) {
    delete view;
    if (error) {
      *error = reason;
    } else {
      QMessageBox::warning(this, QStringLiteral("Dorvex"),
                           QStringLiteral("Could not open %1.\n%2").arg(absolute, reason));
    }
    return false;
  }
  QMdiSubWindow* window = m_mdi->addSubWindow(view);
  window->setAttribute(Qt::WA_DeleteOnClose);
  ConnectView(view, window);
  window->showMaximized();
  AddRecentFile(absolute);
  view->FirstShow();
  UpdateCommands();
  return true;
}

void CMainFrame::ConnectView(CDorvexView* view, QMdiSubWindow* window) {
  view->Grid()->SetCopyAction(Action(DorvexCommand::Copy));
  window->setWindowTitle(view->Title());
  connect(view, &CDorvexView::StateChanged, this, [this, view, window] {
    window->setWindowTitle(view->Title());
    if (view == ActiveView()) UpdateCommands();
  });
  connect(view, &CDorvexView::QueryShown, this,
          [this, view](const QString& query, bool history) { OnQueryShown(view, query, history); });
  connect(view, &QObject::destroyed, this, &CMainFrame::UpdateCommands, Qt::QueuedConnection);
}

void CMainFrame::OnRunFromBar(const QString& text) {
  // A run that fails, or is refused while the view is busy, reports nothing
  // back, so the bar keeps nothing of it.
  CDorvexView* view = ActiveView();
  if (!view) return;
  if (!view->RunCustomQuery(text))
    statusBar()->showMessage(QStringLiteral("A query is still running; Esc stops it."), 5000);
}

void CMainFrame::OnQueryShown(CDorvexView* view, const QString& query, bool history) {
  if (view == ActiveView()) {
    m_queryBar->ShowQuery(query, history);
    return;
  }
  if (history) m_queryBar->Remember(query);
}

void CMainFrame::OnSubWindowActivated() {
  // The bar shows what the active view ran last.
  if (CDorvexView* view = ActiveView()) m_queryBar->ShowQuery(view->CurrentQuery(), false);
}

CDorvexView* CMainFrame::ActiveView() const {
  QMdiSubWindow* window = m_mdi->activeSubWindow();
  if (!window) window = m_mdi->currentSubWindow();
  return window ? qobject_cast<CDorvexView*>(window->widget()) : nullptr;
}

QList<CDorvexView*> CMainFrame::Views() const {
  QList<CDorvexView*> views;
  for (QMdiSubWindow* window : m_mdi->subWindowList())
    if (auto* view = qobject_cast<CDorvexView*>(window->widget())) views << view;
  return views;
}

void CMainFrame::Execute(DorvexCommand command) {
  switch (command) {
    case DorvexCommand::Open:
      OnOpen();
      return;
    case DorvexCommand::Close:
      if (m_mdi->activeSubWindow()) m_mdi->activeSubWindow()->close();
      return;
    case DorvexCommand::Exit:
      close();
      return;
    case DorvexCommand::About:
      OnAbout();
      return;
    case DorvexCommand::AlwaysOnTop:
      ToggleOnTop();
      return;
    case DorvexCommand::Preferences:
      OnPreferences();
      return;
    case DorvexCommand::SaveState:
      OnSaveState();
      return;
    case DorvexCommand::SaveAsSqlite3:
      OnSaveAsSqlite3();
      return;
    case DorvexCommand::Print:
    case DorvexCommand::PrintPreview:
      OnPrint(command);
      return;
    case DorvexCommand::PrintSetup:
      m_printing.PageSetup();
      return;
    case DorvexCommand::HelpEngineSite:
    case DorvexCommand::HelpSyntax:
    case DorvexCommand::HelpProgram:
      OnHelpLink(command);
      return;
    default:
      break;
  }
  CDorvexView* view = ActiveView();
  if (view) view->Execute(command);
  UpdateCommands();
}

void CMainFrame::UpdateCommands() {
  CDorvexView* view = ActiveView();
  for (const DorvexCommandInfo& info : DorvexCommands()) {
    QAction* action = Action(info.id);
    if (info.scope == CommandScope::Window) continue;
    action->setEnabled(view && view->CommandEnabled(info.id));
    if (info.checkable) action->setChecked(view && view->CommandChecked(info.id));
  }
  Action(DorvexCommand::Close)->setEnabled(view != nullptr);
  Action(DorvexCommand::SaveState)->setEnabled(view != nullptr);
  if (m_saveAs->IsRunning()) Action(DorvexCommand::SaveAsSqlite3)->setEnabled(false);
  const bool printable = view && view->Grid()->GridModel()->columnCount() > 0;
  Action(DorvexCommand::Print)->setEnabled(printable);
  Action(DorvexCommand::PrintPreview)->setEnabled(printable);
  Action(DorvexCommand::HelpProgram)->setEnabled(!HelpLinks::ProgramPage().isEmpty());
  for (QMenu* menu : m_documentMenus) menu->menuAction()->setVisible(view != nullptr);
  m_title = view ? QStringLiteral("Dorvex - ") + view->Title() : QStringLiteral("Dorvex");
  setWindowTitle(m_title);
  m_pagingPane->setText(view ? view->PagingText() : QString());
  m_noticePane->setText(view ? view->Notice() : QString());
  UpdateBusyPane();
  bool anyBusy = false;
  for (CDorvexView* v : Views()) anyBusy = anyBusy || v->IsBusy();
  if (anyBusy && !m_busyTimer.isActive()) m_busyTimer.start();
  if (!anyBusy) m_busyTimer.stop();
}

void CMainFrame::UpdateBusyPane() {
  CDorvexView* view = ActiveView();
  if (!view || !view->IsBusy()) {
    m_busyPane->clear();
    return;
  }
  m_busyPane->setText(
      QStringLiteral("running %1 s").arg(double(view->BusyMilliseconds()) / 1000.0, 0, 'f', 1));
}

QWidget* CMainFrame::DocumentArea() const {
  return m_mdi->viewport();
}

QString CMainFrame::PagingPaneText() const {
  return m_pagingPane->text();
}
QString CMainFrame::BusyPaneText() const {
  return m_busyPane->text();
}
QString CMainFrame::NoticePaneText() const {
  return m_noticePane->text();
}

void CMainFrame::OnOpen() {
  QStringList paths = QFileDialog::getOpenFileNames(
      this, QStringLiteral("Open"), QString(),
      QStringLiteral("SQLite Databases (*.db *.db2 *.db3 *.sqlite *.sqlite3 *.dvx);;"
                     "Dorvex states (*.dvxs);;All files (*)"));
  for (const QString& path : paths) OpenDocument(path);
}

void CMainFrame::OnSaveAsSqlite3() {
  CDorvexView* view = ActiveView();
  if (!view || !view->CommandEnabled(DorvexCommand::SaveAsSqlite3) || m_saveAs->IsRunning()) return;
  m_saveAs->Run(*view->Document());
  UpdateCommands();
}

void CMainFrame::SetConvertDialogs(std::unique_ptr<ConvertDialogs> dialogs) {
  if (m_saveAs->IsRunning() || !dialogs) return;
  m_saveAs->SetDialogs(dialogs.get());
  m_convertDialogs = std::move(dialogs);
}

bool CMainFrame::IsSavingAsSqlite3() const {
  return m_saveAs->IsRunning();
}

void CMainFrame::OnAbout() {
  QMessageBox box(this);
  box.setWindowTitle(QStringLiteral("About Dorvex"));
  box.setIconPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  box.setText(QStringLiteral("<b>Dorvex</b> version 0.15.0 (build 59)"));
  box.setInformativeText(
      QStringLiteral("A viewer for SQLite 2.x and 3.x database files.\n(c) XB Software"));
  box.exec();
}

void CMainFrame::OnPreferences() {
  PreferencesModel model(m_settings);
  CPrefsTreeDialog dialog(model, QLatin1String(PreferencesModel::kTitle), this);
  dialog.Run();
  QString error;
  if (m_settingsSaver && !m_settingsSaver(&error))
    QMessageBox::warning(this, QStringLiteral("Dorvex"), error);
}

FrameBars CMainFrame::CurrentBars() const {
  FrameBars bars;
  bars.query = !m_queryBar->isHidden();
  bars.status = !statusBar()->isHidden();
  auto* tool = findChild<QToolBar*>(QStringLiteral("Toolbar"));
  bars.tool = tool && !tool->isHidden();
  bars.topmost = m_onTop;
  return bars;
}

std::unique_ptr<QFileDialog> CMainFrame::StateFileDialog(const QString& initial) {
  auto dialog = std::make_unique<QFileDialog>(this, QStringLiteral("Save State"), initial,
                                              QStringLiteral("DorvexState (*.dvxs)"));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setDefaultSuffix(QStringLiteral("dvxs"));
  dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
  return dialog;
}

void CMainFrame::OnSaveState() {
  QPointer<CDorvexView> view = ActiveView();
  if (!view || !view->Document()) return;
  QString path;
  if (m_statePathAsker) {
    path = m_statePathAsker(view->StatePath());
  } else {
    std::unique_ptr<QFileDialog> dialog = StateFileDialog(view->StatePath());
    if (dialog->exec() == QDialog::Accepted) path = dialog->selectedFiles().value(0);
  }
  if (path.isEmpty()) return;
  // The view may have gone while the dialog was open.
  if (view != ActiveView()) return;
  view->SetStatePath(QFileInfo(path).absoluteFilePath());
  ViewStateSnapshot snapshot;
  snapshot.databasePath = QString::fromStdString(view->Document()->DatabasePath());
  snapshot.query = view->CurrentQuery();
  snapshot.intervalSeconds = static_cast<int>(view->RepeatMilliseconds() / 1000);
  snapshot.frame = geometry();
  snapshot.bars = CurrentBars();
  QString error;
  if (ViewStateWriter::Write(snapshot, path, m_settings, &error)) return;
  // Not modal: nothing in the windows may change under an open box here.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Save State"),
                              QStringLiteral("The view state was not saved.\n%1").arg(error),
                              QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("SaveStateError"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void CMainFrame::OnHelpLink(DorvexCommand command) {
  QString address = command == DorvexCommand::HelpEngineSite ? HelpLinks::EngineSite()
                    : command == DorvexCommand::HelpSyntax   ? HelpLinks::EngineSyntax()
                                                             : HelpLinks::ProgramPage();
  if (address.isEmpty()) return;
  // Addresses are opened by the desktop, never through a shell command.
  OpenAddress(address);
}

void CMainFrame::OnPrint(DorvexCommand command) {
  CDorvexView* view = ActiveView();
  if (!view || view->Grid()->GridModel()->columnCount() == 0) return;
  // The job prints what the grid shows now; the view's later runs (the
  // repeat timer goes on) fill new results and leave this one alone.
  const PrintSnapshot snapshot = view->Grid()->PrintContents(view->Title());
  if (command == DorvexCommand::PrintPreview)
    m_printing.Preview(snapshot);
  else
    m_printing.Print(snapshot);
}

void CMainFrame::LoadRecentFiles() {
  QSettings profile;
  profile.beginGroup(QLatin1String(kRecentSection));
  m_recentFiles.clear();
  for (int i = 1; i <= kRecentFileCount; ++i) {
    QString path = profile.value(QStringLiteral("File%1").arg(i)).toString();
    if (!path.isEmpty() && !m_recentFiles.contains(path)) m_recentFiles << path;
  }
  RebuildRecentMenu();
}

void CMainFrame::SaveRecentFiles() {
  // Writing the profile syncs it to disk (a lock file, fdatasync, a rename),
  // which opening a file need not wait for; the writes keep their order.
  FinishRecentFilesSave();
  m_recentFilesSaver = std::thread([files = m_recentFiles] {
    QSettings profile;
    profile.beginGroup(QLatin1String(kRecentSection));
    for (int i = 1; i <= kRecentFileCount; ++i) {
      QString key = QStringLiteral("File%1").arg(i);
      if (i <= files.size())
        profile.setValue(key, files[i - 1]);
      else
        profile.remove(key);
    }
  });
}

void CMainFrame::FinishRecentFilesSave() {
  if (m_recentFilesSaver.joinable()) m_recentFilesSaver.join();
}

void CMainFrame::AddRecentFile(const QString& path) {
  m_recentFiles.removeAll(path);
  m_recentFiles.prepend(path);
  while (m_recentFiles.size() > kRecentFileCount) m_recentFiles.removeLast();
  SaveRecentFiles();
  RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu() {
  m_recentMenu->clear();
  for (int i = 0; i < m_recentFiles.size(); ++i) {
    QString path = m_recentFiles[i];
    QString text = QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName());
    QAction* action = m_recentMenu->addAction(text);
    action->setStatusTip(path);
    connect(action, &QAction::triggered, this, [this, path] { OpenDocument(path); });
  }
  m_recentMenu->setEnabled(!m_recentFiles.isEmpty());
}

void CMainFrame::changeEvent(QEvent* event) {
  // A maximized document window would make the title "Dorvex - x - [x]";
  // the main window's title is always "Dorvex - " and the active title.
  if (event->type() == QEvent::WindowTitleChange && !m_title.isEmpty() && windowTitle() != m_title)
    setWindowTitle(m_title);
  QMainWindow::changeEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Each document may ask about an open transaction; a refusal keeps the window.
  m_mdi->closeAllSubWindows();
  if (!m_mdi->subWindowList().isEmpty()) {
    event->ignore();
    return;
  }
  SaveLayout();
  m_queryBar->SaveHistory();
  FinishRecentFilesSave();
  emit Closing();
  event->accept();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_mdi->viewport()) {
    if (event->type() == QEvent::DragEnter) {
      dragEnterEvent(static_cast<QDragEnterEvent*>(event));
      return true;
    }
    if (event->type() == QEvent::Drop) {
      dropEvent(static_cast<QDropEvent*>(event));
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  // Opened once the drop has ended: a failure's message box must not run
  // inside the drag and drop machinery.
  QTimer::singleShot(0, this, [this, paths] {
    for (const QString& path : paths) OpenDocument(path);
  });
}
