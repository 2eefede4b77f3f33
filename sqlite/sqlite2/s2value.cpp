/*
** The value semantics of the 2.x engine that the file needs: when a text
** counts as a number, how it becomes a number, how a number becomes the
** sortable text of an index key, how two values compare in a column class,
** and the index key encoding built from those.  The numeric conversions
** copy 2.8.17's arithmetic (long double intermediates, the same constants
** in the same order) because index keys must match its own byte for byte.
*/
#include "s2value.h"

#include <cmath>
#include <cstring>

namespace s2 {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

const char kSortDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz|~";

}  // namespace

bool looksLikeNumber(std::string_view text) {
  size_t i = 0, n = text.size();
  if (i < n && (text[i] == '-' || text[i] == '+')) i++;
  if (i >= n || !isDigit(text[i])) return false;
  while (i < n && isDigit(text[i])) i++;
  if (i < n && text[i] == '.') {
    i++;
    if (i >= n || !isDigit(text[i])) return false;
    while (i < n && isDigit(text[i])) i++;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    i++;
    if (i < n && (text[i] == '-' || text[i] == '+')) i++;
    if (i >= n || !isDigit(text[i])) return false;
    while (i < n && isDigit(text[i])) i++;
  }
  return i == n;
}

double textToNumber(std::string_view text, size_t* consumed) {
  size_t i = 0, n = text.size();
  bool negative = false;
  long double v = 0.0;
  if (i < n && text[i] == '-') {
    negative = true;
    i++;
  } else if (i < n && text[i] == '+') {
    i++;
  }
  while (i < n && isDigit(text[i])) {
    v = v * 10.0 + (text[i] - '0');
    i++;
  }
  if (i < n && text[i] == '.') {
    long double divisor = 1.0;
    i++;
    while (i < n && isDigit(text[i])) {
      v = v * 10.0 + (text[i] - '0');
      divisor *= 10.0;
      i++;
    }
    v /= divisor;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    bool negativeExponent = false;
    /* 2.x accumulates the exponent in a C int that wraps on overflow. */
    uint32_t exponentBits = 0;
    long double scale = 1.0;
    i++;
    if (i < n && text[i] == '-') {
      negativeExponent = true;
      i++;
    } else if (i < n && text[i] == '+') {
      i++;
    }
    while (i < n && isDigit(text[i])) {
      exponentBits = exponentBits * 10u + uint32_t(text[i] - '0');
      i++;
    }
    int32_t exponent = int32_t(exponentBits);
    /* Once the scale is infinite further steps change nothing; stopping
    ** there keeps absurd exponents from looping for millions of steps. */
    while (exponent >= 64 && !std::isinf(scale)) {
      scale *= 1.0e+64;
      exponent -= 64;
    }
    while (exponent >= 16 && !std::isinf(scale)) {
      scale *= 1.0e+16;
      exponent -= 16;
    }
    while (exponent >= 4 && !std::isinf(scale)) {
      scale *= 1.0e+4;
      exponent -= 4;
    }
    while (exponent >= 1 && !std::isinf(scale)) {
      scale *= 1.0e+1;
      exponent -= 1;
    }
    if (negativeExponent) {
      v /= scale;
    } else {
      v *= scale;
    }
  }
  if (consumed) *consumed = i;
  return double(negative ? -v : v);
}

std::string numberToSortableText(double r) {
  static const double kUp64 = std::ldexp(1.0, 384); /* 64^64 */
  static const double kUp16 = std::ldexp(1.0, 96);  /* 64^16 */
  static const double kUp4 = std::ldexp(1.0, 24);   /* 64^4 */
  std::string out;
  out.reserve(13);
  bool negative = false;
  if (r < 0.0) {
    negative = true;
    r = -r;
    out.push_back('-');
  } else {
    out.push_back('0');
  }
  int exponent = 0;
  if (r == 0.0) {
    exponent = -1024;
  } else if (r < (0.5 / 64.0)) {
    while (r < 0.5 / kUp64 && exponent > -961) {
      r *= kUp64;
      exponent -= 64;
    }
    while (r < 0.5 / kUp16 && exponent > -1009) {
      r *= kUp16;
      exponent -= 16;
    }
    while (r < 0.5 / kUp4 && exponent > -1021) {
      r *= kUp4;
      exponent -= 4;
    }
    while (r < 0.5 / 64.0 && exponent > -1024) {
      r *= 64.0;
      exponent -= 1;
    }
  } else if (r >= 0.5) {
    while (r >= 0.5 * (kUp64 / 64.0) && exponent < 960) {
      r /= kUp64;
      exponent += 64;
    }
    while (r >= 0.5 * (kUp16 / 64.0) && exponent < 1008) {
      r /= kUp16;
      exponent += 16;
    }
    while (r >= 0.5 * (kUp4 / 64.0) && exponent < 1020) {
      r /= kUp4;
      exponent += 4;
    }
    while (r >= 0.5 && exponent < 1023) {
      r /= 64.0;
      exponent += 1;
    }
  }
  if (negative) {
    exponent = -exponent;
    r = -r;
  }
  exponent += 1024;
  r += 0.5;
  if (exponent < 0) return out;
  if (exponent >= 2048 || r >= 1.0) {
    out.append(12, '~');
    return out;
  }
  out.push_back(kSortDigits[(exponent >> 6) & 0x3f]);
  out.push_back(kSortDigits[exponent & 0x3f]);
  for (int count = 0; r > 0.0 && count < 10; count++) {
    r *= 64.0;
    int digit = int(r);
    out.push_back(kSortDigits[digit & 0x3f]);
    r -= digit;
  }
  return out;
}

int compareText(std::string_view a, std::string_view b, ColumnClass cls) {
  if (cls == ColumnClass::Numeric) {
    bool aNumber = looksLikeNumber(a);
    bool bNumber = looksLikeNumber(b);
    if (aNumber && bNumber) {
      double x = textToNumber(a), y = textToNumber(b);
      if (x < y) return -1;
      if (x > y) return 1;
      return 0;
    }
    if (aNumber) return -1;
    if (bNumber) return 1;
  }
  size_t common = a.size() < b.size() ? a.size() : b.size();
  int c = common ? std::memcmp(a.data(), b.data(), common) : 0;
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int compareValues(const Cell& a, const Cell& b, ColumnClass cls) {
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  return compareText(*a, *b, cls);
}

std::string rowidKey(int32_t rowid) {
  uint32_t v = uint32_t(rowid) ^ 0x80000000u;
  std::string key(4, '\0');
  key[0] = char(v >> 24);
  key[1] = char(v >> 16);
  key[2] = char(v >> 8);
  key[3] = char(v);
  return key;
}

void appendIndexField(std::string& key, const Cell& value, ColumnClass cls) {
  if (!value) {
    key.push_back('a');
  } else if (cls == ColumnClass::Numeric && looksLikeNumber(*value)) {
    key.push_back('b');
    key += numberToSortableText(textToNumber(*value));
  } else {
    key.push_back('c');
    key += *value;
  }
  key.push_back('\0');
}

std::string indexKey(const IndexDef& index, const TableDef& table, const Row& row) {
  std::string key;
  for (int column : index.columns) {
    if (column == table.rowidColumn) {
      key.push_back('b');
      key += numberToSortableText(double(row.rowid));
      key.push_back('\0');
      continue;
    }
    ColumnClass cls = ColumnClass::Numeric;
    if (column >= 0 && size_t(column) < table.columns.size()) cls = table.columns[column].cls;
    Cell none;
    const Cell& value = column >= 0 && size_t(column) < row.cells.size() ? row.cells[column] : none;
    appendIndexField(key, value, cls);
  }
  key += rowidKey(row.rowid);
  return key;
}

}  // namespace s2
