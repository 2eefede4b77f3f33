/*
** Arithmetic and texts of the progress record.
*/
#include "transferprogress.h"

#include <algorithm>
#include <cstdio>

namespace {

/* VALUE printed with FORMAT (one double). */
std::string Printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

double TransferProgress::Rate() const {
  if (elapsedMs <= 0) return 0.0;
  return static_cast<double>(bytes) * 1000.0 / static_cast<double>(elapsedMs);
}

double TransferProgress::Percent() const {
  if (total == 0) return 0.0;
  return std::min(100.0, static_cast<double>(bytes) * 100.0 / static_cast<double>(total));
}

std::string TransferProgress::RateText() const {
  return ByteSizeText(static_cast<uint64_t>(Rate())) + "Bps ";
}

std::string TransferProgress::TitleText(const std::string& title) const {
  return Printed("%.1f%% ", Percent()) + title;
}

std::string ByteSizeText(uint64_t n) {
  const double k = 1024.0;
  const double m = k * k;
  const double g = m * k;
  const double t = g * k;
  double v = static_cast<double>(n);
  if (n < 1000) return std::to_string(n);
  if (n < 10240) return Printed("%.2fK", v / k);
  if (n < 102400) return Printed("%.1fK", v / k);
  if (n < 1024000) return std::to_string((n + 512) / 1024) + "K";
  if (n < 10485760) return Printed("%.2fM", v / m);
  if (n < 104857600) return Printed("%.1fM", v / m);
  if (n < 1048576000) return std::to_string((n + 524288) / 1048576) + "M";
  if (n < 1073741824000ULL) return Printed("%.2fG", v / g);
  return Printed("%.2fT", v / t);
}
