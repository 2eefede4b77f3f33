/*
** A private temporary folder for one test, removed with everything in it
** when the test ends, plus helpers that write and read whole files as raw
** bytes.
*/
#ifndef STORE_TESTS_TEMPFILES_H
#define STORE_TESTS_TEMPFILES_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "xbstore-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    m_path = made ? made : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  /* Returns the full path of NAME inside the folder. */
  std::string File(const std::string& name) const { return m_path + "/" + name; }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

/* Writes BYTES to PATH, replacing it. */
inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

/* Returns the bytes of PATH, or "<missing>" when it cannot be read. */
inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#endif
