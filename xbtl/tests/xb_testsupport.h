/*
** The test support of the foundation library, used by its own tests and
** by the tests of every library above it: a private temporary folder, a
** collector of log texts, a fixed clock and a scoped environment variable.
** Each restores on destruction what it changed, so no test depends on the
** machine, the time of day or the order the tests run in.
*/
#ifndef XB_TESTSUPPORT_H
#define XB_TESTSUPPORT_H

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "xb_log.h"
#include "xb_time.h"

/* A fresh private folder below the system's temporary folder, removed with
** everything in it when the object goes.  Path() is empty when the folder
** could not be made. */
class XB_TestDir {
 public:
  XB_TestDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "xb-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_root = pattern;
  }
  ~XB_TestDir() {
    std::error_code ignored;
    if (!m_root.empty()) std::filesystem::remove_all(m_root, ignored);
  }
  XB_TestDir(const XB_TestDir&) = delete;
  XB_TestDir& operator=(const XB_TestDir&) = delete;

  /* The folder itself. */
  const std::string& Root() const { return m_root; }

  /* Returns the path of NAME inside the folder. */
  std::string Path(const std::string& name) const { return m_root + "/" + name; }

  /* Writes BYTES as the whole content of NAME inside the folder; returns
  ** its path. */
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }

  /* Returns the whole content of the file at PATH ("" when unreadable). */
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string m_root;
};

/* Collects every log text while it is alive; the sink is cleared after. */
class XB_LogCapture {
 public:
  XB_LogCapture() { XB_SetLogSink(&XB_LogCapture::Collect, this); }
  ~XB_LogCapture() { XB_SetLogSink(nullptr); }
  XB_LogCapture(const XB_LogCapture&) = delete;
  XB_LogCapture& operator=(const XB_LogCapture&) = delete;

  /* The texts logged so far, oldest first. */
  std::vector<std::string>& Texts() { return m_texts; }

  /* Counts the texts that begin with PREFIX. */
  int Count(const std::string& prefix) const {
    int count = 0;
    for (const std::string& text : m_texts)
      if (text.rfind(prefix, 0) == 0) ++count;
    return count;
  }

 private:
  static void Collect(const char* text, void* context) {
    static_cast<XB_LogCapture*>(context)->m_texts.emplace_back(text);
  }

  std::vector<std::string> m_texts;
};

/* Makes XB_TimeNow() return NOW (an XB time) while the object lives. */
class XB_FixedClock {
 public:
  explicit XB_FixedClock(int64_t now) : m_previous(XB_SetClock(&XB_FixedClock::Now)) {
    s_now = now;
  }
  ~XB_FixedClock() { XB_SetClock(m_previous); }
  XB_FixedClock(const XB_FixedClock&) = delete;
  XB_FixedClock& operator=(const XB_FixedClock&) = delete;

 private:
  static int64_t Now() { return s_now; }

  static inline int64_t s_now = 0;
  XB_Clock m_previous;
};

/* Sets the environment variable NAME to VALUE while the object lives and
** restores the former value (or its absence) after; for TZ the C library
** rereads the time zone both times. */
class XB_ScopedEnv {
 public:
  XB_ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_previous = old;
    setenv(name, value, 1);
    tzset();
  }
  ~XB_ScopedEnv() {
    if (m_previous)
      setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
      unsetenv(m_name.c_str());
    tzset();
  }
  XB_ScopedEnv(const XB_ScopedEnv&) = delete;
  XB_ScopedEnv& operator=(const XB_ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_previous;
};

#endif
