/*
** The query bar as a user drives it on the offscreen platform: Enter on an
** empty bar, a typed text run exactly as typed, an item picked from the
** list, a failing query, a page step, and the history over a restart.
*/
#include "dorvexview.h"
#include "mainframe.h"
#include "querybar.h"
#include "resultgrid.h"
#include "settingsstore.h"
#include "xb_sqlitedb.h"
#include "viewwait.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

/* The items of the bar's list. */
QStringList Items(CMainFrame& frame) {
  QStringList items;
  QComboBox* combo = frame.QueryBarWidget()->Combo();
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

/* The history as the profile holds it, newest first. */
QStringList ProfileHistory() {
  QSettings profile;
  profile.sync();
  QStringList texts;
  for (int i = 0; profile.contains(QStringLiteral("query/hist%1").arg(i)); ++i)
    texts << profile.value(QStringLiteral("query/hist%1").arg(i)).toString();
  return texts;
}

/* Types TEXT into the bar (replacing what it shows) and presses Enter. */
void TypeAndEnter(CMainFrame& frame, const QString& text) {
  QComboBox* combo = frame.QueryBarWidget()->Combo();
  combo->lineEdit()->clear();
  if (!text.isEmpty()) QTest::keyClicks(combo, text);
  QTest::keyClick(combo, Qt::Key_Return);
}

}  // namespace

class QueryBarTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  QString m_db;

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
    m_db = m_dir.filePath("shop.db");
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(QFile::encodeName(m_db), 3));
    QVERIFY(db->OpenOrCreate());
    QVERIFY(db->Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)"));
    QVERIFY(db->Exec("BEGIN"));
    for (int i = 1; i <= 250; ++i) QVERIFY(db->ExecF("INSERT INTO t VALUES (%d, 'n%d')", i, i));
    QVERIFY(db->Exec("COMMIT"));
  }

  void init() {
    QSettings profile;
    profile.remove(QStringLiteral("query"));
    profile.sync();
  }

  void enterRunsTheTextExactlyAndOnlyWhenThereIsOne() {
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, m_db);
    QVERIFY(view);
    QComboBox* combo = frame.QueryBarWidget()->Combo();
    QCOMPARE(combo->currentText(), QString("SELECT * FROM t LIMIT 100"));
    QCOMPARE(Items(frame), QStringList({"SELECT * FROM t LIMIT 100"}));
    QSignalSpy runs(frame.QueryBarWidget(), &QueryBar::RunRequested);

    // Empty and blank texts run nothing.
    TypeAndEnter(frame, QString());
    TypeAndEnter(frame, "   ");
    QCOMPARE(runs.count(), 0);
    QVERIFY(!view->IsBusy());
    QCOMPARE(view->CurrentQuery(), QString("SELECT * FROM t LIMIT 100"));

    // A prefix of an item is not completed, and a text that equals an item
    // ignoring case runs as typed.
    TypeAndEnter(frame, "SELECT * FROM t LIMIT 1");
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->CurrentQuery(), QString("SELECT * FROM t LIMIT 1"));
    QCOMPARE(view->Grid()->model()->rowCount(), 1);
    TypeAndEnter(frame, "select * from t limit 100");
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->CurrentQuery(), QString("select * from t limit 100"));
    QCOMPARE(combo->currentText(), QString("select * from t limit 100"));
    QCOMPARE(Items(frame), QStringList({"select * from t limit 100", "SELECT * FROM t LIMIT 1"}));
    // The history is saved off the window thread, at once.
    QTRY_COMPARE(ProfileHistory(), Items(frame));

    // Leaving the box reports nothing and keeps the typed text.
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    combo->setFocus();
    QTRY_VERIFY(combo->hasFocus());
    combo->lineEdit()->setText("SELECT * FROM T LIMIT 1");
    view->setFocus();
    QTRY_VERIFY(!combo->hasFocus());
    QCOMPARE(combo->currentText(), QString("SELECT * FROM T LIMIT 1"));
    QCOMPARE(runs.count(), 2);
  }

  void pickedItemRuns() {
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, m_db);
    QVERIFY(view);
    TypeAndEnter(frame, "SELECT id FROM t WHERE id < 4");
    QVERIFY(WaitIdle(view));
    QComboBox* combo = frame.QueryBarWidget()->Combo();
    QCOMPARE(combo->itemText(1), QString("SELECT * FROM t LIMIT 100"));

    // Browsing with the arrow keys changes the text but runs nothing.
    QSignalSpy runs(frame.QueryBarWidget(), &QueryBar::RunRequested);
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(runs.count(), 0);

    combo->showPopup();
    QAbstractItemView* list = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    list->setCurrentIndex(list->model()->index(1, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(runs.count(), 1);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->CurrentQuery(), QString("SELECT * FROM t LIMIT 100"));
    QCOMPARE(view->Grid()->model()->rowCount(), 100);
  }

  void failingQueryIsNotKeptAndPageStepsAreOnlyShown() {
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, m_db);
    QVERIFY(view);
    QStringList before = Items(frame);

    frame.Execute(DorvexCommand::OffsetDown);
    QVERIFY(WaitIdle(view));
    QString paged = view->CurrentQuery();
    QVERIFY(paged.contains("OFFSET 100"));
    QCOMPARE(frame.QueryBarWidget()->Combo()->currentText(), paged);
    QCOMPARE(Items(frame), before);
    QTRY_COMPARE(ProfileHistory(), before);

    TypeAndEnter(frame, "SELECT nothing FROM missing");
    QVERIFY(WaitIdle(view));
    QVERIFY(QTest::qWaitFor([view] {
      for (QMessageBox* box : view->findChildren<QMessageBox*>())
        if (box->isVisible()) return true;
      return false;
    }));
    QCOMPARE(Items(frame), before);
    QTRY_COMPARE(ProfileHistory(), before);
  }

  void historySurvivesARestart() {
    {
      SettingsStore settings;
      CMainFrame frame(settings);
      frame.show();
      CDorvexView* view = OpenAndWait(frame, m_db);
      QVERIFY(view);
      TypeAndEnter(frame, "SELECT name FROM t WHERE id = 7");
      QVERIFY(WaitIdle(view));
      QVERIFY(frame.close());
    }
    SettingsStore settings;
    CMainFrame frame(settings);
    QCOMPARE(Items(frame),
             QStringList({"SELECT name FROM t WHERE id = 7", "SELECT * FROM t LIMIT 100"}));
    // Nothing runs or shows before a view reports a query.
    QCOMPARE(frame.QueryBarWidget()->Combo()->currentText(), QString());
    QCOMPARE(frame.QueryBarWidget()->objectName(), QString("QueryBar"));
    QCOMPARE(frame.QueryBarWidget()->windowTitle(), QString("Query"));
  }
};

QTEST_MAIN(QueryBarTest)
#include "querybar_qtest.moc"
