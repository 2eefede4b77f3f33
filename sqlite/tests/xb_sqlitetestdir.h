/*
** Test helper: a private temporary folder that is removed with everything
** in it when the helper goes, and the log texts collected meanwhile.
*/
#ifndef XB_SQLITETESTDIR_H
#define XB_SQLITETESTDIR_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "xb_log.h"

class XB_SQLiteTestDir {
 public:
  XB_SQLiteTestDir() {
    char pattern[] = "/tmp/xb-sqlite-test-XXXXXX";
    if (mkdtemp(pattern)) root = pattern;
    EXPECT_FALSE(root.empty());
    XB_SetLogSink(&XB_SQLiteTestDir::Collect, this);
  }
  ~XB_SQLiteTestDir() {
    XB_SetLogSink(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  XB_SQLiteTestDir(const XB_SQLiteTestDir&) = delete;
  XB_SQLiteTestDir& operator=(const XB_SQLiteTestDir&) = delete;

  /* Returns the path of NAME inside the folder. */
  std::string Path(const std::string& name) const { return root + "/" + name; }

  /* Copies the generation-2 fixture NAME into the folder; returns the copy. */
  std::string Fixture(const std::string& name) const {
    std::string copy = Path(name);
    std::filesystem::copy_file(std::string(XB_SQLITE2_FIXTURES) + "/" + name, copy);
    return copy;
  }

  /* Writes TEXT as the whole content of NAME; returns its path. */
  std::string Write(const std::string& name, const std::string& text) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  /* Returns the whole content of the file at PATH. */
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  /* Counts the collected log texts that begin with PREFIX. */
  int Logged(const std::string& prefix) const {
    int count = 0;
    for (const std::string& text : log)
      if (text.rfind(prefix, 0) == 0) ++count;
    return count;
  }

  std::string root;
  std::vector<std::string> log;

 private:
  static void Collect(const char* text, void* context) {
    static_cast<XB_SQLiteTestDir*>(context)->log.emplace_back(text);
  }
};

#endif
