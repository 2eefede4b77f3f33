/*
** Tests of the automation service on a private session bus (the test runs
** under dbus-run-session).  The service lives on this process's session
** connection; every call goes through a second connection, so it really
** crosses the bus, and is made asynchronously while this thread's event
** loop serves the service.
*/
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "automationdocument.h"
#include "dorvexautomation.h"
#include "xb_sqlitedb.h"

namespace {

constexpr int kGraceMs = 1000;
const QString kDocumentInterface = QStringLiteral("org.xbsoftware.Dorvex.Document");

/* Spins the event loop until PREDICATE holds or TIMEOUTMS pass. */
template <typename Predicate>
bool WaitFor(Predicate predicate, int timeoutMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!predicate()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

class AutomationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_service = std::make_unique<DorvexAutomation>();
    m_service->SetLimits(3, kGraceMs, 1000);
    QString error;
    ASSERT_TRUE(m_service->Register(QDBusConnection::sessionBus(), &error)) << error.toStdString();
    Connect();
  }
  void TearDown() override {
    m_service.reset();
    Disconnect();
  }

  /* Opens the client's own connection to the bus. */
  void Connect() {
    m_clientName = QStringLiteral("client%1").arg(++m_clients);
    m_client = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_clientName));
    ASSERT_TRUE(m_client->isConnected());
  }
  /* Leaves the bus as a crashed client would. */
  void Disconnect() {
    m_client.reset();
    QDBusConnection::disconnectFromBus(m_clientName);
  }

  /* Calls METHOD on PATH through the client connection and waits. */
  QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                    const QVariantList& args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(DorvexAutomation::kServiceName), path, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = m_client->asyncCall(message, 20000);
    EXPECT_TRUE(WaitFor([&] { return pending.isFinished(); }, 25000));
    return pending.reply();
  }
  QString CreateDocument() {
    QDBusMessage reply =
        Call(QString::fromLatin1(DorvexAutomation::kObjectPath),
             QStringLiteral("org.xbsoftware.Dorvex.Application"), QStringLiteral("CreateDocument"));
    if (reply.type() != QDBusMessage::ReplyMessage) return reply.errorName();
    return qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
  }
  QVariant Doc(const QString& path, const QString& method, const QVariantList& args = {}) {
    QDBusMessage reply = Call(path, kDocumentInterface, method, args);
    if (reply.type() != QDBusMessage::ReplyMessage) return reply.errorName();
    return reply.arguments().value(0);
  }
  bool Load(const QString& doc, const QString& path) {
    return Doc(doc, QStringLiteral("load"), {path}).toBool();
  }
  QString Query(const QString& doc, const QString& sql) {
    return Doc(doc, QStringLiteral("queryTabbed"), {sql}).toString();
  }
  QString LastError(const QString& doc) { return Doc(doc, QStringLiteral("lastError")).toString(); }

  /* Makes a 3.x database NAME from SQL; returns its path. */
  QString Database(const QString& name, const char* sql) {
    const QString path = m_dir.filePath(name);
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(path.toUtf8().constData(), 3));
    EXPECT_TRUE(db->OpenOrCreate());
    EXPECT_TRUE(db->Exec(sql)) << (db->LastError() ? db->LastError() : "");
    return path;
  }

  QTemporaryDir m_dir;
  std::unique_ptr<DorvexAutomation> m_service;
  std::unique_ptr<QDBusConnection> m_client;
  QString m_clientName;
  int m_clients = 0;
};

TEST_F(AutomationTest, IntrospectionListsTheMethods) {
  const QString doc = CreateDocument();
  ASSERT_TRUE(doc.startsWith(QLatin1String("/org/xbsoftware/Dorvex/Document/")));
  const QString xml =
      Call(doc, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"))
          .arguments()
          .value(0)
          .toString();
  for (const char* method : {"queryTabbed", "load", "free", "lastError", "Release"})
    EXPECT_TRUE(xml.contains(QStringLiteral("<method name=\"%1\"").arg(method))) << method;
  const QString app =
      Call(QString::fromLatin1(DorvexAutomation::kObjectPath),
           QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"))
          .arguments()
          .value(0)
          .toString();
  EXPECT_TRUE(app.contains(QLatin1String("<method name=\"CreateDocument\"")));
  EXPECT_TRUE(app.contains(QLatin1String("<method name=\"OpenFile\"")));
}

TEST_F(AutomationTest, QueryTextsOfA3xFile) {
  const QString file = Database(QStringLiteral("shop.db"),
                                "CREATE TABLE items(id INTEGER, name TEXT);"
                                "INSERT INTO items VALUES(1, 'plain');"
                                "INSERT INTO items VALUES(2, 'tab\there');"
                                "INSERT INTO items VALUES(3, 'two\nlines');"
                                "INSERT INTO items VALUES(4, NULL);");
  const QString doc = CreateDocument();
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT 1")), QString());
  EXPECT_EQ(LastError(doc), QStringLiteral("no database is loaded"));

  ASSERT_TRUE(Load(doc, file));
  EXPECT_EQ(LastError(doc), QString());
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT id FROM items ORDER BY id")),
            QStringLiteral("1\n2\n3\n4\n"));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT id, name FROM items ORDER BY id")),
            QStringLiteral("1\tplain\n2\ttab\there\n3\ttwo\nlines\n4\t\n"));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT * FROM items WHERE id > 10")), QString());
  EXPECT_EQ(LastError(doc), QString());

  // A failure leaves the same empty text, but lastError tells it apart.
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT * FROM missing")), QString());
  EXPECT_TRUE(LastError(doc).contains(QLatin1String("missing"))) << LastError(doc).toStdString();

  EXPECT_TRUE(Doc(doc, QStringLiteral("free")).toBool());
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT 1")), QString());
  EXPECT_EQ(LastError(doc), QStringLiteral("no database is loaded"));
}

// The bus cannot carry a NUL inside a text, but a caller inside the viewer
// can: the engine would stop there and run another statement than was sent.
TEST_F(AutomationTest, TextWithNulIsRefused) {
  const QString file = Database(QStringLiteral("nul.db"), "CREATE TABLE t(a);");
  AutomationDocument doc(99, QString(), 1000);
  ASSERT_TRUE(doc.load(file));
  const QString sql = QStringLiteral("SELECT 1") + QChar(0) + QStringLiteral("DROP TABLE t");
  EXPECT_EQ(doc.queryTabbed(sql), QString());
  EXPECT_TRUE(doc.lastError().contains(QLatin1String("NUL")));
  EXPECT_EQ(doc.queryTabbed(QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("0\n"));
  EXPECT_FALSE(doc.load(file + QChar(0) + QStringLiteral("x")));
}

TEST_F(AutomationTest, LoadOfOtherFiles) {
  const QString doc = CreateDocument();
  const QString fresh = m_dir.filePath(QStringLiteral("new.db"));
  ASSERT_TRUE(Load(doc, fresh));
  EXPECT_TRUE(QFile::exists(fresh));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT count(*) FROM sqlite_master")),
            QStringLiteral("0\n"));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT sqlite_version() >= '3'")), QStringLiteral("1\n"));

  const QString text = m_dir.filePath(QStringLiteral("notes.txt"));
  QFile notes(text);
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  notes.write(QByteArray(4096, 'x'));
  notes.close();
  EXPECT_FALSE(Load(doc, text));
  EXPECT_FALSE(LastError(doc).isEmpty());
  EXPECT_FALSE(Load(doc, QStringLiteral("relative.db")));
  EXPECT_FALSE(QFile::exists(QStringLiteral("relative.db")));

  // A 2.x file holding Latin-1 text: such text comes back as UTF-8, and text
  // that Latin-1 cannot hold is refused instead of becoming "?".
  const QString latin = m_dir.filePath(QStringLiteral("text_values.db"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(XB_SQLITE2_FIXTURES "/text_values.db"), latin));
  ASSERT_TRUE(Load(doc, latin));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT count(*) FROM nulls")), QStringLiteral("6\n"));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT 'Käse'")), QStringLiteral("Käse\n"));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT count(*) FROM val WHERE v = 'Ω'")), QString());
  EXPECT_FALSE(LastError(doc).isEmpty());
}

TEST_F(AutomationTest, FreeRollsBackAnOpenTransaction) {
  const QString file = Database(QStringLiteral("t.db"), "CREATE TABLE t(a);");
  const QString doc = CreateDocument();
  ASSERT_TRUE(Load(doc, file));
  Query(doc, QStringLiteral("BEGIN"));
  Query(doc, QStringLiteral("INSERT INTO t VALUES(1)"));
  EXPECT_TRUE(Doc(doc, QStringLiteral("free")).toBool());
  EXPECT_TRUE(LastError(doc).contains(QLatin1String("rolled back")));
  ASSERT_TRUE(Load(doc, file));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("0\n"));
}

TEST_F(AutomationTest, ReleaseLimitsAndTheSizeError) {
  QSignalSpy gone(m_service.get(), &DorvexAutomation::lastDocumentGone);
  const QString first = CreateDocument();
  const QString second = CreateDocument();
  const QString third = CreateDocument();
  EXPECT_EQ(CreateDocument(), QStringLiteral("org.xbsoftware.Dorvex.Error.TooManyDocuments"));

  EXPECT_EQ(Doc(second, QStringLiteral("Release")), QVariant());
  EXPECT_EQ(Doc(second, QStringLiteral("lastError")),
            QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
  const QString fourth = CreateDocument();
  EXPECT_NE(fourth, second);  // paths are never reused
  EXPECT_TRUE(fourth.endsWith(QLatin1String("/4")));

  ASSERT_TRUE(Load(first, m_dir.filePath(QStringLiteral("big.db"))));
  // The limit is 1000 bytes here: 999 fit, one more does not.
  const QString fits = QStringLiteral("SELECT substr(hex(zeroblob(600)), 1, 998)");
  EXPECT_EQ(Query(first, fits).size(), 999);
  EXPECT_EQ(
      Doc(first, QStringLiteral("queryTabbed"), {QStringLiteral("SELECT hex(zeroblob(500))")}),
      QStringLiteral("org.xbsoftware.Dorvex.Error.ResultTooLarge"));
  EXPECT_FALSE(LastError(first).isEmpty());

  EXPECT_EQ(gone.count(), 0);
  for (const QString& doc : {first, third, fourth}) Doc(doc, QStringLiteral("Release"));
  EXPECT_TRUE(WaitFor([&] { return gone.count() == 1; }));
  EXPECT_EQ(m_service->DocumentCount(), 0);
}

// A long query runs off the event loop: the thread serving the bus keeps
// answering (other calls, timers) and the caller gets its text at the end.
TEST_F(AutomationTest, LongQueryLeavesTheEventLoopFree) {
  const QString doc = CreateDocument();
  ASSERT_TRUE(Load(doc, m_dir.filePath(QStringLiteral("long.db"))));
  const QString slow = QStringLiteral(
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 4000000) "
      "SELECT count(*) FROM c");
  auto start = [&] {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromLatin1(DorvexAutomation::kServiceName), doc,
                                       kDocumentInterface, QStringLiteral("queryTabbed"));
    message.setArguments({slow});
    return m_client->asyncCall(message, 120000);
  };
  QElapsedTimer clock;
  clock.start();
  QDBusPendingCall running = start();
  EXPECT_EQ(Doc(doc, QStringLiteral("queryTabbed"), {QStringLiteral("SELECT 1")}),
            QStringLiteral("org.xbsoftware.Dorvex.Error.Busy"));
  EXPECT_EQ(Doc(doc, QStringLiteral("lastError")), QString());
  qint64 longestGap = 0;
  qint64 last = clock.elapsed();
  while (!running.isFinished() && clock.elapsed() < 120000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    longestGap = std::max(longestGap, clock.elapsed() - last);
    last = clock.elapsed();
  }
  ASSERT_TRUE(running.isFinished());
  EXPECT_EQ(running.reply().arguments().value(0).toString(), QStringLiteral("4000000\n"));
  EXPECT_LT(longestGap, clock.elapsed() / 2);

  // free stops a running query; its caller hears why.
  running = start();
  EXPECT_TRUE(Doc(doc, QStringLiteral("free")).toBool());
  EXPECT_TRUE(WaitFor([&] { return running.isFinished(); }));
  EXPECT_EQ(running.reply().errorName(), QStringLiteral("org.xbsoftware.Dorvex.Error.Cancelled"));
  EXPECT_EQ(Query(doc, QStringLiteral("SELECT 1")), QString());
  EXPECT_EQ(LastError(doc), QStringLiteral("no database is loaded"));
}

TEST_F(AutomationTest, DocumentsOfAClientThatLeftAreReaped) {
  QSignalSpy gone(m_service.get(), &DorvexAutomation::lastDocumentGone);
  const QString kept = CreateDocument();
  Disconnect();
  Connect();
  const QString stays = CreateDocument();
  ASSERT_EQ(m_service->DocumentCount(), 2);

  // Calls within the grace period keep a document alive, as a script's do.
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 2 * kGraceMs) {
    EXPECT_EQ(Doc(kept, QStringLiteral("lastError")), QString());
    WaitFor([] { return false; }, 100);
  }
  EXPECT_EQ(m_service->DocumentCount(), 2);

  ASSERT_TRUE(WaitFor([&] { return m_service->DocumentCount() == 1; }));
  EXPECT_EQ(gone.count(), 0);
  EXPECT_EQ(Doc(kept, QStringLiteral("lastError")),
            QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
  // The creator of the other one is still on the bus: it stays.
  WaitFor([] { return false; }, kGraceMs * 3 / 2);
  EXPECT_EQ(Doc(stays, QStringLiteral("lastError")), QString());

  Disconnect();
  ASSERT_TRUE(WaitFor([&] { return gone.count() == 1; }));
  Connect();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
