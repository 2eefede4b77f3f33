/*
** The shared text conversions: escaping, quoting, durations, clock and
** time-stamp forms, digit grouping and byte sizes.  Every conversion looks
** at single bytes (Latin-1) and never fails.
*/
#include "xb_textconv.h"

#include <cstring>

#include "xb_time.h"

namespace {

/* One row of the HTML entity table. */
struct Entity {
  unsigned char character;
  const char* replacement;
};

/*
** The HTML entity table without the two quotes, which depend on the quote
** style.  No replacement contains a character that a later row replaces,
** so replacing each byte once gives the same text as applying the rows in
** turn, and every "&", "<" and ">" of the input is escaped exactly once.
*/
const Entity kEntities[] = {
    {0x26, "&amp;"},    {0x3C, "&lt;"},     {0x3E, "&gt;"},     {0xB2, "&sup2;"},
    {0xB3, "&sup3;"},   {0xB0, "&deg;"},    {0xB4, "&acute;"},  {0x60, "&#145;"},
    {0xE4, "&auml;"},   {0xFC, "&uuml;"},   {0xF6, "&ouml;"},   {0xC4, "&Auml;"},
    {0xDC, "&Uuml;"},   {0xD6, "&Ouml;"},   {0xDF, "&szlig;"},  {0xE1, "&aacute;"},
    {0xE9, "&eacute;"}, {0xED, "&iacute;"}, {0xF3, "&oacute;"}, {0xFA, "&uacute;"},
    {0xC1, "&Aacute;"}, {0xC9, "&Eacute;"}, {0xCD, "&Iacute;"}, {0xD3, "&Oacute;"},
    {0xDA, "&Uacute;"}, {0xE0, "&agrave;"}, {0xE8, "&egrave;"}, {0xEC, "&igrave;"},
    {0xF2, "&ograve;"}, {0xF9, "&ugrave;"}, {0xC0, "&Agrave;"}, {0xC8, "&Egrave;"},
    {0xCC, "&Igrave;"}, {0xD2, "&Ograve;"}, {0xD9, "&Ugrave;"}, {0xE2, "&acirc;"},
    {0xEA, "&ecirc;"},  {0xEE, "&icirc;"},  {0xF4, "&ocirc;"},  {0xFB, "&ucirc;"},
    {0xC2, "&Acirc;"},  {0xCA, "&Ecirc;"},  {0xCE, "&Icirc;"},  {0xD4, "&Ocirc;"},
    {0xDB, "&Ucirc;"},  {0xC3, "&Atilde;"}, {0xE3, "&atilde;"}, {0xC7, "&Ccedil;"},
    {0xE7, "&ccedil;"},
};

/* The 256-entry lookup of the entity table (null: keep the byte). */
struct EntityLookup {
  const char* replacement[256] = {};
  EntityLookup() {
    for (const Entity& e : kEntities) replacement[e.character] = e.replacement;
  }
};

const EntityLookup& Entities() {
  static const EntityLookup lookup;
  return lookup;
}

/* Appends VALUE zero-padded to two digits. */
void AppendTwoDigits(XB_String& out, int value) {
  out.Append(static_cast<char>('0' + (value / 10) % 10))
      .Append(static_cast<char>('0' + value % 10));
}

/* Appends VALUE space-padded to two characters, as "%2d" does. */
void AppendSpacePadded(XB_String& out, uint32_t value) {
  if (value < 10) out.Append(' ');
  out.AppendFormat("%u", value);
}

/* Appends the four-digit year YEAR (more digits if it has them). */
void AppendYear(XB_String& out, int year) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", year);
  out.Append(buf);
}

}  // namespace

void XB_AppendXmlEscape(XB_String& out, std::string_view text) {
  for (char c : text) {
    if (c == '&') {
      out.Append("&amp;");
    } else if (c == '<') {
      out.Append("&lt;");
    } else if (c == '>') {
      out.Append("&gt;");
    } else {
      out.Append(c);
    }
  }
}

XB_String XB_XmlEscape(std::string_view text) {
  XB_String out;
  XB_AppendXmlEscape(out, text);
  return out;
}

void XB_AppendHtmlEscape(XB_String& out, std::string_view text, int quoteStyle) {
  const EntityLookup& lookup = Entities();
  for (char c : text) {
    if (c == '\'') {
      out.Append(quoteStyle == XB_QUOTE_BACKSLASH ? "\\'" : "&#x27;");
      continue;
    }
    if (c == '"') {
      out.Append(quoteStyle == XB_QUOTE_BACKSLASH ? "\\\"" : "&quot;");
      continue;
    }
    const char* replacement = lookup.replacement[static_cast<unsigned char>(c)];
    if (replacement) {
      out.Append(replacement);
    } else {
      out.Append(c);
    }
  }
}

XB_String XB_HtmlEscape(std::string_view text, int quoteStyle) {
  XB_String out;
  XB_AppendHtmlEscape(out, text, quoteStyle);
  return out;
}

void XB_AppendCEscape(XB_String& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\\':
        out.Append("\\\\");
        break;
      case '\'':
        out.Append("\\'");
        break;
      case '"':
        out.Append("\\\"");
        break;
      case '\n':
        out.Append("\\n");
        break;
      case '\t':
        out.Append("\\t");
        break;
      default:
        out.Append(c);
        break;
    }
  }
}

XB_String XB_CEscape(std::string_view text) {
  XB_String out;
  XB_AppendCEscape(out, text);
  return out;
}

void XB_AppendUrlEscape(XB_String& out, std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    bool keep = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                u == '_' || u == '.' || u == '-' || u == '/' || u == ':';
    if (keep) {
      out.Append(c);
    } else if (u == '\\') {
      out.Append('/');
    } else {
      out.Append('%').Append(kHex[u >> 4]).Append(kHex[u & 15]);
    }
  }
}

XB_String XB_UrlEscape(std::string_view text) {
  XB_String out;
  XB_AppendUrlEscape(out, text);
  return out;
}

void XB_AppendQuote(XB_String& out, std::string_view text) {
  if (text.empty()) return;
  out.Append('"');
  for (char c : text) {
    if (c == '"') out.Append('"');
    out.Append(c);
  }
  out.Append('"');
}

XB_String XB_Quote(std::string_view text) {
  XB_String out;
  XB_AppendQuote(out, text);
  return out;
}

void XB_AppendDuration(XB_String& out, uint32_t s) {
  const uint32_t kYear = 365u * 86400u;
  if (s < 60) {
    out.AppendFormat("%us", s);
  } else if (s < 3600) {
    out.AppendFormat("%um", s / 60);
    AppendSpacePadded(out, s % 60);
    out.Append('s');
  } else if (s < 86400) {
    out.AppendFormat("%uh", s / 3600);
    AppendSpacePadded(out, ((s + 30) / 60) % 60);
    out.Append('m');
  } else if (s < 8553601) {
    out.AppendFormat("%ud", s / 86400);
    AppendSpacePadded(out, ((s + 1800) / 3600) % 24);
    out.Append('h');
  } else if (s < 59875201) {
    out.AppendFormat("%uw", s / 604800);
    AppendSpacePadded(out, static_cast<uint32_t>((static_cast<uint64_t>(s) + 43200) / 86400 % 7));
    out.Append('d');
  } else if (s < 215308801) {
    out.AppendFormat("%uw", s / 604800);
  } else {
    out.AppendFormat("%uy", s / kYear);
    AppendSpacePadded(out, (s % kYear) / 86400);
    out.Append('d');
  }
}

XB_String XB_Duration(uint32_t seconds) {
  XB_String out;
  XB_AppendDuration(out, seconds);
  return out;
}

void XB_AppendClockTime(XB_String& out, uint32_t s) {
  if (s >= 3600) {
    uint32_t hours = s / 3600;
    if (hours < 10) out.Append('0');
    out.AppendFormat("%u:", hours);
  } else {
    out.Append("   ");
  }
  AppendTwoDigits(out, static_cast<int>((s % 3600) / 60));
  out.Append(':');
  AppendTwoDigits(out, static_cast<int>(s % 60));
}

XB_String XB_ClockTime(uint32_t seconds) {
  XB_String out;
  XB_AppendClockTime(out, seconds);
  return out;
}

void XB_AppendLongTimeUnix(XB_String& out, int64_t unixTime) {
  struct tm f;
  if (unixTime <= 0 || !XB_LocalTime(unixTime, f)) return;
  AppendTwoDigits(out, f.tm_mday);
  out.Append('.');
  AppendTwoDigits(out, f.tm_mon + 1);
  out.Append('.');
  AppendYear(out, f.tm_year + 1900);
  out.Append(' ');
  AppendTwoDigits(out, f.tm_hour);
  out.Append(':');
  AppendTwoDigits(out, f.tm_min);
  out.Append(':');
  AppendTwoDigits(out, f.tm_sec);
}

XB_String XB_LongTimeUnix(int64_t unixTime) {
  XB_String out;
  XB_AppendLongTimeUnix(out, unixTime);
  return out;
}

XB_String XB_LongTimeXB(int64_t xbTime) {
  XB_String out;
  if (xbTime > 0) XB_AppendLongTimeUnix(out, XB_TimeToUnix(xbTime));
  return out;
}

void XB_AppendTimeStamp(XB_String& out, int64_t xbTime, int64_t now) {
  struct tm f;
  if (xbTime <= 0 || !XB_LocalTime(XB_TimeToUnix(xbTime), f)) return;
  if (!XB_TimeSameDay(xbTime, now)) {
    AppendTwoDigits(out, f.tm_mday);
    out.Append('.');
    AppendTwoDigits(out, f.tm_mon + 1);
    out.Append('.');
    if (!XB_TimeSameYear(xbTime, now)) AppendYear(out, f.tm_year + 1900);
    out.Append(' ');
  }
  AppendTwoDigits(out, f.tm_hour);
  out.Append(':');
  AppendTwoDigits(out, f.tm_min);
}

XB_String XB_TimeStamp(int64_t xbTime) {
  XB_String out;
  XB_AppendTimeStamp(out, xbTime, XB_TimeNow());
  return out;
}

void XB_AppendGrouped(XB_String& out, int64_t value) {
  out.AppendFormat("%D", value);
}

XB_String XB_Grouped(int64_t value) {
  XB_String out;
  XB_AppendGrouped(out, value);
  return out;
}

void XB_AppendByteSize(XB_String& out, uint32_t n) {
  const double K = 1024.0, M = 1048576.0, G = 1073741824.0;
  if (n < 1000) {
    out.AppendFormat("%u", n);
  } else if (n < 10240) {
    out.AppendFormat("%.2fK", n / K);
  } else if (n < 102400) {
    out.AppendFormat("%.1fK", n / K);
  } else if (n < 1024000) {
    out.AppendFormat("%uK", (n + 512) / 1024);
  } else if (n < 10485760) {
    out.AppendFormat("%.2fM", n / M);
  } else if (n < 104857600) {
    out.AppendFormat("%.1fM", n / M);
  } else if (n < 1048576000) {
    out.AppendFormat("%uM", (n + 524288) / 1048576);
  } else {
    out.AppendFormat("%.2fG", n / G);
  }
}

XB_String XB_ByteSize(uint32_t bytes) {
  XB_String out;
  XB_AppendByteSize(out, bytes);
  return out;
}

XB_String XB_TransferRate(uint32_t bytesPerSecond) {
  XB_String out;
  XB_AppendByteSize(out, bytesPerSecond);
  out.Append("Bps ");
  return out;
}

XB_String XB_Share(double percent) {
  return XB_String::Formatted("%.1f%% ", percent);
}
