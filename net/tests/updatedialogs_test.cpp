/*
** The update check's windows and the file-manager hand-over: the progress
** dialog follows the transfer and its Cancel reaches the download; a saved
** release is shown through the FileManager1 bus service when one answers,
** else its folder is opened.
*/
#include "filemanager.h"
#include "updatedialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

namespace {

QProgressDialog* OpenProgressDialog() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) return d;
  }
  return nullptr;
}

TEST(UpdateDialogsTest, ProgressFollowsTheTransferAndCancels) {
  UpdateDialogs dialogs(nullptr);
  int cancels = 0;
  dialogs.BeginProgress("Dorvex - Update", [&cancels] { ++cancels; });
  QProgressDialog* dialog = OpenProgressDialog();
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ("Dorvex - Update", dialog->windowTitle());

  TransferProgress p;
  p.total = 5ULL << 30;  // past the int range of a progress bar in bytes
  p.bytes = p.total / 2;
  p.elapsedMs = 1000;
  dialogs.ShowProgress(QString::fromStdString(p.TitleText("Dorvex - Update")),
                       QString::fromStdString(p.RateText()), p);
  EXPECT_EQ("50.0% Dorvex - Update", dialog->windowTitle());
  EXPECT_EQ("2.50GBps ", dialog->labelText());
  EXPECT_EQ(dialog->maximum() / 2, dialog->value());

  QPushButton* cancel = dialog->findChild<QPushButton*>();
  ASSERT_NE(nullptr, cancel);
  cancel->click();
  EXPECT_EQ(1, cancels);
  dialogs.EndProgress();
  QApplication::processEvents();
  EXPECT_EQ(nullptr, OpenProgressDialog());
}

/* Stands in for the file manager on a private session bus. */
class FakeFileManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

 public:
  QStringList shown;

 public slots:
  void ShowItems(const QStringList& uris, const QString& startupId) { shown << uris; }
};

/* Records the addresses QDesktopServices is asked to open. */
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened << url; }
};

TEST(FileManagerTest, ShowsTheFileOrOpensItsFolder) {
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler("file", &recorder, "open");
  // A private session bus, set up before anything connects to one.
  QProcess bus;
  QString daemon = QStandardPaths::findExecutable("dbus-daemon");
  if (!daemon.isEmpty()) {
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
  }

  // No file manager answers: the folder is opened.
  EXPECT_TRUE(ShowInFileManager("/tmp/some folder/install_Dorvex_update.deb"));
  ASSERT_EQ(1, recorder.opened.size());
  EXPECT_EQ(QUrl::fromLocalFile("/tmp/some folder"), recorder.opened[0]);
  if (daemon.isEmpty()) GTEST_SKIP() << "no dbus-daemon";

  // The file manager lives on a connection and thread of its own, as it
  // would in its own process: the call blocks this thread.
  QThread managerThread;
  FakeFileManager manager;
  manager.moveToThread(&managerThread);
  managerThread.start();
  QDBusConnection connection = QDBusConnection::connectToBus(
      QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")), "filemanager-test");
  ASSERT_TRUE(connection.isConnected());
  ASSERT_TRUE(connection.registerObject("/org/freedesktop/FileManager1", &manager,
                                        QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(connection.registerService("org.freedesktop.FileManager1"));

  EXPECT_TRUE(ShowInFileManager("/tmp/some folder/install_Dorvex_update.deb"));
  managerThread.quit();
  managerThread.wait();
  EXPECT_EQ(QStringList{"file:///tmp/some folder/install_Dorvex_update.deb"}, manager.shown);
  EXPECT_EQ(1, recorder.opened.size()) << "the folder is not opened as well";
  QDBusConnection::disconnectFromBus("filemanager-test");
  QDesktopServices::unsetUrlHandler("file");
  bus.kill();
  bus.waitForFinished();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "updatedialogs_test.moc"
