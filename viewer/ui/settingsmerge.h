/*
** SettingsMerge: how one running viewer writes the settings file without
** undoing what another one wrote meanwhile.  Before saving, the file on
** disk is read again and every entry another writer changed since this
** instance loaded (or last saved) the file is taken over, except entries
** this instance changed itself: those are written as they are here.
**
** Entries are compared by their value texts under their key paths (letter
** case ignored).  An entry counts as changed here when its value differs
** from the baseline or when it was set on purpose (written, as against a
** default a getter stored when the key was missing): an entry new in this
** run that only holds a getter's default yields to the file, so it cannot
** undo a value the other viewer set.
*/
#ifndef SETTINGSMERGE_H
#define SETTINGSMERGE_H

#include <map>
#include <set>
#include <string>
#include <vector>

class StoreNode;

class SettingsMerge {
 public:
  /* Every entry holding values: lower-case key path -> value texts. */
  using Snapshot = std::map<std::string, std::string>;

  /* Returns the entries of the tree ROOT. */
  static Snapshot Take(const StoreNode& root);

  /* Returns PATH as a snapshot key: lower case, empty segments dropped. */
  static std::string KeyOf(const std::string& path);

  /* Brings into CURRENT what was changed in DISK (the file as now read)
  ** since BASELINE (the file as this instance last read or wrote it),
  ** keeping what CURRENT changed since BASELINE and the entries at the key
  ** paths WRITTEN (set on purpose here).  Returns the number of entries
  ** taken from DISK or removed because DISK removed them. */
  static int Merge(StoreNode& current, const Snapshot& baseline, StoreNode& disk,
                   const std::vector<std::string>& written = {});
};

#endif
