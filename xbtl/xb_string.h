/*
** XB_String: the owning 8-bit text string used by every part of the tool set.
**
** Text is Latin-1 (one byte per character); the length is held explicitly,
** so a string may carry any byte, and c_str() always ends in a NUL byte.
** Formatting is printf-like but type-safe: every argument is captured with
** its type, a directive is checked against the argument it names, and no
** argument is ever read that the format does not name.  The extra
** directives (%D, %S?, %V, %T?, %t) are described in xb_format.cpp.
*/
#ifndef XB_STRING_H
#define XB_STRING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

class XB_String;
inline std::string_view XB_TextOrEmpty(const char* text);

/*
** One argument of a formatting call, captured together with its type.
** Integers keep their width and signedness so that %x of a negative int
** gives 8 hexadecimal digits and %d of a large unsigned value stays right.
*/
struct XB_FormatArg {
  enum Kind : unsigned char { K_NONE, K_INT, K_UINT, K_CHAR, K_DOUBLE, K_TEXT };

  Kind kind = K_NONE;
  unsigned char bits = 0; /* width of an integer argument: 8, 16, 32, 64 */
  bool isNull = false;    /* K_TEXT from an absent (null) const char* */
  union {
    long long i;
    unsigned long long u;
    double d;
  };
  const char* text = nullptr; /* K_TEXT: the bytes (not necessarily NUL-ended) */
  size_t textLength = 0;

  XB_FormatArg() : i(0) {}
  XB_FormatArg(const char* s);
  XB_FormatArg(std::nullptr_t) : i(0) {
    kind = K_TEXT;
    isNull = true;
    text = "";
  }
  XB_FormatArg(const std::string& s) : i(0) { SetText(s.data(), s.size()); }
  XB_FormatArg(std::string_view s) : i(0) { SetText(s.data(), s.size()); }
  XB_FormatArg(const XB_String& s);
  XB_FormatArg(char c) : i(static_cast<unsigned char>(c)) {
    kind = K_CHAR;
    bits = 8;
  }
  XB_FormatArg(bool b) : i(b ? 1 : 0) {
    kind = K_INT;
    bits = 8;
  }
  XB_FormatArg(double v) : d(v) { kind = K_DOUBLE; }
  XB_FormatArg(float v) : d(v) { kind = K_DOUBLE; }
  /* Pointers other than texts have no directive; refusing them at compile
  ** time keeps them from slipping through as booleans. */
  template <class T>
  XB_FormatArg(const T*) = delete;

  /* Every other integer type, and enumerations through their underlying type. */
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                          !std::is_same_v<T, char>,
                                      int> = 0>
  XB_FormatArg(T v) : i(0) {
    bits = static_cast<unsigned char>(sizeof(T) * 8);
    if constexpr (std::is_signed_v<T>) {
      kind = K_INT;
      i = static_cast<long long>(v);
    } else {
      kind = K_UINT;
      u = static_cast<unsigned long long>(v);
    }
  }
  template <class T, std::enable_if_t<std::is_enum_v<T>, int> = 0>
  XB_FormatArg(T v) : XB_FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}

 private:
  void SetText(const char* p, size_t n) {
    kind = K_TEXT;
    text = p;
    textLength = n;
  }
};

class XB_String {
 public:
  /* The text a string in the error state reads. */
  static constexpr const char* kErrorText = "XB_String ERROR";

  XB_String() = default;
  XB_String(const char* text) { Assign(text); }
  XB_String(const char* text, size_t length) { Assign(text, length); }
  XB_String(std::string_view text) : m_text(text) {}
  explicit XB_String(const std::string& text) : m_text(text) {}
  XB_String(const XB_String&) = default;
  XB_String(XB_String&&) noexcept = default;
  XB_String& operator=(const XB_String&) = default;
  XB_String& operator=(XB_String&&) noexcept = default;
  XB_String& operator=(const char* text) { return Assign(text); }
  XB_String& operator=(std::string_view text) { return Assign(text); }

  /* Access. */
  const char* c_str() const { return m_text.c_str(); }
  const char* Data() const { return m_text.data(); }
  size_t Length() const { return m_text.size(); }
  bool IsEmpty() const { return m_text.empty(); }
  std::string_view View() const { return m_text; }
  operator std::string_view() const { return m_text; }
  const std::string& Std() const { return m_text; }
  /* The byte at POS, or 0 when POS is outside the text. */
  char At(size_t pos) const { return pos < m_text.size() ? m_text[pos] : '\0'; }
  char operator[](size_t pos) const { return At(pos); }

  /* Assignment: an absent (null) text gives the empty string. */
  /* Sets the text to TEXT (empty for null); returns this string. */
  XB_String& Assign(const char* text);
  /* Sets the text to LENGTH bytes of TEXT (empty for null); returns this string. */
  XB_String& Assign(const char* text, size_t length);
  /* Sets the text to TEXT; returns this string. */
  XB_String& Assign(std::string_view text);
  void Clear() {
    m_text.clear();
    m_error = false;
  }
  void Reserve(size_t capacity) { m_text.reserve(capacity); }

  /* Appending; an absent text appends nothing. */
  /* Appends TEXT (nothing for null); returns this string. */
  XB_String& Append(const char* text);
  /* Appends LENGTH bytes of TEXT (nothing for null); returns this string. */
  XB_String& Append(const char* text, size_t length);
  XB_String& Append(std::string_view text) {
    m_text.append(text);
    return *this;
  }
  XB_String& Append(const XB_String& text) {
    m_text.append(text.m_text);
    return *this;
  }
  XB_String& Append(char c) {
    m_text.push_back(c);
    return *this;
  }
  XB_String& AppendRepeated(char c, size_t count) {
    m_text.append(count, c);
    return *this;
  }
  XB_String& operator+=(std::string_view text) { return Append(text); }
  XB_String& operator+=(const char* text) { return Append(text); }
  XB_String& operator+=(const XB_String& text) { return Append(text); }
  XB_String& operator+=(char c) { return Append(c); }
  /* Appends TEXT, preceded by SEPARATOR unless this string is empty. */
  XB_String& AppendSeparated(std::string_view separator, std::string_view text);
  XB_String& AppendSeparated(std::string_view separator, const char* text) {
    return AppendSeparated(separator, XB_TextOrEmpty(text));
  }

  /* Editing. */
  /* Removes whitespace (space, codes 1 to 13) at both ends; returns this string. */
  XB_String& Trim();
  /* Removes whitespace at the start; returns this string. */
  XB_String& TrimLeft();
  /* Removes whitespace at the end; returns this string. */
  XB_String& TrimRight();
  /* Keeps at most LENGTH bytes; returns this string. */
  XB_String& Truncate(size_t length);
  /* Removes COUNT bytes from POS on (clamped); returns this string. */
  XB_String& Erase(size_t pos, size_t count);
  /* Inserts TEXT before POS (clamped to the end); returns this string. */
  XB_String& Insert(size_t pos, std::string_view text);
  XB_String& Insert(size_t pos, const char* text) { return Insert(pos, XB_TextOrEmpty(text)); }
  /* Turns ASCII letters to upper case; returns this string. */
  XB_String& MakeUpper(); /* ASCII letters only */
  /* Turns ASCII letters to lower case; returns this string. */
  XB_String& MakeLower(); /* ASCII letters only */
  /*
  ** Replaces each occurrence of FROM by TO, left to right and without
  ** overlaps; the inserted text is not searched again.  Returns the number of
  ** replacements (0 for an empty FROM).
  */
  size_t ReplaceAll(std::string_view from, std::string_view to);
  size_t ReplaceAll(const char* from, const char* to) {
    return ReplaceAll(XB_TextOrEmpty(from), XB_TextOrEmpty(to));
  }
  /*
  ** Shortens a text longer than WIDTH: below width 5 it is cut to WIDTH,
  ** otherwise to WIDTH-2 characters followed by "..".  Returns this string.
  */
  XB_String& Shorten(size_t width);

  /* Pieces (clamped to the text). */
  /* The first COUNT bytes (all when shorter). */
  XB_String Left(size_t count) const;
  /* COUNT bytes from POS on, clamped to the text. */
  XB_String Mid(size_t pos, size_t count = std::string::npos) const;
  /* The last COUNT bytes (all when shorter). */
  XB_String Right(size_t count) const;

  /* Comparison: == counts letter case; the NoCase forms ignore ASCII case. */
  int Compare(std::string_view other) const;
  /* Comparison ignoring ASCII letter case: negative, 0 or positive. */
  int CompareNoCase(std::string_view other) const;
  bool EqualsNoCase(std::string_view other) const { return CompareNoCase(other) == 0; }
  /* An absent (null) text compares as the empty text. */
  int Compare(const char* other) const { return Compare(XB_TextOrEmpty(other)); }
  int CompareNoCase(const char* other) const { return CompareNoCase(XB_TextOrEmpty(other)); }
  bool EqualsNoCase(const char* other) const { return CompareNoCase(other) == 0; }
  friend bool operator==(const XB_String& a, const XB_String& b) { return a.m_text == b.m_text; }
  friend bool operator==(const XB_String& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const XB_String& a, const char* b) {
    return a.View() == std::string_view(b ? b : "");
  }
  friend bool operator<(const XB_String& a, const XB_String& b) { return a.m_text < b.m_text; }

  /* Searching: positions, or -1 when not found. */
  ptrdiff_t Find(std::string_view what, size_t from = 0) const;
  /* The position of C from FROM on, or -1. */
  ptrdiff_t Find(char c, size_t from = 0) const;
  /* The position of WHAT from FROM on, ignoring ASCII case, or -1. */
  ptrdiff_t FindNoCase(std::string_view what, size_t from = 0) const;
  /* The position of the last C, or -1. */
  ptrdiff_t ReverseFind(char c) const;
  bool Contains(std::string_view what) const { return Find(what) >= 0; }
  /* True when the text begins with PREFIX (letter case counts). */
  bool BeginsWith(std::string_view prefix) const;
  /* True when the text begins with PREFIX, ignoring ASCII case. */
  bool BeginsWithNoCase(std::string_view prefix) const;
  /* True when the text ends with SUFFIX (letter case counts). */
  bool EndsWith(std::string_view suffix) const;
  /* An absent (null) text is the empty text here too. */
  ptrdiff_t Find(const char* what, size_t from = 0) const {
    return Find(XB_TextOrEmpty(what), from);
  }
  ptrdiff_t FindNoCase(const char* what, size_t from = 0) const {
    return FindNoCase(XB_TextOrEmpty(what), from);
  }
  bool Contains(const char* what) const { return Find(what) >= 0; }
  bool BeginsWith(const char* prefix) const { return BeginsWith(XB_TextOrEmpty(prefix)); }
  bool BeginsWithNoCase(const char* prefix) const {
    return BeginsWithNoCase(XB_TextOrEmpty(prefix));
  }
  bool EndsWith(const char* suffix) const { return EndsWith(XB_TextOrEmpty(suffix)); }

  /* Error state: the string reads "XB_String ERROR" until it is reassigned. */
  void SetError();
  bool IsError() const { return m_error; }

  /*
  ** Takes the next word of TEXT from POS into WORD: leading whitespace is
  ** skipped; a word beginning with a double quote runs to its closing quote,
  ** any other word to the next whitespace.  The whitespace character that
  ** ends the word is consumed with it.  Returns the position after that;
  ** WORD is empty and the result is TEXT's length when no word is left.
  */
  static size_t NextWord(std::string_view text, size_t pos, XB_String& word);
  /* Takes the next word off the front of this string; false when none is left. */
  bool TakeWord(XB_String& word);

  /* Integer parse (decimal, "0x.."/"#.." hexadecimal); an absent text gives 0. */
  static int32_t ParseInt(const char* text);
  /*
  ** Reads an integer from TEXT: after leading spaces, "?x..." (longer than 2
  ** characters) and "#..." are hexadecimal (at most 8 digits); otherwise an
  ** optional sign and decimal digits within the first 12 characters.  A
  ** decimal value beyond the 32-bit range gives the nearest 32-bit value
  ** rather than a wrapped one.  Returns 0 for a text without digits.
  */
  static int32_t ParseInt(std::string_view text);
  int32_t ToInt() const { return ParseInt(View()); }

  /* Formatting: Format replaces the text, AppendFormat appends to it. */
  template <class... A>
  XB_String& Format(const char* format, const A&... args) {
    const XB_FormatArg list[] = {XB_FormatArg(args)..., XB_FormatArg()};
    return FormatArgs(format, list, sizeof...(A));
  }
  template <class... A>
  XB_String& AppendFormat(const char* format, const A&... args) {
    const XB_FormatArg list[] = {XB_FormatArg(args)..., XB_FormatArg()};
    return AppendFormatArgs(format, list, sizeof...(A));
  }
  /* A new string formatted from FORMAT and ARGS. */
  template <class... A>
  static XB_String Formatted(const char* format, const A&... args) {
    XB_String s;
    s.AppendFormat(format, args...);
    return s;
  }
  /* The non-template core: formats with COUNT captured arguments.  The
  ** format or an argument may be this string's own text. */
  XB_String& FormatArgs(const char* format, const XB_FormatArg* args, size_t count);
  XB_String& AppendFormatArgs(const char* format, const XB_FormatArg* args, size_t count);

 private:
  bool Holds(const char* format, const XB_FormatArg* args, size_t count) const;

  std::string m_text;
  bool m_error = false;
};

inline XB_FormatArg::XB_FormatArg(const char* s) : i(0) {
  if (!s) {
    kind = K_TEXT;
    isNull = true;
    text = "";
    return;
  }
  SetText(s, std::char_traits<char>::length(s));
}

inline XB_FormatArg::XB_FormatArg(const XB_String& s) : i(0) {
  SetText(s.Data(), s.Length());
}

/* TEXT, or the empty text for an absent (null) one. */
inline std::string_view XB_TextOrEmpty(const char* text) {
  return text ? std::string_view(text) : std::string_view();
}

/* True for the whitespace of word splitting and trimming: space and codes 1 to 13. */
inline bool XB_IsSpace(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u == ' ' || (u >= 1 && u <= 13);
}

#endif /* XB_STRING_H */
