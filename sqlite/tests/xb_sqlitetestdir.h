/*
** The test support of the database library: XB_SQLiteTestDir, a private
** temporary folder (see xb_testsupport.h) that also collects the log texts
** written while it lives and takes copies of the 2.x fixtures, and the
** list of those fixtures, read from their folder so that a fixture added
** there is never passed over.
*/
#ifndef XB_SQLITETESTDIR_H
#define XB_SQLITETESTDIR_H

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "xb_testsupport.h"

class XB_SQLiteTestDir : public XB_TestDir {
 public:
  /* Copies the generation-2 fixture NAME into the folder; returns the copy. */
  std::string Fixture(const std::string& name) const {
    std::string copy = Path(name);
    std::filesystem::copy_file(std::string(XB_SQLITE2_FIXTURES) + "/" + name, copy);
    return copy;
  }

  /* Counts the log texts collected so far that begin with PREFIX. */
  int Logged(const std::string& prefix) const { return m_log.Count(prefix); }

  /* Forgets the log texts collected so far. */
  void ClearLog() { m_log.Texts().clear(); }

 private:
  XB_LogCapture m_log;
};

/* Returns the file names of every 2.x fixture database ("NAME.db"), sorted. */
inline std::vector<std::string> XB_Sqlite2Fixtures() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(XB_SQLITE2_FIXTURES)) {
    if (entry.path().extension() == ".db") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

#endif
