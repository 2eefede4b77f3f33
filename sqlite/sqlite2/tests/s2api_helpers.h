/*
** Helpers of the C interface tests: fresh database paths, running SQL
** through sqlite_exec and sqlite_get_table, and reading what a file holds
** through the file layer, so that tests see the stored bytes rather than
** what the SQL layer shows.
*/
#ifndef S2API_HELPERS_H
#define S2API_HELPERS_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "s2file.h"
#include "sqlite.h"

#include <sqlite3.h>

namespace s2api {

using Cell = std::optional<std::string>;

/* Returns a path in the build tree for a test database, with no file or
** journal left from an earlier run. */
inline std::string freshPath(const std::string& name) {
  std::filesystem::path dir = std::filesystem::path(XB_BINARY_DIR) / "s2api-tests";
  std::filesystem::create_directories(dir);
  std::filesystem::path p = dir / (name + ".db");
  std::filesystem::remove(p);
  std::filesystem::remove(p.string() + "-journal");
  return p.string();
}

/* Returns the bytes of the file at PATH (empty when it cannot be read). */
inline std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/* Reads the file at PATH with the file layer. */
inline s2::Image storedImage(const std::string& path) {
  s2::Image image;
  s2::Status st = s2::readImage(fileBytes(path), image);
  EXPECT_TRUE(st.ok()) << st.message;
  return image;
}

/* The outcome of one sqlite_exec or sqlite_get_table call. */
struct Result {
  int code = SQLITE_OK;
  std::string error;
  std::vector<std::string> names;
  std::vector<std::vector<Cell>> rows;
};

/* Runs SQL with sqlite_get_table and returns its rows as plain data. */
inline Result query(sqlite* db, const std::string& sql) {
  Result r;
  char** table = nullptr;
  char* error = nullptr;
  int nrow = 0, ncol = 0;
  r.code = sqlite_get_table(db, sql.c_str(), &table, &nrow, &ncol, &error);
  if (error) r.error = error;
  sqlite_freemem(error);
  if (r.code != SQLITE_OK) return r;
  for (int c = 0; c < ncol; ++c) r.names.push_back(table[c] ? table[c] : "");
  for (int i = 1; i <= nrow; ++i) {
    std::vector<Cell> row;
    for (int c = 0; c < ncol; ++c) {
      const char* v = table[i * ncol + c];
      row.push_back(v ? Cell(v) : Cell());
    }
    r.rows.push_back(std::move(row));
  }
  sqlite_free_table(table);
  return r;
}

/* Runs SQL with sqlite_exec and no callback; returns code and message. */
inline Result run(sqlite* db, const std::string& sql) {
  Result r;
  char* error = nullptr;
  r.code = sqlite_exec(db, sql.c_str(), nullptr, nullptr, &error);
  if (error) r.error = error;
  sqlite_freemem(error);
  return r;
}

/* Returns the single column of every row of SQL, failing the test on an
** error. */
inline std::vector<Cell> column(sqlite* db, const std::string& sql) {
  Result r = query(db, sql);
  EXPECT_EQ(r.code, SQLITE_OK) << sql << ": " << r.error;
  std::vector<Cell> out;
  for (const auto& row : r.rows) out.push_back(row.empty() ? Cell() : row[0]);
  return out;
}

/* Opens PATH, failing the test when that does not work. */
/* The rows SQL selects from the SQLite 3 database DB, as the 2.x engine
** shows them (every value as text). */
inline std::vector<std::vector<Cell>> modelQuery(sqlite3* db, const std::string& sql) {
  std::vector<std::vector<Cell>> rows;
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<Cell> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* v = sqlite3_column_text(stmt, i);
      row.push_back(v ? Cell(reinterpret_cast<const char*>(v)) : Cell());
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return rows;
}

inline sqlite* openDb(const std::string& path) {
  char* error = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &error);
  EXPECT_NE(db, nullptr) << (error ? error : "");
  sqlite_freemem(error);
  return db;
}

/* Returns the rows of TABLE in IMAGE (none when it is missing). */
inline std::vector<s2::Row> storedRows(const s2::Image& image, const std::string& table) {
  auto it = image.tables.find(table);
  return it == image.tables.end() ? std::vector<s2::Row>() : it->second;
}

}  // namespace s2api

#endif
