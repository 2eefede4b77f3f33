/*
** The query history over QSettings.  Texts are stored as UTF-8 strings;
** sync() both writes this instance's changed keys and takes every other key
** from the file, which is what makes the merge work.
*/
#include "settingsqueryprofile.h"

namespace {

QString HistoryKey(const std::string& key) {
  return QStringLiteral("query/") + QString::fromStdString(key);
}

}  // namespace

SettingsQueryProfile::SettingsQueryProfile(QSettings& settings) : m_settings(settings) {}

SettingsQueryProfile::~SettingsQueryProfile() = default;

std::string SettingsQueryProfile::Read(const std::string& key) {
  return m_settings.value(HistoryKey(key)).toString().toStdString();
}

void SettingsQueryProfile::Write(const std::string& key, const std::string& text) {
  m_settings.setValue(HistoryKey(key), QString::fromStdString(text));
}

void SettingsQueryProfile::Remove(const std::string& key) {
  m_settings.remove(HistoryKey(key));
}

std::vector<std::string> SettingsQueryProfile::Keys() {
  m_settings.beginGroup(QStringLiteral("query"));
  const QStringList keys = m_settings.childKeys();
  m_settings.endGroup();
  std::vector<std::string> out;
  for (const QString& key : keys) out.push_back(key.toStdString());
  return out;
}

bool SettingsQueryProfile::Lock() {
  m_lock = std::make_unique<QLockFile>(m_settings.fileName() + QStringLiteral(".query-lock"));
  if (!m_lock->tryLock(kLockWaitMs)) {
    m_lock.reset();
    return false;
  }
  m_settings.sync();
  return true;
}

bool SettingsQueryProfile::Unlock() {
  m_settings.sync();
  bool ok = m_settings.status() == QSettings::NoError;
  m_lock.reset();
  return ok;
}
