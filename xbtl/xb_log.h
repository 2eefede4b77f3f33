/*
** The log sink through which every diagnostic of the library goes.
**
** A program that has somewhere to show diagnostics (the viewer's main
** window) installs a sink function; with none installed a log text goes
** nowhere.  Builds without NDEBUG also write each text to standard error,
** as "<text from its fourth character>  \t[<level letter>]" for texts of the
** form "E_ ..." and as the plain text otherwise.  Log texts begin with a
** level letter, an underscore and a space ("E_ " errors, "B_ " performance
** warnings); texts without such a prefix are plain notes.
*/
#ifndef XB_LOG_H
#define XB_LOG_H

#include "xb_string.h"

/* The first parameter that goes with every log message to the main window. */
constexpr int XB_LOG_MESSAGE_ID = 2457;

/* A sink receives each log text; TEXT is valid only during the call. */
using XB_LogSink = void (*)(const char* text, void* context);

/* Installs SINK (null removes it) with the CONTEXT passed to every call. */
void XB_SetLogSink(XB_LogSink sink, void* context = nullptr);

/* The installed sink, or null. */
XB_LogSink XB_GetLogSink();

/* Sends TEXT to the sink (and, in diagnostic builds, to standard error).
** An absent text is ignored. */
void XB_Log(const char* text);
/* Logs the text of TEXT. */
void XB_Log(const XB_String& text);

/* Turns the standard-error copy of diagnostic builds off or back on (it is
** on by default; release builds never write it). */
void XB_SetLogTrace(bool enabled);

/*
** The standard-error line of TEXT: for "L_ rest" the rest, two spaces, a
** tab and "[L]"; otherwise the text itself; both end in a newline.  A text
** such as "E_" that is too short to have a rest gives an empty rest.
*/
XB_String XB_LogTraceLine(std::string_view text);

/* Formats FORMAT with up to two texts (an absent one prints "(null)") and logs it. */
void XB_LogF(const char* format, const char* a = nullptr, const char* b = nullptr);

/* Formats FORMAT with ARGS of any supported type (see XB_String::Format) and
** logs the result; absent texts print "(null)" as with the two-text form. */
template <class A, class B, class... More>
void XB_LogF(const char* format, const A& a, const B& b, const More&... more);

/* Single argument that is not a text (a number, an XB_String, ...). */
template <class A, std::enable_if_t<!std::is_convertible_v<const A&, const char*>, int> = 0>
void XB_LogF(const char* format, const A& a) {
  XB_FormatArg list[] = {XB_FormatArg(a)};
  if (list[0].kind == XB_FormatArg::K_TEXT && list[0].isNull) list[0] = XB_FormatArg("(null)");
  XB_String text;
  text.AppendFormatArgs(format, list, 1);
  XB_Log(text);
}

template <class A, class B, class... More>
void XB_LogF(const char* format, const A& a, const B& b, const More&... more) {
  XB_FormatArg list[] = {XB_FormatArg(a), XB_FormatArg(b), XB_FormatArg(more)...};
  for (XB_FormatArg& arg : list) {
    if (arg.kind == XB_FormatArg::K_TEXT && arg.isNull) arg = XB_FormatArg("(null)");
  }
  XB_String text;
  text.AppendFormatArgs(format, list, 2 + sizeof...(More));
  XB_Log(text);
}

#endif /* XB_LOG_H */
