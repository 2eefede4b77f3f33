/*
** The b-tree read cursor of the generation-2 engine and the decoding of
** one field of a record.  A page is checked once, when the cursor steps
** onto it: its cell list and free block list must cover the page exactly
** as 2.8.17 requires before it uses a page.
*/
#include "s2btree.h"

#include <algorithm>
#include <cstring>

namespace s2 {

TreeCursor::TreeCursor(PageCache& cache, ByteOrder order, uint32_t root)
    : m_cache(cache), m_order(order), m_root(root) {
  m_levels.reserve(kMaxTreeDepth + 1);
}

Status TreeCursor::fail(Status status) {
  m_levels.clear();
  m_key = m_data = {};
  m_dataPending = false;
  return status;
}

uint32_t TreeCursor::childAt(const Level& level, size_t index) const {
  return index < level.cells.size() ? level.cells[index].leftChild : level.rightChild;
}

Status TreeCursor::push(uint32_t number) {
  if (m_levels.size() >= kMaxTreeDepth) return damagedPage(number);
  /* In a sound tree a walk meets every page once; a page met again is a
  ** loop or a page shared by two parents, either of which could make a
  ** walk endless. */
  if (number == 0 || number > m_cache.pageCount()) return damagedPage(number);
  if (m_seen.size() <= number) m_seen.resize(std::max<size_t>(number + 1, m_cache.pageCount() + 1));
  if (m_seen[number]) return damagedPage(number);
  m_seen[number] = true;
  m_seenPages.push_back(number);
  m_levels.emplace_back();
  Level& level = m_levels.back();
  level.page = number;
  Status st = m_cache.read(number, level.bytes.data());
  if (!st.ok()) return st;
  const unsigned char* p = level.bytes.data();
  level.rightChild = m_order.get32(p);
  uint32_t firstCell = m_order.get16(p + 4);
  uint32_t firstFree = m_order.get16(p + 6);
  size_t cellBytes = 0;
  for (uint32_t offset = firstCell; offset != 0;) {
    if (offset < kPageHeaderSize || offset > kPageSize - 16 || offset % 4 != 0 ||
        level.cells.size() >= kUsableSpace / kCellHeaderSize) {
      return damagedPage(number);
    }
    const unsigned char* c = p + offset;
    uint64_t payload = (m_order.get16(c + 4) | uint32_t(c[8]) << 16) +
                       uint64_t(m_order.get16(c + 10) | uint32_t(c[9]) << 16);
    size_t size =
        payload > kMaxLocalPayload ? kMaxCellSize : (kCellHeaderSize + payload + 3) & ~size_t(3);
    if (offset + size > kPageSize) return damagedPage(number);
    cellBytes += size;
    level.cells.push_back({uint16_t(offset), m_order.get32(c)});
    offset = m_order.get16(c + 6);
  }
  size_t freeBytes = 0;
  if (!freeBlockBytes(m_order, p, firstFree, &freeBytes)) return damagedPage(number);
  bool allZero = firstCell == 0 && firstFree == 0;
  if (!allZero && cellBytes + freeBytes != kUsableSpace) return damagedPage(number);
  bool interior = level.rightChild != 0;
  bool isRoot = m_levels.size() == 1;
  if (level.cells.empty() && (!isRoot || interior)) return damagedPage(number);
  for (const CellPos& cell : level.cells) {
    if ((cell.leftChild != 0) != interior) return damagedPage(number);
  }
  return Status::success();
}

Status TreeCursor::descendLeftmost() {
  while (m_levels.back().rightChild != 0) {
    Level& level = m_levels.back();
    Status st = push(childAt(level, level.index));
    if (!st.ok()) return st;
    m_levels.back().index = 0;
  }
  return Status::success();
}

Status TreeCursor::climb() {
  /* Called when the top level has no entry left at its index: the next
  ** entry is the cell of the first ancestor whose left subtree this was. */
  while (!m_levels.empty()) {
    const Level& level = m_levels.back();
    if (level.index < level.cells.size()) return loadEntry();
    m_levels.pop_back();
  }
  m_key = m_data = {};
  return Status::success();
}

TreeCursor::CellPayload TreeCursor::currentPayload() const {
  const Level& level = m_levels.back();
  const unsigned char* c = level.bytes.data() + level.cells[level.index].offset;
  return {m_order.get16(c + 4) | size_t(c[8]) << 16, m_order.get16(c + 10) | size_t(c[9]) << 16,
          reinterpret_cast<const char*>(c + kCellHeaderSize)};
}

Status TreeCursor::loadEntry() {
  auto [keySize, dataSize, local] = currentPayload();
  size_t total = keySize + dataSize;
  m_dataPending = false;
  if (total <= kMaxLocalPayload) {
    m_key = std::string_view(local, keySize);
    m_data = std::string_view(local + keySize, dataSize);
    return Status::success();
  }
  if (keySize <= kMaxLocalPayload) {
    /* The key is on the page; the data is read when it is asked for. */
    m_key = std::string_view(local, keySize);
    m_data = {};
    m_dataPending = true;
    return Status::success();
  }
  return assemble();
}

Status TreeCursor::loadData() {
  if (!m_dataPending) return Status::success();
  m_dataPending = false;
  Status st = assemble();
  return st.ok() ? st : fail(st);
}

Status TreeCursor::assemble() {
  const Level& level = m_levels.back();
  auto [keySize, dataSize, local] = currentPayload();
  size_t total = keySize + dataSize;
  m_payload.assign(local, kMaxLocalPayload);
  size_t remaining = total - kMaxLocalPayload;
  uint32_t next = m_order.get32(reinterpret_cast<const unsigned char*>(local) + kMaxLocalPayload);
  std::array<unsigned char, kPageSize> page;
  /* The chain is as long as the payload needs and no longer, so a loop in
  ** it ends like any other damage. */
  while (remaining > 0) {
    if (next < 2) return damagedPage(level.page);
    Status st = m_cache.read(next, page.data());
    if (!st.ok()) return st;
    size_t n = std::min(remaining, kOverflowPayload);
    m_payload.append(reinterpret_cast<const char*>(page.data() + 4), n);
    remaining -= n;
    next = m_order.get32(page.data());
  }
  m_key = std::string_view(m_payload).substr(0, keySize);
  m_data = std::string_view(m_payload).substr(keySize);
  return Status::success();
}

void TreeCursor::restart() {
  m_levels.clear();
  for (uint32_t page : m_seenPages) m_seen[page] = false;
  m_seenPages.clear();
}

Status TreeCursor::keyAt(const Level& level, std::string_view& key) {
  /* Keys of table entries (4 bytes) and of most index entries lie wholly
  ** on the page; only a longer key needs its overflow pages. */
  const unsigned char* c = level.bytes.data() + level.cells[level.index].offset;
  size_t keySize = m_order.get16(c + 4) | size_t(c[8]) << 16;
  if (keySize <= kMaxLocalPayload) {
    key = std::string_view(reinterpret_cast<const char*>(c + kCellHeaderSize), keySize);
    return Status::success();
  }
  Status st = loadEntry();
  key = m_key;
  return st;
}

Status TreeCursor::first() {
  restart();
  Status st = push(m_root);
  if (st.ok()) st = descendLeftmost();
  if (st.ok()) st = climb();
  return st.ok() ? st : fail(st);
}

Status TreeCursor::last() {
  restart();
  Status st = push(m_root);
  /* The largest entry is the last cell of the rightmost leaf; each level
  ** above stands past its cells, on its right child. */
  while (st.ok() && m_levels.back().rightChild != 0) {
    Level& level = m_levels.back();
    level.index = level.cells.size();
    st = push(level.rightChild);
  }
  if (!st.ok()) return fail(st);
  Level& leaf = m_levels.back();
  if (leaf.cells.empty()) return climb();
  leaf.index = leaf.cells.size() - 1;
  st = loadEntry();
  return st.ok() ? st : fail(st);
}

Status TreeCursor::next() {
  if (m_levels.empty()) return Status::success();
  Level& level = m_levels.back();
  ++level.index;
  Status st;
  if (level.rightChild != 0) {
    st = push(childAt(level, level.index));
    if (st.ok()) st = descendLeftmost();
  }
  if (st.ok()) st = climb();
  return st.ok() ? st : fail(st);
}

Status TreeCursor::seek(std::string_view key) {
  restart();
  Status st = push(m_root);
  while (st.ok()) {
    Level& level = m_levels.back();
    /* The first cell whose key is not below KEY; cells are in key order. */
    size_t i = 0;
    bool equal = false;
    for (; i < level.cells.size(); ++i) {
      level.index = i;
      std::string_view cellKey;
      st = keyAt(level, cellKey);
      if (!st.ok()) break;
      int c = std::memcmp(cellKey.data(), key.data(), std::min(cellKey.size(), key.size()));
      if (c == 0) c = cellKey.size() < key.size() ? -1 : cellKey.size() > key.size() ? 1 : 0;
      if (c >= 0) {
        equal = c == 0;
        break;
      }
    }
    if (!st.ok()) break;
    level.index = i;
    if (equal || level.rightChild == 0) return climb();
    st = push(childAt(level, i));
  }
  return fail(st);
}

int32_t rowidOfTableKey(std::string_view key) {
  if (key.size() < 4) return 0;
  return int32_t(getBE32(reinterpret_cast<const unsigned char*>(key.data())) ^ 0x80000000u);
}

namespace {

/* Returns offset I of the header of RECORD, whose offsets are WIDTH bytes
** wide (little-endian). */
size_t recordOffset(std::string_view record, size_t width, size_t i) {
  const unsigned char* d = reinterpret_cast<const unsigned char*>(record.data());
  size_t v = 0;
  for (size_t b = 0; b < width; b++) v |= size_t(d[i * width + b]) << (8 * b);
  return v;
}

/* Reads the offset width and the end of the header of a non-empty record
** of LENGTH bytes whose first bytes RECORD holds.  Returns false when the
** header is impossible or lies beyond RECORD. */
bool recordHeader(std::string_view record, size_t length, size_t* width, size_t* headerEnd) {
  *width = length < 256 ? 1 : length < 65536 ? 2 : 3;
  if (record.size() < *width) return false;
  *headerEnd = recordOffset(record, *width, 0);
  return *headerEnd >= 2 * *width && *headerEnd <= length && *headerEnd % *width == 0;
}

/* What reading a field from the first bytes of a record found. */
enum class FieldFound { Read, Impossible, Beyond };

/* Reads field FIELD of a record of LENGTH bytes whose first bytes RECORD
** holds, as recordField does; Beyond when the field or the offsets that
** place it lie past RECORD. */
FieldFound fieldOf(std::string_view record, size_t length, size_t field, bool* isNull,
                   std::string_view* value) {
  *isNull = true;
  *value = {};
  if (length == 0) return FieldFound::Read;
  size_t width = 0, headerEnd = 0;
  if (!recordHeader(record, length, &width, &headerEnd))
    return record.size() < length ? FieldFound::Beyond : FieldFound::Impossible;
  if (field >= headerEnd / width - 1) return FieldFound::Read;
  if (headerEnd > record.size()) return FieldFound::Beyond;
  size_t start = recordOffset(record, width, field);
  size_t end = recordOffset(record, width, field + 1);
  if (start < headerEnd || end < start || end > length) return FieldFound::Impossible;
  if (end > record.size()) return FieldFound::Beyond;
  if (start == end) return FieldFound::Read;
  *isNull = false;
  const char* text = record.data() + start;
  const void* nul = std::memchr(text, 0, end - start);
  *value = std::string_view(text, nul ? size_t(static_cast<const char*>(nul) - text) : end - start);
  return FieldFound::Read;
}

}  // namespace

bool freeBlockBytes(const ByteOrder& order, const unsigned char* page, uint32_t firstFree,
                    size_t* bytes) {
  *bytes = 0;
  uint32_t previous = 0;
  for (uint32_t offset = firstFree; offset != 0;) {
    if (offset < kPageHeaderSize || offset > kPageSize - 4 || offset % 4 != 0 ||
        (previous != 0 && offset <= previous)) {
      return false;
    }
    uint32_t size = order.get16(page + offset);
    if (size < 4 || offset + size > kPageSize) return false;
    *bytes += size;
    previous = offset;
    offset = order.get16(page + offset + 2);
  }
  return true;
}

bool recordFieldCount(std::string_view record, size_t* count) {
  *count = 0;
  if (record.empty()) return true;
  size_t width = 0, headerEnd = 0;
  if (!recordHeader(record, record.size(), &width, &headerEnd)) return false;
  *count = headerEnd / width - 1;
  return true;
}

bool recordField(std::string_view record, size_t field, bool* isNull, std::string_view* value) {
  return fieldOf(record, record.size(), field, isNull, value) == FieldFound::Read;
}

Status TreeCursor::field(size_t index, bool* isNull, std::string_view* value) {
  if (m_dataPending) {
    /* A field on the entry's own page needs none of its overflow pages. */
    auto [keySize, dataSize, local] = currentPayload();
    std::string_view onPage(local + keySize, kMaxLocalPayload - keySize);
    FieldFound found = fieldOf(onPage, dataSize, index, isNull, value);
    if (found == FieldFound::Read) return Status::success();
    if (found == FieldFound::Impossible) return damagedPage(page());
  }
  Status st = loadData();
  if (!st.ok()) return st;
  return recordField(m_data, index, isNull, value) ? st : damagedPage(page());
}

}  // namespace s2
