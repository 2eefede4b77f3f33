/*
** Loading and saving the settings file in the per-user folder.
*/
#include "settingsfile.h"

#include "settingsstore.h"
#include "xmlreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

/* Returns true when the XML file at PATH has a document element that is
** closed again and no malformed markup.  The store's reader takes a cut-off
** file as far as it goes; such a file must not count as read, or the next
** save would drop everything after the cut. */
static bool FileIsComplete(const QString& path) {
  XmlReader reader;
  if (!reader.Open(QFile::encodeName(path).constData()) || !reader.ReadHeader()) return false;
  int depth = 0;
  bool rootSeen = false;
  for (;;) {
    switch (reader.NextItem()) {
      case XmlReader::ItemStartTag:
        if (depth == 0 && rootSeen) return false;
        rootSeen = true;
        if (reader.HasContent()) ++depth;
        break;
      case XmlReader::ItemEndTag:
        if (--depth < 0) return false;
        break;
      case XmlReader::ItemEndOfInput:
        return rootSeen && depth == 0 && reader.ErrorCode() == XmlReader::NoError;
      default:
        break;
    }
  }
}

QString SettingsFile::DefaultPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  return QDir(folder).filePath(QStringLiteral("dorvex.xml"));
}

bool SettingsFile::Load(SettingsStore& store, const QString& path) {
  m_path = path;
  m_notice.clear();
  m_saveAllowed = store.SetFileName(QFile::encodeName(path).constData());
  if (!m_saveAllowed) {
    m_notice =
        QStringLiteral("The settings file path %1 cannot be used; settings will not be saved.")
            .arg(path);
    return false;
  }
  m_baseline.clear();
  store.ClearWritten();
  if (!QFileInfo::exists(path)) return true;
  if (FileIsComplete(path) && store.Load()) {
    m_baseline = SettingsMerge::Take(store);
    return true;
  }
  store.Clear();
  // Keep the unreadable file for the user instead of writing defaults over it.
  QString bad = path + QStringLiteral(".bad");
  QFile::remove(bad);
  if (QFile::rename(path, bad)) {
    m_notice = QStringLiteral(
                   "The settings file %1 could not be read. It was kept as %2; "
                   "default settings are used.")
                   .arg(path, bad);
  } else {
    m_saveAllowed = false;
    m_notice = QStringLiteral(
                   "The settings file %1 could not be read and could not be renamed. "
                   "Default settings are used and nothing is saved this time.")
                   .arg(path);
  }
  return false;
}

bool SettingsFile::Save(SettingsStore& store, QString& error) {
  if (!m_saveAllowed) {
    error = QStringLiteral("Settings are not saved this time (%1).").arg(m_path);
    return false;
  }
  QString folder = QFileInfo(m_path).absolutePath();
  if (!QDir().mkpath(folder)) {
    error = QStringLiteral("Could not make the folder %1 for the settings file.").arg(folder);
    return false;
  }
  QLockFile lock(m_path + QStringLiteral(".lock"));
  if (!lock.tryLock(m_lockWaitMs)) {
    error = QStringLiteral("Could not save the settings file %1: another program keeps it locked.")
                .arg(m_path);
    return false;
  }
  // What another viewer wrote since this one read the file is kept; a file
  // that does not read completely has nothing to keep.
  if (QFileInfo::exists(m_path) && FileIsComplete(m_path)) {
    SettingsStore disk;
    if (disk.SetFileName(store.FileName().c_str()) && disk.Load())
      SettingsMerge::Merge(store, m_baseline, disk, store.WrittenPaths());
  }
  if (!store.Save()) {
    QFileInfo info(folder);
    QString reason = info.isWritable() ? QStringLiteral("the file could not be written")
                                       : QStringLiteral("the folder is not writable");
    error = QStringLiteral("Could not save the settings file %1: %2.").arg(m_path, reason);
    return false;
  }
  m_baseline = SettingsMerge::Take(store);
  store.ClearWritten();
  return true;
}
