/*
** Reading, comparing and writing release versions.
*/
#include "versionnumber.h"

#include <tuple>

namespace {

constexpr size_t kMaxDigits = 9;

/* Reads a run of decimal digits at TEXT[AT] into VALUE and moves AT past
** it.  False when there is no digit, a minus sign, or more than 9 digits. */
bool ReadPart(std::string_view text, size_t& at, int32_t& value) {
  if (at < text.size() && text[at] == '-') return false;
  size_t start = at;
  int64_t number = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    number = number * 10 + (text[at] - '0');
    ++at;
    if (at - start > kMaxDigits) return false;
  }
  value = static_cast<int32_t>(number);
  return at > start;
}

bool IsBlank(char c) {
  return c == ' ' || (c >= 1 && c <= 13);
}

/* Lower-case ASCII of C. */
char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/* True when TEXT continues at AT with WORD in any letter case. */
bool HasWord(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Lower(text[at + i]) != word[i]) return false;
  }
  return true;
}

void SkipBlanks(std::string_view text, size_t& at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
}

}  // namespace

VersionNumber VersionNumber::Parse(std::string_view text) {
  VersionNumber v;
  size_t at = 0;
  SkipBlanks(text, at);
  if (!ReadPart(text, at, v.m_major)) return VersionNumber();
  if (at < text.size() && text[at] == '.') {
    ++at;
    if (!ReadPart(text, at, v.m_minor)) return VersionNumber();
    if (at < text.size() && text[at] == '.') {
      ++at;
      if (!ReadPart(text, at, v.m_third)) return VersionNumber();
    }
  }
  SkipBlanks(text, at);
  if (at < text.size() && text[at] == '(') ++at;
  SkipBlanks(text, at);
  if (HasWord(text, at, "build")) {
    at += 5;
  } else if (HasWord(text, at, "b")) {
    at += 1;
  } else {
    v.m_valid = true;
    return v;
  }
  SkipBlanks(text, at);
  if (at < text.size() && text[at] == '-') return VersionNumber();
  if (at < text.size() && text[at] >= '0' && text[at] <= '9' && !ReadPart(text, at, v.m_build)) {
    return VersionNumber();
  }
  v.m_valid = true;
  return v;
}

bool VersionNumber::IsNewerThan(const VersionNumber& other) const {
  if (!m_valid || !other.m_valid) return false;
  return std::tie(m_major, m_minor, m_third, m_build) >
         std::tie(other.m_major, other.m_minor, other.m_third, other.m_build);
}

std::string VersionNumber::Text() const {
  std::string text = std::to_string(m_major) + "." + std::to_string(m_minor);
  if (m_third != 0) text += "." + std::to_string(m_third);
  return text + " (build " + std::to_string(m_build) + ")";
}
