/*
** Reading a whole 2.x database file (both byte orders, formats 1 to 4) into
** an Image.  Every b-tree named in sqlite_master is walked and checked the
** way 2.8.17 checks a page when it loads it; table rows are decoded, index
** trees are only checked (their entries are rebuilt from the rows whenever
** the file is written).  Any damage (bad offsets, cycles, pages used twice,
** page numbers out of range, impossible sizes) yields kCorrupt, never a
** crash or an endless loop: every page is visited at most once.
*/
#include "s2btree.h"
#include "s2catalog.h"
#include "s2file.h"
#include "s2format.h"
#include "s2schema.h"
#include "s2value.h"

#include <algorithm>
#include <cstdlib>

namespace s2 {

namespace {

const char kMalformed[] = "database disk image is malformed";

/* One cell as found on a page. */
struct CellRef {
  uint32_t leftChild = 0;
  uint32_t keySize = 0;
  uint32_t dataSize = 0;
  const unsigned char* local = nullptr; /* first local payload byte */
  uint32_t overflowPage = 0;            /* 0 when the payload is all local */
};

/* Walks the b-trees of one file, keeping track of the pages already used. */
class TreeReader {
 public:
  TreeReader(std::string_view bytes, ByteOrder order)
      : m_data(reinterpret_cast<const unsigned char*>(bytes.data())),
        m_pageCount(uint32_t(bytes.size() / kPageSize)),
        m_order(order),
        m_used(m_pageCount + 1, 0) {
    if (m_pageCount >= 1) m_used[1] = 1;
  }

  /* Called for every entry in key order with its key and data bytes. */
  using Visitor = bool (*)(void* context, std::string_view key, std::string_view data);

  /* Walks the tree rooted at ROOT; with WANTPAYLOAD each entry is assembled
  ** and handed to VISIT.  Returns false when the tree is damaged. */
  bool walk(uint32_t root, bool wantPayload, Visitor visit, void* context) {
    m_wantPayload = wantPayload;
    m_visit = visit;
    m_context = context;
    m_leafDepth = -1;
    return walkPage(root, 0, true);
  }

  /* Checks the freelist for pages out of range, reused pages and cycles. */
  bool checkFreelist(uint32_t head) {
    uint32_t trunk = head;
    while (trunk != 0) {
      if (!claim(trunk)) return false;
      const unsigned char* p = page(trunk);
      uint32_t leaves = m_order.get32(p + 4);
      if (leaves > kMaxTrunkLeaves) return false;
      for (uint32_t i = 0; i < leaves; i++) {
        uint32_t leaf = m_order.get32(p + 8 + 4 * i);
        if (!claim(leaf)) return false;
      }
      trunk = m_order.get32(p);
    }
    return true;
  }

 private:
  const unsigned char* page(uint32_t number) const {
    return m_data + size_t(number - 1) * kPageSize;
  }

  /* Marks a page as used; false if it is out of range or already used. */
  bool claim(uint32_t number) {
    if (number < 2 || number > m_pageCount || m_used[number]) return false;
    m_used[number] = 1;
    return true;
  }

  /* Reads the cells of a page in list order, checking what 2.8.17 checks
  ** when it loads a page.  Returns false when the page is damaged. */
  bool readCells(const unsigned char* p, std::vector<CellRef>& cells) {
    uint32_t firstCell = m_order.get16(p + 4);
    uint32_t firstFree = m_order.get16(p + 6);
    size_t cellBytes = 0;
    uint32_t offset = firstCell;
    while (offset != 0) {
      if (offset < kPageHeaderSize || offset > kPageSize - 16 || offset % 4 != 0) return false;
      if (cells.size() >= kUsableSpace / kCellHeaderSize) return false;
      const unsigned char* c = p + offset;
      CellRef cell;
      cell.leftChild = m_order.get32(c);
      cell.keySize = m_order.get16(c + 4) | uint32_t(c[8]) << 16;
      cell.dataSize = m_order.get16(c + 10) | uint32_t(c[9]) << 16;
      cell.local = c + kCellHeaderSize;
      uint64_t payload = uint64_t(cell.keySize) + cell.dataSize;
      size_t size;
      if (payload > kMaxLocalPayload) {
        size = kMaxCellSize;
        cell.overflowPage = m_order.get32(c + kCellHeaderSize + kMaxLocalPayload);
      } else {
        size = (kCellHeaderSize + payload + 3) & ~size_t(3);
      }
      if (offset + size > kPageSize) return false;
      cellBytes += size;
      cells.push_back(cell);
      offset = m_order.get16(c + 6);
    }
    size_t freeBytes = 0;
    uint32_t previous = 0;
    offset = firstFree;
    while (offset != 0) {
      if (offset < kPageHeaderSize || offset > kPageSize - 4 || offset % 4 != 0) return false;
      if (previous != 0 && offset <= previous) return false;
      uint32_t size = m_order.get16(p + offset);
      if (size < 4 || offset + size > kPageSize) return false;
      freeBytes += size;
      previous = offset;
      offset = m_order.get16(p + offset + 2);
    }
    if (firstCell == 0 && firstFree == 0) return true; /* an all-zero empty page */
    return cellBytes + freeBytes == kUsableSpace;
  }

  /* Assembles the payload of CELL (local part and overflow chain).  With
  ** ASSEMBLE false the chain is only checked. */
  bool payload(const CellRef& cell, bool assemble, std::string& out) {
    size_t total = size_t(cell.keySize) + cell.dataSize;
    size_t local = std::min(total, kMaxLocalPayload);
    if (assemble) {
      out.clear();
      out.reserve(total);
      out.append(reinterpret_cast<const char*>(cell.local), local);
    }
    size_t remaining = total - local;
    uint32_t next = cell.overflowPage;
    while (remaining > 0) {
      if (!claim(next)) return false;
      const unsigned char* o = page(next);
      size_t n = std::min(remaining, kOverflowPayload);
      if (assemble) out.append(reinterpret_cast<const char*>(o + 4), n);
      remaining -= n;
      next = m_order.get32(o);
    }
    return true;
  }

  /* Walks the subtree at page NUMBER in key order; false when damaged. */
  bool walkPage(uint32_t number, int depth, bool isRoot) {
    if (depth > 40 || !claim(number)) return false;
    const unsigned char* p = page(number);
    std::vector<CellRef> cells;
    if (!readCells(p, cells)) return false;
    uint32_t rightChild = m_order.get32(p);
    bool interior = rightChild != 0;
    if (cells.empty() && (!isRoot || interior)) return false;
    if (!interior) {
      if (m_leafDepth < 0) m_leafDepth = depth;
      if (m_leafDepth != depth) return false;
    }
    for (const CellRef& cell : cells) {
      if ((cell.leftChild != 0) != interior) return false;
      if (interior && !walkPage(cell.leftChild, depth + 1, false)) return false;
      std::string_view entry(reinterpret_cast<const char*>(cell.local),
                             size_t(cell.keySize) + cell.dataSize);
      if (cell.overflowPage != 0 || entry.size() > kMaxLocalPayload) {
        if (!payload(cell, m_wantPayload, m_assembled)) return false;
        entry = m_assembled;
      }
      if (m_wantPayload &&
          !m_visit(m_context, entry.substr(0, cell.keySize), entry.substr(cell.keySize))) {
        return false;
      }
    }
    if (interior && !walkPage(rightChild, depth + 1, false)) return false;
    return true;
  }

  const unsigned char* m_data;
  uint32_t m_pageCount;
  ByteOrder m_order;
  std::vector<unsigned char> m_used;
  bool m_wantPayload = false;
  Visitor m_visit = nullptr;
  void* m_context = nullptr;
  int m_leafDepth = -1;
  std::string m_assembled; /* payload of the current overflowing cell */
};

/* Decodes a record into its fields (empty span: NULL; else the text up to
** its terminating 0x00).  Returns false when the offsets are impossible. */
bool decodeRecord(std::string_view data, std::vector<Cell>& fields) {
  fields.clear();
  size_t count = 0;
  if (!recordFieldCount(data, &count)) return false;
  fields.reserve(count);
  for (size_t i = 0; i < count; i++) {
    bool isNull = true;
    std::string_view value;
    if (!recordField(data, i, &isNull, &value)) return false;
    if (isNull)
      fields.emplace_back();
    else
      fields.emplace_back(std::in_place, value.data(), value.size());
  }
  return true;
}

/* Collects the rows of one table b-tree in key order. */
struct RowCollector {
  std::vector<Row>* rows;
  size_t columnCount; /* declared columns; 0 when the SQL did not parse */
  int rowidColumn;
  bool first = true;
  int32_t lastRowid = 0;

  /* Decodes one table entry into a Row; false when it is damaged or out
  ** of order. */
  static bool visit(void* context, std::string_view key, std::string_view data) {
    auto* self = static_cast<RowCollector*>(context);
    if (key.size() != 4) return false;
    Row row;
    row.rowid = rowidOfTableKey(key);
    if (!self->first && row.rowid <= self->lastRowid) return false;
    self->first = false;
    self->lastRowid = row.rowid;
    if (!decodeRecord(data, row.cells)) return false;
    if (self->columnCount > 0) row.cells.resize(self->columnCount);
    if (self->rowidColumn >= 0 && size_t(self->rowidColumn) < row.cells.size()) {
      row.cells[self->rowidColumn] = std::to_string(row.rowid);
    }
    self->rows->push_back(std::move(row));
    return true;
  }
};

/* Returns the page number 2.x reads from a rootpage text (atoi). */
int32_t rootPageOf(const Cell& text) {
  if (!text) return 0;
  return int32_t(std::strtol(text->c_str(), nullptr, 10));
}

/* Reads the rows of sqlite_master into IMAGE.master. */
Status readMaster(TreeReader& reader, Image& image) {
  std::vector<Row> rows;
  RowCollector collector{&rows, 0, -1};
  if (!reader.walk(2, true, RowCollector::visit, &collector)) {
    return Status::failure(kCorrupt, kMalformed);
  }
  for (Row& row : rows) {
    row.cells.resize(5);
    if (!row.cells[0] || !row.cells[3]) {
      return Status::failure(kCorrupt, "malformed database schema");
    }
    char kind = (*row.cells[0])[0] | 0x20;
    if (row.cells[0]->empty() || (kind != 't' && kind != 'i' && kind != 'v')) {
      return Status::failure(
          kCorrupt, "malformed database schema: unknown object type \"" + *row.cells[0] + "\"");
    }
    MasterEntry entry;
    entry.rowid = row.rowid;
    entry.type = *row.cells[0];
    entry.name = row.cells[1].value_or(std::string());
    entry.tbl_name = row.cells[2].value_or(std::string());
    entry.rootpage = rootPageOf(row.cells[3]);
    entry.sql = row.cells[4];
    image.master.push_back(std::move(entry));
  }
  return Status::success();
}

/* Format 1 numbered schema rows at random; 2.x processes its tables
** first, so the rows are put in that order and numbered afresh. */
void orderFormatOneSchema(Image& image) {
  std::stable_partition(image.master.begin(), image.master.end(),
                        [](const MasterEntry& e) { return (e.type[0] | 0x20) == 't'; });
  int32_t rowid = 1;
  for (MasterEntry& e : image.master) e.rowid = rowid++;
}

bool isTableEntry(const MasterEntry& e) {
  return sameName(e.type, "table");
}
bool isIndexEntry(const MasterEntry& e) {
  return sameName(e.type, "index");
}

}  // namespace

/* Reads a whole file image.  An empty file, and a file shorter than a page
** that begins with the identification text, are empty databases; any other
** content without that text is no database, however short, so that nothing
** of it is ever overwritten. */
static Status readFile(std::string_view bytes, Image& image, bool withRows) {
  image = Image();
  if (bytes.empty()) return Status::success();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kMagicSize || std::memcmp(p, kMagic, kMagicSize) != 0) {
    return Status::failure(kNotADb, "file is encrypted or is not a database");
  }
  if (bytes.size() < kPageSize) return Status::success();
  ByteOrder order;
  Status header = decodeHeaderPage(p, image, &order);
  if (!header.ok()) return header;

  /* 2.x reads pages beyond the end of the file as zeros, and an all-zero
  ** page is an empty root: a file of one page has an empty schema. */
  if (bytes.size() < 2 * kPageSize) return Status::success();
  TreeReader reader(bytes, order);
  Status status = readMaster(reader, image);
  if (!status.ok()) return status;
  if (image.fileFormat == 1) orderFormatOneSchema(image);
  if (!withRows) return Status::success();

  for (const MasterEntry& entry : image.master) {
    if (isIndexEntry(entry)) {
      if (!reader.walk(uint32_t(entry.rootpage), false, nullptr, nullptr)) {
        return Status::failure(kCorrupt, kMalformed);
      }
      continue;
    }
    if (!isTableEntry(entry)) continue;
    if (image.tables.count(entry.name))
      return Status::failure(kCorrupt, "malformed database schema");
    TableDef def;
    size_t columnCount = 0;
    int rowidColumn = -1;
    if (entry.sql && parseCreateTable(*entry.sql, def)) {
      columnCount = def.columns.size();
      rowidColumn = def.rowidColumn;
    }
    std::vector<Row>& rows = image.tables[entry.name];
    RowCollector collector{&rows, columnCount, rowidColumn};
    if (!reader.walk(uint32_t(entry.rootpage), true, RowCollector::visit, &collector)) {
      return Status::failure(kCorrupt, kMalformed);
    }
  }
  if (!reader.checkFreelist(order.get32(p + kOffFreeHead))) {
    return Status::failure(kCorrupt, kMalformed);
  }
  return Status::success();
}

Status readImage(std::string_view bytes, Image& image) {
  return readFile(bytes, image, true);
}

/* Reads the header and sqlite_master of database BYTES into IMAGE. */
Status readSchema(std::string_view bytes, Image& image) {
  return readFile(bytes, image, false);
}

}  // namespace s2
