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
  std::string bytes(reinterpret_cast<const char*>(data), size);
  s2::CheckBytes(bytes);
  return 0;
}
