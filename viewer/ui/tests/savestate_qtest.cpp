/*
** Save State in the running window on the offscreen platform: the file it
** writes opens again with the same query and repeat interval, the dialog
** asks before overwriting, Cancel writes nothing, and a save that fails is
** reported.
*/
#include "dorvexstate.h"
#include "dorvexview.h"
#include "mainframe.h"
#include "querybar.h"
#include "resultgrid.h"
#include "settingsstore.h"
#include "storenode.h"
#include "xb_sqlitedb.h"
#include "viewwait.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class SaveStateTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  QString m_db;

  /* Runs SQL from FRAME's query bar and waits for it. */
  static bool RunFromBar(CMainFrame& frame, CDorvexView* view, const QString& sql) {
    QComboBox* combo = frame.QueryBarWidget()->Combo();
    combo->lineEdit()->setText(sql);
    QTest::keyClick(combo, Qt::Key_Return);
    return WaitIdle(view) && view->CurrentQuery() == sql;
  }

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
    for (int i = 1; i <= 20; ++i) QVERIFY(db->ExecF("INSERT INTO t VALUES (%d, 'n%d')", i, i));
  }

  void savedStateOpensWithTheSameQueryAndInterval() {
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    frame.statusBar()->hide();
    CDorvexView* view = OpenAndWait(frame, m_db);
    QVERIFY(view);
    QString query = QStringLiteral("SELECT name  FROM t WHERE name < \"n3\" AND id <> 0");
    QVERIFY(RunFromBar(frame, view, query));
    view->StartRepeating(10000);
    QVERIFY(frame.Action(DorvexCommand::SaveState)->isEnabled());

    QString asked;
    QString path = m_dir.filePath("view");
    frame.SetStatePathAsker([&asked, path](const QString& initial) {
      asked = initial;
      return path + ".dvxs";
    });
    frame.Execute(DorvexCommand::SaveState);
    QCOMPARE(asked, QString());
    QCOMPARE(view->StatePath(), path + ".dvxs");

    DorvexState state;
    std::string error;
    QVERIFY2(state.Load((path + ".dvxs").toStdString(), &error), error.c_str());
    QCOMPARE(QString::fromStdString(state.m_query), query);
    QCOMPARE(QString::fromStdString(state.DatabasePath()), m_db);
    QCOMPARE(state.m_interval, 10);
    QCOMPARE(state.m_right - state.m_left, frame.geometry().width());
    QVERIFY(!state.m_main->ReadBool("bars/status", true));
    QVERIFY(state.m_main->ReadBool("bars/query", false));

    // A second save starts from the file the view was saved as.
    frame.Execute(DorvexCommand::SaveState);
    QCOMPARE(asked, path + ".dvxs");

    SettingsStore otherSettings;
    CMainFrame other(otherSettings);
    other.show();
    CDorvexView* reopened = OpenAndWait(other, path + ".dvxs");
    QVERIFY(reopened);
    QCOMPARE(reopened->CurrentQuery(), query);
    QCOMPARE(reopened->RepeatMilliseconds(), 10000);
    QCOMPARE(reopened->Grid()->model()->rowCount(), view->Grid()->model()->rowCount());
    QCOMPARE(other.QueryBarWidget()->Combo()->currentText(), query);
  }

  void cancelWritesNothingAndFailedSavesAreReported() {
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, m_db);
    QVERIFY(view);
    frame.SetStatePathAsker([](const QString&) { return QString(); });
    frame.Execute(DorvexCommand::SaveState);
    QVERIFY(view->StatePath().isEmpty());
    QVERIFY(!frame.findChild<QMessageBox*>("SaveStateError"));

    QString path = m_dir.filePath("missing/s.dvxs");
    frame.SetStatePathAsker([path](const QString&) { return path; });
    frame.Execute(DorvexCommand::SaveState);
    QVERIFY(!QFile::exists(path));
    auto* box = frame.findChild<QMessageBox*>("SaveStateError");
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY(box->text().contains(path));
  }

  void dialogAddsTheSuffixAndAsksBeforeOverwriting() {
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    QString existing = m_dir.filePath("old.dvxs");
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    // A new name gets the suffix.
    QCOMPARE(Answer(frame, m_dir.filePath("fresh"), QMessageBox::NoButton),
             m_dir.filePath("fresh.dvxs"));
    // An existing file is replaced only when the user agrees.
    QCOMPARE(Answer(frame, existing, QMessageBox::No), QString());
    QVERIFY(m_prompted);
    QCOMPARE(Answer(frame, existing, QMessageBox::Yes), existing);
    QVERIFY(m_prompted);
  }

 private:
  bool m_prompted = false;

  /* Runs FRAME's Save State dialog, enters NAME and confirms; a prompt that
  ** follows gets REPLY.  Returns the chosen path, "" when the dialog ended
  ** without one. */
  QString Answer(CMainFrame& frame, const QString& name, QMessageBox::StandardButton reply) {
    m_prompted = false;
    std::unique_ptr<QFileDialog> dialog = frame.StateFileDialog(QString());
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    QFileDialog* shown = dialog.get();
    QTimer::singleShot(50, shown, [this, shown, name, reply] {
      QTimer::singleShot(100, shown, [this, shown, reply] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        m_prompted = box != nullptr;
        if (box) box->button(reply)->click();
        // Still open after a refusal: give up.
        QTimer::singleShot(50, shown, [shown] {
          if (shown->isVisible()) shown->reject();
        });
      });
      // Typed as a user types it: folder, then the name in its field.
      shown->setDirectory(QFileInfo(name).path());
      auto* field = shown->findChild<QLineEdit*>("fileNameEdit");
      if (field) field->setText(QFileInfo(name).fileName());
      static_cast<QDialog*>(shown)->accept();  // public as QDialog's
    });
    if (dialog->exec() != QDialog::Accepted) return QString();
    return dialog->selectedFiles().value(0);
  }
};

QTEST_MAIN(SaveStateTest)
#include "savestate_qtest.moc"
