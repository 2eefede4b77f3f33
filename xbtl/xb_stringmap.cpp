/*
** The key folding of XB_StringMap.
*/
#include "xb_stringmap.h"

std::string XB_StringMapFoldKey(std::string_view key, bool ignoreCase) {
  std::string folded(key);
  if (!ignoreCase) return folded;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return folded;
}
