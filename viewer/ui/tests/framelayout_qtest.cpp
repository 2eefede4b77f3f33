/*
** The main window's layout on the offscreen platform, with the profile and
** the settings in a temporary folder: bars hidden and shown again at the
** next start, a maximized and a minimized window brought back, a damaged
** stored layout ignored, Always on Top, and a view state's rectangle and
** bars applied to the window.
*/
#include "dorvexstate.h"
#include "framelayout.h"
#include "mainframe.h"
#include "settingsstore.h"

#include <QDockWidget>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <memory>

class FrameLayoutTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  std::unique_ptr<SettingsStore> m_settings;

  /* A main window as a start makes it: built, then its layout restored. */
  std::unique_ptr<CMainFrame> Start() {
    auto frame = std::make_unique<CMainFrame>(*m_settings);
    frame->RestoreLayout();
    frame->show();
    return frame;
  }

  /* Closes FRAME as the user would, which stores its layout. */
  static void Close(std::unique_ptr<CMainFrame>& frame) {
    QVERIFY(frame->close());
    frame.reset();
  }

  static QToolBar* Toolbar(CMainFrame& frame) {
    return frame.findChild<QToolBar*>("Toolbar", Qt::FindDirectChildrenOnly);
  }

  /* The View menu's item that shows and hides the bar WIDGET. */
  static QAction* BarItem(CMainFrame& frame, QWidget* widget) {
    if (auto* tool = qobject_cast<QToolBar*>(widget)) return tool->toggleViewAction();
    for (QAction* menu : frame.menuBar()->actions()) {
      if (menu->text() != "&View") continue;
      for (QAction* item : menu->menu()->actions())
        if (item->text() == "&Status Bar") return item;
    }
    return nullptr;
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }
  void init() {
    QSettings().clear();
    m_settings = std::make_unique<SettingsStore>();
  }

  void hiddenBarsStayHiddenAtTheNextStart() {
    auto frame = Start();
    for (QWidget* bar : frame->Bars()) QVERIFY(bar->isVisible());
    Toolbar(*frame)->toggleViewAction()->trigger();
    BarItem(*frame, frame->statusBar())->trigger();
    QVERIFY(!frame->statusBar()->isVisible());
    Close(frame);
    QVERIFY(!m_settings->ReadBool("main/bars/tool", true));
    QVERIFY(!m_settings->ReadBool("main/bars/status", true));
    QVERIFY(!m_settings->ReadBool("main/topmost", true));

    frame = Start();
    QVERIFY(!Toolbar(*frame)->isVisible());
    QVERIFY(!frame->statusBar()->isVisible());
    QVERIFY(!BarItem(*frame, Toolbar(*frame))->isChecked());
    QVERIFY(!BarItem(*frame, frame->statusBar())->isChecked());
    BarItem(*frame, frame->statusBar())->trigger();
    QVERIFY(frame->statusBar()->isVisible());
    Close(frame);
    QVERIFY(m_settings->ReadBool("main/bars/status", false));
  }

  void maximizedComesBackMaximizedAndMinimizedRestored() {
    auto frame = Start();
    frame->showMaximized();
    QTRY_VERIFY(frame->isMaximized());
    Close(frame);
    frame = Start();
    QTRY_VERIFY(frame->isMaximized());

    frame->showNormal();
    frame->setGeometry(40, 30, 500, 300);
    QTRY_COMPARE(frame->geometry().size(), QSize(500, 300));
    frame->showMinimized();
    Close(frame);
    frame = Start();
    QVERIFY(!frame->isMinimized());
    QVERIFY(!frame->isMaximized());
    QCOMPARE(frame->geometry().size(), QSize(500, 300));
    Close(frame);
  }

  void placementIsNotStoredWhenSwitchedOff() {
    m_settings->WriteBool("main/storewndpos", false);
    auto frame = Start();
    frame->setGeometry(40, 30, 500, 300);
    Close(frame);
    QVERIFY(!QSettings().contains(CMainFrame::kPlacementKey));
    // Bars are still kept.
    QVERIFY(m_settings->ReadBool("main/bars/tool", false));
  }

  void damagedLayoutIsIgnored() {
    auto frame = Start();
    frame->addToolBar(Qt::LeftToolBarArea, Toolbar(*frame));
    Close(frame);
    QSettings profile;
    QByteArray state = profile.value(CMainFrame::kBarStateKey).toByteArray();
    QVERIFY(state.size() > 16);

    // Cut in half, the arrangement is refused and the toolbar stays on top.
    profile.setValue(CMainFrame::kBarStateKey, state.left(state.size() / 2));
    profile.setValue(CMainFrame::kPlacementKey, QByteArray("\x01\xd9\xd0\xcb garbage", 12));
    profile.sync();
    frame = Start();
    QCOMPARE(frame->toolBarArea(Toolbar(*frame)), Qt::TopToolBarArea);
    QVERIFY(Toolbar(*frame)->isVisible());
    Close(frame);

    // The whole arrangement of an older version is refused as well.
    profile.setValue(CMainFrame::kBarStateKey, state);
    frame = std::make_unique<CMainFrame>(*m_settings);
    QVERIFY(!frame->restoreState(state, FrameLayout::kBarStateVersion + 1));
    QVERIFY(frame->restoreState(state, FrameLayout::kBarStateVersion));
    QCOMPARE(frame->toolBarArea(Toolbar(*frame)), Qt::LeftToolBarArea);
  }

  void alwaysOnTopTogglesTheFlagAndTheProfile() {
    auto frame = Start();
    QAction* onTop = frame->Action(DorvexCommand::AlwaysOnTop);
    QVERIFY(onTop->isEnabled());
    QVERIFY(!onTop->isChecked());
    onTop->trigger();
    QVERIFY(frame->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(onTop->isChecked());
    QVERIFY(frame->isVisible());
    QCOMPARE(QSettings().value(CMainFrame::kOnTopKey).toInt(), 1);
    Close(frame);
    QVERIFY(m_settings->ReadBool("main/topmost", false));

    frame = Start();
    QVERIFY(frame->OnTop());
    QVERIFY(frame->windowFlags() & Qt::WindowStaysOnTopHint);
    frame->Execute(DorvexCommand::AlwaysOnTop);
    QVERIFY(!(frame->windowFlags() & Qt::WindowStaysOnTopHint));
    QCOMPARE(QSettings().value(CMainFrame::kOnTopKey).toInt(), 0);
    Close(frame);

    // The settings file's entry does not decide the state at start.
    m_settings->WriteBool("main/topmost", true);
    frame = Start();
    QVERIFY(!frame->OnTop());
  }

  void viewStateMovesTheWindowOntoTheScreen() {
    auto frame = Start();
    frame->setGeometry(20, 20, 400, 300);
    QRect screen = frame->screen()->availableGeometry();
    DorvexState state;
    state.m_left = 90000;
    state.m_top = -90000;
    state.m_right = 140000;
    state.m_bottom = -89000;
    frame->ApplyState(state);
    QRect placed = frame->geometry();
    QVERIFY(screen.intersected(placed).width() >= 100);
    QVERIFY(screen.intersected(placed).height() >= 50);
    QVERIFY(placed.width() <= screen.width());

    // Only the size: the window keeps its place.
    m_settings->WriteBool("state/save/pos", false);
    frame->setGeometry(20, 20, 400, 300);
    state.m_left = 200;
    state.m_top = 100;
    state.m_right = 500;
    state.m_bottom = 350;
    frame->ApplyState(state);
    QCOMPARE(frame->geometry(), QRect(20, 20, 300, 250));

    // Neither: nothing moves; a rectangle of 10 pixels is none.
    m_settings->WriteBool("state/save/size", false);
    frame->ApplyState(state);
    QCOMPARE(frame->geometry(), QRect(20, 20, 300, 250));
    m_settings->WriteBool("state/save/pos", true);
    m_settings->WriteBool("state/save/size", true);
    state.m_right = state.m_left + 10;
    frame->ApplyState(state);
    QCOMPARE(frame->geometry(), QRect(20, 20, 300, 250));
  }

  void viewStateBarsDecideOnlyWhenAllowed() {
    auto frame = Start();
    DorvexState state;
    state.m_main->WriteBool("bars/tool", false);
    state.m_main->WriteBool("topmost", true);
    m_settings->WriteBool("state/save/main", false);
    frame->ApplyState(state);
    QVERIFY(Toolbar(*frame)->isVisible());
    QVERIFY(!frame->OnTop());

    m_settings->WriteBool("state/save/main", true);
    frame->ApplyState(state);
    QVERIFY(!Toolbar(*frame)->isVisible());
    QVERIFY(frame->statusBar()->isVisible());
    QVERIFY(frame->OnTop());
    // Applying a state writes nothing; closing keeps what is shown.
    QVERIFY(!QSettings().contains(CMainFrame::kOnTopKey));
    Close(frame);
    QVERIFY(!m_settings->ReadBool("main/bars/tool", true));
  }
};

QTEST_MAIN(FrameLayoutTest)
#include "framelayout_qtest.moc"
