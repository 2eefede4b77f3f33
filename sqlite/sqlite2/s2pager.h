/*
** Pages of a generation-2 file read on demand through a bounded cache.
** The B-tree cursors (s2btree.h) reach the file only through a PageCache;
** the cache reaches it through a PageSource, so that the same code runs
** on a file under its 2.x locks and on bytes in memory.  The connection
** empties the cache whenever it gives up its lock on the file: what
** another program may write in between is read again when it is needed.
*/
#ifndef S2PAGER_H
#define S2PAGER_H

#include "s2format.h"
#include "s2status.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace s2 {

/* Where pages come from.  Implementations read the page at file offset
** (NUMBER-1)*1024. */
class PageSource {
 public:
  virtual ~PageSource() = default;

  /* Reads page NUMBER (1-based, at most pageCount()) into OUT, which has
  ** room for kPageSize bytes.  Returns kIoErr when the read fails. */
  virtual Status readPage(uint32_t number, unsigned char* out) = 0;

  /* Returns the number of whole pages the source holds now. */
  virtual uint32_t pageCount() = 0;
};

/* A PageSource over bytes held in memory (tests, tools). */
class MemorySource : public PageSource {
 public:
  explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
  Status readPage(uint32_t number, unsigned char* out) override;
  uint32_t pageCount() override { return uint32_t(m_bytes.size() / kPageSize); }

 private:
  std::string_view m_bytes;
};

/*
** A bounded cache of pages.  read() copies a page into the caller's
** buffer, so no page stays pinned and the cache never grows beyond its
** capacity; the oldest page makes room for a new one.  Page numbers
** outside 1 .. pageCount() are damage (kCorrupt) and read nothing.
** clear() forgets every page and the page count; the next read asks the
** source again.  Counters tell how many pages came from the source, so
** that tests can see how much of a file a statement touched.
*/
class PageCache {
 public:
  static constexpr size_t kDefaultCapacity = 2000; /* 2.x's default cache size */

  explicit PageCache(size_t capacity = kDefaultCapacity);

  /* Makes SOURCE (may be null) the source of pages and clears the cache. */
  void setSource(PageSource* source);
  PageSource* source() const { return m_source; }

  /* Copies page NUMBER into OUT (kPageSize bytes).  Errors: kCorrupt
  ** "database disk image is malformed" naming the page when NUMBER is 0 or
  ** past the end of the file, kMisuse without a source, and the source's
  ** read error. */
  Status read(uint32_t number, unsigned char* out);

  /* Returns the page count of the source (asked once per clear()). */
  uint32_t pageCount();

  /* Forgets every cached page and the page count. */
  void clear();

  /* Pages read from the source since the counters were last reset. */
  uint64_t sourceReads() const { return m_sourceReads; }
  void resetCounters() { m_sourceReads = 0; }

  size_t capacity() const { return m_capacity; }

 private:
  PageSource* m_source = nullptr;
  size_t m_capacity;
  std::vector<unsigned char> m_frames;          /* capacity pages */
  std::vector<uint32_t> m_frameOwner;           /* page held by each frame, 0: none */
  std::unordered_map<uint32_t, size_t> m_where; /* page -> frame */
  size_t m_hand = 0;                            /* next frame to reuse */
  bool m_countKnown = false;
  uint32_t m_pageCount = 0;
  uint64_t m_sourceReads = 0;
};

/* Returns the 2.x corruption status naming page NUMBER. */
Status damagedPage(uint32_t number);

}  // namespace s2

#endif
