/*
** SettingsQueryProfile: the query history's profile section, the group
** "query" of a QSettings store.  Its lock is a lock file beside the
** settings file, shared by every running viewer; taking it re-reads the
** store, releasing it writes the store, so one viewer's history save never
** undoes another's.
*/
#ifndef SETTINGSQUERYPROFILE_H
#define SETTINGSQUERYPROFILE_H

#include <QLockFile>
#include <QSettings>
#include <memory>

#include "queryhistory.h"

class SettingsQueryProfile : public QueryProfile {
 public:
  /* Longest wait for another viewer's lock, in milliseconds. */
  static constexpr int kLockWaitMs = 5000;

  /* Uses SETTINGS, which must outlive this object. */
  explicit SettingsQueryProfile(QSettings& settings);
  ~SettingsQueryProfile() override;

  std::string Read(const std::string& key) override;
  void Write(const std::string& key, const std::string& text) override;
  void Remove(const std::string& key) override;
  std::vector<std::string> Keys() override;
  /* Fails when the lock file cannot be taken within kLockWaitMs. */
  bool Lock() override;
  /* Fails when the settings could not be written. */
  bool Unlock() override;

 private:
  QSettings& m_settings;
  std::unique_ptr<QLockFile> m_lock;
};

#endif
