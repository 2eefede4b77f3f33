/*
** Names and values as SQL text.
*/
#include "xb_sqlitesqltext.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

/* Appends BYTES as hexadecimal digits. */
void AppendHex(std::string* out, std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (char c : bytes) {
    unsigned char b = static_cast<unsigned char>(c);
    out->push_back(kDigits[b >> 4]);
    out->push_back(kDigits[b & 15]);
  }
}

/* Appends REAL with the fewest digits that read back as the same double. */
void AppendReal(std::string* out, double real) {
  if (std::isinf(real)) {
    out->append(real < 0 ? "-1e999" : "1e999");
    return;
  }
  char text[40];
  int length = 0;
  for (int digits = 15; digits <= 17; ++digits) {
    length = std::snprintf(text, sizeof text, "%.*g", digits, real);
    if (std::strtod(text, nullptr) == real) break;
  }
  out->append(text, static_cast<size_t>(length));
  // "1" would read back as an integer.
  if (std::string_view(text, static_cast<size_t>(length)).find_first_of(".e") ==
      std::string_view::npos)
    out->append(".0");
}

}  // namespace

std::string XB_SqlName(std::string_view name) {
  bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
  for (char c : name) {
    bool word =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!word) plain = false;
  }
  if (plain && !sqlite3_keyword_check(name.data(), static_cast<int>(name.size())))
    return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

std::string XB_SqlString(std::string_view text) {
  std::string literal = "'";
  for (char c : text) {
    if (c == '\'') literal.push_back('\'');
    literal.push_back(c);
  }
  literal.push_back('\'');
  return literal;
}

void XB_AppendSqlValue(std::string* out, const XB_DumpValue& value) {
  switch (value.kind) {
    case XB_DumpValue::kNull:
      out->append("NULL");
      return;
    case XB_DumpValue::kInteger: {
      char digits[24];
      auto end = std::to_chars(digits, digits + sizeof digits, value.integer).ptr;
      out->append(digits, end);
      return;
    }
    case XB_DumpValue::kReal:
      AppendReal(out, value.real);
      return;
    case XB_DumpValue::kBlob:
      out->append("X'");
      AppendHex(out, value.text);
      out->push_back('\'');
      return;
    case XB_DumpValue::kText:
      if (value.text.find('\0') != std::string_view::npos) {
        out->append("CAST(X'");
        AppendHex(out, value.text);
        out->append("' AS TEXT)");
        return;
      }
      // A carriage return goes in as char(13): line readers such as the
      // sqlite3 shell drop one that ends a line.
      out->push_back('\'');
      for (char c : value.text) {
        if (c == '\r') {
          out->append("'||char(13)||'");
          continue;
        }
        if (c == '\'') out->push_back('\'');
        out->push_back(c);
      }
      out->push_back('\'');
      return;
  }
}
