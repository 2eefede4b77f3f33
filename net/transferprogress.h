/*
** TransferProgress: the progress record of one download and the numbers
** shown from it.  Counts are 64-bit, the rate is bytes per second and the
** share a floating-point percentage, so nothing wraps or overflows for any
** size a file system can hold.
*/
#ifndef TRANSFERPROGRESS_H
#define TRANSFERPROGRESS_H

#include <cstdint>
#include <string>

struct TransferProgress {
  uint64_t bytes = 0;     // received so far
  uint64_t total = 0;     // expected size; 0 when unknown
  int64_t elapsedMs = 0;  // since the transfer started
  bool finished = false;

  /* Bytes per second; 0 while no time has passed. */
  double Rate() const;

  /* Percentage done, 0 to 100; 0 when the total is unknown. */
  double Percent() const;

  /* The rate as shown: a byte size followed by "Bps " ("1.5MBps "). */
  std::string RateText() const;

  /* The window title: the percentage ("%.1f%% ") followed by TITLE. */
  std::string TitleText(const std::string& title) const;
};

/* A byte count as shown: "999", "0.98K", "100K", "1.5M", "5.00G", "1.20T". */
std::string ByteSizeText(uint64_t bytes);

#endif /* TRANSFERPROGRESS_H */
