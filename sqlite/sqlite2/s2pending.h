/*
** The pages one write changes, held in memory until it is committed: a
** TreeEditor works on copies of the pages it reaches, read through the
** connection's page cache, and the connection then journals and writes
** just the pages that differ.  A write of a few rows thus holds a few
** pages, whatever the size of the file.  The same pages read back through
** a PageCache (as a PageSource) show the file as the write has made it.
*/
#ifndef S2PENDING_H
#define S2PENDING_H

#include "s2file.h"
#include "s2pager.h"
#include "s2treeedit.h"

#include <array>
#include <map>
#include <memory>
#include <vector>

namespace s2 {

class PendingPages : public EditPages, public PageSource {
 public:
  /* Reads through CACHE, which must stay filled from the same file (under
  ** the same lock) while the pending pages live. */
  explicit PendingPages(PageCache& cache);

  unsigned char* page(uint32_t number) override;
  uint32_t count() const override { return m_count; }
  uint32_t append() override;
  Status status() const override { return m_status; }

  Status readPage(uint32_t number, unsigned char* out) override;
  uint32_t pageCount() override { return m_count; }

  /* The pages that differ from the file, in page order, each with its
  ** original bytes (null for an appended page); the file's page count
  ** before the write goes into *originalPages. */
  std::vector<PageWrite> changes(uint32_t* originalPages) const;

 private:
  struct Frame {
    std::array<unsigned char, kPageSize> now;
    std::array<unsigned char, kPageSize> before;
    bool existed = true;
  };

  PageCache& m_cache;
  std::map<uint32_t, std::unique_ptr<Frame>> m_frames;
  uint32_t m_original = 0;
  uint32_t m_count = 0;
  Status m_status;
};

}  // namespace s2

#endif
