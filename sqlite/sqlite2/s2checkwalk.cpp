/*
** The tree walk of the structural checker (see s2check.h).
**
** The file is read as one byte string.  Page 1 is checked first, then the
** b-tree of sqlite_master on page 2 is walked and its rows analysed with
** the checker's own parser of CREATE TABLE / CREATE INDEX text (column
** classes, the INTEGER PRIMARY KEY, automatic index names).  Every table and
** index tree is walked next, the freelist last; each page is marked when it
** is reached, so a page reached twice is reported and never walked again,
** which also keeps a damaged file from sending the walk round in circles.
** Finally each index is compared with the keys its table's rows produce
** (s2checkindex.cpp).
*/
#include "s2checkwalk.h"

#include "s2check.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace s2check {

namespace {

/* Splits a record into its fields.  Returns false with ERROR set when the
** offsets or value bytes are not a valid record. */
bool ParseRecord(const std::string& data, std::vector<Cell>& fields, std::string& error) {
  size_t length = data.size();
  if (length == 0) return true;
  size_t width = length < 256 ? 1 : length < 65536 ? 2 : 3;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
  auto offsetAt = [&](size_t i) {
    size_t v = 0;
    for (size_t k = 0; k < width; k++) v |= static_cast<size_t>(p[i * width + k]) << (8 * k);
    return v;
  };
  if (length < width) {
    error = "record shorter than its header";
    return false;
  }
  size_t headerEnd = offsetAt(0);
  if (headerEnd % width != 0 || headerEnd < 2 * width || headerEnd > length) {
    error = "bad record header size " + std::to_string(headerEnd);
    return false;
  }
  size_t count = headerEnd / width - 1;
  for (size_t i = 0; i < count; i++) {
    size_t begin = offsetAt(i);
    size_t end = offsetAt(i + 1);
    if (begin < headerEnd || end < begin || end > length) {
      error = "bad offset of field " + std::to_string(i);
      return false;
    }
    if (begin == end) {
      fields.emplace_back(std::nullopt);
      continue;
    }
    if (data[end - 1] != '\0') {
      error = "field " + std::to_string(i) + " lacks its 0x00";
      return false;
    }
    std::string value = data.substr(begin, end - begin - 1);
    if (value.find('\0') != std::string::npos) {
      error = "field " + std::to_string(i) + " contains a 0x00 byte";
      return false;
    }
    fields.emplace_back(std::move(value));
  }
  if (offsetAt(count) != length) {
    error = "last offset is not the record length";
    return false;
  }
  return true;
}

}  // namespace

void FileChecker::Problem(const std::string& text) {
  if (m_problems.size() < kMaxProblems) {
    m_problems.push_back(text);
  } else if (!m_truncated) {
    m_truncated = true;
    m_problems.push_back("too many problems; the rest are not listed");
  }
}

bool FileChecker::UsePage(uint32_t pgno, const std::string& what) {
  if (pgno < 1 || pgno > m_pageCount) {
    Problem(what + ": invalid page number " + std::to_string(pgno));
    return false;
  }
  if (m_used[pgno]) {
    Problem(what + ": 2nd reference to page " + std::to_string(pgno));
    return false;
  }
  m_used[pgno] = true;
  return true;
}

bool FileChecker::CheckHeader() {
  if (m_bytes.size() % kPageSize != 0) {
    Problem("file length " + std::to_string(m_bytes.size()) + " is not a multiple of 1024");
  }
  m_pageCount = static_cast<uint32_t>(std::min<size_t>(m_bytes.size() / kPageSize, UINT32_MAX - 1));
  if (m_pageCount == 0) return false;
  m_used.assign(m_pageCount + 1, false);
  const unsigned char* p = Page(1);
  if (std::memcmp(p, kIdentification, sizeof kIdentification) != 0) {
    Problem("file is encrypted or is not a database (identification text)");
    return false;
  }
  if (p[48] == 0x28 && p[49] == 0x75 && p[50] == 0xE3 && p[51] == 0xDA) {
    m_bigEndian = false;
  } else if (p[48] == 0xDA && p[49] == 0xE3 && p[50] == 0x75 && p[51] == 0x28) {
    m_bigEndian = true;
  } else {
    Problem("file is encrypted or is not a database (byte-order mark)");
    return false;
  }
  m_format = Get32(p + 64);
  if (m_format > 4) Problem("unsupported file format " + std::to_string(m_format));
  if (m_format == 0 || m_format > 4) m_format = 4;
  m_used[1] = true;
  return true;
}

void FileChecker::WalkTree(uint32_t root, TreeWalk& walk) {
  WalkPage(root, true, 0, walk);
}

bool FileChecker::ReadPayload(uint32_t pgno, const unsigned char* cell, uint32_t keySize,
                              uint32_t dataSize, const std::string& tree, std::string& payload) {
  uint64_t total = uint64_t(keySize) + dataSize;
  uint32_t local = static_cast<uint32_t>(std::min<uint64_t>(total, kLocalMax));
  payload.assign(reinterpret_cast<const char*>(cell + 12), local);
  if (total <= kLocalMax) return true;
  uint64_t needed = (total - kLocalMax + kOverflowBytes - 1) / kOverflowBytes;
  std::string where = tree + ", page " + std::to_string(pgno);
  if (needed > m_pageCount) {
    Problem(where + ": payload of " + std::to_string(total) +
            " bytes needs more pages than the file has");
    return false;
  }
  uint32_t next = Get32(cell + 12 + kLocalMax);
  uint64_t remaining = total - kLocalMax;
  for (uint64_t i = 0; i < needed; i++) {
    if (next == 0) {
      Problem(where + ": overflow chain shorter than its payload of " + std::to_string(total) +
              " bytes");
      return false;
    }
    if (!UsePage(next, tree + " overflow")) return false;
    const unsigned char* q = Page(next);
    uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(remaining, kOverflowBytes));
    payload.append(reinterpret_cast<const char*>(q + 4), take);
    remaining -= take;
    next = Get32(q);
  }
  if (next != 0) {
    Problem(where + ": overflow chain longer than its payload of " + std::to_string(total) +
            " bytes");
  }
  return true;
}

bool FileChecker::ReadCellList(const unsigned char* p, uint32_t first, const std::string& where,
                               std::vector<CellInfo>& cells, unsigned char* cover) {
  for (uint32_t off = first; off != 0;) {
    if (off < 8 || off > 1008 || off % 4 != 0) {
      Problem(where + ": cell offset " + std::to_string(off) + " out of range");
      return false;
    }
    if (cells.size() >= kPageSize / 12) {
      Problem(where + ": cell list runs in a circle");
      return false;
    }
    const unsigned char* c = p + off;
    CellInfo info{off, Get32(c), Get16(c + 4) | (uint32_t(c[8]) << 16),
                  (uint32_t(c[9]) << 16) | Get16(c + 10)};
    uint64_t payload = uint64_t(info.keySize) + info.dataSize;
    uint32_t size = payload <= kLocalMax ? 12 + ((static_cast<uint32_t>(payload) + 3) & ~3u) : 252;
    if (off + size > kPageSize) {
      Problem(where + ": cell at " + std::to_string(off) + " extends beyond the page");
      return false;
    }
    for (uint32_t i = off; i < off + size; i++) cover[i]++;
    cells.push_back(info);
    off = Get16(c + 6);
  }
  return true;
}

bool FileChecker::ReadFreeList(const unsigned char* p, uint32_t first, const std::string& where,
                               unsigned char* cover) {
  uint32_t previous = 0;
  for (uint32_t off = first; off != 0;) {
    if (off < 8 || off > 1020 || off % 4 != 0) {
      Problem(where + ": free block offset " + std::to_string(off) + " out of range");
      return false;
    }
    if (off <= previous) {
      Problem(where + ": free blocks not in increasing order");
      return false;
    }
    uint32_t size = Get16(p + off);
    if (size < 4 || size % 4 != 0 || off + size > kPageSize) {
      Problem(where + ": free block at " + std::to_string(off) + " has bad size " +
              std::to_string(size));
      return false;
    }
    for (uint32_t i = off; i < off + size; i++) cover[i]++;
    previous = off;
    off = Get16(p + off + 2);
  }
  return true;
}

void FileChecker::WalkPage(uint32_t pgno, bool isRoot, int depth, TreeWalk& walk) {
  std::string where = walk.name + ", page " + std::to_string(pgno);
  if (depth > kMaxDepth) {
    Problem(where + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
    return;
  }
  if (!UsePage(pgno, walk.name)) return;
  const unsigned char* p = Page(pgno);
  uint32_t rightChild = Get32(p);
  uint32_t firstCell = Get16(p + 4);
  uint32_t firstFree = Get16(p + 6);
  if (rightChild == 0 && firstCell == 0 && firstFree == 0) {
    if (!isRoot) Problem(where + ": empty page that is not a root");
    return;
  }

  std::vector<CellInfo> cells;
  unsigned char cover[kPageSize] = {};
  bool intact = ReadCellList(p, firstCell, where, cells, cover);
  intact = ReadFreeList(p, firstFree, where, cover) && intact;
  if (intact) {
    for (uint32_t i = 8; i < kPageSize; i++) {
      if (cover[i] != 1) {
        Problem(
            where + ": byte " + std::to_string(i) +
            (cover[i] ? " used by two cells or free blocks" : " belongs to no cell or free block"));
        break;
      }
    }
  }

  bool interior = rightChild != 0;
  if (cells.empty() && !isRoot) Problem(where + ": page that is not a root has no cells");
  if (cells.empty() && interior) Problem(where + ": interior page without cells");
  for (const CellInfo& cell : cells) {
    if ((cell.leftChild != 0) != interior) {
      Problem(where + ": cell at " + std::to_string(cell.offset) +
              " has a left child that does not fit the page kind");
      return;
    }
  }
  if (!interior) {
    if (walk.leafDepth < 0) walk.leafDepth = depth;
    if (walk.leafDepth != depth)
      Problem(where + ": leaf at a different depth than the other leaves");
  }
  for (const CellInfo& cell : cells) {
    if (interior) WalkPage(cell.leftChild, false, depth + 1, walk);
    std::string payload;
    if (!ReadPayload(pgno, p + cell.offset, cell.keySize, cell.dataSize, walk.name, payload))
      continue;
    std::string key = payload.substr(0, cell.keySize);
    std::string data = payload.substr(cell.keySize);
    if (walk.lastKey && !(*walk.lastKey < key)) Problem(where + ": Key is out of order");
    walk.lastKey = key;
    walk.visit(key, data);
  }
  if (interior) WalkPage(rightChild, false, depth + 1, walk);
}

void FileChecker::CheckTableEntry(const std::string& tree, const std::string& key,
                                  const std::string& data, int columnCount, int rowidColumn,
                                  std::vector<Row>* rows) {
  if (key.size() != 4) {
    Problem(tree + ": key of " + std::to_string(key.size()) + " bytes is not a 32-bit rowid");
    return;
  }
  Row row;
  row.rowid = RowidOfKey(key);
  std::string where = tree + ", rowid " + std::to_string(row.rowid);
  if (data.size() > kMaxRecord) Problem(where + ": record longer than 1048576 bytes");
  std::string error;
  if (!ParseRecord(data, row.fields, error)) {
    Problem(where + ": " + error);
    return;
  }
  if (row.fields.empty()) row.fields.resize(columnCount < 0 ? 0 : columnCount);
  if (columnCount >= 0 && row.fields.size() != static_cast<size_t>(columnCount)) {
    Problem(where + ": record has " + std::to_string(row.fields.size()) +
            " fields, the table has " + std::to_string(columnCount) + " columns");
    return;
  }
  if (rowidColumn >= 0 && row.fields[rowidColumn]) {
    Problem(where + ": INTEGER PRIMARY KEY field is not NULL");
  }
  if (rows) rows->push_back(std::move(row));
}

void FileChecker::CheckMaster() {
  if (m_pageCount < 2) return;
  TreeWalk walk;
  walk.name = "sqlite_master";
  walk.visit = [this](const std::string& key, const std::string& data) {
    CheckTableEntry("sqlite_master", key, data, 5, -1, &m_masterRows);
  };
  WalkTree(2, walk);
  for (const Row& row : m_masterRows) AnalyseMasterRow(row);
  for (const std::string& name : m_tableOrder) {
    for (const std::string& missing : m_tables[name].unclaimedAuto) {
      Problem("sqlite_master: automatic index " + missing + " of table " + m_tables[name].def.name +
              " is missing");
    }
  }
}

/* Parses a decimal root page text.  Returns false when it is not one. */
static bool ParseRootPage(const std::string& text, uint32_t& root) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > UINT32_MAX) return false;
  root = static_cast<uint32_t>(v);
  return true;
}

void FileChecker::AnalyseMasterRow(const Row& row) {
  std::string where = "sqlite_master row " + std::to_string(row.rowid);
  const Cell& type = row.fields[0];
  const Cell& name = row.fields[1];
  const Cell& tblName = row.fields[2];
  const Cell& rootText = row.fields[3];
  const Cell& sql = row.fields[4];
  if (!type || !rootText) {
    Problem(where + ": type or rootpage is NULL (malformed database schema)");
    return;
  }
  uint32_t root = 0;
  if (!ParseRootPage(*rootText, root)) {
    Problem(where + ": rootpage '" + *rootText + "' is not a page number");
    return;
  }
  if (!name || !tblName) {
    Problem(where + ": name or tbl_name is NULL");
    return;
  }
  bool hasPages = *type == "table" || *type == "index";
  if (hasPages && root < 3)
    Problem(where + ": root page " + std::to_string(root) + " is not usable");
  if (!hasPages && root != 0) Problem(where + ": a " + *type + " must have root page 0");
  if (*type == "table") {
    AnalyseTableRow(row, *name, root, sql.value_or(""));
  } else if (*type == "index") {
    AnalyseIndexRow(row, *name, *tblName, root, sql);
  } else if (*type == "view" || *type == "trigger") {
    std::string parsedName;
    std::string error;
    if (!sql || !ParseCreateNamed(*sql, type->c_str(), parsedName, error)) {
      Problem(where + ": sql of " + *type + " " + *name +
              " does not parse: " + (sql ? error : "NULL"));
    } else if (parsedName != *name) {
      Problem(where + ": sql defines " + parsedName + ", the row names " + *name);
    }
    std::string key = Lower(*name);
    if (*type == "view") {
      if (*tblName != *name)
        Problem(where + ": tbl_name of view " + *name + " differs from its name");
      if (!m_objectNames.insert(key).second) Problem(where + ": name " + *name + " is used twice");
      m_viewNames.insert(key);
    } else {
      if (!m_triggerNames.insert(key).second)
        Problem(where + ": trigger name " + *name + " is used twice");
      std::string target = Lower(*tblName);
      if (!m_tables.count(target) && !m_viewNames.count(target)) {
        Problem(where + ": trigger " + *name + " comes before its table " + *tblName +
                " or has none");
      }
    }
  } else {
    Problem(where + ": unknown type '" + *type + "'");
  }
}

void FileChecker::AnalyseTableRow(const Row& row, const std::string& name, uint32_t root,
                                  const std::string& sql) {
  std::string where = "sqlite_master row " + std::to_string(row.rowid);
  const Cell& tblName = row.fields[2];
  if (*tblName != name) Problem(where + ": tbl_name of table " + name + " differs from its name");
  std::string key = Lower(name);
  if (!m_objectNames.insert(key).second) {
    Problem(where + ": name " + name + " is used twice");
    if (root >= 3) m_unparsedTrees.push_back({"table", root});
    return;
  }
  TableInfo info;
  info.masterRowid = row.rowid;
  info.root = root;
  std::string error;
  info.parsed = ParseCreateTable(sql, info.def, error);
  if (!info.parsed) {
    Problem(where + ": CREATE TABLE of " + name + " does not parse: " + error);
  } else if (info.def.name != name) {
    Problem(where + ": sql defines table " + info.def.name + ", the row names " + name);
  }
  for (const IndexDef& index : info.def.autoIndices) info.unclaimedAuto.insert(index.name);
  m_tables[key] = std::move(info);
  m_tableOrder.push_back(key);
}

void FileChecker::AnalyseIndexRow(const Row& row, const std::string& name,
                                  const std::string& tblName, uint32_t root, const Cell& sql) {
  std::string where = "sqlite_master row " + std::to_string(row.rowid);
  IndexInfo index;
  index.root = root;
  index.table = Lower(tblName);
  if (!m_objectNames.insert(Lower(name)).second)
    Problem(where + ": name " + name + " is used twice");
  auto table = m_tables.find(index.table);
  if (table == m_tables.end()) {
    Problem(where + ": index " + name + " comes before its table " + tblName + " or has none");
  } else if (!sql || sql->empty()) {
    if (table->second.unclaimedAuto.erase(name) == 0) {
      Problem(where + ": automatic index " + name + " is not one that table " + tblName +
              " defines");
    } else {
      for (const IndexDef& def : table->second.def.autoIndices) {
        if (def.name == name) index.def = def;
      }
      index.parsed = true;
    }
  } else {
    std::string tableName;
    std::string error;
    auto lookup = [this](const std::string& n) -> const TableDef* {
      auto it = m_tables.find(Lower(n));
      return it != m_tables.end() && it->second.parsed ? &it->second.def : nullptr;
    };
    index.parsed = ParseCreateIndex(*sql, lookup, index.def, tableName, error);
    if (!index.parsed) {
      Problem(where + ": CREATE INDEX of " + name + " does not parse: " + error);
    } else if (index.def.name != name) {
      Problem(where + ": sql defines index " + index.def.name + ", the row names " + name);
    } else if (Lower(tableName) != index.table) {
      Problem(where + ": index " + name + " is on " + tableName + " but tbl_name says " + tblName);
      index.parsed = false;
    }
  }
  if (index.parsed) {
    m_tables[index.table].hasIndex = true;
    m_indices.push_back(std::move(index));
  } else if (root >= 3) {
    m_unparsedTrees.push_back({"index", root});
  }
}

void FileChecker::CheckTables() {
  for (const std::string& key : m_tableOrder) {
    TableInfo& table = m_tables[key];
    if (table.root < 3) continue;
    TreeWalk walk;
    walk.name = "table " + table.def.name;
    int columns = table.parsed ? static_cast<int>(table.def.columns.size()) : -1;
    int rowidColumn = table.parsed ? table.def.rowidColumn : -1;
    std::vector<Row>* rows = table.hasIndex ? &table.rows : nullptr;
    walk.visit = [&, columns, rowidColumn, rows](const std::string& k, const std::string& data) {
      CheckTableEntry(walk.name, k, data, columns, rowidColumn, rows);
    };
    WalkTree(table.root, walk);
  }
  for (IndexInfo& index : m_indices) {
    if (index.root < 3) continue;
    TreeWalk walk;
    walk.name = "index " + index.def.name;
    size_t fieldCount = index.def.columns.size();
    walk.visit = [&, fieldCount](const std::string& key, const std::string& data) {
      if (!data.empty())
        Problem(walk.name + ": entry with " + std::to_string(data.size()) + " data bytes");
      IndexKey entry{key, false};
      size_t pos = 0;
      for (size_t f = 0; f < fieldCount; f++) {
        char tag = pos < key.size() ? key[pos] : 0;
        size_t end = key.find('\0', pos);
        if ((tag != 'a' && tag != 'b' && tag != 'c') || end == std::string::npos ||
            (tag == 'a' && end != pos + 1)) {
          Problem(walk.name + ": malformed key field");
          return;
        }
        entry.hasNull = entry.hasNull || tag == 'a';
        pos = end + 1;
      }
      if (key.size() != pos + 4) {
        Problem(walk.name + ": key does not end in a 4-byte rowid");
        return;
      }
      index.keys.push_back(std::move(entry));
    };
    WalkTree(index.root, walk);
    CheckIndexContent(index);
  }
  for (const auto& [kind, root] : m_unparsedTrees) {
    TreeWalk walk;
    walk.name = kind + " tree at page " + std::to_string(root);
    walk.visit = [](const std::string&, const std::string&) {};
    WalkTree(root, walk);
  }
}

void FileChecker::CheckFreelist() {
  const unsigned char* header = Page(1);
  uint32_t trunk = Get32(header + 52);
  uint32_t expectedCount = Get32(header + 56);
  uint64_t counted = 0;
  while (trunk != 0) {
    if (!UsePage(trunk, "freelist trunk")) break;
    counted++;
    const unsigned char* p = Page(trunk);
    uint32_t leaves = Get32(p + 4);
    if (leaves > kMaxTrunkLeaves) {
      Problem("freelist trunk page " + std::to_string(trunk) + " claims " + std::to_string(leaves) +
              " leaves");
      break;
    }
    for (uint32_t i = 0; i < leaves; i++) {
      if (UsePage(Get32(p + 8 + 4 * i), "freelist leaf")) counted++;
    }
    trunk = Get32(p);
  }
  if (counted != expectedCount) {
    Problem("freelist holds " + std::to_string(counted) + " pages, page 1 says " +
            std::to_string(expectedCount));
  }
}

void FileChecker::CheckUnusedPages() {
  for (uint32_t pgno = 1; pgno <= m_pageCount; pgno++) {
    if (!m_used[pgno]) Problem("Page " + std::to_string(pgno) + " is never used");
  }
}

std::vector<std::string> FileChecker::Run() {
  if (m_bytes.empty()) return {};
  if (!CheckHeader()) return m_problems;
  CheckMaster();
  CheckTables();
  CheckFreelist();
  CheckUnusedPages();
  return m_problems;
}

std::vector<std::string> CheckBytes(const std::string& bytes) {
  return FileChecker(bytes).Run();
}

std::vector<std::string> CheckFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {"cannot open " + path};
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return {"cannot read " + path};
  return CheckBytes(bytes);
}

}  // namespace s2check
