/*
** The checker proper: class FileChecker walks every b-tree of a 2.x file
** held in memory, checks each page, record and schema row, and collects
** the problems it finds.  Internal to the checker; s2check.h is its public
** face.
*/
#ifndef S2CHECKWALK_H
#define S2CHECKWALK_H

#include "s2checkparse.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace s2check {

/* The format's page geometry and limits, as the checker knows them, and
** how many problems one check lists at most. */
constexpr uint32_t kPageSize = 1024;
constexpr uint32_t kLocalMax = 236;
constexpr uint32_t kOverflowBytes = 1020;
constexpr uint32_t kMaxRecord = 1048576;
constexpr uint32_t kMaxTrunkLeaves = 254;
constexpr size_t kMaxProblems = 200;
constexpr int kMaxDepth = 40;
const char kIdentification[] = "** This file contains an SQLite 2.1 database **";

using Cell = std::optional<std::string>;

/* A table row: its rowid and its fields in column order. */
struct Row {
  int32_t rowid = 0;
  std::vector<Cell> fields;
};

/* An index entry: its key bytes and whether a field of it is NULL (entries
** with a NULL never clash in a unique index). */
struct IndexKey {
  std::string bytes;
  bool hasNull = false;
};

/* Returns the 4-byte key of ROWID: the value XOR 0x80000000, big-endian. */
std::string RowidKey(int32_t rowid);

/* Returns the rowid a 4-byte key stands for. */
int32_t RowidOfKey(std::string_view key);

/* What the checker learns of a table from sqlite_master and its tree. */
struct TableInfo {
  TableDef def;
  bool parsed = false;
  int32_t masterRowid = 0;
  uint32_t root = 0;
  std::set<std::string> unclaimedAuto;
  bool hasIndex = false;
  std::vector<Row> rows;
};

/* What the checker learns of an index; its keys come from its tree. */
struct IndexInfo {
  IndexDef def;
  std::string table; /* lower-case key into the table map */
  bool parsed = false;
  uint32_t root = 0;
  std::vector<IndexKey> keys;
};

/* The header fields of one cell and where it sits on its page. */
struct CellInfo {
  uint32_t offset, leftChild, keySize, dataSize;
};

/* What a tree walk is for: its name in messages and what to do per entry. */
struct TreeWalk {
  std::string name;
  std::function<void(const std::string& key, const std::string& data)> visit;
  std::optional<std::string> lastKey;
  int leafDepth = -1;
};

/*
** One check of one file held in memory.  Run() performs every check once
** and returns the problems found (at most kMaxProblems and a note that
** more were cut); the walk (s2checkwalk.cpp) and the index comparison
** (s2checkindex.cpp) share its state.
*/
class FileChecker {
 public:
  explicit FileChecker(const std::string& bytes) : m_bytes(bytes) {}

  /* Runs every check.  Returns the problems found. */
  std::vector<std::string> Run();

 private:
  /* Returns the first byte of page PGNO (1 .. m_pageCount). */
  const unsigned char* Page(uint32_t pgno) const {
    return reinterpret_cast<const unsigned char*>(m_bytes.data()) +
           static_cast<size_t>(pgno - 1) * kPageSize;
  }
  /* Return the 16- and 32-bit values at P in the file's byte order. */
  uint32_t Get16(const unsigned char* p) const {
    return m_bigEndian ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8);
  }
  uint32_t Get32(const unsigned char* p) const {
    return m_bigEndian ? (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
                       : p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
  }

  void Problem(const std::string& text);
  /* Marks page PGNO as used by WHAT.  Returns false (and reports) when the
  ** number is out of range or the page was already used. */
  bool UsePage(uint32_t pgno, const std::string& what);
  /* Checks page 1.  Returns false when the file is not a 2.x database at all,
  ** so nothing else can be checked. */
  bool CheckHeader();
  /* Walks sqlite_master and analyses its rows. */
  void CheckMaster();
  /* Checks one row of sqlite_master and records the object it defines. */
  void AnalyseMasterRow(const Row& row);
  /* Records a table row of sqlite_master after checking its definition. */
  void AnalyseTableRow(const Row& row, const std::string& name, uint32_t root,
                       const std::string& sql);
  /* Records an index row of sqlite_master after checking its definition. */
  void AnalyseIndexRow(const Row& row, const std::string& name, const std::string& tblName,
                       uint32_t root, const Cell& sql);
  /* Walks every table and index tree and compares the indices with the rows. */
  void CheckTables();
  void CheckIndexContent(const IndexInfo& index);
  /* Walks the freelist and compares its length with the count on page 1. */
  void CheckFreelist();
  /* Reports every page that nothing uses. */
  void CheckUnusedPages();
  /* Walks the tree rooted at ROOT, calling WALK.visit for every entry in key
  ** order. */
  void WalkTree(uint32_t root, TreeWalk& walk);
  /* Checks one b-tree page and, through recursion, its subtrees. */
  void WalkPage(uint32_t pgno, bool isRoot, int depth, TreeWalk& walk);
  /* Follows the cell list of page P from FIRST, adding each cell to CELLS and
  ** counting the bytes it covers in COVER.  Returns false (and reports) when
  ** the list is damaged. */
  bool ReadCellList(const unsigned char* p, uint32_t first, const std::string& where,
                    std::vector<CellInfo>& cells, unsigned char* cover);
  /* Follows the free block list of page P from FIRST, counting the bytes each
  ** block covers in COVER.  Returns false (and reports) when it is damaged. */
  bool ReadFreeList(const unsigned char* p, uint32_t first, const std::string& where,
                    unsigned char* cover);
  /* Reads the payload of a cell (local part and overflow chain) into PAYLOAD.
  ** Returns false (and reports) when the overflow chain is broken. */
  bool ReadPayload(uint32_t pgno, const unsigned char* cell, uint32_t keySize, uint32_t dataSize,
                   const std::string& tree, std::string& payload);
  /* Checks one entry of a table tree: a 4-byte rowid key and a record with
  ** COLUMN_COUNT fields (any count when it is negative).  Adds the row to ROWS
  ** when given. */
  void CheckTableEntry(const std::string& tree, const std::string& key, const std::string& data,
                       int columnCount, int rowidColumn, std::vector<Row>* rows);

  const std::string& m_bytes;
  uint32_t m_pageCount = 0;
  bool m_bigEndian = false;
  uint32_t m_format = 4;
  std::vector<bool> m_used;
  std::vector<std::string> m_problems;
  bool m_truncated = false;
  std::vector<Row> m_masterRows;
  std::map<std::string, TableInfo> m_tables; /* by lower-case name */
  std::vector<std::string> m_tableOrder;
  std::vector<IndexInfo> m_indices;
  std::set<std::string> m_objectNames; /* tables, views, indices */
  std::set<std::string> m_triggerNames;
  std::set<std::string> m_viewNames;
  std::vector<std::pair<std::string, uint32_t>> m_unparsedTrees; /* "table"/"index", root */
};

}  // namespace s2check

#endif
