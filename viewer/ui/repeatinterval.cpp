/*
** Repeat interval arithmetic.
*/
#include "repeatinterval.h"

#include "xb_settingsaccess.h"

#include <algorithm>

namespace RepeatInterval {

int32_t FromPreferences(XB_SettingsAccess& settings) {
  int32_t seconds = settings.ReadInt(kSettingsKey, kDefaultSeconds);
  return std::clamp(seconds, kMinSeconds, kMaxSeconds);
}

int64_t Milliseconds(int64_t seconds) {
  if (seconds <= 0) return 0;
  if (seconds >= kMaxMilliseconds / 1000) return kMaxMilliseconds;
  return seconds * 1000;
}

}  // namespace RepeatInterval
