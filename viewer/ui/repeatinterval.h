/*
** The repeat interval of a grid view: the one default and the bounds of the
** preference, and the conversion of an interval in seconds (from the
** preference or a restored view state) into a timer period.
*/
#ifndef REPEATINTERVAL_H
#define REPEATINTERVAL_H

#include <cstdint>

class XB_SettingsAccess;

namespace RepeatInterval {

/* Settings key of the interval and its one default, used by the program and
** by the Preferences dialog alike. */
inline constexpr const char* kSettingsKey = "autoupdate/intervall";
inline constexpr int32_t kDefaultSeconds = 5;
inline constexpr int32_t kMinSeconds = 3;
inline constexpr int32_t kMaxSeconds = 300;

/* Longest timer period: one day. */
inline constexpr int64_t kMaxMilliseconds = 24LL * 60 * 60 * 1000;

/* Returns the interval in seconds that Auto Update starts with: the stored
** preference clamped to kMinSeconds..kMaxSeconds; a missing value is stored
** as kDefaultSeconds and used. */
int32_t FromPreferences(XB_SettingsAccess& settings);

/* Returns the timer period for an interval of SECONDS: 0 (no repeat) for
** zero or less, else the milliseconds computed in 64 bits and capped at
** kMaxMilliseconds. */
int64_t Milliseconds(int64_t seconds);

}  // namespace RepeatInterval

#endif
