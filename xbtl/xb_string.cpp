/*
** The plain operations of XB_String: assignment, appending, trimming,
** comparison, searching, replacing, shortening, the word splitter and the
** integer parse.  Formatting lives in xb_format.cpp.
*/
#include "xb_string.h"

#include <algorithm>
#include <climits>

/* The ASCII lower-case form of C; other bytes are returned unchanged. */
static inline unsigned char LowerAscii(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
}

XB_String& XB_String::Assign(const char* text) {
  m_error = false;
  if (!text) {
    m_text.clear();
    return *this;
  }
  m_text.assign(text);
  return *this;
}

XB_String& XB_String::Assign(const char* text, size_t length) {
  m_error = false;
  if (!text) {
    m_text.clear();
    return *this;
  }
  m_text.assign(text, length);
  return *this;
}

XB_String& XB_String::Assign(std::string_view text) {
  m_error = false;
  m_text.assign(text.data(), text.size());
  return *this;
}

XB_String& XB_String::Append(const char* text) {
  if (text) m_text.append(text);
  return *this;
}

XB_String& XB_String::Append(const char* text, size_t length) {
  if (text) m_text.append(text, length);
  return *this;
}

XB_String& XB_String::AppendSeparated(std::string_view separator, std::string_view text) {
  if (m_text.empty()) {
    m_text.append(text);
    return *this;
  }
  /* One call, so that TEXT may be this string's own text. */
  std::string piece;
  piece.reserve(separator.size() + text.size());
  piece.append(separator).append(text);
  m_text.append(piece);
  return *this;
}

XB_String& XB_String::Trim() {
  TrimRight();
  return TrimLeft();
}

XB_String& XB_String::TrimLeft() {
  size_t start = 0;
  while (start < m_text.size() && XB_IsSpace(m_text[start])) start++;
  m_text.erase(0, start);
  return *this;
}

XB_String& XB_String::TrimRight() {
  size_t end = m_text.size();
  while (end > 0 && XB_IsSpace(m_text[end - 1])) end--;
  m_text.resize(end);
  return *this;
}

XB_String& XB_String::Truncate(size_t length) {
  if (length < m_text.size()) m_text.resize(length);
  return *this;
}

XB_String& XB_String::Erase(size_t pos, size_t count) {
  if (pos < m_text.size()) m_text.erase(pos, count);
  return *this;
}

XB_String& XB_String::Insert(size_t pos, std::string_view text) {
  m_text.insert(std::min(pos, m_text.size()), text);
  return *this;
}

XB_String& XB_String::MakeUpper() {
  for (char& c : m_text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return *this;
}

XB_String& XB_String::MakeLower() {
  for (char& c : m_text) c = static_cast<char>(LowerAscii(c));
  return *this;
}

size_t XB_String::ReplaceAll(std::string_view from, std::string_view to) {
  if (from.empty()) return 0;
  size_t found = m_text.find(from);
  if (found == std::string::npos) return 0;
  std::string result;
  result.reserve(m_text.size());
  size_t done = 0;
  size_t count = 0;
  while (found != std::string::npos) {
    result.append(m_text, done, found - done);
    result.append(to);
    done = found + from.size();
    count++;
    found = m_text.find(from, done);
  }
  result.append(m_text, done, std::string::npos);
  m_text.swap(result);
  return count;
}

XB_String& XB_String::Shorten(size_t width) {
  if (m_text.size() <= width) return *this;
  if (width < 5) {
    m_text.resize(width);
    return *this;
  }
  m_text.resize(width - 2);
  m_text.append("..");
  return *this;
}

XB_String XB_String::Left(size_t count) const {
  return XB_String(std::string_view(m_text).substr(0, count));
}

XB_String XB_String::Mid(size_t pos, size_t count) const {
  if (pos >= m_text.size()) return XB_String();
  return XB_String(std::string_view(m_text).substr(pos, count));
}

XB_String XB_String::Right(size_t count) const {
  if (count >= m_text.size()) return *this;
  return XB_String(std::string_view(m_text).substr(m_text.size() - count));
}

int XB_String::Compare(std::string_view other) const {
  int c = View().compare(other);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int XB_String::CompareNoCase(std::string_view other) const {
  size_t n = std::min(m_text.size(), other.size());
  for (size_t i = 0; i < n; i++) {
    unsigned char a = LowerAscii(m_text[i]);
    unsigned char b = LowerAscii(other[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (m_text.size() == other.size()) return 0;
  return m_text.size() < other.size() ? -1 : 1;
}

ptrdiff_t XB_String::Find(std::string_view what, size_t from) const {
  size_t at = m_text.find(what, from);
  return at == std::string::npos ? -1 : static_cast<ptrdiff_t>(at);
}

ptrdiff_t XB_String::Find(char c, size_t from) const {
  size_t at = m_text.find(c, from);
  return at == std::string::npos ? -1 : static_cast<ptrdiff_t>(at);
}

ptrdiff_t XB_String::FindNoCase(std::string_view what, size_t from) const {
  if (what.size() > m_text.size()) return -1;
  for (size_t at = from; at + what.size() <= m_text.size(); at++) {
    size_t i = 0;
    while (i < what.size() && LowerAscii(m_text[at + i]) == LowerAscii(what[i])) i++;
    if (i == what.size()) return static_cast<ptrdiff_t>(at);
  }
  return -1;
}

ptrdiff_t XB_String::ReverseFind(char c) const {
  size_t at = m_text.rfind(c);
  return at == std::string::npos ? -1 : static_cast<ptrdiff_t>(at);
}

bool XB_String::BeginsWith(std::string_view prefix) const {
  return View().substr(0, prefix.size()) == prefix;
}

bool XB_String::BeginsWithNoCase(std::string_view prefix) const {
  if (prefix.size() > m_text.size()) return false;
  return XB_String(View().substr(0, prefix.size())).CompareNoCase(prefix) == 0;
}

bool XB_String::EndsWith(std::string_view suffix) const {
  return suffix.size() <= m_text.size() && View().substr(m_text.size() - suffix.size()) == suffix;
}

void XB_String::SetError() {
  m_text.assign(kErrorText);
  m_error = true;
}

/*
** The end of a double-quoted word whose opening quote is at START: the
** position after its closing quote, or TEXT's length when it is not closed.
** A backslash before a double quote, and two double quotes in a row, do not
** close the word.
*/
static size_t QuotedWordEnd(std::string_view text, size_t start) {
  size_t at = start + 1;
  while (at < text.size()) {
    char c = text[at];
    if (c == '\\' && at + 1 < text.size() && text[at + 1] == '"') {
      at += 2;
      continue;
    }
    if (c == '"') {
      if (at + 1 < text.size() && text[at + 1] == '"') {
        at += 2;
        continue;
      }
      return at + 1;
    }
    at++;
  }
  return text.size();
}

size_t XB_String::NextWord(std::string_view text, size_t pos, XB_String& word) {
  word.Clear();
  while (pos < text.size() && XB_IsSpace(text[pos])) pos++;
  if (pos >= text.size()) return text.size();
  size_t end;
  if (text[pos] == '"') {
    end = QuotedWordEnd(text, pos);
  } else {
    end = pos;
    while (end < text.size() && !XB_IsSpace(text[end])) end++;
  }
  word.Assign(text.substr(pos, end - pos));
  if (end < text.size() && XB_IsSpace(text[end])) end++;
  return end;
}

bool XB_String::TakeWord(XB_String& word) {
  size_t next = NextWord(View(), 0, word);
  m_text.erase(0, next);
  return !word.IsEmpty();
}

/* The value of the hexadecimal digit C, or -1. */
static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/* Up to 8 hexadecimal digits of TEXT, as a 32-bit value. */
static int32_t ParseHex(std::string_view text) {
  uint32_t value = 0;
  for (size_t i = 0; i < text.size() && i < 8; i++) {
    int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(value);
}

int32_t XB_String::ParseInt(const char* text) {
  if (!text) return 0;
  return ParseInt(std::string_view(text));
}

int32_t XB_String::ParseInt(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') start++;
  std::string_view rest = text.substr(start);
  if (rest.size() > 2 && (rest[1] == 'x' || rest[1] == 'X')) return ParseHex(rest.substr(2));
  if (!rest.empty() && rest[0] == '#') return ParseHex(rest.substr(1));
  rest = rest.substr(0, 12);
  bool negative = false;
  size_t at = 0;
  if (at < rest.size() && (rest[at] == '-' || rest[at] == '+')) {
    negative = rest[at] == '-';
    at++;
  }
  int64_t value = 0;
  for (; at < rest.size() && rest[at] >= '0' && rest[at] <= '9'; at++) {
    value = value * 10 + (rest[at] - '0');
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}
