/*
** XB_Value: parsing from text, the display and stored texts and the integer
** reading (see xb_value.h).
*/
#include "xb_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "xb_keytext.h"

/* The kind bit that marks a cached display text on the non-text kinds. */
static constexpr uint16_t kCachedText = 0x80;

static bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/* Returns TEXT without its leading blanks (space and bytes 0 to 13). */
static std::string_view SkipBlanks(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && XB_IsBlank(text[at])) at++;
  return text.substr(at);
}

/* Returns the value of up to 8 hexadecimal digits at the start of TEXT. */
static int32_t ParseHexDigits(std::string_view text) {
  uint32_t value = 0;
  for (size_t i = 0; i < text.size() && i < 8; i++) {
    char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<uint32_t>(c - 'A' + 10);
    else
      break;
    value = value * 16 + digit;
  }
  return static_cast<int32_t>(value);
}

/* Returns the decimal number at the start of TEXT (optional sign, fraction,
** exponent), or 0 when there is none.  Independent of the C locale. */
static double ParseReal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  double value = 0.0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc()) return 0.0;
  return negative ? -value : value;
}

XB_Value XB_Value::FromNumber(uint16_t kind, int32_t number) {
  XB_Value value;
  value.m_kind = kind;
  value.m_number = number;
  return value;
}

XB_Value XB_Value::Range(int16_t first, int16_t second) {
  uint32_t packed =
      static_cast<uint16_t>(first) | (static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16);
  return FromNumber(VK_RANGE, static_cast<int32_t>(packed));
}

int16_t XB_Value::RangeSecond() const {
  return static_cast<int16_t>((static_cast<uint32_t>(m_number) >> 16) & 0xFFFF);
}

XB_Value XB_Value::FromText(std::string_view text) {
  std::string_view rest = SkipBlanks(text);
  if (!rest.empty() && rest[0] == '"') {
    // The opening quote goes, and the last character when a closing quote
    // follows somewhere; an unclosed "a keeps its letter.
    std::string_view inner = rest.substr(1);
    if (inner.find('"') != std::string_view::npos) inner.remove_suffix(1);
    return XB_Value(inner);
  }
  if (!rest.empty() && rest[0] == '#') return FromNumber(VK_HASH, ParseHexDigits(rest.substr(1)));
  if (rest == "true") return XB_Value(true);
  if (rest == "false") return XB_Value(false);
  /* A text that begins with a letter is a word, whatever dots it holds
  ** ("www.example.com" must not become the real 0.000). */
  bool word = !rest.empty() && IsAsciiLetter(rest[0]);
  if (!word) {
    size_t dots = rest.find("..");
    if (dots != std::string_view::npos) {
      int32_t first = XB_String::ParseInt(rest.substr(0, dots));
      int32_t second = XB_String::ParseInt(rest.substr(dots + 2));
      return Range(static_cast<int16_t>(first), static_cast<int16_t>(second));
    }
    if (rest.find('.') != std::string_view::npos) return XB_Value(ParseReal(rest));
  }
  if (word) return XB_Value(rest);
  return XB_Value(XB_String::ParseInt(rest));
}

void XB_Value::SetText(std::string_view text) {
  m_text = text;
  m_kind = VK_TEXT;
}

uint16_t XB_Value::Kind() const {
  if (m_kind == VK_TEXT) return VK_TEXT;
  return static_cast<uint16_t>(m_kind & ~kCachedText);
}

XB_String XB_Value::MakeDisplayText() const {
  switch (Kind()) {
    case VK_REAL:
      return XB_String::Formatted("%.3f", m_real);
    case VK_HASH:
      return XB_String::Formatted("#%X", static_cast<uint32_t>(m_number));
    case VK_BOOL:
      return XB_String(m_number ? "true" : "false");
    case VK_DATETIME:
      if (m_number <= 0) return XB_String();
      return XB_String::Formatted("%t", m_number);
    case VK_RANGE:
      return XB_String::Formatted("%d..%d", RangeFirst(), RangeSecond());
    case VK_INT:
    case VK_HEX:
      return XB_String::Formatted("%d", m_number);
    default:
      return XB_String("(null)");
  }
}

const XB_String& XB_Value::AsText() const {
  static const XB_String none("(null)");
  if (m_kind == VK_TEXT) return m_text;
  if (m_kind == VK_NONE) return none;
  if (!(m_kind & kCachedText)) {
    m_text = MakeDisplayText();
    m_kind = static_cast<uint16_t>(m_kind | kCachedText);
  }
  return m_text;
}

XB_String XB_Value::StoredText(bool hexInt) const {
  switch (Kind()) {
    case VK_TEXT: {
      XB_String out("\"");
      out += m_text;
      out += '"';
      return out;
    }
    case VK_HEX:
      return XB_String::Formatted("0x%X", static_cast<uint32_t>(m_number));
    case VK_INT:
      if (hexInt) return XB_String::Formatted("0x%X", static_cast<uint32_t>(m_number));
      return XB_String::Formatted("%d", m_number);
    case VK_DATETIME:
      if (m_number == 0) return XB_String("(null)");
      return AsText();
    case VK_NONE:
      return XB_String();
    default:
      return AsText();
  }
}

/* Returns REAL rounded to the nearest integer, halves away from zero,
** limited to the 32-bit range. */
static int32_t RoundReal(double real) {
  if (std::isnan(real)) return 0;
  double rounded = std::round(real);
  if (rounded >= 2147483647.0) return INT32_MAX;
  if (rounded <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(rounded);
}

/* Returns true when TEXT holds only blanks and digits, allowing one sign
** before the first digit (so "-5" reads as -5, not 0). */
static bool IsDecimalText(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  for (char c : text) {
    if (!XB_IsBlank(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

int32_t XB_Value::IntValue() const {
  switch (Kind()) {
    case VK_NONE:
      return 0;
    case VK_REAL:
      return RoundReal(m_real);
    case VK_TEXT:
      break;
    default:
      return m_number;
  }
  std::string_view text = SkipBlanks(m_text.View());
  XB_String lower(text);
  lower.MakeLower();
  if (lower == "true") return 1;
  if (lower == "false") return 0;
  if (IsDecimalText(text)) return XB_String::ParseInt(text);
  if (!text.empty() && text[0] == '#') return ParseHexDigits(text.substr(1));
  return 0;
}

int32_t XB_Value::AsInt() {
  int32_t number = IntValue();
  if (m_kind != VK_TEXT) return number;
  std::string_view text = SkipBlanks(m_text.View());
  if (XB_String(text).EqualsNoCase("true") || XB_String(text).EqualsNoCase("false")) {
    m_number = number;
    m_kind = VK_BOOL;
  } else if (!text.empty() && text[0] == '#') {
    m_number = number;
    m_kind = VK_HASH;
  }
  return number;
}

bool operator==(const XB_Value& a, const XB_Value& b) {
  if (a.Kind() != b.Kind()) return false;
  switch (a.Kind()) {
    case VK_NONE:
      return true;
    case VK_TEXT:
      return a.m_text == b.m_text;
    case VK_REAL:
      return a.m_real == b.m_real;
    default:
      return a.m_number == b.m_number;
  }
}
