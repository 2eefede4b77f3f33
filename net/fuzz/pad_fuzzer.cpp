/*
** Fuzz target: PAD reading must never crash, hang or read out of bounds,
** whatever arrives from the network, and what it accepts must hold the
** limits it promises.
*/
#include "padinfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PadInfo pad;
  QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (!pad.Read(text) || !pad.Usable()) return 0;
  if (pad.SizeBytes() > PadInfo::kMaxSize) std::abort();
  if (pad.DownloadUrl().size() > PadInfo::kMaxUrlLength) std::abort();
  (void)pad.Version().Text();
  return 0;
}
