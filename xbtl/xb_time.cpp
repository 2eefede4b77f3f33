/*
** XB time: the current time on the library's own scale and the local
** calendar comparisons that the compact time stamp needs.
*/
#include "xb_time.h"

#include <atomic>

/* The system clock on the XB scale. */
static int64_t SystemClock() {
  return XB_TimeFromUnix(static_cast<int64_t>(time(nullptr)));
}

static std::atomic<XB_Clock> g_clock{&SystemClock};

int64_t XB_TimeNow() {
  return g_clock.load()();
}

XB_Clock XB_SetClock(XB_Clock clock) {
  return g_clock.exchange(clock ? clock : &SystemClock);
}

bool XB_LocalTime(int64_t unixTime, struct tm& fields) {
  time_t t = static_cast<time_t>(unixTime);
  return localtime_r(&t, &fields) != nullptr;
}

bool XB_TimeSameDay(int64_t a, int64_t b) {
  struct tm fa, fb;
  if (!XB_LocalTime(XB_TimeToUnix(a), fa) || !XB_LocalTime(XB_TimeToUnix(b), fb)) return false;
  return fa.tm_year == fb.tm_year && fa.tm_yday == fb.tm_yday;
}

bool XB_TimeSameYear(int64_t a, int64_t b) {
  struct tm fa, fb;
  if (!XB_LocalTime(XB_TimeToUnix(a), fa) || !XB_LocalTime(XB_TimeToUnix(b), fb)) return false;
  return fa.tm_year == fb.tm_year;
}
