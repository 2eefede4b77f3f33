/*
** IntervalTimer: a periodic action whose last run is kept in the profile,
** section "last", entry KEY, as seconds since 1970 (64-bit).
**
** The timer is due when more than its interval has passed since the last
** run; an interval below 1 second counts as 10 seconds.  A last run in the
** future (a clock that was set back, an edited profile) counts as due, so
** it can never block the action for years.  A missing or unreadable entry
** reads as 0.  The clock is injected so tests need not wait.
*/
#ifndef INTERVALTIMER_H
#define INTERVALTIMER_H

#include <QSettings>
#include <QString>

#include <cstdint>
#include <functional>

class IntervalTimer {
 public:
  using Clock = std::function<int64_t()>;

  /* Seconds since 1970 now, from the system clock. */
  static int64_t SystemNow();

  IntervalTimer(QSettings& profile, const QString& key, int64_t intervalSeconds,
                Clock clock = &IntervalTimer::SystemNow);

  /* True when the action is due.  Unless PEEK is set, a due timer is
  ** marked with the current time. */
  bool IsDue(bool peek);

  /* Stores T (0 means now) as the last run and clears the pending flag. */
  void Mark(int64_t t = 0);

  /* The stored last run, 0 when none. */
  int64_t LastRun() const;

  bool IsPending() const { return m_pending; }
  int64_t Interval() const { return m_interval; }

 private:
  QSettings& m_profile;
  QString m_entry;
  int64_t m_interval;
  Clock m_clock;
  bool m_pending = true;
};

#endif /* INTERVALTIMER_H */
