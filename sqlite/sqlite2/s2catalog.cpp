/*
** Reading the header and schema of a generation-2 file through the page
** cache, and the catalog of its tables and indices built from the schema.
*/
#include "s2catalog.h"
#include "s2format.h"
#include "s2sqltoken.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <set>

namespace s2 {

namespace {

const char kNotADatabase[] = "file is encrypted or is not a database";
const char kBadSchema[] = "malformed database schema";

/* Returns the page number 2.x reads from a rootpage text (atoi). */
int32_t rootPageOf(std::string_view text) {
  return int32_t(std::strtol(std::string(text).c_str(), nullptr, 10));
}

/* Reads the rows of sqlite_master (page 2) into IMAGE.master. */
Status readMasterRows(PageCache& cache, ByteOrder order, Image& image) {
  TreeCursor cursor(cache, order, 2);
  Status st = cursor.first();
  bool first = true;
  int32_t last = 0;
  std::set<std::string> tableNames;
  for (; st.ok() && !cursor.atEnd(); st = cursor.next()) {
    if (cursor.key().size() != 4) return damagedPage(cursor.page());
    int32_t rowid = rowidOfTableKey(cursor.key());
    if (!first && rowid <= last) return damagedPage(cursor.page());
    st = cursor.loadData();
    if (!st.ok()) return st;
    first = false;
    last = rowid;
    std::array<Cell, 5> cells;
    for (size_t i = 0; i < cells.size(); ++i) {
      bool isNull = true;
      std::string_view value;
      if (!recordField(cursor.data(), i, &isNull, &value)) return damagedPage(cursor.page());
      if (!isNull) cells[i] = std::string(value);
    }
    if (!cells[0] || !cells[3]) return Status::failure(kCorrupt, kBadSchema);
    char kind = cells[0]->empty() ? 0 : char((*cells[0])[0] | 0x20);
    if (kind != 't' && kind != 'i' && kind != 'v') {
      return Status::failure(
          kCorrupt, std::string(kBadSchema) + ": unknown object type \"" + *cells[0] + "\"");
    }
    MasterEntry entry;
    entry.rowid = rowid;
    entry.type = *cells[0];
    entry.name = cells[1].value_or(std::string());
    entry.tbl_name = cells[2].value_or(std::string());
    entry.rootpage = rootPageOf(*cells[3]);
    entry.sql = cells[4];
    if (sameName(entry.type, "table") && !tableNames.insert(entry.name).second)
      return Status::failure(kCorrupt, kBadSchema);
    image.master.push_back(std::move(entry));
  }
  return st;
}

}  // namespace

Status decodeHeaderPage(const unsigned char* p, Image& image, ByteOrder* order) {
  if (std::memcmp(p, kMagic, kMagicSize) != 0) return Status::failure(kNotADb, kNotADatabase);
  order->bigEndian = nativeBigEndian();
  if (order->get32(p + kOffMark) != kByteOrderMark) {
    order->bigEndian = !order->bigEndian;
    if (order->get32(p + kOffMark) != kByteOrderMark)
      return Status::failure(kNotADb, kNotADatabase);
  }
  image.bigEndian = order->bigEndian;
  auto meta = [&](int k) { return order->get32(p + kOffMeta + 4 * (k - 1)); };
  image.schemaCookie = meta(1);
  image.fileFormat = meta(2) == 0 ? kCurrentFormat : meta(2);
  if (image.fileFormat > kCurrentFormat) return Status::failure(kError, "unsupported file format");
  image.defaultCacheSize = int32_t(meta(3));
  image.defaultSafetyLevel = int32_t(meta(4));
  image.defaultTempStore = int32_t(meta(6));
  image.unusedMeta[0] = meta(5);
  image.unusedMeta[1] = meta(7);
  image.unusedMeta[2] = meta(8);
  image.unusedMeta[3] = meta(9);
  return Status::success();
}

Status readCatalogSchema(PageCache& cache, Image& image) {
  image = Image();
  if (cache.pageCount() == 0) return Status::success();
  std::array<unsigned char, kPageSize> header;
  Status st = cache.read(1, header.data());
  if (!st.ok()) return st;
  const unsigned char* p = header.data();
  ByteOrder order;
  st = decodeHeaderPage(p, image, &order);
  if (!st.ok()) return st;
  /* A file of one page has an empty schema (2.x reads the missing page 2
  ** as zeros, an empty root). */
  if (cache.pageCount() < 2) return Status::success();
  st = readMasterRows(cache, order, image);
  if (!st.ok()) return st;
  if (image.fileFormat == 1) {
    /* Format 1 numbered schema rows at random; 2.x processes its tables
    ** first, so the rows are put in that order and numbered afresh. */
    std::stable_partition(image.master.begin(), image.master.end(),
                          [](const MasterEntry& e) { return (e.type[0] | 0x20) == 't'; });
    int32_t rowid = 1;
    for (MasterEntry& e : image.master) e.rowid = rowid++;
  }
  return Status::success();
}

void TreeCatalog::clear() {
  m_tables.clear();
}

void TreeCatalog::build(const std::vector<MasterEntry>& master, ByteOrder order,
                        uint32_t fileFormat) {
  m_tables.clear();
  m_order = order;
  m_fileFormat = fileFormat;
  std::map<std::string, uint32_t> roots; /* index name (lower-case) -> root */
  for (const MasterEntry& e : master) {
    if (sameName(e.type, "index") && e.rootpage > 0)
      roots[lowerAscii(e.name)] = uint32_t(e.rootpage);
    if (!sameName(e.type, "table") || !e.sql || e.rootpage <= 0) continue;
    TreeTable table;
    if (!parseCreateTable(*e.sql, table.def)) continue;
    table.root = uint32_t(e.rootpage);
    m_tables.emplace(lowerAscii(e.name), std::move(table));
  }
  for (auto& [key, table] : m_tables) {
    for (const IndexDef& index : table.def.autoIndices) {
      auto root = roots.find(lowerAscii(index.name));
      if (root != roots.end()) table.indices.push_back({index, root->second});
    }
  }
  for (const MasterEntry& e : master) {
    if (!sameName(e.type, "index") || !e.sql || e.sql->empty() || e.rootpage <= 0) continue;
    IndexStatement statement;
    if (!parseCreateIndex(*e.sql, statement)) continue;
    auto table = m_tables.find(lowerAscii(statement.tableName));
    IndexDef def;
    if (table == m_tables.end() || !resolveIndex(statement, table->second.def, def)) continue;
    table->second.indices.push_back({def, uint32_t(e.rootpage)});
  }
}

const TreeTable* TreeCatalog::find(std::string_view name) const {
  auto it = m_tables.find(lowerAscii(name));
  return it == m_tables.end() ? nullptr : &it->second;
}

}  // namespace s2
