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
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
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
  ** it ends, so that a failed check cannot leave the test hanging.
  ** A script whose command ended without a dialog is dropped (LIVE turns
  ** false), so that it never runs on a later test's dialog. */
  static void WhenModal(const Script& script, const std::shared_ptr<bool>& live,
                        int attempts = 200) {
    QTimer::singleShot(5, [script, live, attempts] {
      if (!*live) return;
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr) {
        if (attempts > 0) WhenModal(script, live, attempts - 1);
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
    auto live = std::make_shared<bool>(true);
    WhenModal(script, live);
    int code = RunRowCommand(options, db);
    *live = false;
    return code;
  }

  static QLineEdit* Edit(QWidget* dialog, const char* key) {
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(key));
  }

  /* Replaces the text of the edit of key as a user would type it; text is
  ** UTF-8. */
  static void Type(QWidget* dialog, const char* key, const char* text) {
    QLineEdit* edit = Edit(dialog, key);
    QVERIFY2(edit, key);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (QChar c : QString::fromUtf8(text)) {
      /* A key event carrying the character, so any letter types. */
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }

  static void Press(QWidget* dialog, const char* button) {
    auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY2(b, button);
    QVERIFY2(b->isEnabled(), button);
    b->click();
  }

  /* The message the dialog shows, empty when none. */
  static QString Message(QWidget* dialog) {
    auto* label = dialog->findChild<QLabel*>(QStringLiteral("message"));
    return label && label->isVisible() ? label->text() : QString();
  }

  /* Chooses "Set to NULL" in the context menu of the edit of key. */
  static void SetToNull(QWidget* dialog, const char* key) {
    QLineEdit* edit = Edit(dialog, key);
    QVERIFY2(edit, key);
    emit edit->customContextMenuRequested(QPoint(2, 2));
    QAction* action = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* menu = qobject_cast<QMenu*>(top);
      if (menu && menu->isVisible()) action = menu->findChild<QAction*>("setNull");
    }
    QVERIFY(action);
    action->trigger();
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (qobject_cast<QMenu*>(top)) top->close();
    }
  }

  /* Every column of table's rows, as hex on generation 3 so that BLOBs
  ** count byte for byte. */
  static QByteArray Snapshot(XB_SQLiteDB& db, const char* table, const char* columns) {
    QByteArray sql = db.Version() >= 3.0
                         ? QByteArray("SELECT group_concat(hex(") + columns + ")||typeof(" +
                               columns + "), '|') FROM " + table
                         : QByteArray("SELECT group_concat(") + columns + ", '|') FROM " + table;
    return Value(db, sql.constData());
  }

  static void AddGenerations() {
    QTest::addColumn<int>("gen");
    QTest::newRow("2.x") << 2;
    QTest::newRow("3.x") << 3;
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1280, 800));
  }

  void insertRow_data() { AddGenerations(); }
  /* The insert dialog shows the rowid alias read-only, the literal
  ** defaults, starts with the focus on the first editable line, and
  ** writes only what the user typed: the engine gives the rest its
  ** DEFAULT or NULL and assigns the key. */
  void insertRow() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT, price REAL, born DATE,"
                     " at TIME, stamp TIMESTAMP, qty INTEGER DEFAULT 5, note TEXT DEFAULT 'hello',"
                     " plain TEXT);");
    QVERIFY(db);
    int code = RunCommand(*db, RC_INSERT_ROW, "items", "", [](QWidget* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("items"));
      QVERIFY(Edit(d, "id") == nullptr);
      QTRY_COMPARE(QApplication::focusWidget(), Edit(d, "name"));
      QCOMPARE(Edit(d, "qty")->text(), QStringLiteral("5"));
      QCOMPARE(Edit(d, "note")->text(), QStringLiteral("hello"));
      QCOMPARE(Edit(d, "plain")->placeholderText(), QStringLiteral("NULL"));
      Type(d, "name", "Widget");
      Type(d, "price", "2.5");
      Type(d, "born", "2024-02-29");
      Type(d, "at", "13:45:07");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT count(*) FROM items"), QByteArray("1"));
    QCOMPARE(Value(*db,
                   "SELECT id||'|'||name||'|'||price||'|'||born||'|'||at||'|'||"
                   "ifnull(stamp,'N')||'|'||qty||'|'||note||'|'||ifnull(plain,'N') FROM items"),
             QByteArray("1|Widget|2.5|2024-02-29|13:45:07|N|5|hello|N"));
  }

  void insertKeys_data() { AddGenerations(); }
  /* Text, composite and UNIQUE NOT NULL keys are ordinary lines on insert. */
  void insertKeys() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE tk(code TEXT PRIMARY KEY, v TEXT);"
                     "CREATE TABLE pair(a TEXT, b INTEGER, c TEXT, PRIMARY KEY(a, b));"
                     "CREATE TABLE un(u TEXT UNIQUE NOT NULL, v TEXT);");
    QVERIFY(db);
    RunCommand(*db, RC_INSERT_ROW, "tk", "", [](QWidget* d) {
      QTRY_COMPARE(QApplication::focusWidget(), Edit(d, "code"));
      Type(d, "code", "K1");
      Press(d, "ok");
    });
    RunCommand(*db, RC_INSERT_ROW, "pair", "", [](QWidget* d) {
      Type(d, "a", "x");
      Type(d, "b", "7");
      Type(d, "c", "seven");
      Press(d, "ok");
    });
    RunCommand(*db, RC_INSERT_ROW, "un", "", [](QWidget* d) {
      Type(d, "u", "only");
      Press(d, "ok");
    });
    QCOMPARE(Value(*db, "SELECT code||ifnull(v,'N') FROM tk"), QByteArray("K1N"));
    QCOMPARE(Value(*db, "SELECT a||b||c FROM pair"), QByteArray("x7seven"));
    QCOMPARE(Value(*db, "SELECT u FROM un"), QByteArray("only"));
  }

  void editRow_data() { AddGenerations(); }
  /* Editing one field leaves every other column byte for byte as stored:
  ** BLOBs (shown read-only), bytes that are not UTF-8, date-times, reals,
  ** NULLs and texts of another shape. */
  void editRow() {
    QFETCH(int, gen);
    bool three = gen == 3;
    auto db = MakeDb(
        gen, three ? "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT, data BLOB, other BLOB,"
                     " raw TEXT, born DATE, at TIME, stamp TIMESTAMP, dt DATETIME, r REAL, n);"
                     "INSERT INTO p VALUES(1, 'Ann', x'00ff', x'414243', CAST(x'80fffe' AS TEXT),"
                     " 'sometime', '7:05', '2020-01-02 03:04:05', '2021-02-03 04:05:06', 2.0,"
                     " NULL);"
                   : "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT, raw TEXT, born DATE,"
                     " at TIME, stamp TIMESTAMP, dt DATETIME, r REAL, n);"
                     "INSERT INTO p VALUES(1, 'Ann', '\x80\xff\xfe', 'sometime', '7:05',"
                     " '2020-01-02 03:04:05', '2021-02-03 04:05:06', '2.0', NULL);");
    QVERIFY(db);
    const char* others = three ? "id||data||other||raw||born||at||stamp||dt||r||ifnull(n,'N')"
                               : "id||raw||born||at||stamp||dt||r||ifnull(n,'N')";
    QByteArray before = Snapshot(*db, "p", others);
    int code = RunCommand(*db, RC_EDIT_ROW, "p", "id=1", [three](QWidget* d) {
      QCOMPARE(Edit(d, "stamp")->text(), QStringLiteral("2020-01-02 03:04:05"));
      QCOMPARE(Edit(d, "at")->text(), QStringLiteral("7:05"));
      QCOMPARE(Edit(d, "n")->placeholderText(), QStringLiteral("NULL"));
      if (three) {
        QCOMPARE(Edit(d, "data")->text(), QStringLiteral("<BLOB, 2 bytes>"));
        QVERIFY(Edit(d, "data")->isReadOnly());
      }
      Type(d, "name", "Bob");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT name FROM p"), QByteArray("Bob"));
    QCOMPARE(Snapshot(*db, "p", others), before);

    /* A changed date-time is stored as typed, the others stay. */
    RunCommand(*db, RC_EDIT_ROW, "p", "", [](QWidget* d) {
      Type(d, "dt", "2022-03-04 05:06:07");
      Press(d, "ok");
    });
    QCOMPARE(Value(*db, "SELECT stamp||'|'||dt FROM p"),
             QByteArray("2020-01-02 03:04:05|2022-03-04 05:06:07"));
  }

  void nulls_data() { AddGenerations(); }
  /* NULL shows as an empty greyed line; clearing a number, date or time
  ** stores NULL, clearing a text stores the empty text, and "Set to NULL"
  ** stores NULL in a text. */
  void nulls() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, n INTEGER, d DATE, t TIME, a TEXT,"
                     " b TEXT, c TEXT);"
                     "INSERT INTO p VALUES(1, 5, '2020-01-01', '01:02:03', 'x', 'y', NULL);");
    QVERIFY(db);
    RunCommand(*db, RC_EDIT_ROW, "p", "", [](QWidget* d) {
      QCOMPARE(Edit(d, "c")->text(), QString());
      QCOMPARE(Edit(d, "c")->placeholderText(), QStringLiteral("NULL"));
      Type(d, "n", "");
      Type(d, "d", "");
      Type(d, "t", "");
      Type(d, "a", "");
      SetToNull(d, "b");
      QCOMPARE(Edit(d, "b")->placeholderText(), QStringLiteral("NULL"));
      Press(d, "ok");
    });
    QCOMPARE(Value(*db,
                   "SELECT ifnull(n,'N')||ifnull(d,'N')||ifnull(t,'N')||'['||ifnull(a,'N')||']'||"
                   "ifnull(b,'N')||ifnull(c,'N') FROM p"),
             QByteArray("NNN[]NN"));
  }

  /* Text follows the file's encoding both ways: UTF-8 in generation 3,
  ** Latin-1 or UTF-8 in generation 2; a character the file cannot hold is
  ** refused in the dialog and nothing is written. */
  void textEncodings() {
    auto three = MakeDb(3,
                        "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT, other TEXT);"
                        "INSERT INTO p VALUES(1, 'x', 'Gr\xC3\xBC\xC3\x9F"
                        "e');");
    QVERIFY(three);
    RunCommand(*three, RC_EDIT_ROW, "p", "", [](QWidget* d) {
      QCOMPARE(Edit(d, "other")->text(), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                           "e"));
      Type(d, "name",
           "Gr\xC3\xBC\xC3\x9F"
           "e \xE2\x82\xAC");
      Press(d, "ok");
    });
    QCOMPARE(Value(*three, "SELECT hex(name) FROM p"), QByteArray("4772C3BCC39F6520E282AC"));

    auto latin = MakeDb(2,
                        "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);"
                        "INSERT INTO p VALUES(1, 'x');");
    QVERIFY(latin);
    latin->SetTextEncoding(XB_TEXT_LATIN1);
    RunCommand(*latin, RC_EDIT_ROW, "p", "", [](QWidget* d) {
      Type(d, "name", "\xC3\xA4\xE2\x82\xAC");
      Press(d, "ok");
      QVERIFY(Message(d).contains(QStringLiteral("name")));
      QCOMPARE(QApplication::activeModalWidget(), d);
      QCOMPARE(Edit(d, "name")->text(), QString::fromUtf8("\xC3\xA4\xE2\x82\xAC"));
      Type(d, "name", "\xC3\xA4\xC3\x9F");
      Press(d, "ok");
    });
    QCOMPARE(Value(*latin, "SELECT name FROM p"), QByteArray("\xE4\xDF"));

    auto utf8 = MakeDb(2,
                       "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);"
                       "INSERT INTO p VALUES(1, 'x');");
    QVERIFY(utf8);
    utf8->SetTextEncoding(XB_TEXT_UTF8);
    RunCommand(*utf8, RC_EDIT_ROW, "p", "", [](QWidget* d) {
      Type(d, "name", "\xC3\xA4\xC3\x9F\xE2\x82\xAC");
      Press(d, "ok");
    });
    QCOMPARE(Value(*utf8, "SELECT name FROM p"), QByteArray("\xC3\xA4\xC3\x9F\xE2\x82\xAC"));
  }

  void quotedNames_data() { AddGenerations(); }
  /* Columns whose names need quotes show unquoted and are edited and
  ** inserted. */
  void quotedNames() {
    QFETCH(int, gen);
    QByteArray select = gen == 3 ? "`select`" : "\"select\"";
    auto db = MakeDb(gen,
                     "CREATE TABLE \"odd t\"(id INTEGER PRIMARY KEY, \"first name\" TEXT,"
                     " [order] TEXT, " +
                         select +
                         " TEXT, 'group' TEXT);"
                         "INSERT INTO \"odd t\" VALUES(1, 'a', 'b', 'c', 'd');");
    QVERIFY(db);
    RunCommand(*db, RC_EDIT_ROW, "odd t", "", [](QWidget* d) {
      QCOMPARE(Edit(d, "first_name")->text(), QStringLiteral("a"));
      auto* label = d->findChild<QLabel*>(QStringLiteral("first_name_label"));
      QVERIFY(label);
      QCOMPARE(label->text().trimmed(), QStringLiteral("first name"));
      Type(d, "first_name", "A");
      Type(d, "order", "B");
      Type(d, "select", "C");
      Type(d, "group", "D");
      Press(d, "ok");
    });
    RunCommand(*db, RC_INSERT_ROW, "odd t", "", [](QWidget* d) {
      Type(d, "first_name", "n");
      Type(d, "order", "o");
      Press(d, "ok");
    });
    QCOMPARE(Value(*db,
                   "SELECT group_concat(\"first name\"||[order]||ifnull(\"select\",'N')||"
                   "ifnull(\"group\",'N'), ',') FROM \"odd t\""),
             QByteArray("ABCD,noNN"));
  }

  void rowsThatCannotBeFound_data() { AddGenerations(); }
  /* A where-part that matches no row, or that the engine rejects, opens
  ** no dialog and ends with 4; so does a missing table. */
  void rowsThatCannotBeFound() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);"
                     "INSERT INTO p VALUES(1, 'a');");
    QVERIFY(db);
    bool opened = false;
    auto noDialog = [&opened](QWidget*) { opened = true; };
    QCOMPARE(RunCommand(*db, RC_EDIT_ROW, "p", "id=9", noDialog), 4);
    QCOMPARE(RunCommand(*db, RC_EDIT_ROW, "p", "id==", noDialog), 4);
    QCOMPARE(RunCommand(*db, RC_EDIT_ROWS, "p", "id==", noDialog), 4);
    QCOMPARE(RunCommand(*db, RC_INSERT_ROW, "nothing", "", noDialog), 4);
    QTest::qWait(50);
    QVERIFY(!opened);
    QCOMPARE(Value(*db, "SELECT group_concat(id||name) FROM p"), QByteArray("1a"));
  }

  void failedSaveKeepsDialog_data() { AddGenerations(); }
  /* A write the engine refuses keeps the dialog open with the engine's
  ** message and the typed values; the user corrects them and saves. */
  void failedSaveKeepsDialog() {
    QFETCH(int, gen);
    auto db = MakeDb(gen,
                     "CREATE TABLE u(id INTEGER PRIMARY KEY, code TEXT UNIQUE, v TEXT);"
                     "INSERT INTO u VALUES(1, 'a', 'one');"
                     "INSERT INTO u VALUES(2, 'b', 'two');");
    QVERIFY(db);
    int code = RunCommand(*db, RC_INSERT_ROW, "u", "", [](QWidget* d) {
      Type(d, "code", "a");
      Type(d, "v", "three");
      Press(d, "ok");
      QCOMPARE(QApplication::activeModalWidget(), d);
      QVERIFY2(Message(d).contains(QStringLiteral("unique"), Qt::CaseInsensitive),
               qPrintable(Message(d)));
      QCOMPARE(Edit(d, "v")->text(), QStringLiteral("three"));
      Type(d, "code", "c");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT group_concat(code||v, ',') FROM u"),
             QByteArray("aone,btwo,cthree"));

    /* The same in the edit dialog and the row-wise editor. */
    QVERIFY(
        db->Exec("CREATE TABLE nn(id INTEGER PRIMARY KEY, v TEXT NOT NULL);"
                 "INSERT INTO nn VALUES(1, 'x'); INSERT INTO nn VALUES(2, 'y');"));
    code = RunCommand(*db, RC_EDIT_ROW, "nn", "id=1", [](QWidget* d) {
      SetToNull(d, "v");
      Press(d, "ok");
      QCOMPARE(QApplication::activeModalWidget(), d);
      QVERIFY2(Message(d).contains(QStringLiteral("NULL"), Qt::CaseInsensitive),
               qPrintable(Message(d)));
      Type(d, "v", "fixed");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    code = RunCommand(*db, RC_EDIT_ROWS, "nn", "", [](QWidget* d) {
      Press(d, "next");
      SetToNull(d, "v");
      Press(d, "previous");
      QCOMPARE(d->windowTitle(), QStringLiteral("nn [2/2]"));
      QVERIFY(!Message(d).isEmpty());
      Type(d, "v", "z");
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT group_concat(v, ',') FROM nn"), QByteArray("fixed,z"));
  }

  /* A file another connection holds locked is waited for as long as the
  ** busy timeout allows; then the dialog keeps the values and says so, and
  ** a second OK after the lock is gone saves them. */
  void lockedFileKeepsDialog() {
    auto db = MakeDb(3,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);"
                     "INSERT INTO p VALUES(1, 'a');");
    QVERIFY(db);
    std::unique_ptr<XB_SQLiteDB> other(XB_SQLiteDB::NewAuto(db->FilePath()));
    QVERIFY(other && other->Exec("BEGIN IMMEDIATE; UPDATE p SET name='held'"));
    QElapsedTimer waited;
    int code = RunCommand(*db, RC_EDIT_ROW, "p", "", [&other, &waited](QWidget* d) {
      Type(d, "name", "mine");
      waited.start();
      Press(d, "ok");
      QVERIFY(waited.elapsed() >= 1500);
      QCOMPARE(QApplication::activeModalWidget(), d);
      QVERIFY2(Message(d).contains(QStringLiteral("locked")), qPrintable(Message(d)));
      QVERIFY(other->Exec("COMMIT"));
      Press(d, "ok");
    });
    QCOMPARE(code, 0);
    QCOMPARE(Value(*db, "SELECT name FROM p"), QByteArray("mine"));
  }

  /* The where-part of the row-wise editor restricts its rows. */
  void editRowsFollowsWherePart() {
    auto db = MakeDb(3,
                     "CREATE TABLE p(id INTEGER PRIMARY KEY, name TEXT);"
                     "INSERT INTO p VALUES(1, 'a');"
                     "INSERT INTO p VALUES(2, 'b');"
                     "INSERT INTO p VALUES(3, 'c');");
    QVERIFY(db);
    RunCommand(*db, RC_EDIT_ROWS, "p", "id>=2", [](QWidget* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("p [1/2]"));
      QCOMPARE(Edit(d, "name")->text(), QStringLiteral("b"));
      Press(d, "ok");
    });
  }

  /* Forty-one lines do not fit a 1280 x 800 screen: the window stays on
  ** the screen with OK in reach and the lines scroll; a long value can be
  ** read whole once the window is made wider. */
  void bigTableFitsTheScreen() {
    QByteArray create = "CREATE TABLE wide(id INTEGER PRIMARY KEY";
    for (int i = 1; i <= 40; i++) create += ", c" + QByteArray::number(i) + " TEXT";
    create += "); INSERT INTO wide(c1, c40) VALUES('first', '";
    QByteArray longValue(60, 'x');
    longValue += "END";
    create += longValue + "');";
    auto db = MakeDb(3, create.constData());
    QVERIFY(db);
    RunCommand(*db, RC_EDIT_ROW, "wide", "", [&longValue](QWidget* d) {
      QRect screen = d->screen()->availableGeometry();
      QVERIFY(screen.contains(d->frameGeometry()));
      auto* ok = d->findChild<QPushButton*>("ok");
      QVERIFY(ok->isVisible());
      QVERIFY(d->rect().contains(ok->geometry()));
      QCOMPARE(d->width(), 320);
      QTRY_COMPARE(QApplication::focusWidget(), Edit(d, "c1"));
      QLineEdit* last = Edit(d, "c40");
      QCOMPARE(last->text(), QString::fromLatin1(longValue));
      int needed = last->fontMetrics().horizontalAdvance(last->text());
      QVERIFY(last->width() < needed);
      d->resize(1200, d->height());
      QTRY_VERIFY(last->width() > needed + 10);
      auto* area = d->findChild<QScrollArea*>(QStringLiteral("lines"));
      QVERIFY(area->verticalScrollBar()->isVisible());
      area->ensureWidgetVisible(last);
      QVERIFY(!last->visibleRegion().isEmpty());
      Press(d, "cancel");
    });
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
    WhenModal(
        [](QWidget* d) {
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
        },
        std::make_shared<bool>(true));
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
  /* One screen of 1280 x 800 pixels. */
  QTemporaryDir config;
  QString screens = config.filePath(QStringLiteral("screens.json"));
  QFile file(screens);
  if (!file.open(QIODevice::WriteOnly)) return 1;
  file.write(R"({"screens": [{"name": "main", "x": 0, "y": 0, "width": 1280, "height": 800,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  file.close();
  QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen") {
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toLocal8Bit());
  }
  QApplication application(argc, argv);
  DialogsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialogs_qtest.moc"
