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

/* Returns the cell at INDEX and its length. */
const char* XB_SQLite2Table::Cell(size_t index, size_t& length) const {
  const char* value = cells[index];
  length = value ? std::strlen(value) : 0;
  return value;
}

namespace {

/* The largest text block: end offsets are 32 bits. */
const size_t kTextLimit = 0xFFFFFFFFu;

/* Grows BLOCK to CAPACITY bytes.  Returns false, BLOCK untouched, when
** memory runs out.  realloc of large blocks remaps pages instead of copying
** them, so growing stays linear and touches only the memory in use. */
template <class T>
bool Grow(T*& block, size_t capacity) {
  void* grown = std::realloc(block, capacity);
  if (!grown) return false;
  block = static_cast<T*>(grown);
  return true;
}

}  // namespace

/* Returns the text block, the offsets and the NULL map to the heap. */
void XB_SQLiteBlockTable::Free() {
  std::free(text);
  std::free(ends);
  std::free(nulls);
  text = nullptr;
  ends = nullptr;
  nulls = nullptr;
  textUsed = textCapacity = cellCount = cellCapacity = 0;
}

/* Makes room for one more cell with EXTRATEXT bytes of text.  Returns false
** when that is impossible; nothing is lost then. */
bool XB_SQLiteBlockTable::Reserve(size_t extraText) {
  if (cellCount == cellCapacity) {
    size_t wanted = cellCapacity < 1024 ? 1024 : cellCapacity + cellCapacity / 2;
    wanted = (wanted + 7) & ~size_t(7);
    if (!Grow(ends, wanted * sizeof(uint32_t))) return false;
    if (!Grow(nulls, wanted / 8)) return false;
    std::memset(nulls + cellCapacity / 8, 0, (wanted - cellCapacity) / 8);
    cellCapacity = wanted;
  }
  if (extraText > kTextLimit - textUsed) return false;
  size_t needed = textUsed + extraText;
  if (needed <= textCapacity) return true;
  size_t wanted = textCapacity < 65536 ? 65536 : textCapacity + textCapacity / 2;
  if (wanted < needed) wanted = needed;
  if (wanted > kTextLimit) wanted = kTextLimit;
  if (!Grow(text, wanted)) return false;
  textCapacity = wanted;
  return true;
}

/* Appends one cell (null for SQL NULL).  Returns false when it does not fit. */
bool XB_SQLiteBlockTable::Append(const char* value, size_t length) {
  if (!value) length = 0;
  if (!Reserve(length + 1)) return false;
  if (length) std::memcpy(text + textUsed, value, length);
  text[textUsed + length] = '\0';
  textUsed += length + 1;
  if (!value) nulls[cellCount >> 3] |= static_cast<unsigned char>(1u << (cellCount & 7));
  ends[cellCount++] = static_cast<uint32_t>(textUsed);
  return true;
}

/* Gives back the unused tails of the arrays. */
void XB_SQLiteBlockTable::Shrink() {
  if (textUsed && textUsed < textCapacity && Grow(text, textUsed)) textCapacity = textUsed;
  size_t cells = (cellCount + 7) & ~size_t(7);
  if (!cells || cells >= cellCapacity || !Grow(ends, cells * sizeof(uint32_t))) return;
  cellCapacity = cells;  // a NULL map left larger does no harm
  Grow(nulls, cells / 8);
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
XB_SQLiteResult::~XB_SQLiteResult() {
  Reset();
}

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

/* Returns the value at column COL of data row ROW with its length, or null
** (length 0) outside the result and for SQL NULL. */
const char* XB_SQLiteResult::Get(int col, int row, size_t& length) const {
  length = 0;
  if (!table || row < 0 || row >= rowCount || col < 0 || col >= columnCount) return nullptr;
  size_t index =
      (static_cast<size_t>(row) + 1) * static_cast<size_t>(columnCount) + static_cast<size_t>(col);
  return table->Cell(index, length);
}

/* Returns the value at column COL of data row ROW, or null outside the
** result and for SQL NULL. */
const char* XB_SQLiteResult::Get(int col, int row) const {
  if (!table || row < 0 || row >= rowCount || col < 0 || col >= columnCount) return nullptr;
  size_t index =
      (static_cast<size_t>(row) + 1) * static_cast<size_t>(columnCount) + static_cast<size_t>(col);
  return table->Cell(index);
}
