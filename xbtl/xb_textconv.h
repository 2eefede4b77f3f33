/*
** The shared text conversions: escaping for XML, HTML, backslash-quoted and
** URL text, quoting, durations, the clock form, time stamps, digit grouping
** and byte sizes.  All work on 8-bit Latin-1 text and never fail.  Each
** conversion has a form that returns a new string and an Append form that
** adds the result to an existing one (which the formatting directives use).
*/
#ifndef XB_TEXTCONV_H
#define XB_TEXTCONV_H

#include <cstdint>
#include <string_view>

#include "xb_string.h"

/* HTML quote styles: entities, or backslash-escaped quotes for script text. */
constexpr int XB_QUOTE_ENTITY = 0;
constexpr int XB_QUOTE_BACKSLASH = 1;

/* "&" "<" ">" become "&amp;" "&lt;" "&gt;"; nothing else changes. */
XB_String XB_XmlEscape(std::string_view text);
inline XB_String XB_XmlEscape(const char* text) {
  return XB_XmlEscape(XB_TextOrEmpty(text));
}
/* Appends TEXT with "&" "<" ">" replaced by entities. */
void XB_AppendXmlEscape(XB_String& out, std::string_view text);

/* The HTML entity table, with quotes in QUOTESTYLE (XB_QUOTE_ENTITY or XB_QUOTE_BACKSLASH). */
XB_String XB_HtmlEscape(std::string_view text, int quoteStyle = XB_QUOTE_ENTITY);
inline XB_String XB_HtmlEscape(const char* text, int quoteStyle = XB_QUOTE_ENTITY) {
  return XB_HtmlEscape(XB_TextOrEmpty(text), quoteStyle);
}
/* Appends TEXT with the HTML entity table applied in QUOTESTYLE. */
void XB_AppendHtmlEscape(XB_String& out, std::string_view text, int quoteStyle = XB_QUOTE_ENTITY);

/* Backslash, quotes, newline and tab escaped with a backslash. */
XB_String XB_CEscape(std::string_view text);
inline XB_String XB_CEscape(const char* text) {
  return XB_CEscape(XB_TextOrEmpty(text));
}
/* Appends TEXT with backslash, quotes, newline and tab backslash-escaped. */
void XB_AppendCEscape(XB_String& out, std::string_view text);

/* URL escaping: letters, digits and _ . - / : kept, "\" made "/", the rest %XX. */
XB_String XB_UrlEscape(std::string_view text);
inline XB_String XB_UrlEscape(const char* text) {
  return XB_UrlEscape(XB_TextOrEmpty(text));
}
/* Appends TEXT URL-escaped. */
void XB_AppendUrlEscape(XB_String& out, std::string_view text);

/* A non-empty text in double quotes with inner double quotes doubled; empty gives nothing. */
XB_String XB_Quote(std::string_view text);
inline XB_String XB_Quote(const char* text) {
  return XB_Quote(XB_TextOrEmpty(text));
}
/* Appends a non-empty TEXT in double quotes with inner quotes doubled. */
void XB_AppendQuote(XB_String& out, std::string_view text);

/* A duration such as "59s", "1m 0s", "2h 5m", "3d 4h", "14w 1d", "99w", "7y 12d". */
XB_String XB_Duration(uint32_t seconds);
/*
** Appends the duration of SECONDS in its largest two units.  The smaller
** unit is rounded but does not carry into the larger one.  From 215308801
** seconds on, years of 365 days and the whole remaining days are shown.
*/
void XB_AppendDuration(XB_String& out, uint32_t seconds);

/* The clock form "hh:mm:ss", or three spaces and "mm:ss" below one hour. */
XB_String XB_ClockTime(uint32_t seconds);
/* Appends the clock form of SECONDS. */
void XB_AppendClockTime(XB_String& out, uint32_t seconds);

/* "dd.mm.yyyy hh:mm:ss" in local time; nothing for values <= 0. */
XB_String XB_LongTimeXB(int64_t xbTime);
/* The converted text as a new string. */
XB_String XB_LongTimeUnix(int64_t unixTime);
/* Appends "dd.mm.yyyy hh:mm:ss" of UNIXTIME in local time; nothing for values <= 0. */
void XB_AppendLongTimeUnix(XB_String& out, int64_t unixTime);

/* The compact time stamp of XB time XBTIME as seen at XB time NOW: "hh:mm"
** today, "dd.mm. hh:mm" earlier this year, "dd.mm.yyyy hh:mm" in another
** year; nothing for values <= 0. */
XB_String XB_TimeStamp(int64_t xbTime);
/* Appends the compact time stamp of XBTIME as seen at NOW; nothing for values <= 0. */
void XB_AppendTimeStamp(XB_String& out, int64_t xbTime, int64_t now);

/* Decimal digits grouped by three with "." ("-1.234.567"). */
XB_String XB_Grouped(int64_t value);
/* Appends VALUE in decimal with "." between groups of three digits. */
void XB_AppendGrouped(XB_String& out, int64_t value);

/* A byte count such as "999", "0.98K", "100K", "1.5M", "0.98G". */
XB_String XB_ByteSize(uint32_t bytes);
/* Appends the byte size of BYTES with two, one or no decimals. */
void XB_AppendByteSize(XB_String& out, uint32_t bytes);

/* A transfer rate: the byte size of BYTESPERSECOND followed by "Bps ". */
XB_String XB_TransferRate(uint32_t bytesPerSecond);

/* A share in percent, "%.1f%% " of PERCENT. */
XB_String XB_Share(double percent);

#endif /* XB_TEXTCONV_H */
