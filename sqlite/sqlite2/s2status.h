/*
** The outcome of a call inside the generation-2 engine: a result code,
** numerically identical to the 2.x interface's codes, and its message.
** Every layer of the engine returns these; the C interface hands them out
** as they are.
*/
#ifndef S2STATUS_H
#define S2STATUS_H

#include <string>
#include <utility>

namespace s2 {

/* Result codes, numerically identical to the 2.x interface's codes. */
enum Code : int {
  kOk = 0,
  kError = 1,
  kInternal = 2,
  kPerm = 3,
  kAbort = 4,
  kBusy = 5,
  kLocked = 6,
  kNoMem = 7,
  kReadOnly = 8,
  kInterrupt = 9,
  kIoErr = 10,
  kCorrupt = 11,
  kNotFound = 12,
  kFull = 13,
  kCantOpen = 14,
  kProtocol = 15,
  kEmpty = 16,
  kSchema = 17,
  kTooBig = 18,
  kConstraint = 19,
  kMismatch = 20,
  kMisuse = 21,
  kNoLfs = 22,
  kAuth = 23,
  kFormat = 24,
  kRange = 25,
  kNotADb = 26,
};

/* Outcome of a file-layer call: a 2.x result code and its message.  The
** message is empty for kOk.  A Status is never dropped unseen: where a
** failure can change nothing, discard() says so. */
struct [[nodiscard]] Status {
  int code = kOk;
  std::string message;

  bool ok() const { return code == kOk; }
  static Status success() { return {}; }
  static Status failure(int code, std::string message) { return {code, std::move(message)}; }
};

/* Drops STATUS on purpose: undoing work that already failed, giving up a
** lock, running what 2.x skips when it cannot be used. */
inline void discard(const Status&) {}

}  // namespace s2

#endif
