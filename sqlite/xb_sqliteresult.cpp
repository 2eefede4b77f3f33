/*
** Query result tables: the shared holders of the cells and the result type
** that the connections fill and the programs print or show.
*/
#include "xb_sqliteresult.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "sqlite.h"

/* Drops one holder; the last one frees the cells and deletes the table. */
void XB_SQLiteTable::Release() {
  if (--refCount > 0) return;
  Free();
  delete this;
}

/* Hands the get-table array back to the generation-2 engine. */
void XB_SQLite2Table::Free() {
  sqlite_free_table(cells);
  cells = nullptr;
}

/* Returns the text block and the offsets to the heap. */
void XB_SQLiteBlockTable::Free() {
  std::free(text);
  std::free(offsets);
  text = nullptr;
  offsets = nullptr;
  textUsed = textCapacity = cellCount = offsetCapacity = 0;
}

/* Makes room for one more offset and EXTRATEXT more bytes of text.  Returns
** false when that is impossible; nothing is lost then.  The arrays grow by
** half their size, and realloc of large blocks remaps pages instead of
** copying, so filling stays linear and touches only the memory it uses. */
bool XB_SQLiteBlockTable::Reserve(size_t extraText) {
  if (cellCount == offsetCapacity) {
    size_t wanted = offsetCapacity < 1024 ? 1024 : offsetCapacity + offsetCapacity / 2;
    void* grown = std::realloc(offsets, wanted * sizeof(uint32_t));
    if (!grown) return false;
    offsets = static_cast<uint32_t*>(grown);
    offsetCapacity = wanted;
  }
  if (extraText > kNullCell - 1 - textUsed) return false;
  size_t needed = textUsed + extraText;
  if (needed <= textCapacity) return true;
  size_t wanted = textCapacity < 65536 ? 65536 : textCapacity + textCapacity / 2;
  if (wanted < needed) wanted = needed;
  if (wanted > kNullCell - 1) wanted = kNullCell - 1;
  void* grown = std::realloc(text, wanted);
  if (!grown) return false;
  text = static_cast<char*>(grown);
  textCapacity = wanted;
  return true;
}

/* Appends one cell (null for SQL NULL).  Returns false when it does not fit. */
bool XB_SQLiteBlockTable::Append(const char* value, size_t length) {
  size_t extra = value ? length + 1 : 0;
  if (!Reserve(extra)) return false;
  if (!value) {
    offsets[cellCount++] = kNullCell;
    return true;
  }
  if (length) std::memcpy(text + textUsed, value, length);
  text[textUsed + length] = '\0';
  offsets[cellCount++] = static_cast<uint32_t>(textUsed);
  textUsed += extra;
  return true;
}

/* Gives back the unused tails of both arrays. */
void XB_SQLiteBlockTable::Shrink() {
  if (textUsed && textUsed < textCapacity) {
    if (void* shrunk = std::realloc(text, textUsed)) {
      text = static_cast<char*>(shrunk);
      textCapacity = textUsed;
    }
  }
  if (cellCount && cellCount < offsetCapacity) {
    if (void* shrunk = std::realloc(offsets, cellCount * sizeof(uint32_t))) {
      offsets = static_cast<uint32_t*>(shrunk);
      offsetCapacity = cellCount;
    }
  }
}

/* Makes a second holder of the same cells. */
XB_SQLiteResult::XB_SQLiteResult(const XB_SQLiteResult& other)
    : columnCount(other.columnCount), rowCount(other.rowCount), table(other.table) {
  if (table) table->AddRef();
}

/* Takes over the cells of OTHER, which is left empty. */
XB_SQLiteResult::XB_SQLiteResult(XB_SQLiteResult&& other) noexcept
    : columnCount(std::exchange(other.columnCount, 0)),
      rowCount(std::exchange(other.rowCount, 0)),
      table(std::exchange(other.table, nullptr)) {}

/* Lets go of the own cells and shares those of OTHER. */
XB_SQLiteResult& XB_SQLiteResult::operator=(const XB_SQLiteResult& other) {
  if (this == &other) return *this;
  if (other.table) other.table->AddRef();
  Reset();
  columnCount = other.columnCount;
  rowCount = other.rowCount;
  table = other.table;
  return *this;
}

/* Lets go of the own cells and takes over those of OTHER. */
XB_SQLiteResult& XB_SQLiteResult::operator=(XB_SQLiteResult&& other) noexcept {
  if (this == &other) return *this;
  Reset();
  columnCount = std::exchange(other.columnCount, 0);
  rowCount = std::exchange(other.rowCount, 0);
  table = std::exchange(other.table, nullptr);
  return *this;
}

/* Lets go of the cells. */
XB_SQLiteResult::~XB_SQLiteResult() { Reset(); }

/* Lets go of the cells and sets both counts to 0. */
void XB_SQLiteResult::Reset() {
  if (table) table->Release();
  table = nullptr;
  columnCount = 0;
  rowCount = 0;
}

/* Empties the result and takes over HOLDER with its counts. */
void XB_SQLiteResult::Set(XB_SQLiteTable* holder, int cols, int rows) {
  Reset();
  table = holder;
  columnCount = cols;
  rowCount = rows;
}

/* Returns the value at column COL of data row ROW, or null outside the
** result and for SQL NULL. */
const char* XB_SQLiteResult::Get(int col, int row) const {
  if (!table || row < 0 || row >= rowCount || col < 0 || col >= columnCount) return nullptr;
  size_t index = (static_cast<size_t>(row) + 1) * static_cast<size_t>(columnCount) +
                 static_cast<size_t>(col);
  return table->Cell(index);
}
