/*
** File manager and browser hand-over.
*/
#include "filemanager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

bool ShowInFileManager(const QString& path) {
  QUrl file = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected()) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{file.toString()} << QString();
    QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

bool IsOpenableAddress(const QString& address) {
  if (address.size() > 2048) return false;
  QUrl url(address, QUrl::StrictMode);
  QString scheme = url.scheme().toLower();
  return url.isValid() && (scheme == "http" || scheme == "https") && !url.host().isEmpty();
}

bool OpenAddress(const QString& address) {
  if (!IsOpenableAddress(address)) return false;
  return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}
