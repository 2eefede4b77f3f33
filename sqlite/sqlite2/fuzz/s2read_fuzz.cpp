/*
** libFuzzer target over the generation-2 file reader: the input is written
** to a temporary file, opened through the C interface, sqlite_master and
** every table are read, and the connection is closed.  Damaged files must
** give an error, never a crash, a hang or a leak.  The structural checker
** runs on the same bytes, so both readers see every input.
*/
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "s2check.h"
#include "sqlite.h"

namespace {

const size_t kMaxInput = 128 * 1024;

/* Returns NAME as a double-quoted SQL identifier. */
std::string Quote(const char* name) {
  std::string out = "\"";
  for (const char* p = name; *p; p++) {
    out += *p;
    if (*p == '"') out += '"';
  }
  return out + "\"";
}

/* Runs SQL through sqlite_get_table and drops the result.  Returns the
** values of the first column (used to list the tables). */
std::vector<std::string> Query(sqlite* db, const std::string& sql) {
  std::vector<std::string> first;
  char** result = nullptr;
  int nrow = 0;
  int ncol = 0;
  char* err = nullptr;
  if (sqlite_get_table(db, sql.c_str(), &result, &nrow, &ncol, &err) == SQLITE_OK && ncol > 0) {
    for (int r = 1; r <= nrow; r++) {
      if (result[r * ncol]) first.push_back(result[r * ncol]);
    }
  }
  sqlite_free_table(result);
  if (err) sqlite_freemem(err);
  return first;
}

char scratchDir[] = "/tmp/s2fuzzXXXXXX";

/* Removes the scratch directory and what the last input left in it. */
void RemoveScratch() {
  std::string dir = scratchDir;
  std::remove((dir + "/input.db-journal").c_str());
  std::remove((dir + "/input.db").c_str());
  rmdir(scratchDir);
}

/* Returns this process's scratch directory, made on first use. */
const std::string& ScratchDir() {
  static std::string dir = [] {
    if (!mkdtemp(scratchDir)) return std::string("/tmp");
    std::atexit(RemoveScratch);
    return std::string(scratchDir);
  }();
  return dir;
}

}  // namespace

/* Opens one input as a database file and reads everything in it. */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  /* Past 128 pages a file only repeats structures already seen; the cut
  ** keeps the runs fast enough to try many inputs. */
  if (size > kMaxInput) size = kMaxInput;
  std::string path = ScratchDir() + "/input.db";
  std::remove((path + "-journal").c_str());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::string bytes(reinterpret_cast<const char*>(data), size);
  s2check::CheckBytes(bytes);

  char* err = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &err);
  if (err) sqlite_freemem(err);
  if (!db) return 0;
  Query(db, "SELECT * FROM sqlite_master");
  for (const std::string& table :
       Query(db, "SELECT name FROM sqlite_master WHERE type = 'table'")) {
    Query(db, "SELECT * FROM " + Quote(table.c_str()));
  }
  sqlite_close(db);
  return 0;
}
