/*
** Dorvex on a private session bus (the test runs under dbus-run-session
** with a service folder of its own): the bus starts the program from the
** service file the viewer registers, window-free; a script's calls reach
** its documents; it ends after the last one.  A second start hands its
** files to the running viewer and ends, turning a window-free one into a
** viewer; a hand-over the bus fails, and a start without any bus, leave a
** viewer that runs on its own.  The programs get temporary XDG folders.
*/
#include "dorvexautomation.h"
#include "dorvexoptions.h"
#include "dorvexstartup.h"
#include "mainframe.h"
#include "shellregistration.h"
#include "xb_sqlitedb.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

const QString kService = QString::fromLatin1(DorvexAutomation::kServiceName);
const QString kApplicationPath = QString::fromLatin1(DorvexAutomation::kObjectPath);
const QString kApplication = QStringLiteral("org.xbsoftware.Dorvex.Application");
const QString kDocument = QStringLiteral("org.xbsoftware.Dorvex.Document");
const QString kServiceFile = QStringLiteral("dbus-1/services/org.xbsoftware.Dorvex.service");

QDBusConnection Bus() {
  return QDBusConnection::sessionBus();
}

/* Calls METHOD on the service; the event loop keeps running meanwhile, so a
** service in this process answers too. */
QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& args = {}) {
  QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
  message.setArguments(args);
  QDBusPendingCall pending = Bus().asyncCall(message, 60000);
  if (!QTest::qWaitFor([&pending] { return pending.isFinished(); }, 65000)) return {};
  return pending.reply();
}

bool ServiceRunning() {
  return Bus().interface()->isServiceRegistered(kService).value();
}

}  // namespace

class DorvexBusTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  std::vector<std::unique_ptr<QProcess>> m_processes;

  QString ConfigHome() const { return m_dir.filePath("config"); }
  QString SettingsPath() const { return ConfigHome() + "/XB Software/Dorvex/dorvex.xml"; }

  /* Makes a 3.x database NAME with one row; returns its path. */
  QString MakeDb(const QString& name) {
    QString path = m_dir.filePath(name);
    std::unique_ptr<XB_SQLiteDB> db(
        XB_SQLiteDB::NewByVersion(QFile::encodeName(path).constData(), 3));
    db->OpenOrCreate();
    db->Exec("CREATE TABLE t (a INTEGER)");
    db->Exec("INSERT INTO t VALUES (7)");
    return path;
  }

  /* The first file of the running viewer's recent-file list. */
  QString NewestRecentFile() const {
    QSettings profile(ConfigHome() + "/XB Software/Dorvex.conf", QSettings::IniFormat);
    return profile.value("Recent File List/File1").toString();
  }

  /* Starts Dorvex with ARGS in the test folder; BUS false runs it with a
  ** bus address nobody listens on. */
  QProcess* StartDorvex(const QStringList& args, bool bus = true) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", ConfigHome());
    env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
    if (!bus) env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_dir.filePath("nobus"));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(m_dir.path());
    process->start(DORVEX_PATH, args);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
  }

  /* Waits until PROCESS ended, the event loop running meanwhile. */
  static bool Ended(QProcess* process, int timeoutMs = 60000) {
    return QTest::qWaitFor([process] { return process->state() == QProcess::NotRunning; },
                           timeoutMs);
  }

  /* Ends the process that owns the service (a viewer has no other way out
  ** here) and waits until the name is free. */
  bool EndServiceOwner() {
    if (!ServiceRunning()) return true;
    uint pid = Bus().interface()->servicePid(kService).value();
    if (pid == 0 || ::kill(static_cast<pid_t>(pid), SIGKILL) != 0) return false;
    return QTest::qWaitFor([] { return !ServiceRunning(); }, 20000);
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(Bus().isConnected());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
    QCoreApplication::setOrganizationName("XB Software");
    QCoreApplication::setApplicationName("Dorvex");

    // The service file as the viewer registers it for the user, naming the
    // built program.
    QString text = ShellRegistration::RegisteredText(kServiceFile, DORVEX_PATH);
    QFile file(QStringLiteral(DORVEXBUS_SERVICES "/org.xbsoftware.Dorvex.service"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
    file.close();

    // Programs the bus starts see the test's folders.
    QDBusMessage update =
        QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "UpdateActivationEnvironment");
    qDBusRegisterMetaType<QMap<QString, QString>>();
    QMap<QString, QString> env{{"QT_QPA_PLATFORM", "offscreen"},
                               {"XDG_CONFIG_HOME", ConfigHome()},
                               {"XDG_DATA_HOME", m_dir.filePath("data")}};
    update << QVariant::fromValue(env);
    QCOMPARE(Bus().call(update).type(), QDBusMessage::ReplyMessage);
  }

  void init() {
    QVERIFY(EndServiceOwner());
    QFile::remove(SettingsPath());
  }

  void cleanup() {
    EndServiceOwner();
    for (auto& process : m_processes) {
      process->kill();
      process->waitForFinished(10000);
    }
    m_processes.clear();
  }

  void serviceFileStartsTheProgramWindowFree() {
    // What the service file starts is the window-free start of the program.
    QString text = ShellRegistration::RegisteredText(kServiceFile, DORVEX_PATH);
    QRegularExpressionMatch exec =
        QRegularExpression("^Exec=(.*)$", QRegularExpression::MultilineOption).match(text);
    QVERIFY(exec.hasMatch());
    QStringList command = QProcess::splitCommand(exec.captured(1));
    QCOMPARE(command.value(0), QStringLiteral(DORVEX_PATH));
    DorvexOptions options;
    QString error;
    QVERIFY(ParseDorvexOptions(command.mid(1), options, error));
    QVERIFY(options.automation);
    QVERIFY(options.files.isEmpty() && options.stateFile.isEmpty());

    // A script's calls: the first one starts the program.
    QDBusMessage made = Call(kApplicationPath, kApplication, "CreateDocument");
    QCOMPARE(made.type(), QDBusMessage::ReplyMessage);
    QString doc = qvariant_cast<QDBusObjectPath>(made.arguments().value(0)).path();
    QVERIFY(ServiceRunning());
    QString db = MakeDb("script.db");
    QVERIFY(Call(doc, kDocument, "load", {db}).arguments().value(0).toBool());
    QCOMPARE(Call(doc, kDocument, "queryTabbed", {"SELECT a, 'x' FROM t"}).arguments().value(0),
             QVariant("7\tx\n"));
    QCOMPARE(Call(doc, kDocument, "lastError").arguments().value(0), QVariant(QString()));
    QCOMPARE(Call(doc, kDocument, "queryTabbed", {"SELECT nothing FROM t"}).arguments().value(0),
             QVariant(QString()));
    QVERIFY(Call(doc, kDocument, "lastError").arguments().value(0).toString().contains("nothing"));
    QVERIFY(Call(doc, kDocument, "free").arguments().value(0).toBool());
    QCOMPARE(Call(doc, kDocument, "Release").type(), QDBusMessage::ReplyMessage);

    // The last document gone and no window: the program ends, without
    // writing settings or registering file types.
    QVERIFY(QTest::qWaitFor([] { return !ServiceRunning(); }, 20000));
    QVERIFY(!QFileInfo::exists(SettingsPath()));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("data/applications/dorvex.desktop")));
  }

  void secondStartHandsItsFilesToTheRunningViewer() {
    QString first = MakeDb("first.db");
    MakeDb("second.db");
    QProcess* viewer = StartDorvex({first});
    QVERIFY(QTest::qWaitFor([] { return ServiceRunning(); }, 60000));

    // A relative path names the file in the second start's folder.
    QProcess* second = StartDorvex({"second.db"});
    QVERIFY(Ended(second));
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE(NewestRecentFile(), m_dir.filePath("second.db"));

    // So does a view state given with --state.
    QFile state(m_dir.filePath("view.dvxs"));
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DorvexState>\n"
        "<file>second.db</file>\n<query>SELECT a FROM t</query>\n</DorvexState>\n");
    state.close();
    QProcess* withState = StartDorvex({"--state", "view.dvxs"});
    QVERIFY(Ended(withState));
    QCOMPARE(withState->exitCode(), 0);
    QTRY_COMPARE(NewestRecentFile(), m_dir.filePath("view.dvxs"));

    // A file the running viewer cannot open: the second start says so and fails.
    QProcess* missing = StartDorvex({"missing.db"});
    QVERIFY(Ended(missing));
    QCOMPARE(missing->exitCode(), 1);
    QVERIFY(missing->readAllStandardError().contains("could not open"));
    QVERIFY(viewer->state() == QProcess::Running);
  }

  void handOverTurnsAWindowFreeStartIntoAViewer() {
    QDBusMessage made = Call(kApplicationPath, kApplication, "CreateDocument");
    QCOMPARE(made.type(), QDBusMessage::ReplyMessage);
    QString doc = qvariant_cast<QDBusObjectPath>(made.arguments().value(0)).path();

    QProcess* second = StartDorvex({MakeDb("shown.db")});
    QVERIFY(Ended(second));
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE(NewestRecentFile(), m_dir.filePath("shown.db"));

    // Its window is open now: the last document gone, it keeps running.
    Call(doc, kDocument, "Release");
    QTest::qWait(1500);
    QVERIFY(ServiceRunning());
  }

  void failedHandOverOpensTheFilesItself() {
    // The name is owned, but nobody answers the application's calls.
    QDBusConnection squatter = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "squat");
    QVERIFY(squatter.registerService(kService));
    QProcess* viewer = StartDorvex({MakeDb("own.db")});
    QVERIFY(QTest::qWaitFor(
        [viewer] {
          return viewer->state() == QProcess::NotRunning ||
                 viewer->readAllStandardError().contains("could not be handed");
        },
        60000));
    // Opening the file after the failed hand-over may take a while on a
    // busy machine; the viewer must get there without ending.
    QString own = m_dir.filePath("own.db");
    QTRY_COMPARE_WITH_TIMEOUT(NewestRecentFile(), own, 30000);
    QVERIFY(viewer->state() == QProcess::Running);
    QVERIFY(squatter.unregisterService(kService));
    QDBusConnection::disconnectFromBus("squat");
  }

  void withoutABusTheViewerRunsPlain() {
    QProcess* viewer = StartDorvex({MakeDb("plain.db")}, false);
    QByteArray err;
    QVERIFY(QTest::qWaitFor(
        [viewer, &err] {
          err += viewer->readAllStandardError();
          return viewer->state() == QProcess::NotRunning || err.contains("no session bus");
        },
        60000));
    QTest::qWait(500);
    QVERIFY(viewer->state() == QProcess::Running);
    QVERIFY(!ServiceRunning());

    // A window-free start without a bus has nothing to do.
    QProcess* automation = StartDorvex({"--automation"}, false);
    QVERIFY(Ended(automation));
    QCOMPARE(automation->exitCode(), 1);
  }

  void handedFileShowsTheWindowAndSettingsAreSaved() {
    // In this process, so that the window and the exit can be watched; the
    // viewer has a connection of its own, so the calls cross the bus.
    QDBusConnection own = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "viewer");
    DorvexStartup startup;
    startup.SetReporter([](const QString&) {});
    startup.UseBus(own);
    QCOMPARE(startup.Start({"--automation"}), -1);
    QVERIFY(startup.ServesBus());
    QVERIFY(startup.SaveSuppressed());
    QVERIFY(!startup.MainFrame()->isVisible());

    QDBusMessage relative = Call(kApplicationPath, kApplication, "OpenFile", {"inside.db"});
    QCOMPARE(relative.arguments().value(0), QVariant(false));
    QString db = MakeDb("inside.db");
    QCOMPARE(Call(kApplicationPath, kApplication, "OpenFile", {db}).arguments().value(0),
             QVariant(true));
    QVERIFY(startup.MainFrame()->isVisible());
    QCOMPARE(startup.MainFrame()->Views().size(), 1);
    QVERIFY(!startup.SaveSuppressed());
    QVERIFY(startup.Finish());
    QVERIFY(QFileInfo::exists(SettingsPath()));
  }
};

QTEST_MAIN(DorvexBusTest)
#include "dorvexbus_qtest.moc"
