/*
** QueryHistory: the query bar's history, a recency list of query texts kept
** in the profile section "query" as entries hist0, hist1, ... (hist0 the
** newest).
**
** Load reads hist0 to hist999: an empty entry below hist10 is skipped, an
** empty one from hist10 on ends the list; a text equal to an earlier one
** ignoring letter case, or longer than kMaxTextBytes, is dropped; at most
** kMaxItems are kept.  Remember puts a text first (dropping an equal one
** ignoring case) and notes it as this instance's change.  Save merges:
** under the profile's lock it re-reads the section, applies only the texts
** this instance remembered since the last save (in their order), writes the
** list as hist0..hist<n-1> and removes every other hist<i>, so two viewers
** saving in turn keep each other's queries.
*/
#ifndef QUERYHISTORY_H
#define QUERYHISTORY_H

#include <optional>
#include <string>
#include <vector>

/* The profile section the history lives in.  Keys are entry names within
** the section; an absent entry reads as the empty text. */
class QueryProfile {
 public:
  virtual ~QueryProfile() = default;
  /* Returns the text of KEY, or "" when it is absent. */
  virtual std::string Read(const std::string& key) = 0;
  virtual void Write(const std::string& key, const std::string& text) = 0;
  virtual void Remove(const std::string& key) = 0;
  /* Returns every key of the section. */
  virtual std::vector<std::string> Keys() = 0;
  /* Takes the lock shared by every instance and re-reads the section from
  ** its store.  Returns false when the lock cannot be had; nothing may be
  ** written then. */
  virtual bool Lock() = 0;
  /* Writes the section to its store and releases the lock.  Returns false
  ** when writing failed. */
  virtual bool Unlock() = 0;
};

class QueryHistory {
 public:
  static constexpr size_t kMaxItems = 100;
  static constexpr size_t kMaxTextBytes = 64 * 1024;
  static constexpr int kMaxEntries = 1000;

  explicit QueryHistory(QueryProfile& profile) : m_profile(profile) {}

  /* Replaces the list by the profile's history (rules in the file comment). */
  void Load();

  /* Puts TEXT first and notes it for the next Save.  Returns false, and
  ** changes nothing, for an empty text or one over kMaxTextBytes. */
  bool Remember(const std::string& text);

  /* Merges this instance's changes into the profile and takes the merged
  ** list as its own.  Returns false when the lock could not be had or the
  ** profile could not be written; the changes are then kept for the next
  ** Save. */
  bool Save();

  /* Merges CHANGES (oldest first) into PROFILE as Save does.  Returns the
  ** merged list, or none when the lock could not be had or the profile
  ** could not be written.  Needs no instance, so a save can run on another
  ** thread over a profile of its own. */
  static std::optional<std::vector<std::string>> Merge(QueryProfile& profile,
                                                       const std::vector<std::string>& changes);

  /* Returns the changes noted since the last save (oldest first) and
  ** forgets them, for a save made elsewhere (Merge), which EndSave ends. */
  std::vector<std::string> TakeChanges();

  /* Ends a save of CHANGES (from TakeChanges): with MERGED, that list
  ** becomes the list, with the texts remembered meanwhile put first again;
  ** without, CHANGES are noted again, before those, for the next save. */
  void EndSave(std::vector<std::string> changes, std::optional<std::vector<std::string>> merged);

  /* True while changes wait for a save. */
  bool HasChanges() const { return !m_changes.empty(); }

  /* The list, newest first. */
  const std::vector<std::string>& Items() const { return m_items; }

 private:
  static std::vector<std::string> ReadList(QueryProfile& profile);
  static void PutFirst(std::vector<std::string>& list, const std::string& text);

  QueryProfile& m_profile;
  std::vector<std::string> m_items;
  std::vector<std::string> m_changes; /* remembered since the last save, oldest first */
};

#endif
