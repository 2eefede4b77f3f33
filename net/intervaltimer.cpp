/*
** Interval timers over the profile.
*/
#include "intervaltimer.h"

#include <ctime>

int64_t IntervalTimer::SystemNow() {
  return static_cast<int64_t>(std::time(nullptr));
}

IntervalTimer::IntervalTimer(QSettings& profile, const QString& key, int64_t intervalSeconds,
                             Clock clock)
    : m_profile(profile),
      m_entry(QStringLiteral("last/") + key),
      m_interval(intervalSeconds < 1 ? 10 : intervalSeconds),
      m_clock(std::move(clock)) {}

int64_t IntervalTimer::LastRun() const {
  bool ok = false;
  qlonglong last = m_profile.value(m_entry).toLongLong(&ok);
  return ok ? last : 0;
}

bool IntervalTimer::IsDue(bool peek) {
  int64_t now = m_clock();
  int64_t last = LastRun();
  // A last run in the future means the clock or the profile is wrong.
  bool due = last > now || now - last > m_interval;
  if (due && !peek) Mark(now);
  return due;
}

void IntervalTimer::Mark(int64_t t) {
  m_profile.setValue(m_entry, static_cast<qlonglong>(t == 0 ? m_clock() : t));
  m_profile.sync();
  m_pending = false;
}
