/*
** Tests of the dialogs on real databases of both generations, on the
** offscreen platform: the row commands' insert and edit dialogs and the
** row-wise editor are opened, typed into and ended with their buttons,
** and the database is checked afterwards.
*/
#include "paramsdialog.h"
#include "rowcommands.h"
#include "sqliterowdialog.h"
#include "sqliterowio.h"
#include "xb_sqlitedb.h"
#include "xb_tabledef.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using Script = std::function<void(QWidget* dialog)>;

class DialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  int m_fileNumber = 0;

  /* A new database of generation gen holding the statements of sql. */
  std::unique_ptr<XB_SQLiteDB> MakeDb(int gen, const char* sql) {
    QString path = m_dir.filePath(QStringLiteral("t%1.db").arg(++m_fileNumber));
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(path.toLocal8Bit().constData(), gen));
    if (!db || !db->IsOpen()) return nullptr;
    if (!db->Exec(sql)) return nullptr;
    return db;
  }

  /* The single value of a query, or "<none>" when it yields none. */
  static QByteArray Value(XB_SQLiteDB& db, const char* sql) {
    XB_String out;
    if (!db.QueryValue(out, "%s", sql)) return "<none>";
    return QByteArray(out.c_str());
  }

  /* Runs script on the modal dialog as soon as it is up, then makes sure
  ** it ends, so that a failed check cannot leave the test hanging. */
  static void WhenModal(const Script& script, int attempts = 200) {
    QTimer::singleShot(5, [script, attempts] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr) {
        if (attempts > 0) WhenModal(script, attempts - 1);
        return;
      }
      script(dialog);
      if (QApplication::activeModalWidget() == dialog) dialog->close();
    });
  }

  /* Runs a row command with script driving its dialog. */
  static int RunCommand(XB_SQLiteDB& db, RimbalCommand command, const char* table,
                        const char* where, const Script& script) {
    RimbalOptions options;
    options.command = command;
    options.table = table;
    options.statement = where;
    WhenModal(script);
    return RunRowCommand(options, db);
  }

  static QLineEdit* Edit(QWidget* dialog, const char* key) {
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(key));
  }

  /* Replaces the text of the edit of key as a user would type it. */
  static void Type(QWidget* dialog, const char* key, const char* text) {
    QLineEdit* edit = Edit(dialog, key);
    QVERIFY2(edit, key);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (QChar c : QString::fromLatin1(text)) {
      /* A key event carrying the character, so Latin-1 letters type too. */
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }

  static void Press(QWidget* dialog, const char* button) {
    auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY2(b, button);
    QVERIFY2(b->isEnabled(), button);
    b->click();
  }

  static void AddGenerations() {
    QTest::addColumn<int>("gen");
    QTest::newRow("2.x") << 2;
    QTest::newRow("3.x") << 3;
  }

 private slots:
  void initTestCase() { QVERIFY(m_dir.isValid()); }

  void insertRow_data() { AddGenerations(); }
  /* The insert dialog shows the key read-only and empty, takes typed
  ** values, dates and times, and the new row gets its key from the
  ** engine. */
  void insertRow() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT,"
                     " price REAL, born DATE, at TIME);");
    QVERIFY(db);
    int code = RunCommand(*db, RC_INSERT_ROW, "items", "", [](QWidget* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("items"));
      QVERIFY(Edit(d, "id") == nullptr);
      Type(d, "name", "Widget");
      Type(d, "price", "2.5");
      d->findChild<QDateEdit*>("born")->setDate(QDate(2024, 2, 29));
      d->findChild<QTimeEdit*>("at")->setTime(QTime(13, 45, 7));
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT count(*) FROM items"), QByteArray("1"));
    QCOMPARE(Value(*db, "SELECT id||'|'||name||'|'||price||'|'||born||'|'||at FROM items"),
             QByteArray("1|Widget|2.5|2024-02-29|13:45:07"));
  }

  void editRow_data() { AddGenerations(); }
  /* The edit dialog shows the row the where-part selects; OK writes the
  ** typed text (as Latin-1) and the picked time, leaves the untouched date
  ** and time texts as stored and a NULL column NULL. */
  void editRow() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT, born DATE,"
                     " at TIME, note TEXT);"
                     "INSERT INTO p VALUES(1, 'Ann', '2000-01-02', '08:09:10', NULL);"
                     "INSERT INTO p VALUES(2, 'Bob', 'sometime', '7:05', 'x');");
    QVERIFY(db);
    int code = RunCommand(*db, RC_EDIT_ROW, "p", "id=2", [](QWidget* d) {
      QCOMPARE(Edit(d, "name")->text(), QStringLiteral("Bob"));
      QCOMPARE(d->findChild<QTimeEdit*>("at")->time(), QTime(7, 5, 0));
      Type(d, "name",
           "B\xF6"
           "bby"); /* Latin-1 o umlaut */
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT name||'|'||born||'|'||at FROM p WHERE id=2"),
             QByteArray("B\xF6"
                        "bby|sometime|7:05"));

    code = RunCommand(*db, RC_EDIT_ROW, "p", "", [](QWidget* d) {
      QCOMPARE(Edit(d, "note")->text(), QString());
      d->findChild<QTimeEdit*>("at")->setTime(QTime(9, 10, 11));
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT name||'|'||born||'|'||at FROM p WHERE id=1"),
             QByteArray("Ann|2000-01-02|09:10:11"));
    QCOMPARE(Value(*db, "SELECT count(*) FROM p WHERE note IS NULL"), QByteArray("1"));
  }

  void cancelLeavesDatabase_data() { AddGenerations(); }
  /* Cancel, and closing the window, write nothing. */
  void cancelLeavesDatabase() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);"
                     "INSERT INTO p VALUES(1, 'Ann');");
    QVERIFY(db);
    RunCommand(*db, RC_EDIT_ROW, "p", "", [](QWidget* d) {
      Type(d, "name", "Changed");
      Press(d, "cancel");
    });
    RunCommand(*db, RC_INSERT_ROW, "p", "", [](QWidget* d) {
      Type(d, "name", "New");
      d->close();
    });
    QCOMPARE(Value(*db, "SELECT group_concat(id||name) FROM p"), QByteArray("1Ann"));
  }

  void stepThroughRows_data() { AddGenerations(); }
  /* The row-wise editor steps forward and back, writes only the row the
  ** user changed, and past the last row appends a new one. */
  void stepThroughRows() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT, at TIME);"
                     "CREATE TABLE writes(id);"
                     "CREATE TRIGGER w AFTER UPDATE ON p BEGIN"
                     " INSERT INTO writes VALUES(new.id); END;"
                     "INSERT INTO p VALUES(1, 'a', '01:00:00');"
                     "INSERT INTO p VALUES(2, 'b', NULL);"
                     "INSERT INTO p VALUES(3, 'c', '03:00:00');");
    QVERIFY(db);
    int code = RunCommand(*db, RC_EDIT_ROWS, "p", "", [](QWidget* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("p [1/3]"));
      QVERIFY(!d->findChild<QPushButton*>("previous")->isEnabled());
      Press(d, "next");
      QCOMPARE(d->windowTitle(), QStringLiteral("p [2/3]"));
      QCOMPARE(Edit(d, "name")->text(), QStringLiteral("b"));
      Type(d, "name", "B");
      Press(d, "previous");
      QCOMPARE(d->windowTitle(), QStringLiteral("p [1/3]"));
      QCOMPARE(Edit(d, "name")->text(), QStringLiteral("a"));
      Press(d, "next");
      Press(d, "next");
      QCOMPARE(Edit(d, "name")->text(), QStringLiteral("c"));
      Press(d, "next");
      QCOMPARE(d->windowTitle(), QStringLiteral("p [4/4]"));
      Type(d, "name", "d");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT group_concat(id||name, ',') FROM p"), QByteArray("1a,2B,3c,4d"));
    /* Row 2's NULL time was not touched; the appended row leaves it to the engine. */
    QCOMPARE(Value(*db, "SELECT group_concat(id, ',') FROM p WHERE at IS NULL"), QByteArray("2,4"));
    QCOMPARE(Value(*db, "SELECT group_concat(id, ',') FROM writes"), QByteArray("2,4"));
  }

  void uniqueKeyEnds_data() { AddGenerations(); }
  /* Without an INTEGER PRIMARY KEY the editor stops at the last row; a row
  ** whose key is NULL is still reached and written. */
  void uniqueKeyEnds() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE u(code TEXT UNIQUE, name TEXT);"
                     "INSERT INTO u VALUES('x', 'one');"
                     "INSERT INTO u VALUES(NULL, 'two');");
    QVERIFY(db);
    RunCommand(*db, RC_EDIT_ROWS, "u", "", [](QWidget* d) {
      QString first = Edit(d, "name")->text();
      Press(d, "next");
      QCOMPARE(d->windowTitle(), QStringLiteral("u [2/2]"));
      QVERIFY(!d->findChild<QPushButton*>("next")->isEnabled());
      QVERIFY(Edit(d, "name")->text() != first);
      Type(d, "name", "changed");
      Press(d, "ok");
    });
    QCOMPARE(Value(*db, "SELECT count(*) FROM u WHERE name='changed'"), QByteArray("1"));
    QCOMPARE(Value(*db, "SELECT count(*) FROM u WHERE name IN ('one', 'two')"), QByteArray("1"));
  }

  /* Appending past a rowid above 2^31 shows and writes the new row, not
  ** the row whose id has the same low 32 bits. */
  void appendAfterLargeRowid() {
    auto db = MakeDb(3,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);"
                     "INSERT INTO p VALUES(705032705, 'low');"
                     "INSERT INTO p VALUES(5000000000, 'high');");
    QVERIFY(db);
    RunCommand(*db, RC_EDIT_ROWS, "p", "", [](QWidget* d) {
      Press(d, "next");
      Press(d, "next");
      QCOMPARE(d->windowTitle(), QStringLiteral("p [3/3]"));
      QCOMPARE(Edit(d, "name")->text(), QString());
      Type(d, "name", "new");
      Press(d, "ok");
    });
    QCOMPARE(Value(*db, "SELECT group_concat(id||name, ',') FROM p"),
             QByteArray("705032705low,5000000000high,5000000001new"));
  }

  void rowsWithoutSingleKey_data() { AddGenerations(); }
  /* Tables with several key columns or none are stepped through by rowid. */
  void rowsWithoutSingleKey() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE k(a TEXT, b TEXT, v TEXT, PRIMARY KEY(a, b));"
                     "INSERT INTO k VALUES('1', '1', 'p');"
                     "INSERT INTO k VALUES('1', '2', 'q');"
                     "CREATE TABLE n(v TEXT, w TEXT);"
                     "INSERT INTO n VALUES('r', 's');"
                     "INSERT INTO n VALUES('r', 's');");
    QVERIFY(db);
    int code = RunCommand(*db, RC_EDIT_ROWS, "k", "", [](QWidget* d) {
      Press(d, "next");
      Type(d, "v", "Q");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT group_concat(a||b||v, ',') FROM k"), QByteArray("11p,12Q"));
    code = RunCommand(*db, RC_EDIT_ROWS, "n", "", [](QWidget* d) {
      Press(d, "next");
      Type(d, "w", "S");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT group_concat(v||w, ',') FROM n"), QByteArray("rs,rS"));
  }

  /* The dialog opens a quarter of the screen wide with room for every
  ** line, and a resize moves the buttons and widens the lines. */
  void geometryFollowsResize() {
    auto db = MakeDb(3, "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);");
    QVERIFY(db);
    SQLiteRowIO rowIO;
    SQLiteParameters row = rowIO.InitRow(*db, "p", TD_ALL);
    ParamsDialog dialog(row, XB_String());
    WhenModal([](QWidget* d) {
      ParamsDialogLayout layout(ParamsDialog::CurrentMetrics(d), 2);
      QCOMPARE(d->width(), layout.ClientWidth());
      QCOMPARE(d->height(), layout.ClientHeight());
      d->resize(600, 400);
      auto* ok = d->findChild<QPushButton*>("ok");
      auto* cancel = d->findChild<QPushButton*>("cancel");
      ParamRect okPlace = layout.ButtonRect(0, 600, 400);
      ParamRect cancelPlace = layout.ButtonRect(3, 600, 400);
      QTRY_COMPARE(ok->geometry(),
                   QRect(okPlace.left, okPlace.top, okPlace.Width(), okPlace.Height()));
      QCOMPARE(cancel->geometry().right() + 1, cancelPlace.right);
      QCOMPARE(Edit(d, "name")->geometry().right() + 1, 600 - 10);
      Press(d, "ok");
    });
    QCOMPARE(dialog.DoModal(), 1);
  }

  /* A table whose rows cannot be told apart is refused before any dialog. */
  void refusesUnidentifiableRows() {
    auto db = MakeDb(3,
                     "CREATE TABLE w(a TEXT, b TEXT, PRIMARY KEY(a, b)) WITHOUT ROWID;"
                     "INSERT INTO w VALUES('1', '2');");
    QVERIFY(db);
    RimbalOptions options;
    options.command = RC_EDIT_ROWS;
    options.table = "w";
    QCOMPARE(RunRowCommand(options, *db), 4);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
  }
};

/* Runs the tests on the offscreen platform unless another one is named. */
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  DialogsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialogs_qtest.moc"
