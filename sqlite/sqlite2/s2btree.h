/*
** Walking one b-tree of a generation-2 file through the page cache: a
** cursor that starts at the first entry or at the first entry not below
** a key, and steps forward in key order.  2.x b-trees are true B-trees
** (interior pages hold entries too), so the cursor keeps one level per
** page from the root down to the page it stands on.  Every page is
** checked as 2.8.17 checks a page when it loads it; damage is reported,
** never followed into a crash or an endless loop.
*/
#ifndef S2BTREE_H
#define S2BTREE_H

#include "s2pager.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace s2 {

/* Deepest b-tree a cursor follows; deeper is damage (2.x trees of the
** largest files are far shallower). */
constexpr size_t kMaxTreeDepth = 40;

/*
** A read cursor over the b-tree rooted at one page.  Protocol:
**   first(), last() or seek(key)  position on an entry (or at the end)
**   atEnd(), key(), data() inspect the entry
**   next()                 step to the following entry
** key() and data() stay valid until the cursor moves.  Each call that
** reads pages returns kCorrupt naming the page when a page is damaged
** (bad cell or free block offsets, sizes that do not add up, a non-root
** page without cells, a child page out of range or met twice in one walk,
** a broken overflow chain) or the cache's read error; the cursor
** is then at the end.  An all-zero root page is an empty tree.
*/
class TreeCursor {
 public:
  TreeCursor(PageCache& cache, ByteOrder order, uint32_t root);

  /* Positions on the smallest entry. */
  Status first();

  /* Positions on the smallest entry whose key is not below KEY (keys
  ** compare as memcmp, a prefix first). */
  Status seek(std::string_view key);

  /* Positions on the largest entry (at the end for an empty tree). */
  Status last();

  /* Steps to the next entry in key order. */
  Status next();

  bool atEnd() const { return m_levels.empty(); }

  /* The key of the current entry. */
  std::string_view key() const { return m_key; }

  /* Makes data() hold the data of the current entry, reading its
  ** overflow pages when it has any (a walk that needs no data, such as a
  ** count, never reads them).  Errors: kCorrupt naming the page. */
  Status loadData();
  std::string_view data() const { return m_data; }

  /* Reads field INDEX of the current entry's record as recordField does,
  ** reading the entry's overflow pages only when the field, or what
  ** places it, lies on them; *value stays valid until the cursor moves or
  ** reads again.  Errors: kCorrupt naming the page for an impossible
  ** record or a damaged overflow chain. */
  Status field(size_t index, bool* isNull, std::string_view* value);

  /* The page the cursor stands on (0 at the end). */
  uint32_t page() const { return m_levels.empty() ? 0 : m_levels.back().page; }

 private:
  struct CellPos {
    uint16_t offset;
    uint32_t leftChild;
  };
  struct Level {
    uint32_t page = 0;
    uint32_t rightChild = 0;
    std::array<unsigned char, kPageSize> bytes;
    std::vector<CellPos> cells;
    size_t index = 0; /* cell stood on, or whose subtree is being walked */
  };

  void restart();
  Status push(uint32_t page);
  Status descendLeftmost();
  Status climb();
  /* The sizes and the on-page bytes of the current entry's payload. */
  struct CellPayload {
    size_t keySize;
    size_t dataSize;
    const char* local;
  };
  CellPayload currentPayload() const;
  Status loadEntry();
  Status assemble();
  Status keyAt(const Level& level, std::string_view& key);
  Status fail(Status status);
  uint32_t childAt(const Level& level, size_t index) const;

  PageCache& m_cache;
  ByteOrder m_order;
  uint32_t m_root;
  std::vector<Level> m_levels;
  std::vector<bool> m_seen;          /* pages met since first() or seek() */
  std::vector<uint32_t> m_seenPages; /* the pages marked in m_seen */
  std::string m_payload;             /* assembled payload of an overflowing entry */
  std::string_view m_key, m_data;
  bool m_dataPending = false; /* the data lies partly on overflow pages */
};

/* Returns the rowid of a 4-byte table key. */
int32_t rowidOfTableKey(std::string_view key);

/* Adds up the sizes of the free blocks of PAGE (a b-tree page in byte
** ORDER) whose list starts at FIRSTFREE into *BYTES.  Returns false when
** the list is damaged: a block outside the page, misaligned, too small, or
** not after the one before it. */
bool freeBlockBytes(const ByteOrder& order, const unsigned char* page, uint32_t firstFree,
                    size_t* bytes);

/* Sets *COUNT to the number of fields stored in a 2.x record (0 for an
** empty one).  Returns false when the record's header is impossible. */
bool recordFieldCount(std::string_view record, size_t* count);

/* Reads field FIELD of a 2.x record (the data of a table entry).  Returns
** false when the record's offsets are impossible; *isNull is set for an
** empty span or a field past the stored ones; *value gets the text up to
** its terminating 0x00. */
bool recordField(std::string_view record, size_t field, bool* isNull, std::string_view* value);

}  // namespace s2

#endif
