/*
** Building the bytes of a genuine 2.x file (format 4, native byte order)
** from an Image.  The layout is a pure function of the image: root pages
** are handed out in the order 2.8.17 would create the objects, every
** b-tree is bulk-loaded from its sorted entries, every index is rebuilt
** from the table rows in the 2.x key encoding, and no free pages are
** written.  So writing an unchanged image again gives the same bytes.
** Everything 2.8.17 could not load is refused before a byte is produced.
*/
#include "s2file.h"
#include "s2format.h"
#include "s2schema.h"
#include "s2treeedit.h"
#include "s2value.h"

#include <algorithm>
#include <random>

namespace s2 {

namespace {

/* The cells of one b-tree, ready to be placed: each cell's bytes (header,
** local payload, overflow page number, padded to 4; left child zero) lie
** one after the other in one buffer. */
struct CellList {
  std::string bytes;
  std::vector<uint32_t> offsets; /* start of each cell in bytes */
  std::vector<uint16_t> sizes;

  size_t count() const { return offsets.size(); }
  size_t size(size_t i) const { return sizes[i]; }
  const char* data(size_t i) const { return bytes.data() + offsets[i]; }
};

/* What the writer knows about one schema row. */
struct SchemaObject {
  const MasterEntry* entry = nullptr;
  uint32_t root = 0;
  bool parsed = false;
  TableDef table;                      /* for tables */
  IndexDef index;                      /* for indices */
  const SchemaObject* owner = nullptr; /* the table of an index */
};

/* Collects the pages of the new file. */
class PageSink {
 public:
  explicit PageSink(ByteOrder order) : order(order) {}

  ByteOrder order;
  std::string file; /* page k at offset (k-1)*1024 */

  /* Appends a zeroed page and returns its number. */
  uint32_t allocate() {
    file.append(kPageSize, '\0');
    return uint32_t(file.size() / kPageSize);
  }
  /* Returns the number of pages so far. */
  uint32_t pageCount() const { return uint32_t(file.size() / kPageSize); }
  /* Returns the bytes of page NUMBER (valid until the next allocate). */
  unsigned char* page(uint32_t number) {
    return reinterpret_cast<unsigned char*>(file.data()) + size_t(number - 1) * kPageSize;
  }
};

/* Appends the cell of an entry to CELLS, spilling the payload beyond 236
** bytes into freshly allocated overflow pages. */
void addCell(PageSink& sink, CellList& cells, std::string_view key, std::string_view data) {
  size_t total = key.size() + data.size();
  size_t local = std::min(total, kMaxLocalPayload);
  size_t size =
      total > kMaxLocalPayload ? kMaxCellSize : (kCellHeaderSize + total + 3) & ~size_t(3);
  size_t start = cells.bytes.size();
  cells.offsets.push_back(uint32_t(start));
  cells.sizes.push_back(uint16_t(size));
  cells.bytes.append(size, '\0');
  unsigned char* c = reinterpret_cast<unsigned char*>(cells.bytes.data()) + start;
  sink.order.put16(c + 4, uint32_t(key.size()) & 0xffff);
  c[8] = uint8_t(key.size() >> 16);
  c[9] = uint8_t(data.size() >> 16);
  sink.order.put16(c + 10, uint32_t(data.size()) & 0xffff);
  size_t n = std::min(local, key.size());
  std::memcpy(c + kCellHeaderSize, key.data(), n);
  if (local > n) std::memcpy(c + kCellHeaderSize + n, data.data(), local - n);
  if (total <= kMaxLocalPayload) return;

  size_t linkOffset = start + kCellHeaderSize + kMaxLocalPayload; /* within cells.bytes */
  uint32_t previousPage = 0;
  size_t done = local;
  while (done < total) {
    uint32_t number = sink.allocate();
    if (previousPage == 0) {
      sink.order.put32(reinterpret_cast<unsigned char*>(cells.bytes.data()) + linkOffset, number);
    } else {
      sink.order.put32(sink.page(previousPage), number);
    }
    unsigned char* o = sink.page(number);
    size_t chunk = std::min(total - done, kOverflowPayload);
    for (size_t i = 0; i < chunk;) {
      size_t at = done + i;
      if (at < key.size()) {
        size_t m = std::min(chunk - i, key.size() - at);
        std::memcpy(o + 4 + i, key.data() + at, m);
        i += m;
      } else {
        std::memcpy(o + 4 + i, data.data() + (at - key.size()), chunk - i);
        i = chunk;
      }
    }
    done += chunk;
    previousPage = number;
  }
}

/* Writes the cells MEMBERS of CELLS onto page NUMBER in order, chaining
** them and covering the rest with one free block.  LEFT gives each cell's
** left child (empty on leaves); RIGHT is the right child. */
void fillPage(PageSink& sink, uint32_t number, const CellList& cells,
              const std::vector<size_t>& members, const std::vector<uint32_t>& left,
              uint32_t right) {
  unsigned char* p = sink.page(number);
  std::memset(p, 0, kPageSize);
  sink.order.put32(p, right);
  size_t offset = kPageHeaderSize;
  sink.order.put16(p + 4, members.empty() ? 0 : uint32_t(offset));
  for (size_t i = 0; i < members.size(); i++) {
    size_t size = cells.size(members[i]);
    std::memcpy(p + offset, cells.data(members[i]), size);
    if (!left.empty()) sink.order.put32(p + offset, left[i]);
    size_t next = offset + size;
    sink.order.put16(p + offset + 6, i + 1 < members.size() ? uint32_t(next) : 0);
    offset = next;
  }
  if (offset < kPageSize) {
    sink.order.put16(p + 6, uint32_t(offset));
    sink.order.put16(p + offset, uint32_t(kPageSize - offset));
    sink.order.put16(p + offset + 2, 0);
  } else {
    sink.order.put16(p + 6, 0);
  }
}

/* Splits the entries ITEMS (indices into CELLS) into pages (see
** groupIntoPages in s2format.h). */
void groupCells(const CellList& cells, const std::vector<size_t>& items,
                std::vector<std::vector<size_t>>& groups, std::vector<size_t>& promoted) {
  groupIntoPages(
      items, [&](size_t i) { return size_t(cells.size(i)); }, groups, promoted);
}

/* Bulk-loads a b-tree from CELLS (sorted by key) with its root at ROOT. */
void buildTree(PageSink& sink, uint32_t root, const CellList& cells) {
  std::vector<size_t> items(cells.count());
  for (size_t i = 0; i < items.size(); i++) items[i] = i;
  std::vector<std::vector<size_t>> groups;
  std::vector<size_t> promoted;
  groupCells(cells, items, groups, promoted);
  if (groups.size() == 1) {
    fillPage(sink, root, cells, groups[0], {}, 0);
    return;
  }
  std::vector<uint32_t> children;
  for (const auto& group : groups) {
    uint32_t number = sink.allocate();
    fillPage(sink, number, cells, group, {}, 0);
    children.push_back(number);
  }
  for (;;) {
    std::vector<std::vector<size_t>> upper;
    std::vector<size_t> upperPromoted;
    groupCells(cells, promoted, upper, upperPromoted);
    /* Children of group g: one per member plus the one after its last. */
    std::vector<uint32_t> nextChildren;
    size_t child = 0;
    bool isRoot = upper.size() == 1;
    for (const auto& group : upper) {
      std::vector<uint32_t> left(group.begin(), group.end());
      for (size_t i = 0; i < group.size(); i++) left[i] = children[child++];
      uint32_t right = children[child++];
      uint32_t number = isRoot ? root : sink.allocate();
      fillPage(sink, number, cells, group, left, right);
      nextChildren.push_back(number);
    }
    if (isRoot) return;
    children = std::move(nextChildren);
    promoted = std::move(upperPromoted);
  }
}

bool isType(const MasterEntry& e, const char* type) {
  return sameName(e.type, type);
}

/* Finds the schema object named NAME of a type owning rows (table or view). */
const SchemaObject* findOwner(const std::vector<SchemaObject>& objects, std::string_view name,
                              bool tablesOnly) {
  for (const SchemaObject& o : objects) {
    bool candidate = isType(*o.entry, "table") || (!tablesOnly && isType(*o.entry, "view"));
    if (candidate && sameName(o.entry->name, name)) return &o;
  }
  return nullptr;
}

/* Parses every schema row and checks the order 2.8.17 needs when it loads
** the schema (a table before its indices and triggers). */
Status analyseSchema(const Image& image, std::vector<SchemaObject>& objects) {
  objects.clear();
  objects.reserve(image.master.size());
  for (size_t i = 0; i < image.master.size(); i++) {
    const MasterEntry& e = image.master[i];
    if (i > 0 && e.rowid <= image.master[i - 1].rowid) {
      return Status::failure(kInternal, "sqlite_master rows are not in rowid order");
    }
    if (e.type.empty() || e.name.empty()) {
      return Status::failure(kInternal, "sqlite_master row without type or name");
    }
    SchemaObject o;
    o.entry = &e;
    if (isType(e, "table") && e.sql) {
      o.parsed = parseCreateTable(*e.sql, o.table);
      if (o.parsed && o.table.temporary) o.parsed = false;
    }
    objects.push_back(std::move(o));
  }
  for (SchemaObject& o : objects) {
    const MasterEntry& e = *o.entry;
    bool isIndex = isType(e, "index");
    if (!isIndex && !isType(e, "trigger")) continue;
    const SchemaObject* owner = findOwner(objects, e.tbl_name, isIndex);
    if (!owner) continue;
    if (owner->entry->rowid > e.rowid) {
      return Status::failure(kInternal, "sqlite_master lists " + e.type + " " + e.name +
                                            " before its table " + e.tbl_name);
    }
    if (!isIndex || !owner->parsed) continue;
    o.owner = owner;
    if (!e.sql || e.sql->empty()) {
      for (const IndexDef& autoIndex : owner->table.autoIndices) {
        if (sameName(autoIndex.name, e.name)) {
          o.index = autoIndex;
          o.parsed = true;
        }
      }
      continue;
    }
    IndexStatement stmt;
    std::string error;
    if (parseCreateIndex(*e.sql, stmt, &error)) {
      if (!resolveIndex(stmt, owner->table, o.index, &error)) {
        return Status::failure(kError, error);
      }
      o.parsed = true;
    }
  }
  /* Every automatic index a table defines needs its row, or 2.8.17 would
  ** load an index without pages. */
  for (const SchemaObject& o : objects) {
    if (!o.parsed || !isType(*o.entry, "table")) continue;
    for (const IndexDef& autoIndex : o.table.autoIndices) {
      bool found = false;
      for (const SchemaObject& other : objects) {
        if (other.owner == &o && isType(*other.entry, "index") &&
            sameName(other.entry->name, autoIndex.name)) {
          found = true;
        }
      }
      if (!found)
        return Status::failure(kInternal, "missing sqlite_master row for " + autoIndex.name);
    }
  }
  return Status::success();
}

/* Hands out root pages from 3 on in 2.8.17's creation order: the automatic
** indices of a table before the table, other indices in row order. */
void assignRoots(std::vector<SchemaObject>& objects) {
  uint32_t next = 3;
  for (SchemaObject& o : objects) {
    if (isType(*o.entry, "table")) {
      for (SchemaObject& other : objects) {
        if (other.owner == &o && other.root == 0 &&
            (!other.entry->sql || other.entry->sql->empty())) {
          other.root = next++;
        }
      }
      o.root = next++;
    } else if (isType(*o.entry, "index") && o.root == 0) {
      o.root = next++;
    }
  }
}

/* Returns the error for a value 2.8.17 cannot store, or success. */
Status checkValues(const std::string& table, const Row& row) {
  for (const Cell& cell : row.cells) {
    if (cell && cell->find('\0') != std::string::npos) {
      return Status::failure(kMismatch, "table " + table + ": row " + std::to_string(row.rowid) +
                                            " holds a value with a NUL byte");
    }
  }
  return Status::success();
}

/* Builds the sorted cells of a table and of each of its indices. */
Status buildTableTrees(PageSink& sink, const SchemaObject& table, const std::vector<Row>& rows,
                       const std::vector<const SchemaObject*>& indices) {
  const std::string& name = table.entry->name;
  std::vector<const Row*> ordered;
  ordered.reserve(rows.size());
  for (const Row& row : rows) ordered.push_back(&row);
  if (!std::is_sorted(ordered.begin(), ordered.end(),
                      [](const Row* a, const Row* b) { return a->rowid < b->rowid; })) {
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Row* a, const Row* b) { return a->rowid < b->rowid; });
  }
  size_t columns = table.parsed ? table.table.columns.size() : 0;
  int nullColumn = table.parsed ? table.table.rowidColumn : -1;
  CellList cells;
  cells.offsets.reserve(ordered.size());
  cells.sizes.reserve(ordered.size());
  std::string record;
  std::vector<Cell> padded;
  for (size_t i = 0; i < ordered.size(); i++) {
    const Row& row = *ordered[i];
    if (i > 0 && row.rowid == ordered[i - 1]->rowid) {
      return Status::failure(
          kConstraint, "table " + name + ": rowid " + std::to_string(row.rowid) + " is used twice");
    }
    Status status = checkValues(name, row);
    if (!status.ok()) return status;
    if (columns != 0 && row.cells.size() > columns) {
      return Status::failure(kInternal, "table " + name + ": row " + std::to_string(row.rowid) +
                                            " has more values than the table has columns");
    }
    if (columns != 0 && row.cells.size() != columns) {
      padded = row.cells;
      padded.resize(columns);
      encodeRowRecord(padded, nullColumn, record);
    } else {
      encodeRowRecord(row.cells, nullColumn, record);
    }
    if (record.size() > kMaxRecordSize) {
      return Status::failure(kTooBig, "too much data for one table row");
    }
    addCell(sink, cells, rowidKey(row.rowid), record);
  }
  buildTree(sink, table.root, cells);

  for (const SchemaObject* index : indices) {
    std::vector<std::string> keys;
    keys.reserve(ordered.size());
    for (const Row* row : ordered) {
      keys.push_back(indexKey(index->index, table.table, *row));
      if (keys.back().size() > kMaxRecordSize) {
        return Status::failure(kTooBig, "too much data for one table row");
      }
    }
    std::sort(keys.begin(), keys.end());
    if (index->index.unique) {
      for (size_t k = 1; k < keys.size(); k++) {
        const std::string &a = keys[k - 1], &b = keys[k];
        if (a.size() != b.size() || a.compare(0, a.size() - 4, b, 0, b.size() - 4) != 0) continue;
        /* Keys with a NULL field never conflict. */
        bool hasNull = false;
        size_t pos = 0;
        for (size_t f = 0; f < index->index.columns.size() && pos < a.size(); f++) {
          if (a[pos] == 'a') hasNull = true;
          pos = a.find('\0', pos) + 1;
        }
        if (!hasNull) {
          return Status::failure(
              kConstraint, "indexed columns are not unique (index " + index->entry->name + ")");
        }
      }
    }
    CellList indexCells;
    for (const std::string& key : keys) addCell(sink, indexCells, key, std::string_view());
    buildTree(sink, index->root, indexCells);
  }
  return Status::success();
}

/* Returns true when the schema rows of A and B are the same, root pages
** included. */
bool sameSchema(const std::vector<MasterEntry>& a, const std::vector<MasterEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    const MasterEntry &x = a[i], &y = b[i];
    if (x.rowid != y.rowid || x.type != y.type || x.name != y.name || x.tbl_name != y.tbl_name ||
        x.rootpage != y.rootpage || x.sql != y.sql) {
      return false;
    }
  }
  return true;
}

/* Returns a random step of 1 .. 256 for the schema cookie, as 2.x uses. */
uint32_t cookieStep() {
  std::random_device device;
  return device() % 256 + 1;
}

}  // namespace

/* Builds the complete bytes of a format 4 file holding IMAGE. */
Status buildImage(const Image& image, const Image* previous, std::string& bytes) {
  std::vector<SchemaObject> objects;
  Status status = analyseSchema(image, objects);
  if (!status.ok()) return status;
  assignRoots(objects);

  ByteOrder order;
  order.bigEndian = nativeBigEndian();
  PageSink sink(order);
  sink.allocate(); /* page 1: the header */
  sink.allocate(); /* page 2: the root of sqlite_master */
  uint32_t lastRoot = 2;
  for (const SchemaObject& o : objects) lastRoot = std::max(lastRoot, o.root);
  while (sink.pageCount() < lastRoot) sink.allocate();

  /* sqlite_master with the new root pages. */
  std::vector<MasterEntry> master = image.master;
  CellList masterCells;
  std::string record;
  for (size_t i = 0; i < master.size(); i++) {
    master[i].rootpage = int32_t(objects[i].root);
    const MasterEntry& e = master[i];
    std::vector<Cell> fields{e.type, e.name, e.tbl_name, std::to_string(e.rootpage), e.sql};
    Row row;
    row.rowid = e.rowid;
    row.cells = fields;
    status = checkValues("sqlite_master", row);
    if (!status.ok()) return status;
    encodeRowRecord(fields, -1, record);
    if (record.size() > kMaxRecordSize)
      return Status::failure(kTooBig, "too much data for one table row");
    addCell(sink, masterCells, rowidKey(e.rowid), record);
  }
  buildTree(sink, 2, masterCells);

  static const std::vector<Row> kNoRows;
  for (const SchemaObject& o : objects) {
    if (!isType(*o.entry, "table")) continue;
    auto found = image.tables.find(o.entry->name);
    const std::vector<Row>& rows = found == image.tables.end() ? kNoRows : found->second;
    std::vector<const SchemaObject*> indices;
    for (const SchemaObject& other : objects) {
      if (other.owner == &o && other.parsed) indices.push_back(&other);
    }
    status = buildTableTrees(sink, o, rows, indices);
    if (!status.ok()) return status;
  }
  /* Indices whose definition could not be resolved get an empty tree. */
  for (const SchemaObject& o : objects) {
    if (isType(*o.entry, "index") && !(o.owner && o.parsed)) buildTree(sink, o.root, CellList());
  }

  uint32_t cookie = image.schemaCookie;
  if (previous) {
    cookie = previous->schemaCookie;
    bool formatChanged = previous->fileFormat != kCurrentFormat;
    if (!sameSchema(master, previous->master) || formatChanged) cookie += cookieStep();
  } else if (cookie == 0 && !master.empty()) {
    cookie = cookieStep();
  }

  unsigned char* header = sink.page(1);
  std::memcpy(header, kMagic, kMagicSize);
  order.put32(header + kOffMark, kByteOrderMark);
  auto putMeta = [&](int k, uint32_t v) { order.put32(header + kOffMeta + 4 * (k - 1), v); };
  putMeta(1, cookie);
  putMeta(2, kCurrentFormat);
  putMeta(3, uint32_t(image.defaultCacheSize));
  putMeta(4, uint32_t(image.defaultSafetyLevel));
  putMeta(5, image.unusedMeta[0]);
  putMeta(6, uint32_t(image.defaultTempStore));
  putMeta(7, image.unusedMeta[1]);
  putMeta(8, image.unusedMeta[2]);
  putMeta(9, image.unusedMeta[3]);

  bytes = std::move(sink.file);
  return Status::success();
}

}  // namespace s2
