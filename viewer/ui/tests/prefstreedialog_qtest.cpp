/*
** The Preferences window on the offscreen platform, with the profile in a
** temporary folder: values stored when another page is selected and when
** the window closes, the page and placement shown again at the next
** opening, a stored page position that names no page, and the settings
** file written after the window through the main window's command.
*/
#include "mainframe.h"
#include "preferencesmodel.h"
#include "prefspage.h"
#include "prefstreedialog.h"
#include "settingsstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

class PrefsTreeDialogTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;

  static int PageOf(PreferencesModel& model, const QString& label) {
    for (int i = 0; i < model.PageCount(); ++i)
      if (model.PageAt(i).label == label) return i;
    return -1;
  }

  /* The input widget of the line for the settings key KEY on the page. */
  template <typename Widget>
  static Widget* Input(CPrefsTreeDialog& dialog, const char* key) {
    CPrefsPage* page = dialog.Page();
    if (!page) return nullptr;
    ParamLine* line = page->Lines().FindLine(XB_String(key));
    if (!line) return nullptr;
    return qobject_cast<Widget*>(page->Controls().Widget(line->InputControl()));
  }

  static void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }
  void init() { QSettings().clear(); }

  void valuesAreStoredOnPageSwitchAndOnClose() {
    SettingsStore settings;
    PreferencesModel model(settings);
    int tables = PageOf(model, "Tables");
    int state = PageOf(model, "State");
    {
      CPrefsTreeDialog dialog(model, "Preferences");
      dialog.show();
      QCOMPARE(dialog.CurrentPage(), 0);
      QRect area = dialog.screen()->availableGeometry();
      QCOMPARE(dialog.size(), QSize(area.width() / 3, area.height() / 3));
      QCOMPARE(dialog.Tree()->width(), dialog.width() / 3);
      QCOMPARE(dialog.Page()->x(), dialog.width() / 3 + 4);

      dialog.SelectPage(tables);
      QLineEdit* limit = Input<QLineEdit>(dialog, "view-limit");
      QVERIFY(limit);
      QCOMPARE(limit->text(), QString("100"));
      Type(limit, "42");
      QCOMPARE(settings.ReadInt("view/limit", -1), 100);
      dialog.SelectPage(state);
      QCOMPARE(dialog.CurrentPage(), state);
      QCOMPARE(settings.ReadInt("view/limit", -1), 42);

      QCheckBox* relative = Input<QCheckBox>(dialog, "state-save-relativepath");
      QVERIFY(relative);
      QVERIFY(!relative->isChecked());
      relative->click();
      dialog.setGeometry(50, 60, 420, 310);
      QVERIFY(dialog.close());
      QVERIFY(settings.ReadBool("state/save/relativepath", false));
    }
    QCOMPARE(QSettings().value("Prefs-Preferences/lastsel").toInt(), state);

    // The next window shows the same page at the same place.
    CPrefsTreeDialog again(model, "Preferences");
    again.show();
    QCOMPARE(again.CurrentPage(), state);
    QCOMPARE(again.geometry(), QRect(50, 60, 420, 310));
    QVERIFY(Input<QCheckBox>(again, "state-save-relativepath")->isChecked());
  }

  void aStoredPageThatIsNoPageShowsTheFirst() {
    SettingsStore settings;
    PreferencesModel model(settings);
    for (int stored : {-1, model.PageCount(), 1000}) {
      QSettings().setValue("Prefs-Preferences/lastsel", stored);
      CPrefsTreeDialog dialog(model, "Preferences");
      dialog.show();
      QCOMPARE(dialog.CurrentPage(), 0);
      QCOMPARE(dialog.Tree()->currentItem()->text(0), model.PageAt(0).label);
    }
  }

  void thePreferencesCommandWritesTheSettingsFile() {
    SettingsStore settings;
    CMainFrame frame(settings);
    int saves = 0;
    int daysAtSave = -1;
    frame.SetSettingsSaver([&](QString* error) {
      ++saves;
      // The window has closed before the file is written.
      daysAtSave = settings.ReadInt("update/dayscheck", -1);
      *error = "the disk is full";
      return false;
    });
    bool sawReport = false;
    // Closes the Preferences window, then the message that the save failed.
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (qobject_cast<CPrefsTreeDialog*>(modal) == nullptr) sawReport = true;
      modal->close();
    });
    closer.start(20);
    frame.Execute(DorvexCommand::Preferences);
    closer.stop();
    QCOMPARE(saves, 1);
    QCOMPARE(daysAtSave, 7);
    QVERIFY(sawReport);
  }
};

QTEST_MAIN(PrefsTreeDialogTest)
#include "prefstreedialog_qtest.moc"
