/*
** Printing of query results as separated lines and as a text table.
*/
#include "resultprinter.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "xb_string.h"

namespace {

/* Layout of the text table. */
const int kColumnWidth = 15;
const int kWidthBudget = 100;
const int kColumnLimit = 16;
const int kRowLimit = 20;

/* Returns how many leading columns of RESULT the text table shows: columns
** are taken while their summed width stays below the budget. */
int ShownColumns(const XB_SQLiteResult& result) {
  int shown = 0;
  int width = 0;
  for (int c = 0; c < result.Cols() && c < kColumnLimit; ++c) {
    width += kColumnWidth;
    if (width >= kWidthBudget) break;
    ++shown;
  }
  return shown;
}

/* Returns true for a byte that continues a UTF-8 character. */
bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

/* Returns the number of UTF-8 characters of TEXT (a byte that continues no
** character counts as one of its own, so nothing is ever cut inside a
** valid character). */
size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i++) {
    if (i == 0 || !IsContinuation(text[i])) count++;
  }
  return count;
}

/* Returns the byte length of the first COUNT UTF-8 characters of TEXT. */
size_t CharacterBytes(std::string_view text, size_t count) {
  size_t i = 0;
  for (size_t n = 0; n < count && i < text.size(); n++) {
    i++;
    while (i < text.size() && IsContinuation(text[i])) i++;
  }
  return i;
}

/* Writes VALUE as a UTF-8 text table cell: cut to 13 characters and ".."
** when longer than the column, padded to the column, then a space. */
void WriteUtf8Cell(const char* value, OutputBuffer& out) {
  std::string_view text = value ? value : "";
  size_t characters = CharacterCount(text);
  const size_t width = kColumnWidth;
  if (characters > width) {
    out.Write(text.data(), CharacterBytes(text, width - 2));
    out.Write("..", 2);
    characters = width;
  } else {
    out.Write(text.data(), text.size());
  }
  out.Repeat(' ', width - characters + 1);
}

/* Writes data row ROW (0-based) of the text table: every shown column
** formatted with CELLFORMAT (by characters when UTF8 is set), then a
** newline. */
void WriteTableRow(const XB_SQLiteResult& result, int row, int shown, const XB_String& cellFormat,
                   bool utf8, OutputBuffer& out) {
  XB_String cell;
  for (int c = 0; c < shown; ++c) {
    if (utf8) {
      WriteUtf8Cell(result.Get(c, row), out);
      continue;
    }
    cell.Format(cellFormat.c_str(), result.Get(c, row));
    out.Write(cell.Data(), cell.Length());
  }
  out.Put('\n');
}

/* Writes the data rows of RESULT, whose cells lie in the block TEXT of
** BYTES bytes, as separated lines: runs of the block are copied whole and
** each cell's terminator becomes the separator or, after the last column,
** a newline. */
void WriteSeparatedBlock(const XB_SQLiteResult& result, const char* text, size_t bytes,
                         char separator, OutputBuffer& out) {
  size_t columns = static_cast<size_t>(result.Cols());
  // The data rows begin after the terminators of the column names.
  size_t begin = 0;
  for (size_t name = 0; name < columns && begin < bytes; ++name)
    begin += std::strlen(text + begin) + 1;
  size_t column = 0;
  while (begin < bytes) {
    size_t run = std::min(bytes - begin, OutputBuffer::Capacity());
    char* room = out.Claim(run);
    std::memcpy(room, text + begin, run);
    char* end = room + run;
    for (char* nul = room; (nul = static_cast<char*>(std::memchr(nul, 0, end - nul))); ++nul) {
      bool lineEnds = ++column == columns;
      *nul = lineEnds ? '\n' : separator;
      if (lineEnds) column = 0;
    }
    out.Commit(run);
    begin += run;
  }
}

}  // namespace

void WriteSeparated(const XB_SQLiteResult& result, char separator, OutputBuffer& out) {
  int columns = result.Cols();
  if (columns == 0) return;
  size_t bytes = 0;
  if (const char* text = result.Block(bytes)) {
    WriteSeparatedBlock(result, text, bytes, separator, out);
    return;
  }
  for (int row = 0; row < result.Rows(); ++row) {
    for (int c = 0; c < columns; ++c) {
      if (c) out.Put(separator);
      size_t length;
      const char* value = result.Get(c, row, length);
      if (value) out.Write(value, length);
    }
    out.Put('\n');
  }
}

bool AsciiTable(const XB_SQLiteResult& result, FILE* stream, bool utf8) {
  if (!stream) return true;
  OutputBuffer out(stream);
  int shown = ShownColumns(result);

  // Names are padded by printf rules and never cut; cells are cut to the
  // column by XB_String's width rule ("%-15s " gives 13 characters and "..").
  char headerFormat[16];
  std::snprintf(headerFormat, sizeof headerFormat, "%%-%ds", kColumnWidth);
  XB_String cellFormat = XB_String::Formatted("%%-%ds ", kColumnWidth);

  for (int c = 0; c < shown; ++c) {
    if (c) out.Put('|');
    const char* name = result.Cell(c);
    if (utf8) {
      std::string_view text = name ? name : "";
      out.Write(text.data(), text.size());
      size_t characters = CharacterCount(text);
      if (characters < static_cast<size_t>(kColumnWidth))
        out.Repeat(' ', kColumnWidth - characters);
      continue;
    }
    char padded[kColumnWidth + 1];
    int length = std::snprintf(padded, sizeof padded, headerFormat, name ? name : "");
    if (length < static_cast<int>(sizeof padded)) {
      out.Write(padded, static_cast<size_t>(length));
    } else {
      out.Write(name);
    }
  }
  out.Put('\n');
  for (int c = 0; c < shown; ++c) {
    if (c) out.Put('+');
    out.Repeat('-', kColumnWidth);
  }
  out.Put('\n');

  int rows = result.Rows();
  for (int row = 0; row < rows; ++row) {
    WriteTableRow(result, row, shown, cellFormat, utf8, out);
    bool elide = row + 1 >= kRowLimit - 1 && row + 1 < rows;
    if (!elide) continue;
    out.Repeat(' ', kColumnWidth - 2);
    XB_String total = XB_String::Formatted(".. (%d total) ..\n", rows);
    out.Write(total.Data(), total.Length());
    WriteTableRow(result, rows - 1, shown, cellFormat, utf8, out);
    break;
  }
  out.Put('\n');
  return out.Flush();
}
