/*
** Index checking and its log texts for XB_ArrayVal, XB_ArrayObVal and
** XB_StringMap.
*/
#include "xb_arrayimp.h"

#include "xb_log.h"

int XB_ArrayCheckIndex(int index, int count, const char* className) {
  if (index >= 0 && index < count) return index;
  XB_String text;
  if (count <= 0) {
    text.Format("E_ %s::[%d] EMPTY", className, index);
    XB_Log(text);
    return -1;
  }
  text.Format("E_ %s::[%d] ILLEGAL INDEX", className, index);
  XB_Log(text);
  return index < 0 ? 0 : count - 1;
}
