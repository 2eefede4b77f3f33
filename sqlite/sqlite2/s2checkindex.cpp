/*
** The checker's index comparison: the 2.x index key encoding (number
** tests, the sortable number text, the key fields, the rowid key), written
** apart from the engine's value rules on purpose, and the comparison of
** every index with the keys its table's rows produce.
*/
#include "s2check.h"
#include "s2checkwalk.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>

namespace s2check {

/* Returns true when C is an ASCII decimal digit. */
static bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool LooksLikeNumber(std::string_view text) {
  size_t i = 0;
  size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) i++;
  if (i >= n || !IsDigit(text[i])) return false;
  while (i < n && IsDigit(text[i])) i++;
  if (i < n && text[i] == '.') {
    i++;
    if (i >= n || !IsDigit(text[i])) return false;
    while (i < n && IsDigit(text[i])) i++;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    i++;
    if (i < n && (text[i] == '+' || text[i] == '-')) i++;
    if (i >= n || !IsDigit(text[i])) return false;
    while (i < n && IsDigit(text[i])) i++;
  }
  return i == n;
}

double TextToNumber(std::string_view text) {
  size_t i = 0;
  size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    i++;
  }
  long double v = 0.0;
  while (i < n && IsDigit(text[i])) v = v * 10.0 + (text[i++] - '0');
  if (i < n && text[i] == '.') {
    long double divisor = 1.0;
    i++;
    while (i < n && IsDigit(text[i])) {
      v = v * 10.0 + (text[i++] - '0');
      divisor *= 10.0;
    }
    v = v / divisor;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    bool negativeExponent = false;
    i++;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
      negativeExponent = text[i] == '-';
      i++;
    }
    /* Past a few thousand the scale is infinite in any case; the cap only
    ** keeps a huge exponent from overflowing the counter. */
    int exponent = 0;
    while (i < n && IsDigit(text[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      i++;
    }
    long double scale = 1.0;
    while (exponent >= 64) {
      scale *= 1.0e+64;
      exponent -= 64;
    }
    while (exponent >= 16) {
      scale *= 1.0e+16;
      exponent -= 16;
    }
    while (exponent >= 4) {
      scale *= 1.0e+4;
      exponent -= 4;
    }
    while (exponent >= 1) {
      scale *= 1.0e+1;
      exponent -= 1;
    }
    v = negativeExponent ? v / scale : v * scale;
  }
  return static_cast<double>(negative ? -v : v);
}

std::string SortableNumber(double r) {
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz|~";
  std::string out;
  bool negative = r < 0.0;
  if (negative) {
    out += '-';
    r = -r;
  } else {
    out += '0';
  }
  int e = 0;
  if (r == 0.0) {
    e = -1024;
  } else if (r < std::ldexp(1.0, -7)) {
    while (r < std::ldexp(1.0, -385) && e > -961) {
      r *= std::ldexp(1.0, 384);
      e -= 64;
    }
    while (r < std::ldexp(1.0, -97) && e > -1009) {
      r *= std::ldexp(1.0, 96);
      e -= 16;
    }
    while (r < std::ldexp(1.0, -25) && e > -1021) {
      r *= std::ldexp(1.0, 24);
      e -= 4;
    }
    while (r < std::ldexp(1.0, -7) && e > -1024) {
      r *= 64.0;
      e -= 1;
    }
  } else if (r >= 0.5) {
    while (r >= std::ldexp(1.0, 377) && e < 960) {
      r /= std::ldexp(1.0, 384);
      e += 64;
    }
    while (r >= std::ldexp(1.0, 89) && e < 1008) {
      r /= std::ldexp(1.0, 96);
      e += 16;
    }
    while (r >= std::ldexp(1.0, 17) && e < 1020) {
      r /= std::ldexp(1.0, 24);
      e += 4;
    }
    while (r >= 0.5 && e < 1023) {
      r /= 64.0;
      e += 1;
    }
  }
  if (negative) {
    e = -e;
    r = -r;
  }
  e += 1024;
  r += 0.5;
  if (e >= 2048 || r >= 1.0) return out + "~~~~~~~~~~~~";
  out += kDigits[(e >> 6) & 63];
  out += kDigits[e & 63];
  for (int i = 0; i < 10 && r > 0.0; i++) {
    r *= 64.0;
    int digit = static_cast<int>(r);
    out += kDigits[digit & 63];
    r -= digit;
  }
  return out;
}

std::string IndexKeyField(const std::optional<std::string>& value, bool numericClass) {
  if (!value) return std::string("a", 2);
  std::string field;
  if (numericClass && LooksLikeNumber(*value)) {
    field = "b" + SortableNumber(TextToNumber(*value));
  } else {
    field = "c" + *value;
  }
  field += '\0';
  return field;
}

/* Returns true when one of the class patterns starts at position I of Z:
** the first letter is compared after OR-ing 0x60 into the byte, the other
** three ignoring ASCII case. */
static bool PatternAt(std::string_view z, size_t i, const char* pattern) {
  if (i + 4 > z.size()) return false;
  if ((static_cast<unsigned char>(z[i]) | 0x60) != static_cast<unsigned char>(pattern[0]))
    return false;
  for (int k = 1; k < 4; k++) {
    unsigned char c = static_cast<unsigned char>(z[i + k]);
    if (c >= 'A' && c <= 'Z') c += 32;
    if (c != static_cast<unsigned char>(pattern[k])) return false;
  }
  return true;
}

bool IsTextClass(std::string_view declaredType) {
  std::string compact;
  for (char c : declaredType) {
    if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
  }
  for (size_t i = 0; i + 4 <= compact.size(); i++) {
    if (PatternAt(compact, i, "blob") || PatternAt(compact, i, "clob") ||
        PatternAt(compact, i, "char") || PatternAt(compact, i, "text")) {
      return true;
    }
  }
  return false;
}

std::string RowidKey(int32_t rowid) {
  uint32_t v = static_cast<uint32_t>(rowid) ^ 0x80000000u;
  std::string key(4, '\0');
  for (int i = 0; i < 4; i++) key[i] = static_cast<char>(v >> (24 - 8 * i));
  return key;
}

int32_t RowidOfKey(std::string_view key) {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v = (v << 8) | static_cast<unsigned char>(key[i]);
  return static_cast<int32_t>(v ^ 0x80000000u);
}

/* Compares INDEX with the keys the rows of its table produce. */
void FileChecker::CheckIndexContent(const IndexInfo& index) {
  const TableInfo& table = m_tables[index.table];
  std::string name = index.def.name;
  if (index.def.unique) {
    for (size_t i = 1; i < index.keys.size(); i++) {
      const IndexKey& a = index.keys[i - 1];
      const IndexKey& b = index.keys[i];
      if (!a.hasNull && a.bytes.size() == b.bytes.size() &&
          a.bytes.compare(0, a.bytes.size() - 4, b.bytes, 0, b.bytes.size() - 4) == 0) {
        Problem("unique index " + name + " holds the same value for rowids " +
                std::to_string(RowidOfKey(std::string_view(a.bytes).substr(a.bytes.size() - 4))) +
                " and " +
                std::to_string(RowidOfKey(std::string_view(b.bytes).substr(b.bytes.size() - 4))));
      }
    }
  }
  /* Formats 1 and 2 use an older key encoding that is not checked. */
  if (!table.parsed || m_format < 3) return;
  std::vector<std::string> expected;
  for (const Row& row : table.rows) {
    std::string key;
    for (int column : index.def.columns) {
      bool numeric = m_format < 4 || table.def.columns[column].numeric;
      if (column == table.def.rowidColumn) {
        key += IndexKeyField(std::to_string(row.rowid), true);
      } else {
        key += IndexKeyField(row.fields[column], numeric);
      }
    }
    expected.push_back(key + RowidKey(row.rowid));
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> actual;
  for (const IndexKey& k : index.keys) actual.push_back(k.bytes);
  std::sort(actual.begin(), actual.end());
  std::vector<std::string> missing;
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                      std::back_inserter(missing));
  std::vector<std::string> extra;
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(),
                      std::back_inserter(extra));
  for (size_t i = 0; i < missing.size() && i < 5; i++) {
    std::string_view k = missing[i];
    Problem("rowid " + std::to_string(RowidOfKey(k.substr(k.size() - 4))) + " missing from index " +
            name);
  }
  for (size_t i = 0; i < extra.size() && i < 5; i++) {
    std::string_view k = extra[i];
    Problem("index " + name + " has an entry that matches no row (rowid " +
            std::to_string(RowidOfKey(k.substr(k.size() - 4))) + ")");
  }
  if (expected.size() != actual.size()) Problem("wrong # of entries in index " + name);
}

}  // namespace s2check
