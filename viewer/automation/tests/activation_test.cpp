/*
** Tests of starting the window-free automation server through the bus: a
** call to the service's name starts it from a service file, it serves the
** documents, and it ends once its last document is gone, or after a start
** that made no document.  Run on a private bus whose service folder names
** the test server.
*/
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

namespace {

const QString kService = QStringLiteral("org.xbsoftware.Dorvex");
const QString kApplication = QStringLiteral("org.xbsoftware.Dorvex.Application");
const QString kDocument = QStringLiteral("org.xbsoftware.Dorvex.Document");

QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& args = {}) {
  QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
  message.setArguments(args);
  return QDBusConnection::sessionBus().call(message, QDBus::Block, 20000);
}

bool ServiceRunning() {
  return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value();
}

/* Waits until the service's owner has left the bus. */
bool WaitForServiceEnd(int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (ServiceRunning()) {
    if (timer.elapsed() > timeoutMs) return false;
    QThread::msleep(50);
  }
  return true;
}

TEST(Activation, CallStartsTheServerWhichEndsAfterItsLastDocument) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
  ASSERT_FALSE(ServiceRunning());
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());

  QDBusMessage made = Call(QStringLiteral("/org/xbsoftware/Dorvex"), kApplication,
                           QStringLiteral("CreateDocument"));
  ASSERT_EQ(made.type(), QDBusMessage::ReplyMessage) << made.errorMessage().toStdString();
  const QString doc = qvariant_cast<QDBusObjectPath>(made.arguments().value(0)).path();
  EXPECT_EQ(doc, QStringLiteral("/org/xbsoftware/Dorvex/Document/1"));
  EXPECT_TRUE(ServiceRunning());

  const QString file = dir.filePath(QStringLiteral("activated.db"));
  EXPECT_TRUE(Call(doc, kDocument, QStringLiteral("load"), {file}).arguments().value(0).toBool());
  EXPECT_EQ(
      Call(doc, kDocument, QStringLiteral("queryTabbed"), {QStringLiteral("SELECT 6 * 7, 'x'")})
          .arguments()
          .value(0)
          .toString(),
      QStringLiteral("42\tx\n"));
  Call(doc, kDocument, QStringLiteral("Release"));
  EXPECT_TRUE(WaitForServiceEnd(10000));

  // The next call starts a fresh server.
  made = Call(QStringLiteral("/org/xbsoftware/Dorvex"), kApplication,
              QStringLiteral("CreateDocument"));
  ASSERT_EQ(made.type(), QDBusMessage::ReplyMessage) << made.errorMessage().toStdString();
  EXPECT_EQ(qvariant_cast<QDBusObjectPath>(made.arguments().value(0)).path(),
            QStringLiteral("/org/xbsoftware/Dorvex/Document/1"));
  // This client stays on the bus and calls no more: after the grace period
  // the document is kept, as its creator is still there.
  QThread::msleep(1500);
  EXPECT_TRUE(ServiceRunning());
}

TEST(Activation, StartWithoutDocumentsEnds) {
  // The previous test's document still lives; release it first.
  Call(QStringLiteral("/org/xbsoftware/Dorvex/Document/1"), kDocument, QStringLiteral("Release"));
  ASSERT_TRUE(WaitForServiceEnd(10000));
  QDBusMessage opened = Call(QStringLiteral("/org/xbsoftware/Dorvex"), kApplication,
                             QStringLiteral("OpenFile"), {QStringLiteral("/tmp/none.db")});
  ASSERT_EQ(opened.type(), QDBusMessage::ReplyMessage) << opened.errorMessage().toStdString();
  EXPECT_FALSE(opened.arguments().value(0).toBool());  // no window to open it in
  EXPECT_TRUE(WaitForServiceEnd(10000));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
