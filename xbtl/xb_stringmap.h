/*
** XB_StringMap: text keys to entries, in the order they were added.
**
** Lookup yields the index of an entry, or -1 (also for an absent or empty
** key).  A map made with ignoreCase = true compares keys ignoring ASCII
** letter case (Latin-1 letters above 127 are compared as they are).
** Entries are reached by index; an index outside the map is logged and
** yields the nearest entry, as with XB_ArrayObVal.
*/
#ifndef XB_STRINGMAP_H
#define XB_STRINGMAP_H

#include <string>
#include <unordered_map>
#include <utility>

#include "xb_arrayobval.h"
#include "xb_string.h"

/* KEY as it is looked up: unchanged, or with ASCII letters made lower case. */
std::string XB_StringMapFoldKey(std::string_view key, bool ignoreCase);

template <class T>
class XB_StringMap {
 public:
  explicit XB_StringMap(bool ignoreCase = false) : m_ignoreCase(ignoreCase) {}

  bool IgnoresCase() const { return m_ignoreCase; }
  int Count() const { return m_keys.Count(); }
  bool IsEmpty() const { return m_keys.IsEmpty(); }

  /* The index of the entry under KEY, or -1 (also for an absent or empty key). */
  int Find(std::string_view key) const {
    if (key.empty()) return -1;
    auto it = m_index.find(XB_StringMapFoldKey(key, m_ignoreCase));
    return it == m_index.end() ? -1 : it->second;
  }
  int Find(const char* key) const { return key ? Find(std::string_view(key)) : -1; }
  bool Contains(std::string_view key) const { return Find(key) >= 0; }

  /* The value under KEY, or null. */
  T* Lookup(std::string_view key) {
    int at = Find(key);
    return at < 0 ? nullptr : &m_values[at];
  }
  const T* Lookup(std::string_view key) const {
    int at = Find(key);
    return at < 0 ? nullptr : &m_values[at];
  }

  /* Stores VALUE under KEY, replacing the value of an existing entry (whose
  ** key keeps its first spelling).  Returns the entry's index, or -1 for an
  ** empty key, which is never stored. */
  int Set(std::string_view key, const T& value) {
    if (key.empty()) return -1;
    int at = Find(key);
    if (at >= 0) {
      m_values[at] = value;
      return at;
    }
    m_keys.Add(XB_String(key));
    m_values.Add(value);
    at = Count() - 1;
    m_index.emplace(XB_StringMapFoldKey(key, m_ignoreCase), at);
    return at;
  }
  /* Adds an entry only when KEY is not yet present; returns false (and
  ** changes nothing) when it is, or when KEY is empty. */
  bool Add(std::string_view key, const T& value) {
    if (key.empty() || Find(key) >= 0) return false;
    Set(key, value);
    return true;
  }

  /* Removes the entry under KEY; false when there is none. */
  bool Remove(std::string_view key) {
    int at = Find(key);
    if (at < 0) return false;
    m_keys.RemoveAt(at);
    m_values.RemoveAt(at);
    Reindex();
    return true;
  }
  void Clear() {
    m_keys.Clear();
    m_values.Clear();
    m_index.clear();
  }

  /* The key and the value of entry INDEX (nearest entry, logged, when outside). */
  const XB_String& KeyAt(int index) const { return m_keys[index]; }
  T& ValueAt(int index) { return m_values[index]; }
  const T& ValueAt(int index) const { return m_values[index]; }

 private:
  void Reindex() {
    m_index.clear();
    for (int i = 0; i < m_keys.Count(); i++) {
      m_index.emplace(XB_StringMapFoldKey(m_keys[i].View(), m_ignoreCase), i);
    }
  }

  XB_ArrayObVal<XB_String> m_keys;
  XB_ArrayObVal<T> m_values;
  std::unordered_map<std::string, int> m_index;
  bool m_ignoreCase;
};

#endif /* XB_STRINGMAP_H */
