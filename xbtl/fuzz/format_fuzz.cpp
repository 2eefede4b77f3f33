/*
** Fuzz target: arbitrary format texts against a fixed set of typed
** arguments, and arbitrary texts through the word splitter, the integer
** parse and the escaping conversions.  Any out-of-bounds read or undefined
** behaviour is found by the sanitizers.
*/
#include <cstddef>
#include <cstdint>
#include <climits>
#include <string>

#include "xb_log.h"
#include "xb_string.h"
#include "xb_textconv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  XB_SetLogTrace(false);
  std::string text(reinterpret_cast<const char*>(data), size);
  XB_String out;
  out.Format(text.c_str(), -7, "abc", 2.5, XB_String("x\0y", 3), static_cast<long long>(INT64_MIN),
             'q', 1075817100u, std::string(3, '"'));

  XB_String word;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t next = XB_String::NextWord(text, pos, word);
    if (next <= pos && !word.IsEmpty()) __builtin_trap();
    if (next <= pos) break;
    pos = next;
  }
  (void)XB_String::ParseInt(text.c_str());
  out = XB_HtmlEscape(text, static_cast<int>(size & 1));
  out = XB_UrlEscape(text);
  out = XB_Quote(text);
  out = XB_CEscape(text);
  out = XB_LogTraceLine(text);
  return 0;
}
