/*
** The grid model and widget over real results of both generations: the
** model checked by QAbstractItemModelTester, NULL and empty results, text
** decoding, the header sort protocol and the clipboard text of a selection.
*/
#include "resultgrid.h"
#include "resultgridmodel.h"
#include "xb_sqlitedb.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class ResultGridModelTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;

  /* Makes a database of GENERATION named NAME holding table t. */
  std::unique_ptr<XB_SQLiteDB> MakeDb(int generation, const QString& name) {
    QByteArray path = QFile::encodeName(m_dir.filePath(name));
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(path.constData(), generation));
    if (!db->OpenOrCreate()) return nullptr;
    db->Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, note TEXT)");
    db->Exec("INSERT INTO t VALUES (1, 'alpha', 'tab\there')");
    db->Exec(
        "INSERT INTO t VALUES (2, 'Gr\xc3\xbc\xc3\x9f"
        "e', NULL)");
    db->Exec("INSERT INTO t VALUES (3, 'gamma', 'two\nlines')");
    return db;
  }

 private slots:
  void modelOverBothGenerations_data() {
    QTest::addColumn<int>("generation");
    QTest::newRow("3.x") << 3;
    QTest::newRow("2.x") << 2;
  }
  void modelOverBothGenerations() {
    QFETCH(int, generation);
    auto db = MakeDb(generation, QStringLiteral("m%1.db").arg(generation));
    QVERIFY(db);
    XB_SQLiteResult result;
    QVERIFY(db->GetTable(result, "SELECT * FROM t ORDER BY id"));

    ResultGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetResult(result);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("name"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QString::fromUtf8("Grüße"));
    QVERIFY(model.IsNull(1, 2));
    QCOMPARE(model.data(model.index(1, 2)).toString(), QString());
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

    model.SetRightAligned({true});
    QVERIFY(model.data(model.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>() &
            Qt::AlignRight);
    QVERIFY(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() &
            Qt::AlignLeft);

    // Latin-1 reading shows the stored bytes one character each.
    model.SetLatin1(true);
    QCOMPARE(model.data(model.index(1, 1)).toString(), QString::fromLatin1("Gr\xc3\xbc\xc3\x9f"
                                                                           "e"));
    model.SetLatin1(false);

    // An empty result keeps its column names; a failed query is empty.
    XB_SQLiteResult empty;
    XB_QueryProgress watch;
    QVERIFY(db->GetTableWatched(empty, "SELECT id, name FROM t WHERE id > 99", &watch));
    model.SetResult(empty);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("id"));
    model.SetResult(XB_SQLiteResult());
    QCOMPARE(model.columnCount(), 0);
    QCOMPARE(model.CellText(5, 5), QString());
  }

  void headerSortProtocol() {
    auto db = MakeDb(3, QStringLiteral("sort.db"));
    QVERIFY(db);
    XB_SQLiteResult result;
    QVERIFY(db->GetTable(result, "SELECT * FROM t"));
    ResultGrid grid;
    grid.resize(400, 300);
    grid.show();
    grid.ShowResult(result, {}, true);
    QSignalSpy spy(&grid, &ResultGrid::SortRequested);

    // First click on column 0 (the initial sort column, no direction): ascending.
    emit grid.horizontalHeader()->sectionClicked(0);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{0, true}));
    QVERIFY(!grid.horizontalHeader()->isSortIndicatorShown());  // only after success
    grid.ShowSort(0, true);
    emit grid.horizontalHeader()->sectionClicked(0);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{0, false}));
    grid.ShowSort(0, false);
    emit grid.horizontalHeader()->sectionClicked(0);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{0, true}));
    emit grid.horizontalHeader()->sectionClicked(2);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{2, true}));
    // The run failed: no ShowSort, so the arrow still shows column 0 descending.
    QCOMPARE(grid.horizontalHeader()->sortIndicatorSection(), 0);
    QCOMPARE(grid.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    // A re-run without rebuild keeps the arrow; a rebuild removes it.
    grid.ShowResult(result, {}, false);
    QVERIFY(grid.horizontalHeader()->isSortIndicatorShown());
    QCOMPARE(grid.horizontalHeader()->sortIndicatorSection(), 0);
    grid.ShowResult(result, {}, true);
    QVERIFY(!grid.horizontalHeader()->isSortIndicatorShown());
    QCOMPARE(grid.SortDirection(), 0);
    QVERIFY(!grid.isSortingEnabled());
  }

  void copyOfSelectedRows() {
    auto db = MakeDb(3, QStringLiteral("copy.db"));
    QVERIFY(db);
    XB_SQLiteResult result;
    QVERIFY(db->GetTable(result, "SELECT * FROM t ORDER BY id"));
    ResultGrid grid;
    grid.ShowResult(result, {}, true);
    QVERIFY(!grid.HasSelection());
    QCOMPARE(grid.SelectionText(), QString());
    // Rows selected out of order come out in grid order.
    grid.selectionModel()->select(grid.model()->index(2, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.selectionModel()->select(grid.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(grid.SelectionText(), QStringLiteral("1\talpha\t\"tab\there\"\n"
                                                  "3\tgamma\t\"two\nlines\"\n"));
    grid.selectAll();
    QCOMPARE(grid.SelectionText().count(QLatin1Char('\n')), 4);  // 3 lines, one inside a cell
  }
};

QTEST_MAIN(ResultGridModelTest)
#include "resultgridmodel_qtest.moc"
