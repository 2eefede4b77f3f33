/*
** Query result tables: the shared holders of the cells and the result type
** that the connections fill and the programs print or show.
*/
#include "xb_sqliteresult.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "sqlite.h"

void XB_SQLiteTable::Release() {
  if (--m_refCount > 0) return;
  Free();
  delete this;
}

void XB_SQLite2Table::Free() {
  sqlite_free_table(m_cells);
  m_cells = nullptr;
}

const char* XB_SQLite2Table::Cell(size_t index, size_t& length) const {
  const char* value = m_cells[index];
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

void XB_SQLiteBlockTable::Free() {
  std::free(m_text);
  std::free(m_marks);
  std::free(m_nulls);
  m_text = nullptr;
  m_marks = nullptr;
  m_nulls = nullptr;
  m_textUsed = m_textCapacity = m_cellCount = m_cellCapacity = 0;
}

size_t XB_SQLiteBlockTable::Start(size_t index) const {
  size_t start = m_marks[index / kStride];
  for (size_t skip = index % kStride; skip > 0; --skip) start += std::strlen(m_text + start) + 1;
  return start;
}

const char* XB_SQLiteBlockTable::Cell(size_t index, size_t& length) const {
  if (IsNull(index)) {
    length = 0;
    return nullptr;
  }
  const char* text = m_text + Start(index);
  length = std::strlen(text);
  return text;
}

bool XB_SQLiteBlockTable::Reserve(size_t extraText) {
  if (m_cellCount == m_cellCapacity) {
    size_t wanted = m_cellCapacity < 1024 ? 1024 : m_cellCapacity + m_cellCapacity / 2;
    wanted = (wanted + kStride - 1) / kStride * kStride;
    if (!Grow(m_marks, wanted / kStride * sizeof(uint32_t))) return false;
    if (!Grow(m_nulls, wanted / 8)) return false;
    std::memset(m_nulls + m_cellCapacity / 8, 0, (wanted - m_cellCapacity) / 8);
    m_cellCapacity = wanted;
  }
  if (extraText > kTextLimit - m_textUsed) return false;
  size_t needed = m_textUsed + extraText;
  if (needed <= m_textCapacity) return true;
  size_t wanted = m_textCapacity < 65536 ? 65536 : m_textCapacity + m_textCapacity / 2;
  if (wanted < needed) wanted = needed;
  if (wanted > kTextLimit) wanted = kTextLimit;
  if (!Grow(m_text, wanted)) return false;
  m_textCapacity = wanted;
  return true;
}

bool XB_SQLiteBlockTable::Append(const char* value, size_t length) {
  if (!value) length = 0;
  // A NUL inside would end the cell early for every reader of the block.
  if (const void* nul = length ? std::memchr(value, 0, length) : nullptr)
    length = static_cast<size_t>(static_cast<const char*>(nul) - value);
  if (!Reserve(length + 1)) return false;
  if (m_cellCount % kStride == 0)
    m_marks[m_cellCount / kStride] = static_cast<uint32_t>(m_textUsed);
  if (length) std::memcpy(m_text + m_textUsed, value, length);
  m_text[m_textUsed + length] = '\0';
  m_textUsed += length + 1;
  if (!value) m_nulls[m_cellCount >> 3] |= static_cast<unsigned char>(1u << (m_cellCount & 7));
  ++m_cellCount;
  return true;
}

void XB_SQLiteBlockTable::Shrink() {
  if (m_textUsed && m_textUsed < m_textCapacity && Grow(m_text, m_textUsed))
    m_textCapacity = m_textUsed;
  size_t cells = (m_cellCount + kStride - 1) / kStride * kStride;
  if (!cells || cells >= m_cellCapacity || !Grow(m_marks, cells / kStride * sizeof(uint32_t)))
    return;
  m_cellCapacity = cells;  // a NULL map left larger does no harm
  Grow(m_nulls, cells / 8);
}

XB_SQLiteResult::XB_SQLiteResult(const XB_SQLiteResult& other)
    : m_columnCount(other.m_columnCount), m_rowCount(other.m_rowCount), m_table(other.m_table) {
  if (m_table) m_table->AddRef();
}

XB_SQLiteResult::XB_SQLiteResult(XB_SQLiteResult&& other) noexcept
    : m_columnCount(std::exchange(other.m_columnCount, 0)),
      m_rowCount(std::exchange(other.m_rowCount, 0)),
      m_table(std::exchange(other.m_table, nullptr)) {}

/* Lets go of the own cells and shares those of OTHER. */
XB_SQLiteResult& XB_SQLiteResult::operator=(const XB_SQLiteResult& other) {
  if (this == &other) return *this;
  if (other.m_table) other.m_table->AddRef();
  Reset();
  m_columnCount = other.m_columnCount;
  m_rowCount = other.m_rowCount;
  m_table = other.m_table;
  return *this;
}

/* Lets go of the own cells and takes over those of OTHER. */
XB_SQLiteResult& XB_SQLiteResult::operator=(XB_SQLiteResult&& other) noexcept {
  if (this == &other) return *this;
  Reset();
  m_columnCount = std::exchange(other.m_columnCount, 0);
  m_rowCount = std::exchange(other.m_rowCount, 0);
  m_table = std::exchange(other.m_table, nullptr);
  return *this;
}

XB_SQLiteResult::~XB_SQLiteResult() {
  Reset();
}

void XB_SQLiteResult::Reset() {
  if (m_table) m_table->Release();
  m_table = nullptr;
  m_columnCount = 0;
  m_rowCount = 0;
}

void XB_SQLiteResult::Set(XB_SQLiteTable* holder, int cols, int rows) {
  Reset();
  m_table = holder;
  m_columnCount = cols;
  m_rowCount = rows;
}

const char* XB_SQLiteResult::Get(int col, int row, size_t& length) const {
  length = 0;
  if (!m_table || row < 0 || row >= m_rowCount || col < 0 || col >= m_columnCount) return nullptr;
  size_t index = (static_cast<size_t>(row) + 1) * static_cast<size_t>(m_columnCount) +
                 static_cast<size_t>(col);
  return m_table->Cell(index, length);
}

const char* XB_SQLiteResult::Get(int col, int row) const {
  if (!m_table || row < 0 || row >= m_rowCount || col < 0 || col >= m_columnCount) return nullptr;
  size_t index = (static_cast<size_t>(row) + 1) * static_cast<size_t>(m_columnCount) +
                 static_cast<size_t>(col);
  return m_table->Cell(index);
}
