/*
** XB time: the library's own time scale, Unix time - 1009839600 (that is
** 2002-01-01 00:00 at UTC+1).  An XB time becomes calendar fields by adding
** the offset back and converting as local time.
*/
#ifndef XB_TIME_H
#define XB_TIME_H

#include <cstdint>
#include <ctime>

/* The Unix time at XB time 0. */
constexpr int64_t XB_TIME_OFFSET = 1009839600;

/* A clock: returns the current XB time. */
using XB_Clock = int64_t (*)();

/* The current XB time, from the system clock unless XB_SetClock installed
** another (tests fix "now" that way; "today" decides how time stamps look). */
int64_t XB_TimeNow();

/* Makes XB_TimeNow read CLOCK (null: the system clock again).  Returns the
** clock used before. */
XB_Clock XB_SetClock(XB_Clock clock);

/* Conversions between the two scales. */
constexpr int64_t XB_TimeFromUnix(int64_t unixTime) {
  return unixTime - XB_TIME_OFFSET;
}
constexpr int64_t XB_TimeToUnix(int64_t xbTime) {
  return xbTime + XB_TIME_OFFSET;
}

/* The local calendar fields of Unix time UNIXTIME; false when it cannot be converted. */
bool XB_LocalTime(int64_t unixTime, struct tm& fields);

/* True when XB times A and B fall on the same local day (day of year and year equal). */
bool XB_TimeSameDay(int64_t a, int64_t b);

/* True when XB times A and B fall in the same local year. */
bool XB_TimeSameYear(int64_t a, int64_t b);

#endif /* XB_TIME_H */
