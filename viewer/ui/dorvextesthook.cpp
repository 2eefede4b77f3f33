/*
** The hook through which tests drive a running Dorvex process.
*/
#include "dorvextesthook.h"

#include "xb_settingsaccess.h"

#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <utility>
#include <vector>

bool DorvexTestHook::ApplySettings(XB_SettingsAccess& settings, const QString& text) {
  std::vector<std::pair<QByteArray, int32_t>> values;
  for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    qsizetype equals = item.indexOf(QLatin1Char('='));
    bool ok = false;
    int32_t value = equals > 0 ? item.mid(equals + 1).toInt(&ok) : 0;
    if (!ok) return false;
    values.emplace_back(item.left(equals).toUtf8(), value);
  }
  for (const auto& [key, value] : values) settings.WriteInt(key.constData(), value);
  return true;
}

void DorvexTestHook::Arm(QWidget* window, XB_SettingsAccess& settings) {
  QString values = qEnvironmentVariable("DORVEX_TEST_SET");
  if (!values.isEmpty() && !ApplySettings(settings, values))
    std::fprintf(stderr, "Dorvex: DORVEX_TEST_SET is not of the form key=number,...\n");
  QString closeWhen = qEnvironmentVariable("DORVEX_TEST_CLOSE_WHEN");
  if (closeWhen.isEmpty() || !window) return;
  auto* poll = new QTimer(window);
  QObject::connect(poll, &QTimer::timeout, window, [window, poll, closeWhen] {
    if (!QFile::exists(closeWhen)) return;
    poll->stop();
    window->close();
  });
  poll->start(25);
  QTimer::singleShot(0, window, [] {
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
  });
}
