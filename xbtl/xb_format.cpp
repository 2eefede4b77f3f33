/*
** XB_String formatting: the printf-like directives of the library.
**
** A directive is "%", optional flags (space: pad with spaces, "-": align
** left, "+": sign for %f), an optional width (a leading "0" pads with zeros),
** an optional "." and precision, and a conversion letter:
**
**   %%  "%"                    %c  a character
**   %d  %u  decimal; a width gives exactly that many digits, zero-filled on
**           the left (a longer number keeps its last digits)
**   %x  %X  upper-case hexadecimal, zero-padded to the width
**   %f  fixed point, rounded half up (precision at most 32, default 6)
**   %s  a text, cut to the width with ".." and padded with spaces
**   %S? a text cut like %s (not padded) and converted by the next letter:
**       h HTML-escaped, c backslash-escaped, f URL-escaped, q quoted
**   %V  a text (an XB_String)  %D  decimal grouped by three with "."
**   %Ts duration   %Tx clock form   %Tl XB time   %Tm Unix time
**   %t  (and %T with any other letter) compact time stamp of an XB time
**
** Arguments arrive as typed records, so a directive never reads more than
** it names and a wrong type is caught: such a directive, a directive
** without an argument and an unknown letter are logged and produce nothing.
*/
#include <cmath>
#include <cstdio>
#include <cstring>

#include "xb_log.h"
#include "xb_string.h"
#include "xb_textconv.h"
#include "xb_time.h"

namespace {

/* The parsed flags, width and precision of one directive. */
struct Directive {
  bool leftAlign = false;
  bool plusSign = false;
  char pad = ' ';
  long width = -1;
  long precision = -1;
};

/* Widths and precisions beyond this are taken as this (no format needs more). */
constexpr long kMaxWidth = 1L << 16;

/* True for an argument that the integer directives accept. */
bool IsInteger(const XB_FormatArg& arg) {
  return arg.kind == XB_FormatArg::K_INT || arg.kind == XB_FormatArg::K_UINT ||
         arg.kind == XB_FormatArg::K_CHAR;
}

/* The magnitude of an integer argument; NEGATIVE tells its sign. */
unsigned long long Magnitude(const XB_FormatArg& arg, bool& negative) {
  negative = arg.kind == XB_FormatArg::K_INT && arg.i < 0;
  if (negative) return 0ULL - static_cast<unsigned long long>(arg.i);
  return arg.u;
}

/* An integer argument as a signed 64-bit value (large unsigned values saturate). */
long long SignedValue(const XB_FormatArg& arg) {
  if (arg.kind == XB_FormatArg::K_INT) return arg.i;
  return arg.u > static_cast<unsigned long long>(INT64_MAX) ? INT64_MAX
                                                            : static_cast<long long>(arg.u);
}

/* The bits of an integer argument as an unsigned value of its own width. */
unsigned long long UnsignedBits(const XB_FormatArg& arg) {
  if (arg.kind != XB_FormatArg::K_INT || arg.bits >= 64) return arg.u;
  return arg.u & ((1ULL << arg.bits) - 1);
}

/* Writes the decimal digits of VALUE backwards ending at END; returns the first. */
char* DecimalDigits(unsigned long long value, char* end) {
  do {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  return end;
}

/* %d %u: "-" and the digits; a width gives exactly that many digits. */
void AppendDecimal(XB_String& out, const XB_FormatArg& arg, const Directive& d) {
  bool negative;
  char buf[24];
  char* end = buf + sizeof buf;
  char* first = DecimalDigits(Magnitude(arg, negative), end);
  size_t length = static_cast<size_t>(end - first);
  if (negative) out.Append('-');
  if (d.width > 0) {
    size_t width = static_cast<size_t>(d.width);
    if (length > width) {
      first = end - width;
      length = width;
    } else {
      out.AppendRepeated('0', width - length);
    }
  }
  out.Append(first, length);
}

/* %x %X: upper-case hexadecimal, zero-padded to the width. */
void AppendHex(XB_String& out, const XB_FormatArg& arg, const Directive& d) {
  static const char kDigits[] = "0123456789ABCDEF";
  unsigned long long value = UnsignedBits(arg);
  char buf[20];
  char* end = buf + sizeof buf;
  char* first = end;
  do {
    *--first = kDigits[value & 15];
    value >>= 4;
  } while (value);
  size_t length = static_cast<size_t>(end - first);
  if (d.width > 0 && static_cast<size_t>(d.width) > length)
    out.AppendRepeated('0', static_cast<size_t>(d.width) - length);
  out.Append(first, length);
}

/* Pads BODY (already in OUT from START on) to the width of D with spaces. */
void PadField(XB_String& out, size_t start, const Directive& d) {
  if (d.width <= 0) return;
  size_t length = out.Length() - start;
  size_t width = static_cast<size_t>(d.width);
  if (length >= width) return;
  if (d.leftAlign) {
    out.AppendRepeated(' ', width - length);
  } else {
    out.Insert(start, std::string(width - length, ' '));
  }
}

/* %D: grouped decimal, right-aligned with spaces to the width. */
void AppendGroupedField(XB_String& out, const XB_FormatArg& arg, const Directive& d) {
  size_t start = out.Length();
  bool negative;
  unsigned long long magnitude = Magnitude(arg, negative);
  char buf[40];
  char* end = buf + sizeof buf;
  char* first = end;
  int inGroup = 0;
  do {
    if (inGroup == 3) {
      *--first = '.';
      inGroup = 0;
    }
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
    inGroup++;
  } while (magnitude);
  if (negative) *--first = '-';
  out.Append(first, static_cast<size_t>(end - first));
  PadField(out, start, d);
}

/* Rounds the decimal text DIGITS (no sign, may hold one ".") half up so
** that PRECISION decimals remain; returns the rounded text. */
std::string RoundHalfUp(const std::string& digits, int precision) {
  size_t point = digits.find('.');
  if (point == std::string::npos) point = digits.size();
  std::string result = digits.substr(0, point);
  if (precision > 0) {
    result.push_back('.');
    result.append(digits, point + 1, static_cast<size_t>(precision));
  }
  size_t next = point + 1 + static_cast<size_t>(precision);
  bool roundUp = next < digits.size() && digits[next] >= '5';
  if (!roundUp) return result;
  for (size_t i = result.size(); i-- > 0;) {
    if (result[i] == '.') continue;
    if (result[i] < '9') {
      result[i]++;
      return result;
    }
    result[i] = '0';
  }
  result.insert(result.begin(), '1');
  return result;
}

/* True when the decimal text holds only zeros (and perhaps a "."). */
bool IsAllZero(const std::string& digits) {
  return digits.find_first_not_of("0.") == std::string::npos;
}

/* %f: fixed point rounded half up, with sign, width and padding. */
void AppendFixed(XB_String& out, double value, const Directive& d) {
  int precision = d.precision < 0 ? 6 : static_cast<int>(d.precision > 32 ? 32 : d.precision);
  bool negative = std::signbit(value);
  double magnitude = std::fabs(value);
  std::string body;
  if (std::isnan(value)) {
    body = "nan";
    negative = false;
  } else if (std::isinf(value)) {
    body = "inf";
  } else {
    /* Enough decimals that the expansion is exact, so the rounding decision
    ** looks at the true value and not at an already rounded one. */
    int exponent = 0;
    std::frexp(magnitude, &exponent);
    int exact = 53 - exponent;
    if (exact < precision + 1) exact = precision + 1;
    if (exact > 1100) exact = 1100;
    std::string wide(static_cast<size_t>(exact) + 400, '\0');
    int n = std::snprintf(wide.data(), wide.size(), "%.*f", exact, magnitude);
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    body = RoundHalfUp(wide, precision);
    if (IsAllZero(body)) negative = false;
  }
  std::string sign = negative ? "-" : (d.plusSign ? "+" : "");
  size_t length = sign.size() + body.size();
  size_t width = d.width > 0 ? static_cast<size_t>(d.width) : 0;
  size_t fill = width > length ? width - length : 0;
  if (d.leftAlign) {
    out.Append(sign).Append(body).AppendRepeated(' ', fill);
  } else if (d.pad == '0') {
    out.Append(sign).AppendRepeated('0', fill).Append(body);
  } else {
    out.AppendRepeated(' ', fill).Append(sign).Append(body);
  }
}

/* The text of a %s/%S argument, cut to the width as %s cuts it. */
std::string_view CutText(const XB_FormatArg& arg, const Directive& d, std::string& scratch) {
  std::string_view text(arg.text, arg.textLength);
  if (d.precision >= 0 && text.size() > static_cast<size_t>(d.precision)) {
    text = text.substr(0, static_cast<size_t>(d.precision));
  }
  if (d.width < 0 || text.size() <= static_cast<size_t>(d.width)) return text;
  size_t width = static_cast<size_t>(d.width);
  if (width < 5) return text.substr(0, width);
  scratch.assign(text.substr(0, width - 2));
  scratch.append("..");
  return scratch;
}

/* %s: the cut text padded with spaces to the width. */
void AppendTextField(XB_String& out, const XB_FormatArg& arg, const Directive& d) {
  std::string scratch;
  std::string_view text = CutText(arg, d, scratch);
  size_t width = d.width > 0 ? static_cast<size_t>(d.width) : 0;
  size_t fill = width > text.size() ? width - text.size() : 0;
  if (!d.leftAlign) out.AppendRepeated(' ', fill);
  out.Append(text);
  if (d.leftAlign) out.AppendRepeated(' ', fill);
}

/* Logs a formatting error about directive letter LETTER in FORMAT. */
void LogProblem(const char* what, char letter, const char* format) {
  XB_String text("E_ XB_String::Format: ");
  text.Append(what).Append(" for %").Append(letter).Append(" in \"").Append(format).Append('"');
  XB_Log(text);
}

/* Formats FORMAT with ARGS into OUT (see the top of this file). */
class Formatter {
 public:
  Formatter(XB_String& out, const char* format, const XB_FormatArg* args, size_t count)
      : m_out(out), m_format(format), m_args(args), m_count(count) {}

  void Run();

 private:
  const XB_FormatArg* TakeArg(char letter);
  bool Expect(const XB_FormatArg* arg, bool ok, char letter);
  void Convert(char letter, const Directive& d, const char*& p);
  void ConvertText(char letter, const Directive& d, const char*& p);
  void ConvertTime(const Directive& d, const char*& p, char kind);

  XB_String& m_out;
  const char* m_format;
  const XB_FormatArg* m_args;
  size_t m_count;
  size_t m_next = 0;
};

/* The next argument, or null (logged) when the directive has none. */
const XB_FormatArg* Formatter::TakeArg(char letter) {
  if (m_next < m_count) return &m_args[m_next++];
  LogProblem("missing argument", letter, m_format);
  return nullptr;
}

/* True when ARG is present and OK; logs a wrong type. */
bool Formatter::Expect(const XB_FormatArg* arg, bool ok, char letter) {
  if (!arg) return false;
  if (!ok) LogProblem("argument of the wrong type", letter, m_format);
  return ok;
}

/* Runs through the format and appends the result. */
void Formatter::Run() {
  const char* p = m_format;
  while (*p) {
    const char* percent = std::strchr(p, '%');
    if (!percent) {
      m_out.Append(p);
      break;
    }
    m_out.Append(p, static_cast<size_t>(percent - p));
    p = percent + 1;
    if (*p == '%') {
      m_out.Append('%');
      p++;
      continue;
    }
    Directive d;
    for (;; p++) {
      if (*p == '-') {
        d.leftAlign = true;
      } else if (*p == '+') {
        d.plusSign = true;
      } else if (*p != ' ') {
        break;
      }
    }
    if (*p == '0') d.pad = '0';
    if (*p >= '0' && *p <= '9') {
      d.width = 0;
      for (; *p >= '0' && *p <= '9'; p++) d.width = std::min(kMaxWidth, d.width * 10 + (*p - '0'));
    }
    if (*p == '.') {
      d.precision = 0;
      for (p++; *p >= '0' && *p <= '9'; p++)
        d.precision = std::min(kMaxWidth, d.precision * 10 + (*p - '0'));
    }
    if (!*p) break;
    char letter = *p++;
    Convert(letter, d, p);
  }
}

/* Handles one directive whose conversion letter is LETTER; P is after it. */
void Formatter::Convert(char letter, const Directive& d, const char*& p) {
  switch (letter) {
    case 'd':
    case 'u':
    case 'x':
    case 'X':
    case 'c':
    case 'D': {
      const XB_FormatArg* arg = TakeArg(letter);
      if (!Expect(arg, arg && IsInteger(*arg), letter)) return;
      if (letter == 'x' || letter == 'X') {
        AppendHex(m_out, *arg, d);
      } else if (letter == 'c') {
        char c = static_cast<char>(arg->u & 0xFF);
        if (c) m_out.Append(c);
      } else if (letter == 'D') {
        AppendGroupedField(m_out, *arg, d);
      } else {
        AppendDecimal(m_out, *arg, d);
      }
      return;
    }
    case 'f': {
      const XB_FormatArg* arg = TakeArg(letter);
      bool number = arg && (arg->kind == XB_FormatArg::K_DOUBLE || IsInteger(*arg));
      if (!Expect(arg, number, letter)) return;
      double value = arg->kind == XB_FormatArg::K_DOUBLE ? arg->d
                     : arg->kind == XB_FormatArg::K_INT  ? static_cast<double>(arg->i)
                                                         : static_cast<double>(arg->u);
      AppendFixed(m_out, value, d);
      return;
    }
    case 's':
    case 'S':
    case 'V':
      ConvertText(letter, d, p);
      return;
    case 'T': {
      char kind = *p;
      if (kind) p++;
      ConvertTime(d, p, static_cast<char>(kind >= 'A' && kind <= 'Z' ? kind + 32 : kind));
      return;
    }
    case 't':
      ConvertTime(d, p, 't');
      return;
    default:
      LogProblem("unknown directive", letter, m_format);
      return;
  }
}

/* %s, %S? and %V. */
void Formatter::ConvertText(char letter, const Directive& d, const char*& p) {
  char conversion = 0;
  if (letter == 'S' && *p) conversion = *p++;
  const XB_FormatArg* arg = TakeArg(letter);
  if (!Expect(arg, arg && arg->kind == XB_FormatArg::K_TEXT, letter)) return;
  if (letter == 'V') {
    m_out.Append(arg->text, arg->textLength);
    return;
  }
  if (letter == 's') {
    AppendTextField(m_out, *arg, d);
    return;
  }
  std::string scratch;
  std::string_view text = CutText(*arg, d, scratch);
  switch (conversion) {
    case 'h':
      XB_AppendHtmlEscape(m_out, text, XB_QUOTE_ENTITY);
      break;
    case 'c':
      XB_AppendCEscape(m_out, text);
      break;
    case 'f':
      XB_AppendUrlEscape(m_out, text);
      break;
    case 'q':
      XB_AppendQuote(m_out, text);
      break;
    default:
      m_out.Append(text);
      break;
  }
}

/* %Ts %Tx %Tl %Tm and the compact time stamp (KIND 't' or any other letter). */
void Formatter::ConvertTime(const Directive& d, const char*& p, char kind) {
  const XB_FormatArg* arg = TakeArg(kind == 't' ? 't' : 'T');
  if (!Expect(arg, arg && IsInteger(*arg), 'T')) return;
  long long value = SignedValue(*arg);
  switch (kind) {
    case 's':
      XB_AppendDuration(m_out, static_cast<uint32_t>(value));
      break;
    case 'x':
      XB_AppendClockTime(m_out, static_cast<uint32_t>(value));
      break;
    case 'l':
      if (value > 0) XB_AppendLongTimeUnix(m_out, XB_TimeToUnix(value));
      break;
    case 'm':
      if (value > 0) XB_AppendLongTimeUnix(m_out, value);
      break;
    default:
      XB_AppendTimeStamp(m_out, value, XB_TimeNow());
      break;
  }
}

}  // namespace

/* True when FORMAT or a text argument points into this string's own buffer. */
bool XB_String::Holds(const char* format, const XB_FormatArg* args, size_t count) const {
  auto begin = reinterpret_cast<uintptr_t>(m_text.data());
  auto end = begin + m_text.capacity() + 1;
  auto inside = reinterpret_cast<uintptr_t>(format);
  if (inside >= begin && inside < end) return true;
  for (size_t i = 0; i < count; i++) {
    if (args[i].kind != XB_FormatArg::K_TEXT) continue;
    auto at = reinterpret_cast<uintptr_t>(args[i].text);
    if (at >= begin && at < end) return true;
  }
  return false;
}

/* Replaces the text by FORMAT formatted with the COUNT records of ARGS. */
XB_String& XB_String::FormatArgs(const char* format, const XB_FormatArg* args, size_t count) {
  if (Holds(format, args, count)) {
    /* Formatting into a fresh string keeps the argument's bytes intact. */
    XB_String result;
    result.AppendFormatArgs(format, args, count);
    *this = std::move(result);
    return *this;
  }
  m_text.clear();
  m_error = false;
  return AppendFormatArgs(format, args, count);
}

/* Appends FORMAT formatted with the COUNT records of ARGS; an absent format
** puts the string into the error state.  Returns this string. */
XB_String& XB_String::AppendFormatArgs(const char* format, const XB_FormatArg* args, size_t count) {
  if (!format) {
    XB_Log("E_ XB_String::Format: no format");
    SetError();
    return *this;
  }
  if (Holds(format, args, count)) {
    /* Growing this string could move the bytes an argument points to. */
    XB_String result(*this);
    Formatter(result, format, args, count).Run();
    *this = std::move(result);
    return *this;
  }
  Formatter(*this, format, args, count).Run();
  return *this;
}
