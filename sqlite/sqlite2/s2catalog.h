/*
** What the lazy readers of a generation-2 file know about it: the header
** values and sqlite_master rows read through the page cache, and for each
** table its definition, root page and the indices a lookup may use.  The
** catalog is rebuilt whenever the schema cookie of the file changes.
*/
#ifndef S2CATALOG_H
#define S2CATALOG_H

#include "s2btree.h"
#include "s2image.h"
#include "s2schema.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace s2 {

/* An index of a table with its root page. */
struct TreeIndex {
  IndexDef def;
  uint32_t root = 0;
};

/* One table of the file as the lazy readers see it. */
struct TreeTable {
  TableDef def;
  uint32_t root = 0;
  std::vector<TreeIndex> indices; /* every index of the table with a root */
};

/* Reads the header values and the sqlite_master rows of the file behind
** CACHE into IMAGE (no table rows), as the whole-file reader does: the
** same checks of the identification text, byte order and format, the same
** schema errors, the format 1 schema order.  Only page 1 and the pages of
** sqlite_master are read.  Errors: kNotADb, kError "unsupported file
** format", kCorrupt (naming the damaged page), the cache's read errors. */
Status readCatalogSchema(PageCache& cache, Image& image);

/* Reads the header page P (kPageSize bytes) into IMAGE's byte order, schema
** cookie, file format and meta values, and sets *ORDER to the file's byte
** order.  Returns kNotADb when P is no 2.x header page, kError for a file
** format newer than this engine writes. */
Status decodeHeaderPage(const unsigned char* p, Image& image, ByteOrder* order);

/*
** The tables of one file by name (compared as 2.x compares names).
** build() fills it from schema rows; lookups are valid until the next
** build() or clear().
*/
class TreeCatalog {
 public:
  /* Fills the catalog from MASTER (tables whose CREATE TABLE does not
  ** parse are left out, as 2.x leaves them out; indices whose statement
  ** does not resolve are ignored). */
  void build(const std::vector<MasterEntry>& master, ByteOrder order, uint32_t fileFormat);
  void clear();

  /* Returns the table NAME, or null. */
  const TreeTable* find(std::string_view name) const;

  ByteOrder byteOrder() const { return m_order; }

  /* In files of format 3 and lower every column compares as numeric and
  ** index keys follow other rules, so no index is used for lookups. */
  bool allNumeric() const { return m_fileFormat < 4; }

 private:
  std::map<std::string, TreeTable> m_tables; /* by lower-case name */
  ByteOrder m_order;
  uint32_t m_fileFormat = 4;
};

}  // namespace s2

#endif
