/*
** The viewer as a user drives it, on the offscreen platform and on files of
** both generations: open and first show, the table walk, header sorting,
** paging, refresh, the repeat timer, copy, drops, the error path, a long
** query cancelled with Esc while the window keeps answering, the row
** bound, and Edit Row... (the shared row dialog, driven from its shown
** hook).
*/
#include "dorvexview.h"
#include "mainframe.h"
#include "resultgrid.h"
#include "paramsdialog.h"
#include "roweditor.h"
#include "settingsstore.h"
#include "sqliterowform.h"
#include "xb_sqlitedb.h"
#include "viewwait.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

/* The "SQLite Error" boxes VIEW shows. */
QList<QMessageBox*> ErrorBoxes(CDorvexView* view) {
  QList<QMessageBox*> boxes;
  for (QMessageBox* box : view->findChildren<QMessageBox*>())
    if (box->windowTitle() == QLatin1String("SQLite Error") && box->isVisible()) boxes << box;
  return boxes;
}

/* Answers Edit Row like a user: the shared row dialog comes up and is
** cancelled, confirmed unchanged, or confirmed with the cell that shows
** FROM retyped as TO.  Records what it was asked. */
class ScriptedRowEditor : public RowEditor {
 public:
  enum Answer { Cancel, Unchanged, Retype };
  Answer answer = Cancel;
  QString from, to;
  int calls = 0;
  std::string table, where;

  bool EditRow(XB_SQLiteDB& db, const std::string& tableName, const std::string& wherePart,
               QWidget* parent, std::string* error) override {
    ++calls;
    table = tableName;
    where = wherePart;
    SQLiteRowForm form(db, tableName, SQLiteRowForm::MODE_EDIT, wherePart);
    if (!form.Prepare()) {
      *error = form.ErrorText().Std();
      return false;
    }
    return form.Run(parent, [this](ParamsDialog& dialog) { Answer(dialog); });
  }

 private:
  void Answer(ParamsDialog& dialog) {
    if (answer == Cancel) {
      dialog.reject();
      return;
    }
    if (answer == Retype) {
      for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
        if (edit->text() != from) continue;
        // As typed: the dialog learns of the change from textEdited.
        edit->setText(to);
        emit edit->textEdited(to);
      }
    }
    dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
  }
};

}  // namespace

class DorvexViewTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  int m_serial = 0;

  /* Runs SQL on the database at PATH through a connection of its own. */
  static bool Exec(const QString& path, const char* sql) {
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(QFile::encodeName(path).constData()));
    return db && db->Open() && db->Exec(sql);
  }

  /* Makes a database of GENERATION with tables t (250 rows, an integer
  ** column) and u (2 rows); returns its path. */
  QString MakeDb(int generation) {
    QString path = m_dir.filePath(QStringLiteral("shop%1_%2.db").arg(generation).arg(++m_serial));
    std::unique_ptr<XB_SQLiteDB> db(
        XB_SQLiteDB::NewByVersion(QFile::encodeName(path).constData(), generation));
    if (!db->OpenOrCreate()) return QString();
    db->Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, qty INTEGER)");
    db->Exec("BEGIN");
    for (int i = 1; i <= 250; ++i)
      db->ExecF("INSERT INTO t VALUES (%d, 'item %d', %d)", i, 251 - i, i % 7);
    db->Exec("COMMIT");
    db->Exec("CREATE TABLE u (k TEXT, v TEXT)");
    db->Exec("INSERT INTO u VALUES ('a', 'tab\there')");
    db->Exec("INSERT INTO u VALUES ('b', 'two\nlines')");
    return path;
  }

  /* Returns the first value SQL reads from PATH, as the file holds it. */
  static QByteArray Read(const QString& path, const char* sql) {
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(QFile::encodeName(path).constData()));
    XB_SQLiteResult result;
    if (!db || !db->Open() || !db->GetTable(result, "%s", sql) || result.Rows() < 1) return "?";
    const char* cell = result.Get(0, 0);
    return cell ? QByteArray(cell) : QByteArray("NULL");
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }

  void generations_data() {
    QTest::addColumn<int>("generation");
    QTest::newRow("3.x") << 3;
    QTest::newRow("2.x") << 2;
  }

  void openWalkSortPage_data() { generations_data(); }
  void openWalkSortPage() {
    QFETCH(int, generation);
    QString path = MakeDb(generation);
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, path);
    QVERIFY(view);
    QString base = QFileInfo(path).completeBaseName();
    QString engine = generation == 3 ? "3.0" : "2.0";
    QCOMPARE(frame.windowTitle(),
             QStringLiteral("Dorvex - %1:%2:SELECT * FROM t LIMIT 100").arg(base, engine));
    QCOMPARE(view->Grid()->model()->rowCount(), 100);
    QCOMPARE(view->Grid()->model()->headerData(2, Qt::Horizontal).toString(), QString("qty"));
    // The integer column is right-aligned, the text column is not.
    auto align = [view](int c) {
      return view->Grid()->model()->index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    };
    QVERIFY(align(2) & Qt::AlignRight);
    QVERIFY(align(1) & Qt::AlignLeft);
    QCOMPARE(frame.PagingPaneText(), QString("0+100"));

    // Header sort: query text and arrow; a second click turns it round.
    emit view->Grid()->horizontalHeader()->sectionClicked(1);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->CurrentQuery(), QString("SELECT * FROM t ORDER BY name ASC LIMIT 100"));
    QHeaderView* header = view->Grid()->horizontalHeader();
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    emit header->sectionClicked(1);
    QVERIFY(WaitIdle(view));
    QVERIFY(view->CurrentQuery().contains("ORDER BY name DESC"));
    QCOMPARE(view->Grid()->GridModel()->CellText(0, 1), QString("item 99"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // Paging keeps the sort and the arrow.
    frame.Execute(DorvexCommand::OffsetDown);
    QVERIFY(WaitIdle(view));
    QCOMPARE(frame.PagingPaneText(), QString("100+100"));
    QVERIFY(header->isSortIndicatorShown());
    frame.Execute(DorvexCommand::OffsetDown);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->model()->rowCount(), 50);
    frame.Execute(DorvexCommand::OffsetUp);
    QVERIFY(WaitIdle(view));
    QCOMPARE(frame.PagingPaneText(), QString("100+100"));

    // The next table rebuilds the columns: no arrow on its column 0.
    frame.Execute(DorvexCommand::NextTable);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->CurrentQuery(), QString("SELECT * FROM u LIMIT 100"));
    QVERIFY(!header->isSortIndicatorShown());
    QVERIFY(!frame.Action(DorvexCommand::NextTable)->isEnabled());
    frame.Execute(DorvexCommand::PreviousTable);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->CurrentQuery(), QString("SELECT * FROM t LIMIT 100"));

    // Refresh shows a row another program added.
    frame.Execute(DorvexCommand::NextTable);
    QVERIFY(WaitIdle(view));
    QVERIFY(Exec(path, "INSERT INTO u VALUES ('c', 'new')"));
    frame.Execute(DorvexCommand::Refresh);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->model()->rowCount(), 3);

    // Copy: the selected rows as tab-separated lines, odd cells quoted.
    view->Grid()->selectionModel()->select(view->Grid()->model()->index(0, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->Grid()->selectionModel()->select(view->Grid()->model()->index(1, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(frame.Action(DorvexCommand::Copy)->isEnabled());
    frame.Execute(DorvexCommand::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("a\t\"tab\there\"\nb\t\"two\nlines\"\n"));

    // File Info lists the schema.
    frame.Execute(DorvexCommand::FileInfo);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->CurrentQuery(), QString("SELECT * FROM sqlite_master"));
    QCOMPARE(view->Grid()->model()->rowCount(), generation == 3 ? 2 : 2);
  }

  void failedRunsKeepTheGrid_data() { generations_data(); }
  void failedRunsKeepTheGrid() {
    QFETCH(int, generation);
    QString path = MakeDb(generation);
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, path);
    QVERIFY(view);
    emit view->Grid()->horizontalHeader()->sectionClicked(0);
    QVERIFY(WaitIdle(view));
    QVERIFY(view->Grid()->horizontalHeader()->isSortIndicatorShown());

    view->RunCustomQuery("SELECT nothing FROM t");
    QVERIFY(WaitIdle(view));
    QCOMPARE(ErrorBoxes(view).size(), 1);
    QVERIFY(ErrorBoxes(view).front()->text().contains("nothing"));
    ErrorBoxes(view).front()->close();
    QCOMPARE(view->Grid()->model()->rowCount(), 100);
    QCOMPARE(view->Grid()->model()->columnCount(), 3);
    QVERIFY(frame.windowTitle().contains(" !"));

    // An empty result still shows the column names of the new query.
    view->RunCustomQuery("SELECT id, name FROM t WHERE id < 0");
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->model()->rowCount(), 0);
    QCOMPARE(view->Grid()->model()->columnCount(), 2);
    // ...and a header click on it sorts by that name.
    emit view->Grid()->horizontalHeader()->sectionClicked(1);
    QVERIFY(WaitIdle(view));
    QVERIFY(view->CurrentQuery().contains("ORDER BY name ASC"));
    QVERIFY(ErrorBoxes(view).isEmpty());

    // A sort that fails keeps the arrow where it was.
    view->RunCustomQuery("SELECT * FROM u");
    QVERIFY(WaitIdle(view));
    emit view->Grid()->horizontalHeader()->sectionClicked(0);
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->horizontalHeader()->sortIndicatorSection(), 0);
    QVERIFY(Exec(path, "DROP TABLE u"));
    emit view->Grid()->horizontalHeader()->sectionClicked(1);
    QVERIFY(WaitIdle(view));
    QCOMPARE(ErrorBoxes(view).size(), 1);
    ErrorBoxes(view).front()->close();
    QCOMPARE(view->Grid()->horizontalHeader()->sortIndicatorSection(), 0);
    QCOMPARE(view->Grid()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
  }

  void repeatTimer() {
    QString path = MakeDb(3);
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, path);
    QVERIFY(view);

    // Ticks never overlap: every run starts after the one before ended.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> starts, ends;
    connect(view, &CDorvexView::RunStarted, this, [&] { starts << clock.elapsed(); });
    connect(view, &CDorvexView::RunFinished, this, [&] { ends << clock.elapsed(); });
    view->RunCustomQuery(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 300000) "
        "SELECT count(*) FROM c");
    QVERIFY(WaitIdle(view));
    starts.clear();
    ends.clear();
    view->StartRepeating(1000);
    QVERIFY(QTest::qWaitFor([&] { return ends.size() >= 2; }, 10000));
    // Each tick starts a period after the run before it ended (a coarse
    // timer may fire up to 5% early).
    QCOMPARE(starts.size(), ends.size());
    for (int i = 1; i < starts.size(); ++i)
      QVERIFY2(
          starts[i] - ends[i - 1] >= 950,
          qPrintable(QStringLiteral("%1 ms after the run before").arg(starts[i] - ends[i - 1])));

    // A custom query stops the timer.
    QVERIFY(WaitIdle(view));
    view->RunCustomQuery("SELECT * FROM u");
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->RepeatMilliseconds(), 0);
    QVERIFY(!frame.Action(DorvexCommand::AutoUpdate)->isChecked());

    // A failing tick stops the timer and is reported once.
    view->StartRepeating(1000);
    QVERIFY(Exec(path, "DROP TABLE u"));
    QVERIFY(QTest::qWaitFor([view] { return !ErrorBoxes(view).isEmpty(); }, 20000));
    QTest::qWait(2100);  // two more periods: no second report
    QCOMPARE(ErrorBoxes(view).size(), 1);
    QCOMPARE(view->RepeatMilliseconds(), 0);

    // Auto Update takes the preference: a missing one is stored as 5 s.
    ErrorBoxes(view).front()->close();
    view->RunCustomQuery("SELECT * FROM t");
    QVERIFY(WaitIdle(view));
    frame.Execute(DorvexCommand::AutoUpdate);
    QCOMPARE(view->RepeatMilliseconds(), 5000);
    QCOMPARE(settings.ReadInt("autoupdate/intervall", 0), 5);
    frame.Execute(DorvexCommand::AutoUpdate);
    QCOMPARE(view->RepeatMilliseconds(), 0);
  }

  void escCancelsALongQueryWhileTheWindowAnswers_data() { generations_data(); }
  void escCancelsALongQueryWhileTheWindowAnswers() {
    QFETCH(int, generation);
    QString path = MakeDb(generation);
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, path);
    QVERIFY(view);
    QString slow = generation == 3
                       ? "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                         "SELECT count(*) FROM c"
                       : "SELECT count(*) FROM t a, t b, t c, t d";
    view->RunCustomQuery(slow);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(10);
    // The event loop keeps running while the query does.
    QVERIFY(QTest::qWaitFor([&ticks] { return ticks >= 10; }, 10000));
    QVERIFY(view->IsBusy());
    QVERIFY(!frame.BusyPaneText().isEmpty());
    QVERIFY(!frame.Action(DorvexCommand::Refresh)->isEnabled());
    view->Grid()->setFocus();
    QTest::keyClick(view->Grid(), Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([view] { return !view->IsBusy(); }, 5000));
    QVERIFY(ErrorBoxes(view).isEmpty());  // a cancel is no error
    QCOMPARE(view->Grid()->model()->rowCount(), 100);
  }

  void viewStateIsShownFirstWithItsInterval() {
    QString db = MakeDb(3);
    QString state = m_dir.filePath("view.dvxs");
    QFile file(state);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<?xml version=\"1.0\"?>\n<DorvexState>\n<repeat intervall=\"10\"/>\n"
                              "<file>%1</file>\n<query>SELECT name FROM t WHERE id &lt; 4</query>\n"
                              "</DorvexState>\n")
                   .arg(QFileInfo(db).fileName())
                   .toUtf8());
    file.close();
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, state);
    QVERIFY(view);
    QCOMPARE(view->CurrentQuery(), QString("SELECT name FROM t WHERE id < 4"));
    QCOMPARE(view->Grid()->model()->rowCount(), 3);
    QCOMPARE(view->RepeatMilliseconds(), 10000);
    QVERIFY(frame.Action(DorvexCommand::AutoUpdate)->isChecked());
  }

  void editRowWritesOneRowAndCancelWritesNone_data() { generations_data(); }
  void editRowWritesOneRowAndCancelWritesNone() {
    QFETCH(int, generation);
    QString path = MakeDb(generation);
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, path);
    QVERIFY(view);
    auto* editor = new ScriptedRowEditor;
    view->SetRowEditor(std::unique_ptr<RowEditor>(editor));
    QSignalSpy runs(view, &CDorvexView::RunStarted);
    QAction* editRow = frame.Action(DorvexCommand::EditRow);
    QCOMPARE(editRow->text(), QString("Edit &Row..."));

    // By the key column: cancelled, then confirmed unchanged; nothing is
    // written and nothing runs again.
    view->Grid()->selectRow(4);
    QVERIFY(editRow->isEnabled());
    frame.Execute(DorvexCommand::EditRow);
    QCOMPARE(editor->calls, 1);
    QCOMPARE(editor->where, std::string("id = '5'"));
    editor->answer = ScriptedRowEditor::Unchanged;
    emit view->Grid()->doubleClicked(view->Grid()->model()->index(4, 1));
    QCOMPARE(editor->calls, 2);
    QCOMPARE(runs.count(), 0);
    QCOMPARE(Read(path, "SELECT count(*) FROM t WHERE name = 'item ' || (251 - id)"),
             QByteArray("250"));

    // Confirmed with a change: that one row is written and shown.
    editor->answer = ScriptedRowEditor::Retype;
    editor->from = "item 246";
    editor->to = "renamed";
    frame.Execute(DorvexCommand::EditRow);
    QVERIFY(WaitIdle(view));
    QCOMPARE(runs.count(), 1);
    QCOMPARE(Read(path, "SELECT name FROM t WHERE id = 5"), QByteArray("renamed"));
    QCOMPARE(Read(path, "SELECT count(*) FROM t WHERE name = 'item ' || (251 - id)"),
             QByteArray("249"));
    QCOMPARE(view->Grid()->GridModel()->CellText(4, 1), QString("renamed"));
    QCOMPARE(view->Grid()->currentIndex().row(), 4);

    // Without the key in the result the rowid fetched with the page picks
    // the row out; the grid shows only the query's own column.
    QVERIFY(view->RunCustomQuery("SELECT qty, name FROM t WHERE id > 200 ORDER BY id DESC"));
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->model()->columnCount(), 2);
    QCOMPARE(view->Grid()->GridModel()->ColumnName(0), QString("qty"));
    QCOMPARE(view->Grid()->PrintContents("t").cell(0, 1), QString("item 1"));
    // A Latin-1 file gets Latin-1 bytes.
    if (generation == 2 && !view->CommandChecked(DorvexCommand::Latin1Text))
      frame.Execute(DorvexCommand::Latin1Text);
    view->Grid()->selectRow(0);
    QVERIFY(view->CommandEnabled(DorvexCommand::EditRow));
    editor->from = "item 1";
    editor->to = generation == 2 ? QString::fromUtf8("K\u00e4se") : QString::fromUtf8("\u20ac 1");
    frame.Execute(DorvexCommand::EditRow);
    QVERIFY(WaitIdle(view));
    QCOMPARE(editor->where, std::string("rowid = 250"));
    QCOMPARE(Read(path, "SELECT name FROM t WHERE id = 250"),
             generation == 2 ? QByteArray("K\xe4se") : QByteArray("\xe2\x82\xac 1"));
    QCOMPARE(view->Grid()->GridModel()->CellText(0, 1), editor->to);
  }

  void editRowIsOffForViewsJoinsAndWhileBusy() {
    QString path = MakeDb(3);
    QVERIFY(Exec(path, "CREATE VIEW tv AS SELECT * FROM t"));
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, path);
    QVERIFY(view);
    auto* editor = new ScriptedRowEditor;
    view->SetRowEditor(std::unique_ptr<RowEditor>(editor));
    for (const char* sql : {"SELECT * FROM tv", "SELECT t.* FROM t, u", "SELECT count(*) FROM t"}) {
      QVERIFY(view->RunCustomQuery(sql));
      QVERIFY(WaitIdle(view));
      view->Grid()->selectRow(0);
      QVERIFY2(!frame.Action(DorvexCommand::EditRow)->isEnabled(), sql);
      emit view->Grid()->doubleClicked(view->Grid()->model()->index(0, 0));
    }
    QCOMPARE(editor->calls, 0);

    // A running query keeps the dialog away.
    QVERIFY(view->RunCustomQuery("SELECT * FROM t"));
    QVERIFY(WaitIdle(view));
    view->Grid()->selectRow(0);
    QVERIFY(view->CommandEnabled(DorvexCommand::EditRow));
    QVERIFY(view->RunCustomQuery(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 50000000) "
        "SELECT count(*) FROM c"));
    QVERIFY(!view->CommandEnabled(DorvexCommand::EditRow));
    view->Execute(DorvexCommand::EditRow);
    QCOMPARE(editor->calls, 0);
    view->Cancel();
    QVERIFY(WaitIdle(view));
  }

  void rowBoundNotice() {
    QString path = MakeDb(3);
    SettingsStore settings;
    settings.WriteInt("view/maxrows", 60);
    CMainFrame frame(settings);
    frame.show();
    CDorvexView* view = OpenAndWait(frame, path);
    QVERIFY(view);
    view->RunCustomQuery("SELECT * FROM t");
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->model()->rowCount(), 60);
    QVERIFY(frame.NoticePaneText().contains("60"));
    view->RunCustomQuery("SELECT * FROM t LIMIT 10");
    QVERIFY(WaitIdle(view));
    QVERIFY(frame.NoticePaneText().isEmpty());
  }

  void dropsOpenDocuments() {
    QString first = MakeDb(3);
    QString second = MakeDb(2);
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame.DocumentArea(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame.DocumentArea(), &drop);
    QVERIFY(QTest::qWaitFor([&] { return frame.Views().size() == 2; }, 5000));
    for (CDorvexView* view : frame.Views()) QVERIFY(WaitIdle(view));
    QCOMPARE(frame.RecentFiles().front(), second);
    QVERIFY(frame.windowTitle().contains(":2.0:"));

    // A .sql file dropped on a view runs there.
    CDorvexView* view = frame.ActiveView();
    QString script = m_dir.filePath("q.sql");
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("SELECT k FROM u\n");
    file.close();
    QMimeData sql;
    sql.setUrls({QUrl::fromLocalFile(script)});
    QDragEnterEvent enterView(QPoint(5, 5), Qt::CopyAction, &sql, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enterView);
    QDropEvent onView(QPointF(5, 5), Qt::CopyAction, &sql, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &onView);
    QVERIFY(
        QTest::qWaitFor([view] { return view->CurrentQuery().contains("SELECT k FROM u"); }, 5000));
    QVERIFY(WaitIdle(view));
    QCOMPARE(view->Grid()->model()->columnCount(), 1);
  }
};

QTEST_MAIN(DorvexViewTest)
#include "dorvexview_qtest.moc"
