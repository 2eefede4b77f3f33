/*
** The lazy view of a connection's file: its page source over the File and
** the check of page 1 that decides whether the schema is read again.
*/
#include "s2lazy.h"

#include <cstring>

namespace s2 {

Status FileSource::readPage(uint32_t number, unsigned char* out) {
  return m_file.readPage(number, out);
}

uint32_t FileSource::pageCount() {
  return m_file.pageCount();
}

LazyFile::LazyFile(File& file) : m_file(file), m_source(file) {
  m_cache.setSource(&m_source);
}

void LazyFile::forget() {
  m_cache.clear();
  m_catalog.clear();
  m_schema = Image();
  m_known = false;
  m_usable = false;
}

Status LazyFile::readable() {
  if (m_file.lockLevel() == LockLevel::None) return Status::failure(kBusy, "database is locked");
  return Status::success();
}

Status LazyFile::refresh(bool* schemaChanged) {
  *schemaChanged = false;
  Status st = readable();
  if (!st.ok()) return st;
  m_cache.clear();
  uint32_t pages = m_cache.pageCount();
  std::array<unsigned char, kPageSize> page1{};
  if (pages >= 1) {
    st = m_cache.read(1, page1.data());
    if (!st.ok()) return st;
  }
  /* Everything of page 1 but the freelist head and count, which change
  ** with any write; the schema cookie changes with every schema change. */
  std::array<unsigned char, kOffMeta + 36> header{};
  std::memcpy(header.data(), page1.data(), kOffFreeHead);
  std::memcpy(header.data() + kOffFreeHead, page1.data() + kOffMeta, 36);
  bool shortFile = pages < 2;
  if (m_known && !shortFile && m_usable && header == m_header) return Status::success();
  *schemaChanged = true;
  m_known = false;
  m_catalog.clear();
  m_usable = false;
  if (shortFile) {
    m_known = true;
    return Status::success();
  }
  st = readCatalogSchema(m_cache, m_schema);
  if (!st.ok()) return st;
  m_header = header;
  m_known = true;
  m_usable = m_schema.fileFormat >= 3;
  ByteOrder order;
  order.bigEndian = m_schema.bigEndian;
  if (m_usable) m_catalog.build(m_schema.master, order, m_schema.fileFormat);
  return Status::success();
}

}  // namespace s2
