/*
** Helpers shared by the generation-2 engine's tests: the content of a
** database as plain data, read either from a fixture's .expect file or
** through the engine's public C interface, and a comparison of the two.
** Everything is bytes: no text is ever transcoded.
*/
#ifndef S2EXPECT_H
#define S2EXPECT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "sqlite.h"

namespace s2test {

using Value = std::optional<std::string>;

struct Row {
  long long rowid = 0;
  std::vector<Value> values;
  bool operator==(const Row&) const = default;
};

/* One entry of sqlite_master and, for tables, its columns and rows. */
struct Object {
  std::string type, name, tblName, rootpage;
  Value sql;
  std::vector<std::string> columns;
  std::vector<Row> rows;
};

struct Content {
  std::vector<Object> objects;
};

/* Returns the whole content of the file at PATH (empty when unreadable). */
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

/* Writes BYTES as the whole content of PATH.  Returns false on failure. */
inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

/* Returns a value in the escaped form of the .expect files (for messages
** and comparisons that show differences readably). */
inline std::string Escape(const Value& v) {
  if (!v) return "\\N";
  std::string out;
  for (unsigned char c : *v) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else
      out += static_cast<char>(c);
  }
  return out;
}

/* Undoes the escaping of one .expect field. */
inline Value Unescape(const std::string& field) {
  if (field == "\\N") return std::nullopt;
  std::string out;
  for (size_t i = 0; i < field.size(); i++) {
    if (field[i] != '\\' || i + 1 >= field.size()) {
      out += field[i];
      continue;
    }
    char c = field[++i];
    if (c == 't')
      out += '\t';
    else if (c == 'n')
      out += '\n';
    else if (c == 'r')
      out += '\r';
    else if (c == 'x' && i + 2 < field.size()) {
      out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else
      out += c;
  }
  return out;
}

/* Splits TEXT at every SEP. */
inline std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

/* Parses a .expect file.  Returns false with ERROR set when it is malformed. */
inline bool ParseExpect(const std::string& bytes, Content& content, std::string& error) {
  std::vector<std::string> lines = Split(bytes, '\n');
  size_t at = 0;
  auto item = [&](const char* label, std::vector<std::string>& fields) {
    if (at >= lines.size()) return false;
    fields = Split(lines[at++], '\t');
    return !fields.empty() && fields[0] == label;
  };
  std::vector<std::string> f;
  if (!item("objects", f) || f.size() != 2) {
    error = "objects line";
    return false;
  }
  int count = std::stoi(f[1]);
  for (int i = 0; i < count; i++) {
    Object o;
    if (at >= lines.size() || !lines[at++].empty()) {
      error = "blank line expected";
      return false;
    }
    if (!item("type", f)) {
      error = "type";
      return false;
    }
    o.type = *Unescape(f[1]);
    if (!item("name", f)) {
      error = "name";
      return false;
    }
    o.name = *Unescape(f[1]);
    if (!item("tbl_name", f)) {
      error = "tbl_name";
      return false;
    }
    o.tblName = *Unescape(f[1]);
    if (!item("rootpage", f)) {
      error = "rootpage";
      return false;
    }
    o.rootpage = *Unescape(f[1]);
    if (!item("sql", f)) {
      error = "sql";
      return false;
    }
    o.sql = Unescape(f[1]);
    if (o.type == "table") {
      if (!item("columns", f)) {
        error = "columns";
        return false;
      }
      for (size_t k = 1; k < f.size(); k++) o.columns.push_back(*Unescape(f[k]));
      if (!item("rows", f)) {
        error = "rows";
        return false;
      }
      int rows = std::stoi(f[1]);
      for (int r = 0; r < rows; r++) {
        if (at >= lines.size()) {
          error = "row missing";
          return false;
        }
        std::vector<std::string> cells = Split(lines[at++], '\t');
        Row row;
        row.rowid = std::stoll(cells[0]);
        for (size_t k = 1; k < cells.size(); k++) row.values.push_back(Unescape(cells[k]));
        o.rows.push_back(std::move(row));
      }
    }
    content.objects.push_back(std::move(o));
  }
  return true;
}

/* Returns NAME as a double-quoted SQL identifier. */
inline std::string Quote(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

/* The result of one sqlite_get_table call. */
struct Table {
  int rc = 0;
  std::string error;
  std::vector<std::string> names;
  std::vector<std::vector<Value>> rows;
};

/* Runs SQL through sqlite_get_table and copies the result. */
inline Table GetTable(sqlite* db, const std::string& sql) {
  Table t;
  char** result = nullptr;
  int nrow = 0;
  int ncol = 0;
  char* err = nullptr;
  t.rc = sqlite_get_table(db, sql.c_str(), &result, &nrow, &ncol, &err);
  if (err) {
    t.error = err;
    sqlite_freemem(err);
  }
  if (t.rc != SQLITE_OK) {
    sqlite_free_table(result);
    return t;
  }
  for (int c = 0; c < ncol; c++) t.names.push_back(result[c] ? result[c] : "(null)");
  for (int r = 0; r < nrow; r++) {
    std::vector<Value> row;
    for (int c = 0; c < ncol; c++) {
      const char* v = result[(r + 1) * ncol + c];
      row.push_back(v ? Value(v) : std::nullopt);
    }
    t.rows.push_back(std::move(row));
  }
  sqlite_free_table(result);
  return t;
}

/* Runs SQL through sqlite_exec.  Returns the error message, empty on success. */
inline std::string Exec(sqlite* db, const std::string& sql) {
  char* err = nullptr;
  int rc = sqlite_exec(db, sql.c_str(), nullptr, nullptr, &err);
  std::string message = err ? err : "";
  if (err) sqlite_freemem(err);
  if (rc != SQLITE_OK && message.empty()) message = "error code " + std::to_string(rc);
  return rc == SQLITE_OK ? std::string() : message;
}

/* Returns a name that reaches the real rowid of a table with COLUMNS. */
inline std::string RowidName(const std::vector<std::string>& columns) {
  for (const char* candidate : {"rowid", "oid", "_rowid_"}) {
    bool taken = false;
    for (const std::string& c : columns) {
      std::string lower;
      for (char ch : c) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      taken = taken || lower == candidate;
    }
    if (!taken) return candidate;
  }
  return "rowid";
}

/* Reads the whole content of the database open as DB: sqlite_master in
** scan order and every table's rows with their rowids.  COLUMNS_OF gives
** the column names of a table (as the .expect lists them); the engine's
** own names are compared where a result carries them.  Returns false with
** ERROR set when a query fails. */
inline bool ReadContent(sqlite* db, Content& content, std::string& error) {
  Table master = GetTable(db, "SELECT * FROM sqlite_master");
  if (master.rc != SQLITE_OK) {
    error = "sqlite_master: " + master.error;
    return false;
  }
  for (const auto& r : master.rows) {
    if (r.size() != 5 || !r[0] || !r[1] || !r[2] || !r[3]) {
      error = "sqlite_master row shape";
      return false;
    }
    Object o;
    o.type = *r[0];
    o.name = *r[1];
    o.tblName = *r[2];
    o.rootpage = *r[3];
    o.sql = r[4];
    content.objects.push_back(std::move(o));
  }
  for (Object& o : content.objects) {
    if (o.type != "table") continue;
    /* Column names first, from a query that always yields a row. */
    Table probe = GetTable(db, "SELECT * FROM " + Quote(o.name) + " LIMIT 1");
    if (probe.rc != SQLITE_OK) {
      error = o.name + ": " + probe.error;
      return false;
    }
    o.columns = probe.names;
    std::string rowid = RowidName(o.columns);
    Table rows = GetTable(db, "SELECT " + rowid + ", * FROM " + Quote(o.name));
    if (rows.rc != SQLITE_OK) {
      error = o.name + ": " + rows.error;
      return false;
    }
    for (auto& r : rows.rows) {
      Row row;
      row.rowid = r[0] ? std::stoll(*r[0]) : 0;
      row.values.assign(r.begin() + 1, r.end());
      o.rows.push_back(std::move(row));
    }
  }
  return true;
}

/* Compares ACTUAL with EXPECTED object by object and row by row, adding a
** test failure for every difference.  Root pages are compared only when
** WITH_ROOTPAGES is set; columns only where the engine reported them (a
** table without rows yields no names). */
inline void ExpectSameContent(const Content& expected, const Content& actual, bool withRootpages,
                              const std::string& label) {
  ASSERT_EQ(expected.objects.size(), actual.objects.size())
      << label << ": number of sqlite_master entries";
  for (size_t i = 0; i < expected.objects.size(); i++) {
    const Object& e = expected.objects[i];
    const Object& a = actual.objects[i];
    std::string where = label + ", object " + std::to_string(i) + " (" + e.name + ")";
    EXPECT_EQ(e.type, a.type) << where;
    EXPECT_EQ(e.name, a.name) << where;
    EXPECT_EQ(e.tblName, a.tblName) << where;
    EXPECT_EQ(Escape(e.sql), Escape(a.sql)) << where;
    if (withRootpages || e.rootpage == "0") {
      EXPECT_EQ(e.rootpage, a.rootpage) << where;
    }
    if (e.type != "table") continue;
    if (!a.columns.empty() || !e.rows.empty()) {
      EXPECT_EQ(e.columns, a.columns) << where;
    }
    ASSERT_EQ(e.rows.size(), a.rows.size()) << where << ": number of rows";
    for (size_t r = 0; r < e.rows.size(); r++) {
      EXPECT_EQ(e.rows[r].rowid, a.rows[r].rowid) << where << ", row " << r;
      ASSERT_EQ(e.rows[r].values.size(), a.rows[r].values.size()) << where << ", row " << r;
      for (size_t c = 0; c < e.rows[r].values.size(); c++) {
        EXPECT_EQ(Escape(e.rows[r].values[c]), Escape(a.rows[r].values[c]))
            << where << ", rowid " << e.rows[r].rowid << ", column " << c;
      }
    }
  }
}

/* Swaps the 4 bytes at AT of B. */
inline void Swap32(std::string& b, size_t at) {
  std::swap(b[at], b[at + 3]);
  std::swap(b[at + 1], b[at + 2]);
}

/* Swaps the 2 bytes at AT of B. */
inline void Swap16(std::string& b, size_t at) {
  std::swap(b[at], b[at + 1]);
}

/* Little-endian reads of the fixture bytes. */
inline uint32_t Le16(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}
inline uint32_t Le32(const std::string& b, size_t at) {
  return Le16(b, at) | (Le16(b, at + 2) << 16);
}

/* Turns the b-tree page PGNO of a little-endian file into big-endian, with
** its overflow chains and subtrees. */
inline void SwapTreePage(std::string& b, uint32_t pgno) {
  size_t page = static_cast<size_t>(pgno - 1) * 1024;
  uint32_t right = Le32(b, page);
  for (uint32_t off = Le16(b, page + 4); off != 0;) {
    size_t cell = page + off;
    uint32_t left = Le32(b, cell);
    uint32_t next = Le16(b, cell + 6);
    uint32_t payload = Le16(b, cell + 4) + (static_cast<unsigned char>(b[cell + 8]) << 16) +
                       Le16(b, cell + 10) + (static_cast<unsigned char>(b[cell + 9]) << 16);
    if (payload > 236) {
      for (uint32_t ovfl = Le32(b, cell + 12 + 236); ovfl != 0;) {
        size_t at = static_cast<size_t>(ovfl - 1) * 1024;
        ovfl = Le32(b, at);
        Swap32(b, at);
      }
      Swap32(b, cell + 12 + 236);
    }
    Swap32(b, cell);
    Swap16(b, cell + 4);
    Swap16(b, cell + 6);
    Swap16(b, cell + 10);
    if (left) SwapTreePage(b, left);
    off = next;
  }
  for (uint32_t off = Le16(b, page + 6); off != 0;) {
    uint32_t next = Le16(b, page + off + 2);
    Swap16(b, page + off);
    Swap16(b, page + off + 2);
    off = next;
  }
  Swap32(b, page);
  Swap16(b, page + 4);
  Swap16(b, page + 6);
  if (right) SwapTreePage(b, right);
}

/* Returns a big-endian copy of the little-endian database B whose objects
** CONTENT lists (their root pages come from there). */
inline std::string ToBigEndian(std::string b, const Content& content) {
  std::vector<uint32_t> roots = {2};
  for (const Object& o : content.objects) {
    if (o.rootpage != "0") roots.push_back(static_cast<uint32_t>(std::stoul(o.rootpage)));
  }
  uint32_t trunk = Le32(b, 52);
  for (size_t at = 48; at < 96; at += 4) Swap32(b, at);
  while (trunk != 0) {
    size_t page = static_cast<size_t>(trunk - 1) * 1024;
    uint32_t next = Le32(b, page);
    uint32_t leaves = Le32(b, page + 4);
    for (uint32_t i = 0; i < leaves + 2; i++) Swap32(b, page + 4 * i);
    trunk = next;
  }
  for (uint32_t root : roots) SwapTreePage(b, root);
  return b;
}

/* Returns the names of every fixture: each NAME.db in the fixture folder,
** sorted.  A fixture without its NAME.expect is listed all the same, so its
** tests fail instead of passing it over. */
inline std::vector<std::string> FixtureNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(XB_SQLITE2_FIXTURES)) {
    if (entry.path().extension() == ".db") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

/* Returns the path of fixture NAME with the extension EXT. */
inline std::string FixturePath(const std::string& name, const char* ext) {
  return std::string(XB_SQLITE2_FIXTURES) + "/" + name + ext;
}

/* A fresh private directory for one test, removed again by the destructor. */
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "s2testXXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) m_path = buffer.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace s2test

#endif
