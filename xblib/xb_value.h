/*
** XB_Value: the small tagged value held by every plain parameter.
**
** A value is one of a few kinds (boolean, integer written in decimal, in
** hexadecimal with "0x" or with "#", date-time, range of two 16-bit bounds,
** real, text) and knows its two text forms: the display text that dialogs
** and statements show, and the stored text that a settings file keeps and
** that FromText reads back.  On the non-text kinds the text field caches the
** display text; bit 0x80 of the kind word marks that the cache is filled.
*/
#ifndef XB_VALUE_H
#define XB_VALUE_H

#include <cstdint>
#include <string_view>

#include "xb_string.h"

/* Value kinds. */
enum : uint16_t {
  VK_NONE = 0,
  VK_BOOL = 1,
  VK_HEX = 2,
  VK_INT = 4,
  VK_HASH = 8,
  VK_DATETIME = 16,
  VK_RANGE = 32,
  VK_REAL = 64,
  VK_TEXT = 128
};

class XB_Value {
 public:
  /* An empty value (VK_NONE). */
  XB_Value() = default;
  /* An integer (VK_INT), a boolean (VK_BOOL), a real (VK_REAL), a text
  ** (VK_TEXT, not parsed; an absent text is empty). */
  explicit XB_Value(int32_t number) : m_number(number), m_kind(VK_INT) {}
  explicit XB_Value(bool flag) : m_number(flag ? 1 : 0), m_kind(VK_BOOL) {}
  explicit XB_Value(double real) : m_real(real), m_kind(VK_REAL) {}
  explicit XB_Value(const char* text) : m_text(text), m_kind(VK_TEXT) {}
  explicit XB_Value(std::string_view text) : m_text(text), m_kind(VK_TEXT) {}
  explicit XB_Value(const XB_String& text) : m_text(text), m_kind(VK_TEXT) {}

  /* Returns a value of KIND holding NUMBER: VK_HEX, VK_HASH, VK_DATETIME or
  ** any other integer kind. */
  static XB_Value FromNumber(uint16_t kind, int32_t number);
  /* Returns a range from FIRST to SECOND. */
  static XB_Value Range(int16_t first, int16_t second);
  /* Returns the value that TEXT describes.  This is the one grammar of value
  ** texts, for parameters and for the settings file alike.  After leading
  ** blanks (space and bytes 0 to 13) the first matching rule decides: a
  ** double quote starts a text (the opening quote dropped, and the last
  ** character when another quote follows), "#" a VK_HASH of up to 8 hex
  ** digits, exactly "true"/"false" a boolean, a leading ASCII letter a text
  ** (whatever dots it holds: "www.example.com" is a text), ".." a range,
  ** "." a real, anything else an integer by XB_String::ParseInt. */
  static XB_Value FromText(std::string_view text);

  /* Makes this value the text TEXT (VK_TEXT) without parsing it. */
  void SetText(std::string_view text);

  /* Returns the kind (VK_NONE .. VK_TEXT), without the cache mark. */
  uint16_t Kind() const;
  bool IsText() const { return m_kind == VK_TEXT; }
  bool IsNone() const { return m_kind == VK_NONE; }

  /* Returns the raw fields: the number (boolean, integer, date-time or the
  ** packed range) and the real. */
  int32_t Number() const { return m_number; }
  double Real() const { return m_real; }
  /* Returns the two bounds of a range. */
  int16_t RangeFirst() const { return static_cast<int16_t>(m_number & 0xFFFF); }
  int16_t RangeSecond() const;

  /* Returns the display text (cached for the non-text kinds). */
  const XB_String& AsText() const;
  /* Returns the stored text; HEXINT writes a VK_INT in hexadecimal with "0x". */
  XB_String StoredText(bool hexInt = false) const;
  /* Returns the integer reading of the value.  A text "true"/"false" turns
  ** the value into a VK_BOOL and a "#" text into a VK_HASH. */
  int32_t AsInt();
  /* Returns the integer reading without changing the value. */
  int32_t IntValue() const;

  /* Returns true when A and B have the same kind and the same content. */
  friend bool operator==(const XB_Value& a, const XB_Value& b);

 private:
  /* Returns the display text of a non-text kind. */
  XB_String MakeDisplayText() const;

  mutable XB_String m_text;
  int32_t m_number = 0;
  double m_real = 0.0;
  mutable uint16_t m_kind = VK_NONE;
};

#endif /* XB_VALUE_H */
