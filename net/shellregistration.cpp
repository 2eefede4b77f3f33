/*
** Per-user registration of the viewer with the desktop.
*/
#include "shellregistration.h"

#include "desktopdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

/* The shipped file for RELATIVEPATH, or null. */
const DesktopDataFile* FindFile(const QString& relativePath) {
  for (const DesktopDataFile* f = kDesktopDataFiles; f->relativePath; ++f) {
    if (relativePath == QLatin1String(f->relativePath)) return f;
  }
  return nullptr;
}

/* ARGUMENT in double quotes with the characters special inside them escaped. */
QString DoubleQuoted(const QString& argument) {
  QString quoted = QStringLiteral("\"");
  for (QChar c : argument) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
        c == QLatin1Char('\\')) {
      quoted += QLatin1Char('\\');
    }
    quoted += c;
  }
  return quoted + QLatin1Char('"');
}

bool HasControl(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
  }
  return false;
}

/* Runs PROGRAM with ARGUMENTS when it is installed, waiting a bounded time. */
void RunTool(const QString& program, const QStringList& arguments) {
  QString path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) return;
  QProcess tool;
  tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  tool.setStandardOutputFile(QProcess::nullDevice());
  tool.start(path, arguments);
  if (!tool.waitForFinished(30000)) tool.kill();
  tool.waitForFinished(1000);
}

/* The content of PATH, or a null array when it cannot be read. */
QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

}  // namespace

QString ShellRegistration::QuoteDesktopExec(const QString& argument) {
  if (HasControl(argument)) return QString();
  QString quoted = DoubleQuoted(argument).replace(QLatin1Char('%'), QStringLiteral("%%"));
  return quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

QString ShellRegistration::QuoteServiceExec(const QString& argument) {
  if (HasControl(argument)) return QString();
  return DoubleQuoted(argument);
}

QString ShellRegistration::RegisteredText(const QString& relativePath, const QString& programPath) {
  const DesktopDataFile* file = FindFile(relativePath);
  if (!file) return QString();
  QString text = QString::fromUtf8(file->text);
  QString marker = QLatin1String(kMarker);
  if (relativePath.endsWith(QLatin1String(".desktop"))) {
    text.replace(QLatin1String("@DORVEX_EXEC@"), QuoteDesktopExec(programPath));
    return text + marker + QStringLiteral("=true\n");
  }
  if (relativePath.endsWith(QLatin1String(".service"))) {
    text.replace(QLatin1String("@DORVEX_EXEC@"), QuoteServiceExec(programPath));
    return QStringLiteral("# ") + marker + QLatin1Char('\n') + text;
  }
  // XML files: the comment goes right after the declaration.
  int lineEnd = text.indexOf(QLatin1Char('\n'));
  return text.left(lineEnd + 1) + QStringLiteral("<!-- ") + marker + QStringLiteral(" -->\n") +
         text.mid(lineEnd + 1);
}

bool ShellRegistration::Register(const QString& programPath, RegistrationReport* report) {
  RegistrationReport local;
  RegistrationReport& r = report ? *report : local;
  r = RegistrationReport();
  QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
  dirs.removeAll(home);
  for (const QString& dir : dirs) {
    if (QFileInfo::exists(dir + QStringLiteral("/applications/dorvex.desktop"))) {
      r.systemInstall = true;
    }
  }
  if (home.isEmpty() || QuoteDesktopExec(programPath).isEmpty()) {
    r.failed << programPath;
    return false;
  }

  bool mimeChanged = false;
  bool entriesChanged = false;
  QByteArray marker(kMarker);
  for (const DesktopDataFile* f = kDesktopDataFiles; f->relativePath; ++f) {
    QString relative = QLatin1String(f->relativePath);
    QString path = home + QLatin1Char('/') + relative;
    QByteArray wanted = RegisteredText(relative, programPath).toUtf8();
    bool exists = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    QByteArray current = exists ? ReadAll(path) : QByteArray();
    if (exists && !current.contains(marker)) {
      r.foreign << path;
      continue;
    }
    if (r.systemInstall) {
      if (!exists || !QFile::remove(path)) continue;
      r.removed << path;
    } else if (!exists || current != wanted) {
      QDir().mkpath(QFileInfo(path).absolutePath());
      QSaveFile out(path);
      bool ok =
          out.open(QIODevice::WriteOnly) && out.write(wanted) == wanted.size() && out.commit();
      (ok ? r.written : r.failed) << path;
    } else {
      continue;
    }
    mimeChanged = mimeChanged || relative.startsWith(QLatin1String("mime/"));
    entriesChanged = entriesChanged || relative.startsWith(QLatin1String("applications/"));
  }
  if (mimeChanged)
    RunTool(QStringLiteral("update-mime-database"), {home + QStringLiteral("/mime")});
  if (entriesChanged) {
    RunTool(QStringLiteral("update-desktop-database"), {home + QStringLiteral("/applications")});
  }
  return r.failed.isEmpty();
}
