/*
** The key normalization, table keys and the loose contains test (see
** xb_keytext.h).  Characters are handled as Latin-1 bytes; nothing here
** assumes UTF-8.
*/
#include "xb_keytext.h"

#include <string>

/* Returns C with the Latin-1 letters á à â ã, é è ê and ç folded to a, e, c. */
static char FoldAccent(char c) {
  switch (static_cast<unsigned char>(c)) {
    case 0xE1:
    case 0xE0:
    case 0xE2:
    case 0xE3:
      return 'a';
    case 0xE9:
    case 0xE8:
    case 0xEA:
      return 'e';
    case 0xE7:
      return 'c';
    default:
      return c;
  }
}

static bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
static bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
static char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/* Returns true for the characters a key keeps as they are. */
static bool IsKeyChar(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '_' || c == '.';
}

XB_String XB_NormalizeKey(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  size_t pos = 0;
  /* Leading digits, dots and other characters cannot begin a key. */
  while (pos < name.size()) {
    char c = FoldAccent(name[pos]);
    if (IsAsciiLetter(c) || c == '-' || c == '_') break;
    pos++;
  }
  bool pendingSeparator = false;
  for (; pos < name.size(); pos++) {
    char c = FoldAccent(name[pos]);
    if (!IsKeyChar(c)) {
      pendingSeparator = true;
      continue;
    }
    if (pendingSeparator && !key.empty()) key.push_back('_');
    pendingSeparator = false;
    key.push_back(c);
  }
  return XB_String(std::string_view(key));
}

/* Replaces, innermost first, every OPEN..CLOSE part of TEXT by one space;
** an OPEN without a CLOSE after it cuts TEXT one character before it. */
static void RemoveBracketed(std::string& text, char open, char close) {
  for (;;) {
    size_t at = text.rfind(open);
    if (at == std::string::npos) return;
    size_t end = text.find(close, at + 1);
    if (end == std::string::npos) {
      text.resize(at > 0 ? at - 1 : 0);
      continue;
    }
    text.replace(at, end - at + 1, " ");
  }
}

XB_String XB_TableKey(std::string_view name) {
  std::string text(name);
  RemoveBracketed(text, '[', ']');
  RemoveBracketed(text, '(', ')');
  return XB_NormalizeKey(text);
}

/* Returns TEXT with ASCII letters lower-cased and, when LOOSE, the accents
** folded and "*", "?", "-", "_" made spaces. */
static std::string LooseForm(std::string_view text, bool loose) {
  std::string out(text);
  for (char& c : out) {
    c = LowerAscii(c);
    if (!loose) continue;
    c = FoldAccent(c);
    if (c == '*' || c == '?' || c == '-' || c == '_') c = ' ';
  }
  return out;
}

bool XB_ContainsLoosely(std::string_view text, std::string_view what) {
  if (LooseForm(text, false).find(LooseForm(what, false)) != std::string::npos) return true;
  return LooseForm(text, true).find(LooseForm(what, true)) != std::string::npos;
}

int XB_KeyCompare(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; i++) {
    unsigned char ca = static_cast<unsigned char>(LowerAscii(a[i]));
    unsigned char cb = static_cast<unsigned char>(LowerAscii(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool XB_KeyEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && XB_KeyCompare(a, b) == 0;
}

std::string_view XB_TrimBlanks(std::string_view text) {
  while (!text.empty() && XB_IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && XB_IsBlank(text.back())) text.remove_suffix(1);
  return text;
}
