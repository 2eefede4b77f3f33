/*
** The log sink: the one place where the library's diagnostics go.
**
** The installed sink, its context and the switch of the standard-error copy
** are the library's only global state.
** A sink that itself logs is not called again for that inner text, so a
** sink cannot recurse without end.
*/
#include "xb_log.h"

#include <cstdio>

namespace {
XB_LogSink g_sink = nullptr;
void* g_sinkContext = nullptr;
bool g_inSink = false;
bool g_trace = true;
}  // namespace

void XB_SetLogSink(XB_LogSink sink, void* context) {
  g_sink = sink;
  g_sinkContext = context;
}

void XB_SetLogTrace(bool enabled) {
  g_trace = enabled;
}

XB_LogSink XB_GetLogSink() {
  return g_sink;
}

XB_String XB_LogTraceLine(std::string_view text) {
  XB_String line;
  if (text.size() >= 2 && text[1] == '_') {
    line.Append(text.substr(text.size() < 3 ? text.size() : 3));
    line.Append("  \t[").Append(text[0]).Append("]\n");
    return line;
  }
  line.Append(text).Append('\n');
  return line;
}

void XB_Log(const char* text) {
  if (!text) return;
#ifndef NDEBUG
  if (g_trace) {
    XB_String line = XB_LogTraceLine(text);
    std::fwrite(line.Data(), 1, line.Length(), stderr);
  }
#endif
  if (!g_sink || g_inSink) return;
  g_inSink = true;
  g_sink(text, g_sinkContext);
  g_inSink = false;
}

void XB_Log(const XB_String& text) {
  XB_Log(text.c_str());
}

void XB_LogF(const char* format, const char* a, const char* b) {
  const XB_FormatArg args[] = {XB_FormatArg(a ? a : "(null)"), XB_FormatArg(b ? b : "(null)")};
  XB_String text;
  text.AppendFormatArgs(format, args, 2);
  XB_Log(text);
}
