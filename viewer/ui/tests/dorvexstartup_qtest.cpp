/*
** Start-up and exit of Dorvex: the command line, the settings file in the
** per-user folder (XDG_CONFIG_HOME points at a temporary folder), a settings
** file that does not load, an unwritable folder, the save suppressed for
** automation, and the program's exit code for a --state file that does not
** load.
*/
#include "dorvexstartup.h"
#include "dorvexview.h"
#include "mainframe.h"
#include "xb_sqlitedb.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class DorvexStartupTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  QStringList m_reports;
  QByteArray m_oldConfigHome;

  QString SettingsPath() const { return m_dir.filePath("config/XB Software/Dorvex/dorvex.xml"); }

  /* Makes a 3.x database NAME with one table; returns its path. */
  QString MakeDb(const QString& name) {
    QString path = m_dir.filePath(name);
    std::unique_ptr<XB_SQLiteDB> db(
        XB_SQLiteDB::NewByVersion(QFile::encodeName(path).constData(), 3));
    db->OpenOrCreate();
    db->Exec("CREATE TABLE t (a INTEGER)");
    return path;
  }

  /* A start-up whose reports are collected instead of shown. */
  std::unique_ptr<DorvexStartup> MakeStartup() {
    auto startup = std::make_unique<DorvexStartup>();
    startup->SetReporter([this](const QString& text) { m_reports << text; });
    return startup;
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }
  void cleanupTestCase() { qputenv("XDG_CONFIG_HOME", m_oldConfigHome); }
  void init() {
    m_reports.clear();
    QFile::remove(SettingsPath());
    QFile::remove(SettingsPath() + ".bad");
  }

  void commandLineOpensEachFile() {
    QString a = MakeDb("a.db"), b = MakeDb("b.db");
    auto startup = MakeStartup();
    QCOMPARE(startup->Start({a, m_dir.filePath("missing.db"), b}), -1);
    QCOMPARE(startup->MainFrame()->Views().size(), 2);
    QCOMPARE(m_reports.size(), 1);
    QVERIFY(m_reports.front().contains("missing.db"));
    for (CDorvexView* view : startup->MainFrame()->Views())
      QVERIFY(QTest::qWaitFor([view] { return !view->IsBusy(); }, 10000));
    QVERIFY(startup->Finish());
    QVERIFY(QFileInfo::exists(SettingsPath()));
  }

  void failedStartsEndWithACode() {
    auto startup = MakeStartup();
    QCOMPARE(startup->Start({"--state", m_dir.filePath("nothing.dvxs")}), 1);
    QCOMPARE(m_reports.size(), 1);
    QVERIFY(m_reports.front().contains("nothing.dvxs"));

    m_reports.clear();
    QCOMPARE(MakeStartup()->Start({"--bogus"}), 1);
    QVERIFY(m_reports.front().contains("--bogus"));

    m_reports.clear();
    QCOMPARE(MakeStartup()->Start({m_dir.filePath("gone.db")}), 1);
    QVERIFY(!QFileInfo::exists(m_dir.filePath("gone.db")));  // never created
  }

  void automationNeverSavesSettings() {
    auto startup = MakeStartup();
    QCOMPARE(startup->Start({"--automation"}), -1);
    QVERIFY(startup->SaveSuppressed());
    QVERIFY(startup->Finish());
    QVERIFY(!QFileInfo::exists(SettingsPath()));
  }

  void unreadableSettingsAreKeptAndReported() {
    QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
    QFile file(SettingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<xbstore><view><limit>7</limit>");
    file.close();
    auto startup = MakeStartup();
    QCOMPARE(startup->Start({}), -1);
    QCOMPARE(m_reports.size(), 1);
    QVERIFY(m_reports.front().contains(".bad"));
    QVERIFY(QFileInfo::exists(SettingsPath() + ".bad"));
    QVERIFY(startup->Finish());
  }

  void unwritableFolderIsReportedAtExit() {
    QString folder = QFileInfo(SettingsPath()).absolutePath();
    QDir(folder).removeRecursively();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    {
      // A file where the folder should be: no save can succeed, as root too.
      QFile blocker(folder);
      QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    auto startup = MakeStartup();
    QCOMPARE(startup->Start({}), -1);
    QVERIFY(!startup->Finish());
    QFile::remove(folder);
  }

  void programExitCodeForAStateThatDoesNotLoad() {
    QProcess dorvex;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    dorvex.setProcessEnvironment(env);
    dorvex.start(DORVEX_PATH, {"--automation", "--state", m_dir.filePath("none.dvxs")});
    QVERIFY(dorvex.waitForFinished(30000));
    QCOMPARE(dorvex.exitCode(), 1);
    QVERIFY(dorvex.readAllStandardError().contains("none.dvxs"));
  }
};

QTEST_MAIN(DorvexStartupTest)
#include "dorvexstartup_qtest.moc"
