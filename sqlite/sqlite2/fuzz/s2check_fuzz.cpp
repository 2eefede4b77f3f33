/*
** libFuzzer target over the structural checker: any bytes, taken as a
** whole database file, must give a list of problems without a crash, a
** hang or a leak.
*/
#include <cstddef>
#include <cstdint>
#include <string>

#include "s2check.h"

/* Checks one input as a database file. */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  /* Past 128 pages a file only repeats structures already seen; the cut
  ** keeps the runs fast enough to try many inputs. */
  const size_t kMaxInput = 128 * 1024;
  if (size > kMaxInput) size = kMaxInput;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  s2check::CheckBytes(bytes);
  return 0;
}
