/*
** The pages one write changes, held in memory until it is committed: a
** TreeEditor works on copies of the pages it reaches, read through the
** connection's page cache, and the connection then journals and writes
** just the pages that differ.  A write of a few rows thus holds a few
** pages, whatever the size of the file.  The same pages read back through
** a PageCache (as a PageSource) show the file as the write has made it.
** An explicit transaction keeps a second PendingPages over the file that
** takes in the pages of each statement that succeeds, so that a statement
** that fails drops only its own changes and COMMIT writes them all at once.
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
  /* Reads through SOURCE itself (the pages of a transaction over the file). */
  explicit PendingPages(PageSource& source);

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

  /* Takes over the pages STATEMENT changed, which read through a cache
  ** over this object, keeping the original bytes this object has. */
  void absorb(PendingPages& statement);

 private:
  struct Frame {
    std::array<unsigned char, kPageSize> now;
    std::array<unsigned char, kPageSize> before;
    bool existed = true;
  };

  /* Reads page NUMBER of what lies beneath the pending pages. */
  Status readBase(uint32_t number, unsigned char* out);

  PageCache* m_cache = nullptr;
  PageSource* m_source = nullptr;
  std::map<uint32_t, std::unique_ptr<Frame>> m_frames;
  uint32_t m_original = 0;
  uint32_t m_count = 0;
  Status m_status;
};

}  // namespace s2

#endif
