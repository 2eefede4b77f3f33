/*
** The bounded page cache of the generation-2 engine and the page source
** over bytes in memory.  Frames are reused in turn (first in, first out):
** a scan through a large table then costs one read per page and never
** more memory than the cache's capacity.
*/
#include "s2pager.h"

#include <cstring>

namespace s2 {

Status damagedPage(uint32_t number) {
  return Status::failure(kCorrupt,
                         "database disk image is malformed (page " + std::to_string(number) + ")");
}

Status MemorySource::readPage(uint32_t number, unsigned char* out) {
  if (number == 0 || number > pageCount()) return damagedPage(number);
  std::memcpy(out, m_bytes.data() + size_t(number - 1) * kPageSize, kPageSize);
  return Status::success();
}

PageCache::PageCache(size_t capacity) : m_capacity(capacity == 0 ? 1 : capacity) {}

void PageCache::setSource(PageSource* source) {
  m_source = source;
  clear();
}

void PageCache::clear() {
  m_where.clear();
  m_frameOwner.clear();
  m_hand = 0;
  m_countKnown = false;
  m_pageCount = 0;
}

uint32_t PageCache::pageCount() {
  if (!m_countKnown && m_source) {
    m_pageCount = m_source->pageCount();
    m_countKnown = true;
  }
  return m_pageCount;
}

Status PageCache::read(uint32_t number, unsigned char* out) {
  if (!m_source) return Status::failure(kMisuse, "no file to read");
  if (number == 0 || number > pageCount()) return damagedPage(number);
  auto found = m_where.find(number);
  if (found != m_where.end()) {
    std::memcpy(out, m_frames.data() + found->second * kPageSize, kPageSize);
    return Status::success();
  }
  Status st = m_source->readPage(number, out);
  if (!st.ok()) return st;
  ++m_sourceReads;
  /* Frames are allocated as they are first needed, so a small file never
  ** costs the whole capacity. */
  size_t frame;
  if (m_frameOwner.size() < m_capacity) {
    frame = m_frameOwner.size();
    m_frameOwner.push_back(0);
    if (m_frames.size() < m_frameOwner.size() * kPageSize)
      m_frames.resize(m_frameOwner.size() * kPageSize);
  } else {
    frame = m_hand;
    m_hand = (m_hand + 1) % m_capacity;
    if (m_frameOwner[frame] != 0) m_where.erase(m_frameOwner[frame]);
  }
  m_frameOwner[frame] = number;
  m_where[number] = frame;
  std::memcpy(m_frames.data() + frame * kPageSize, out, kPageSize);
  return Status::success();
}

}  // namespace s2
