/*
** Printing from the window: Print writes the active grid to the PDF the
** (recording) print dialog chooses, the print commands follow the active
** document, the snapshot keeps the result it was taken from while the view
** runs other queries, the progress's Cancel stops a job, and the preview
** of a million rows draws only the pages looked at.
*/
#include "dorvexview.h"
#include "mainframe.h"
#include "pdfprobe.h"
#include "printdialogs.h"
#include "printpreview.h"
#include "recordingprintui.h"
#include "resultgrid.h"
#include "settingsstore.h"
#include "xb_sqlitedb.h"
#include "viewwait.h"

#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class PrintingTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  int m_serial = 0;

  /* Makes a new 3.x database with table t (250 rows) and u (2 rows). */
  QString MakeDb() {
    QString path = m_dir.filePath(QStringLiteral("shop%1.db").arg(++m_serial));
    std::unique_ptr<XB_SQLiteDB> db(
        XB_SQLiteDB::NewByVersion(QFile::encodeName(path).constData(), 3));
    if (!db->OpenOrCreate()) return QString();
    db->Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, qty INTEGER)");
    db->Exec("BEGIN");
    for (int i = 1; i <= 250; ++i)
      db->ExecF("INSERT INTO t VALUES (%d, 'item %d', %d)", i, 251 - i, i % 7);
    db->Exec("COMMIT");
    db->Exec("CREATE TABLE u (k TEXT, v TEXT)");
    db->Exec("INSERT INTO u VALUES ('a', 'first')");
    db->Exec("INSERT INTO u VALUES ('b', 'second')");
    return path;
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }

  void printCommandWritesTheActiveGrid() {
    SettingsStore settings;
    CMainFrame frame(settings);
    RecordingPrintUi ui;
    frame.Printing().SetUi(&ui);
    frame.show();
    // Without a document there is nothing to print, but the page can be set up.
    QVERIFY(!frame.Action(DorvexCommand::Print)->isEnabled());
    QVERIFY(!frame.Action(DorvexCommand::PrintPreview)->isEnabled());
    QVERIFY(frame.Action(DorvexCommand::PrintSetup)->isEnabled());

    QVERIFY(frame.OpenDocument(MakeDb()));
    CDorvexView* view = frame.ActiveView();
    QVERIFY(view && WaitIdle(view));
    QVERIFY(frame.Action(DorvexCommand::Print)->isEnabled());
    QCOMPARE(frame.Action(DorvexCommand::Print)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

    ui.pdf = m_dir.filePath(QStringLiteral("grid.pdf"));
    frame.Action(DorvexCommand::Print)->trigger();
    const int pages = static_cast<int>(ui.CallsStartingWith(QStringLiteral("progress")).size());
    QVERIFY(pages >= 2);
    QCOMPARE(pdfprobe::Pages(ui.pdf), pages);
    const QString first = pdfprobe::PageText(ui.pdf, 1);
    QVERIFY2(first.contains(QLatin1String("SELECT * FROM t LIMIT 100")), qPrintable(first));
    QVERIFY(first.contains(QLatin1String("qty")));
    QVERIFY(first.contains(QLatin1String("item 250")));
    // The grid shows 100 rows; the last of them ends the job.
    const QString last = pdfprobe::PageText(ui.pdf, pages);
    QVERIFY(last.contains(QLatin1String("item 151")));
    QVERIFY(!last.contains(QLatin1String("item 150")));

    ui.calls.clear();
    frame.Execute(DorvexCommand::PrintPreview);
    QCOMPARE(ui.calls, QStringList{QStringLiteral("preview %1").arg(pages)});
  }

  void snapshotKeepsItsResult() {
    SettingsStore settings;
    CMainFrame frame(settings);
    QVERIFY(frame.OpenDocument(MakeDb()));
    CDorvexView* view = frame.ActiveView();
    QVERIFY(view && WaitIdle(view));
    const PrintSnapshot snapshot = view->Grid()->PrintContents(view->Title());
    QCOMPARE(snapshot.headers, QStringList({"id", "name", "qty"}));
    QCOMPARE(snapshot.screenWidths.size(), size_t(3));
    QVERIFY(snapshot.screenUnit > 0);

    // Another query replaces what the grid shows, not what is printed.
    QVERIFY(view->RunCustomQuery(QStringLiteral("SELECT * FROM u")));
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->model()->rowCount(), 2);
    QCOMPARE(snapshot.rowCount, int64_t(100));
    QCOMPARE(snapshot.cell(99, 1), QStringLiteral("item 151"));
    QCOMPARE(snapshot.cell(0, 0), QStringLiteral("1"));
  }

  void progressCancelStopsTheJob() {
    QWidget window;
    window.show();
    PrintDialogs dialogs(&window);
    QVERIFY(dialogs.Progress(1, 10));
    auto* progress = window.findChild<QProgressDialog*>();
    QVERIFY(progress);
    QVERIFY(dialogs.Progress(2, 10));
    QCOMPARE(progress->maximum(), 10);
    progress->cancel();
    QVERIFY(!dialogs.Progress(3, 10));
    dialogs.EndProgress();
    QVERIFY(!window.findChild<QProgressDialog*>());
    // The next job starts with a fresh progress.
    QVERIFY(dialogs.Progress(1, 4));
    dialogs.EndProgress();
  }

  void previewDrawsOnlyThePagesLookedAt() {
    auto highest = std::make_shared<int64_t>(-1);
    auto reads = std::make_shared<int64_t>(0);
    PrintSnapshot snapshot;
    snapshot.title = QStringLiteral("big");
    snapshot.headers = {QStringLiteral("n")};
    snapshot.screenWidths = {80};
    snapshot.screenUnit = 16;
    snapshot.rowCount = 1000000;
    snapshot.cell = [highest, reads](int64_t row, int) {
      ++*reads;
      *highest = std::max(*highest, row);
      return QStringLiteral("value %1").arg(row + 1);
    };
    ListPrinter job(snapshot);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    QString error;
    QVERIFY(job.Layout(printer, &error));
    QVERIFY(job.PageCount() > 10000);

    PrintPreview preview(job, printer);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QCOMPARE(preview.PageCount(), job.PageCount());
    QCOMPARE(preview.findChild<QLabel*>(QStringLiteral("pages"))->text(),
             QStringLiteral("of %1").arg(job.PageCount()));
    QCOMPARE(preview.Page(), 1);
    QVERIFY2(*reads > 0 && *reads < 1000, qPrintable(QString::number(*reads)));

    preview.findChild<QPushButton*>(QStringLiteral("last"))->click();
    QCOMPARE(preview.Page(), job.PageCount());
    QCOMPARE(*highest, int64_t(999999));
    QVERIFY(*reads < 2000);
    preview.findChild<QPushButton*>(QStringLiteral("previous"))->click();
    QCOMPARE(preview.Page(), job.PageCount() - 1);
    preview.findChild<QPushButton*>(QStringLiteral("next"))->click();
    preview.findChild<QPushButton*>(QStringLiteral("next"))->click();
    QCOMPARE(preview.Page(), job.PageCount());

    QVERIFY(!preview.PrintRequested());
    preview.findChild<QPushButton*>(QStringLiteral("print"))->click();
    QVERIFY(preview.PrintRequested());
    QVERIFY(!preview.isVisible());
  }
};

QTEST_MAIN(PrintingTest)
#include "printing_qtest.moc"
