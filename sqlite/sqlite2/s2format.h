/*
** Layout constants of the 2.x file format and the small helpers the reader,
** the writer and the journal share: page geometry, the identification text
** and byte-order mark, and access to integers in a file's byte order.
** Internal to the file layer.
*/
#ifndef S2FORMAT_H
#define S2FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace s2 {

constexpr size_t kPageSize = 1024;
constexpr size_t kPageHeaderSize = 8;
constexpr size_t kCellHeaderSize = 12;
constexpr size_t kUsableSpace = kPageSize - kPageHeaderSize; /* 1016 */
constexpr size_t kMaxLocalPayload = 236;
constexpr size_t kOverflowPayload = kPageSize - 4;                      /* 1020 */
constexpr size_t kMaxCellSize = kCellHeaderSize + kMaxLocalPayload + 4; /* 252 */
constexpr size_t kMaxRecordSize = 1048576;
constexpr size_t kMaxTrunkLeaves = (kPageSize - 8) / 4; /* 254 */
constexpr uint32_t kByteOrderMark = 0xDAE37528u;
constexpr uint32_t kCurrentFormat = 4;

/* The identification text with its terminating 0x00: 48 bytes. */
constexpr char kMagic[] = "** This file contains an SQLite 2.1 database **";
constexpr size_t kMagicSize = sizeof(kMagic);
static_assert(kMagicSize == 48, "identification text is 48 bytes");

/* Page-1 offsets. */
constexpr size_t kOffMark = 48;
constexpr size_t kOffFreeHead = 52;
constexpr size_t kOffFreeCount = 56;
constexpr size_t kOffMeta = 60; /* meta value k (1..9) at kOffMeta + 4*(k-1) */

/* Reads and writes 16/32-bit integers in one byte order. */
struct ByteOrder {
  bool bigEndian = false;

  uint32_t get32(const unsigned char* p) const {
    if (bigEndian) return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  uint32_t get16(const unsigned char* p) const {
    if (bigEndian) return uint32_t(p[0]) << 8 | p[1];
    return uint32_t(p[1]) << 8 | p[0];
  }
  void put32(unsigned char* p, uint32_t v) const {
    if (bigEndian) {
      p[0] = v >> 24;
      p[1] = v >> 16;
      p[2] = v >> 8;
      p[3] = v;
    } else {
      p[0] = v;
      p[1] = v >> 8;
      p[2] = v >> 16;
      p[3] = v >> 24;
    }
  }
  void put16(unsigned char* p, uint32_t v) const {
    if (bigEndian) {
      p[0] = v >> 8;
      p[1] = v;
    } else {
      p[0] = v;
      p[1] = v >> 8;
    }
  }
};

/* Returns true when this machine stores integers big-endian. */
inline bool nativeBigEndian() {
  const uint16_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 0;
}

/* Splits the entries ITEMS into pages as a bulk load of a b-tree lays them
** out: each page takes entries while they fit (SIZE(item) gives an entry's
** bytes on a page); the entry that does not fit moves up.  Fills GROUPS
** (entries per page) and PROMOTED (one per page boundary).  No page is
** left empty: a last empty page takes the last promoted entry, and the
** page before it gives up its last entry instead. */
template <class Size>
void groupIntoPages(const std::vector<size_t>& items, Size size,
                    std::vector<std::vector<size_t>>& groups, std::vector<size_t>& promoted) {
  groups.assign(1, {});
  promoted.clear();
  size_t used = 0;
  for (size_t item : items) {
    if (used + size(item) <= kUsableSpace) {
      groups.back().push_back(item);
      used += size(item);
      continue;
    }
    promoted.push_back(item);
    groups.emplace_back();
    used = 0;
  }
  if (groups.size() > 1 && groups.back().empty()) {
    groups.back().push_back(promoted.back());
    promoted.back() = groups[groups.size() - 2].back();
    groups[groups.size() - 2].pop_back();
  }
}

/* Reads a big-endian 32-bit value (journals, rowid keys). */
inline uint32_t getBE32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline void putBE32(unsigned char* p, uint32_t v) {
  p[0] = v >> 24;
  p[1] = v >> 16;
  p[2] = v >> 8;
  p[3] = v;
}

}  // namespace s2

#endif
