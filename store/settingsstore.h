/*
** SettingsStore: the root of the viewer's settings tree, bound to its XML
** file.  Load() merges the file into the tree (a missing or unreadable file
** leaves the tree as it was); Save() writes the whole tree with safe save, so
** the old file stays intact until the new one is complete on disk.
*/
#ifndef SETTINGSSTORE_H
#define SETTINGSSTORE_H

#include "storenode.h"

#include <string>
#include <vector>

class SettingsStore : public StoreNode {
 public:
  SettingsStore();
  ~SettingsStore() override;

  /* Binds the store to PATH.  Returns false, leaving no file bound, when the
  ** path is empty or longer than the writer can take. */
  bool SetFileName(const char* path);
  const XB_String& FileName() const { return m_fileName; }
  void SetKeepComments(bool on) { m_keepComments = on; }
  bool KeepComments() const { return m_keepComments; }

  /* Merges the settings file into the tree.  With ROOTNAME given, the
  ** document element must have that name (ignoring case).  Returns true when
  ** the file was read; false leaves the tree as it was. */
  bool Load(const char* rootName = nullptr);
  /* Writes the whole tree to the settings file through a temporary file.
  ** Returns true only when the new file is complete and has replaced the old
  ** one; otherwise the old file is untouched. */
  bool Save();

  /* Store VALUE at PATH and remember PATH as set on purpose, as against a
  ** default that a getter stored (see WrittenPaths). */
  void WriteBool(const char* path, bool value) override;
  void WriteInt(const char* path, int32_t value) override;
  /* The key paths given to WriteBool / WriteInt since the last
  ** ClearWritten, in the order given (repeats included). */
  const std::vector<std::string>& WrittenPaths() const { return m_written; }
  void ClearWritten() { m_written.clear(); }

 private:
  XB_String m_fileName;
  bool m_keepComments = false;
  std::vector<std::string> m_written;
};

#endif
