/*
** Allocation failures inside the 2.x C interface: every function returns
** SQLITE_NOMEM (or another error code) with a message instead of letting a
** C++ exception escape into its C caller.  The n-th allocation of the test
** program fails, for n over the whole run of a few calls.
*/
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "s2expect.h"

#if defined(__SANITIZE_ADDRESS__)
#define XB_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XB_LSAN 1
#endif
#endif
#ifdef XB_LSAN
#include <sanitizer/lsan_interface.h>
#endif

/* The replacements below pair malloc() with free(); the compiler cannot
** see that the delete operators belong to the new operators beside them. */
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

/* Allocations left before one fails; negative: none fails. */
static std::atomic<long> allocationsLeft{-1};

void* operator new(std::size_t size) {
  if (allocationsLeft >= 0 && allocationsLeft-- == 0) throw std::bad_alloc();
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (allocationsLeft >= 0 && allocationsLeft-- == 0) return nullptr;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using namespace s2test;

/* Opens PATH, reads, changes and reads again; returns the number of calls
** that failed.  Throws nothing if the interface holds its promise. */
int Session(const std::string& path) {
  int failures = 0;
  char* err = nullptr;
  sqlite* db = sqlite_open(path.c_str(), 0, &err);
  if (err) sqlite_freemem(err);
  if (!db) return 1;
  const char* statements[] = {"SELECT * FROM t WHERE a = 2",
                              "UPDATE t SET b = b || 'x' WHERE a = 3",
                              "SELECT count(*), max(b) FROM t"};
  for (const char* sql : statements) {
    err = nullptr;
    int rc = sqlite_exec(db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) ++failures;
    if (err) sqlite_freemem(err);
  }
  sqlite_close(db);
  return failures;
}

TEST(OutOfMemory, NoExceptionLeavesTheInterface) {
  TempDir dir;
  std::string path = dir.path() + "/nomem.db";
  {
    sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
    ASSERT_NE(db, nullptr);
    ASSERT_EQ(Exec(db,
                   "CREATE TABLE t(a INTEGER PRIMARY KEY, b TEXT); CREATE INDEX tb ON t(b);"
                   "INSERT INTO t VALUES(1,'one'); INSERT INTO t VALUES(2,'two');"
                   "INSERT INTO t VALUES(3,'three');"),
              "");
    sqlite_close(db);
  }
  /* How many allocations a whole session makes. */
  allocationsLeft = 1L << 40;
  ASSERT_EQ(Session(path), 0);
  long total = (1L << 40) - allocationsLeft;
  allocationsLeft = -1;
  ASSERT_GT(total, 100);
  int failedSessions = 0;
  /* What this test checks is that no exception escapes; memory the engine
  ** keeps after an injected failure is not looked at here. */
#ifdef XB_LSAN
  __lsan_disable();
#endif
  for (long n = 0; n < total; n += 1 + n / 50) {
    allocationsLeft = n;
    try {
      failedSessions += Session(path) > 0;
    } catch (...) {
      allocationsLeft = -1;
      FAIL() << "an exception left the interface at allocation " << n;
    }
    allocationsLeft = -1;
  }
#ifdef XB_LSAN
  __lsan_enable();
#endif
  EXPECT_GT(failedSessions, 0);
  /* Whatever failed, the file is whole and usable. */
  sqlite* db = sqlite_open(path.c_str(), 0, nullptr);
  ASSERT_NE(db, nullptr);
  Table rows = GetTable(db, "SELECT a FROM t ORDER BY a");
  sqlite_close(db);
  EXPECT_EQ(rows.rows.size(), 3u);
}

}  // namespace
