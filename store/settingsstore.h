/*
** SettingsStore: the root of the viewer's settings tree, bound to its XML
** file.  Load() merges the file into the tree (a missing or unreadable file
** leaves the tree as it was); Save() writes the whole tree with safe save, so
** the old file stays intact until the new one is complete on disk.
*/
#ifndef SETTINGSSTORE_H
#define SETTINGSSTORE_H

#include "storenode.h"

class SettingsStore : public StoreNode {
 public:
  SettingsStore();
  ~SettingsStore() override;

  bool SetFileName(const char* path);
  const XB_String& FileName() const { return m_fileName; }
  void SetKeepComments(bool on) { m_keepComments = on; }
  bool KeepComments() const { return m_keepComments; }

  bool Load(const char* rootName = nullptr);
  bool Save();

 private:
  XB_String m_fileName;
  bool m_keepComments = false;
};

#endif
