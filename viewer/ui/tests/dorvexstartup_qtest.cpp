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
  QByteArray m_oldDataHome;

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

  /* Returns every query held in the query history of the profile under
  ** CONFIG (an XDG_CONFIG_HOME). */
  static QStringList HistoryIn(const QString& config) {
    QSettings profile(config + "/XB Software/Dorvex.conf", QSettings::IniFormat);
    profile.beginGroup("query");
    QStringList queries;
    for (const QString& key : profile.childKeys())
      if (key.startsWith("hist")) queries << profile.value(key).toString();
    return queries;
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
    m_oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");
  }
  void cleanupTestCase() {
    qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
    qputenv("XDG_DATA_HOME", m_oldDataHome);
  }
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

  void fileTypesAreRegisteredUnlessForAutomation() {
    QString entry = m_dir.filePath("data/applications/dorvex.desktop");
    QDir(m_dir.filePath("data")).removeRecursively();
    QCOMPARE(MakeStartup()->Start({"--automation"}), -1);
    QVERIFY(!QFileInfo::exists(entry));
    QCOMPARE(MakeStartup()->Start({}), -1);
    QVERIFY(QFileInfo::exists(entry));
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

  void twoViewersSavingAtOnceKeepBothChanges() {
    QString config = m_dir.filePath("two/config");
    QString settingsPath = config + "/XB Software/Dorvex/dorvex.xml";
    {
      SettingsStore seed;
      SettingsFile file;
      QVERIFY(file.Load(seed, settingsPath));
      seed.WriteBool("update/docheck", false);
      seed.WriteInt("view/limit", 100);
      QString error;
      QVERIFY2(file.Save(seed, error), qPrintable(error));
    }
    QString go = m_dir.filePath("two/go");
    // Each viewer shows the table of its own database, which goes into the
    // history both keep in the profile.
    QString databases[2] = {MakeDb("alpha.db"), MakeDb("beta.db")};
    for (const QString& path : databases) {
      std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewAuto(QFile::encodeName(path).constData()));
      QVERIFY(db->Open());
      QVERIFY(db->ExecF("ALTER TABLE t RENAME TO %s", qPrintable(QFileInfo(path).baseName())));
    }
    QProcess viewers[2];
    const char* changes[2] = {"view/limit=42", "autoupdate/intervall=30,dropfiles/sql/ask=1"};
    for (int i = 0; i < 2; ++i) {
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("QT_QPA_PLATFORM", "offscreen");
      env.insert("XDG_CONFIG_HOME", config);
      env.insert("XDG_DATA_HOME", m_dir.filePath("two/data"));
      // Without a session bus neither viewer hands its start to the other.
      env.remove("DBUS_SESSION_BUS_ADDRESS");
      env.insert("DORVEX_TEST_SET", changes[i]);
      env.insert("DORVEX_TEST_CLOSE_WHEN", go);
      viewers[i].setProcessEnvironment(env);
      viewers[i].start(DORVEX_PATH, {databases[i]});
    }
    // Both have read the file before either writes it.
    QByteArray output[2];
    for (int i = 0; i < 2; ++i)
      QTRY_VERIFY_WITH_TIMEOUT((output[i] += viewers[i].readAllStandardOutput()).contains("ready"),
                               30000);
    // A query kept by either viewer reaches the profile at once.
    QTRY_COMPARE_WITH_TIMEOUT(HistoryIn(config).size(), 2, 30000);
    QFile(go).open(QIODevice::WriteOnly);
    for (QProcess& viewer : viewers) {
      QVERIFY(viewer.waitForFinished(30000));
      QCOMPARE(viewer.exitCode(), 0);
    }
    SettingsStore result;
    SettingsFile file;
    QVERIFY(file.Load(result, settingsPath));
    QCOMPARE(result.ReadInt("view/limit", -1), 42);
    QCOMPARE(result.ReadInt("autoupdate/intervall", -1), 30);
    QCOMPARE(result.ReadBool("dropfiles/sql/ask", false), true);
    QCOMPARE(result.ReadBool("update/docheck", true), false);
    // Saving the history at exit keeps what the other viewer added.
    QStringList history = HistoryIn(config);
    QCOMPARE(history.size(), 2);
    QCOMPARE(history.filter("FROM alpha").size(), 1);
    QCOMPARE(history.filter("FROM beta").size(), 1);
  }
};

QTEST_MAIN(DorvexStartupTest)
#include "dorvexstartup_qtest.moc"
