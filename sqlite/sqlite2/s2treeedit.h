/*
** Changing the b-trees of a generation-2 file in place: inserting,
** replacing and removing one entry, with page splits, merges of emptied
** pages and the freelist, as 2.8.17 itself changes a file.  Only the pages
** on the way to the entry (and those a split, a merge or an overflow chain
** needs) change, so a write of a few rows journals and writes a few pages.
** Under-full pages are kept (2.x accepts any fill); empty pages other than
** a root are never left behind.  Whole trees are made (an empty root taken
** from the freelist), filled bottom up and dropped (every page to the
** freelist) for schema changes.
*/
#ifndef S2TREEEDIT_H
#define S2TREEEDIT_H

#include "s2format.h"
#include "s2image.h"
#include "s2status.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace s2 {

/*
** The pages a TreeEditor reads and changes.  page() hands out a page for
** reading and writing that stays at its address while the pages live;
** append() adds a zeroed page at the end of the file.
*/
class EditPages {
 public:
  virtual ~EditPages() = default;

  /* Returns page NUMBER (1 .. count()), or null when it cannot be read
  ** (status() then tells why). */
  virtual unsigned char* page(uint32_t number) = 0;

  /* Returns the number of pages the file has with the appended ones. */
  virtual uint32_t count() const = 0;

  /* Appends a zeroed page; returns its number, 0 when it cannot. */
  virtual uint32_t append() = 0;

  /* The first error met while reading or appending pages. */
  virtual Status status() const = 0;
};

/* EditPages over the whole file content held in one string. */
class BytePages : public EditPages {
 public:
  explicit BytePages(std::string& bytes) : m_bytes(bytes) {}
  unsigned char* page(uint32_t number) override;
  uint32_t count() const override { return uint32_t(m_bytes.size() / kPageSize); }
  uint32_t append() override;
  Status status() const override { return Status::success(); }

 private:
  std::string& m_bytes;
};

/*
** Edits the file content BYTES (whole pages) in its byte order ORDER.
** Each call leaves BYTES a valid file when it succeeds; on failure BYTES
** may be half changed and must be thrown away.  Errors: kCorrupt naming
** the page when a page met on the way is damaged, kTooBig for an entry of
** more than 1 MiB, the errors of the pages' reads.
*/
class TreeEditor {
 public:
  TreeEditor(std::string& bytes, ByteOrder order);

  /* Edits PAGES, which must outlive the editor; on failure the pages may
  ** be half changed and must be thrown away. */
  TreeEditor(EditPages& pages, ByteOrder order);

  /* Inserts the entry KEY/DATA into the tree rooted at ROOT, replacing the
  ** entry of the same key if there is one. */
  Status insert(uint32_t root, std::string_view key, std::string_view data);

  /* Removes the entry KEY; *found tells whether there was one. */
  Status remove(uint32_t root, std::string_view key, bool* found);

  /* Looks for the first entry whose key begins with PREFIX; *key receives
  ** it (empty when there is none). */
  Status findPrefix(uint32_t root, std::string_view prefix, std::string* key);

  /* Makes a new empty tree: a page taken from the freelist (or appended
  ** when the freelist is empty), as 2.x allocates one, made an empty leaf.
  ** *root receives its number. */
  Status createTree(uint32_t* root);

  /* Fills the empty tree rooted at ROOT with ENTRIES (key and data, in
  ** key order, keys unique), built bottom up with its pages full, the
  ** pages taken as createTree() takes them.  Errors: kInternal when the
  ** tree is not empty, kTooBig for an entry of more than 1 MiB. */
  Status fill(uint32_t root, const std::vector<std::pair<std::string, std::string>>& entries);

  /* Puts every page of the tree rooted at ROOT (its root, interior pages,
  ** leaves and overflow chains) on the freelist, as 2.x drops a table.
  ** Errors: kCorrupt naming a page met twice or damaged. */
  Status dropTree(uint32_t root);

  /* Adds STEP to the schema cookie (meta value 1 on page 1). */
  Status advanceSchemaCookie(uint32_t step);

 private:
  struct Node {
    uint32_t page = 0;
    uint32_t right = 0;
    std::vector<std::string> cells; /* whole cells, header included */
    bool dirty = false;
  };
  struct Level {
    Node node;
    size_t index = 0; /* child of node the path continues in */
  };

  Status insertEntry(uint32_t root, std::string_view key, std::string_view data);
  Status removeEntry(uint32_t root, std::string_view key, bool* found);
  Status findEntry(uint32_t root, std::string_view prefix, std::string* key);
  unsigned char* page(uint32_t number);
  uint32_t pageCount() const;
  Status readNode(uint32_t number, Node& node);
  void writeNode(const Node& node);
  Status cellKey(const std::string& cell, std::string& key);
  Status makeCell(std::string_view key, std::string_view data, uint32_t left, std::string& cell);
  Status freeChain(const std::string& cell);
  Status allocate(uint32_t* number);
  Status release(uint32_t number);
  uint32_t leftOf(const std::string& cell) const;
  void setLeft(std::string& cell, uint32_t left) const;
  static size_t nodeBytes(const Node& node);
  Status fillLevels(uint32_t root, std::vector<std::string>& cells);
  Status descend(uint32_t root, std::string_view key, std::vector<Level>& path, Node& node,
                 size_t* index, bool* equal);
  Status settle(std::vector<Level>& path, Node node);
  Status split(Node& node, std::vector<Level>& path);
  Status mergeEmpty(Node& node, Level& up, size_t* siblingIndex, Node& sibling);

  /* Returns the first read error of the pages, or STATUS. */
  Status checked(Status status) const;

  std::unique_ptr<BytePages> m_ownPages; /* when made over bytes */
  EditPages& m_pages;
  ByteOrder m_order;
  std::array<unsigned char, kPageSize> m_scratch{}; /* stands in for an unreadable page */
  /* The entry being inserted goes after every other of the tree: pages
  ** that overflow then keep all but their last entry, so that entries
  ** added in key order (a new index, the rows of a new table, new rowids)
  ** fill their pages instead of leaving them half empty. */
  bool m_appending = false;
};

/* Appends the 2.x record of FIELDS to OUT: offsets little-endian, their
** width chosen by size; NULLCOLUMN (or -1) is stored as NULL. */
void encodeRowRecord(const std::vector<Cell>& fields, int nullColumn, std::string& out);

}  // namespace s2

#endif
