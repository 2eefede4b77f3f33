/*
** Handing a second start's files to the running viewer over the bus.
*/
#include "instancehandover.h"

#include "dorvexautomation.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>

namespace {

QDBusMessage Call(const QDBusConnection& connection, const QString& method,
                  const QVariantList& args, int timeoutMs) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(QString::fromLatin1(DorvexAutomation::kServiceName),
                                     QString::fromLatin1(DorvexAutomation::kObjectPath),
                                     QStringLiteral("org.xbsoftware.Dorvex.Application"), method);
  call.setArguments(args);
  return connection.call(call, QDBus::Block, timeoutMs);
}

}  // namespace

HandOverResult InstanceHandOver::HandOver(const QDBusConnection& connection,
                                          const QStringList& paths, int timeoutMs) {
  HandOverResult result;
  if (paths.isEmpty()) {
    QDBusMessage reply = Call(connection, QStringLiteral("Activate"), {}, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
      result.activated = true;
    else
      result.error = reply.errorMessage();
    return result;
  }
  for (qsizetype i = 0; i < paths.size(); ++i) {
    const QString absolute = QFileInfo(paths[i]).absoluteFilePath();
    QDBusMessage reply = Call(connection, QStringLiteral("OpenFile"), {absolute}, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
      result.error =
          reply.errorMessage().isEmpty() ? QStringLiteral("no answer") : reply.errorMessage();
      result.left = paths.mid(i);
      return result;
    }
    (reply.arguments().front().toBool() ? result.opened : result.refused) << absolute;
  }
  return result;
}

bool InstanceHandOver::ServiceOwned(const QDBusConnection& connection) {
  return connection.isConnected() &&
         connection.interface()
             ->isServiceRegistered(QString::fromLatin1(DorvexAutomation::kServiceName))
             .value();
}
