/*
** "Save as SQLite 3..." through the main window, with a recording double in
** place of its file dialog, progress and report box: a generation-2
** document is copied into a new file off the window thread and the report
** is shown once; a cancelled copy and a name that is taken leave nothing
** behind; the command is off for generation-3 documents and while a copy
** runs.
*/
#include "convertdialogs.h"
#include "dorvexview.h"
#include "mainframe.h"
#include "settingsstore.h"
#include "xb_sqlitedb.h"
#include "viewwait.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

/* Records what the command shows and answers as told. */
class RecordingDialogs : public ConvertDialogs {
 public:
  QString AskTarget(const QString& suggested) override {
    suggestions << suggested;
    return answer;
  }
  void ShowProgress(const QString& label, std::function<void()> cancel) override {
    progressLabels << label;
    progressVisible = true;
    if (cancelAtOnce) cancel();
  }
  void UpdateProgress(qint64 done, qint64 total) override {
    lastDone = done;
    lastTotal = total;
  }
  void HideProgress() override { progressVisible = false; }
  void ShowMessage(bool warning, const QString& title, const QString& text) override {
    Q_UNUSED(title);
    messages << text;
    warnings << warning;
  }

  QString answer;
  bool cancelAtOnce = false;
  QStringList suggestions;
  QStringList progressLabels;
  bool progressVisible = false;
  qint64 lastDone = -1;
  qint64 lastTotal = -1;
  QStringList messages;
  QList<bool> warnings;
};

}  // namespace

class SaveAsSqlite3Test : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;

  /* Copies the 2.x fixture NAME into a folder of its own; returns the copy. */
  QString Fixture(const QString& name, const QString& folder) {
    QDir(m_dir.path()).mkpath(folder);
    QString copy = m_dir.filePath(folder + QLatin1Char('/') + name);
    QFile::copy(QStringLiteral(XB_SQLITE2_FIXTURES "/") + name, copy);
    return copy;
  }

  /* Opens PATH in FRAME, gives the frame a recording double and waits for
  ** the first table.  Returns the double. */
  static RecordingDialogs* OpenWithDouble(CMainFrame& frame, const QString& path) {
    auto dialogs = std::make_unique<RecordingDialogs>();
    RecordingDialogs* recorder = dialogs.get();
    frame.SetConvertDialogs(std::move(dialogs));
    if (!frame.OpenDocument(path) || !frame.ActiveView() || !WaitIdle(frame.ActiveView()))
      return nullptr;
    return recorder;
  }

  /* Returns the first column of STATEMENT's rows on the database at PATH. */
  static QStringList Column(const QString& path, const char* statement) {
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(QFile::encodeName(path).constData()));
    QStringList values;
    XB_SQLiteResult result;
    if (!db || !db->GetTable(result, "%s", statement)) return values;
    for (int row = 0; row < result.Rows(); ++row)
      values << QString::fromUtf8(result.Get(0, row) ? result.Get(0, row) : "");
    return values;
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }

  void copiesOffTheWindowThreadAndReportsOnce() {
    QString source = Fixture(QStringLiteral("multilevel.db"), QStringLiteral("copy"));
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    RecordingDialogs* dialogs = OpenWithDouble(frame, source);
    QVERIFY(dialogs);
    QAction* action = frame.Action(DorvexCommand::SaveAsSqlite3);
    QVERIFY(action->isEnabled());
    QString target = m_dir.filePath(QStringLiteral("copy/chosen.sqlite3"));
    dialogs->answer = target;

    action->trigger();
    QCOMPARE(dialogs->suggestions,
             QStringList{m_dir.filePath(QStringLiteral("copy/multilevel.sqlite3"))});
    QCOMPARE(dialogs->progressLabels.size(), 1);
    // The window goes on while the copy runs, and offers no second copy.
    QVERIFY(frame.IsSavingAsSqlite3());
    QVERIFY(!action->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!frame.IsSavingAsSqlite3(), 30000);

    QVERIFY(!dialogs->progressVisible);
    QCOMPARE(dialogs->messages.size(), 1);
    // SQLite 3 keeps some prices of the file as other numbers: a warning.
    QCOMPARE(dialogs->warnings, QList<bool>{true});
    QVERIFY2(dialogs->messages[0].contains(target), qPrintable(dialogs->messages[0]));
    QVERIFY2(dialogs->messages[0].contains(QStringLiteral("Table item: ")),
             qPrintable(dialogs->messages[0]));
    QVERIFY(action->isEnabled());
    QVERIFY(!XB_SQLiteDB::IsGeneration2File(QFile::encodeName(target).constData()));
    const char* rows = "SELECT count(*) FROM sqlite_master WHERE type='table'";
    QCOMPARE(Column(target, rows), Column(source, rows));
    QStringList tables = Column(source, "SELECT name FROM sqlite_master WHERE type='table'");
    for (const QString& table : tables) {
      QByteArray count = "SELECT count(*) FROM \"" + table.toUtf8() + "\"";
      QCOMPARE(Column(target, count.constData()), Column(source, count.constData()));
    }
  }

  void cancelledOrRefusedCopiesLeaveNothing() {
    QString source = Fixture(QStringLiteral("multilevel.db"), QStringLiteral("cancel"));
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    RecordingDialogs* dialogs = OpenWithDouble(frame, source);
    QVERIFY(dialogs);
    QDir folder(m_dir.filePath(QStringLiteral("cancel")));

    dialogs->answer = folder.filePath(QStringLiteral("new.sqlite3"));
    dialogs->cancelAtOnce = true;
    frame.Execute(DorvexCommand::SaveAsSqlite3);
    QTRY_VERIFY_WITH_TIMEOUT(!frame.IsSavingAsSqlite3(), 30000);
    QVERIFY(dialogs->messages.isEmpty());
    QVERIFY(!dialogs->progressVisible);
    QCOMPARE(folder.entryList(QDir::Files), QStringList{QStringLiteral("multilevel.db")});

    // A name that is taken is refused before anything runs.
    QFile taken(folder.filePath(QStringLiteral("taken.db")));
    QVERIFY(taken.open(QIODevice::WriteOnly));
    taken.write("keep me");
    taken.close();
    dialogs->answer = taken.fileName();
    dialogs->cancelAtOnce = false;
    frame.Execute(DorvexCommand::SaveAsSqlite3);
    QVERIFY(!frame.IsSavingAsSqlite3());
    QCOMPARE(dialogs->progressLabels.size(), 1);
    QCOMPARE(dialogs->messages.size(), 1);
    QVERIFY2(dialogs->messages[0].contains(QStringLiteral("exists already")),
             qPrintable(dialogs->messages[0]));
    QVERIFY(taken.open(QIODevice::ReadOnly));
    QCOMPARE(taken.readAll(), QByteArray("keep me"));

    // The file dialog cancelled: nothing happens.
    dialogs->answer.clear();
    frame.Execute(DorvexCommand::SaveAsSqlite3);
    QVERIFY(!frame.IsSavingAsSqlite3());
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->suggestions.size(), 3);
  }

  void offForGeneration3Documents() {
    QString path = m_dir.filePath(QStringLiteral("three.db"));
    {
      std::unique_ptr<XB_SQLiteDB> db(
          XB_SQLiteDB::NewByVersion(QFile::encodeName(path).constData(), 3));
      QVERIFY(db->Exec("CREATE TABLE t(a); INSERT INTO t VALUES(1)"));
    }
    SettingsStore settings;
    CMainFrame frame(settings);
    frame.show();
    RecordingDialogs* dialogs = OpenWithDouble(frame, path);
    QVERIFY(dialogs);
    QVERIFY(!frame.Action(DorvexCommand::SaveAsSqlite3)->isEnabled());
    dialogs->answer = m_dir.filePath(QStringLiteral("three.sqlite3"));
    frame.Execute(DorvexCommand::SaveAsSqlite3);
    QVERIFY(dialogs->suggestions.isEmpty());
    QVERIFY(!QFile::exists(dialogs->answer));
  }
};

QTEST_MAIN(SaveAsSqlite3Test)
#include "saveassqlite3_qtest.moc"
