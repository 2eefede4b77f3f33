/*
** The query bar's history list and its merging save.
*/
#include "queryhistory.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

/* Returns true when A and B are equal ignoring ASCII letter case. */
bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

/* Returns true for a key of the form "hist" followed by decimal digits. */
bool IsHistoryKey(const std::string& key) {
  if (key.size() <= 4 || key.compare(0, 4, "hist") != 0) return false;
  return std::all_of(key.begin() + 4, key.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::vector<std::string> QueryHistory::ReadList(QueryProfile& profile) {
  std::vector<std::string> list;
  for (int i = 0; i < kMaxEntries && list.size() < kMaxItems; ++i) {
    std::string text = profile.Read("hist" + std::to_string(i));
    if (text.empty()) {
      if (i >= 10) break;
      continue;
    }
    if (text.size() > kMaxTextBytes) continue;
    bool known = std::any_of(list.begin(), list.end(),
                             [&](const std::string& item) { return SameNoCase(item, text); });
    if (!known) list.push_back(text);
  }
  return list;
}

void QueryHistory::PutFirst(std::vector<std::string>& list, const std::string& text) {
  list.erase(std::remove_if(list.begin(), list.end(),
                            [&](const std::string& item) { return SameNoCase(item, text); }),
             list.end());
  list.insert(list.begin(), text);
  if (list.size() > kMaxItems) list.resize(kMaxItems);
}

void QueryHistory::Load() {
  m_items = ReadList(m_profile);
  m_changes.clear();
}

bool QueryHistory::Remember(const std::string& text) {
  if (text.empty() || text.size() > kMaxTextBytes) return false;
  PutFirst(m_items, text);
  m_changes.erase(std::remove_if(m_changes.begin(), m_changes.end(),
                                 [&](const std::string& item) { return SameNoCase(item, text); }),
                  m_changes.end());
  m_changes.push_back(text);
  return true;
}

std::optional<std::vector<std::string>> QueryHistory::Merge(
    QueryProfile& profile, const std::vector<std::string>& changes) {
  if (!profile.Lock()) return std::nullopt;
  std::vector<std::string> merged = ReadList(profile);
  for (const std::string& text : changes) PutFirst(merged, text);
  for (size_t i = 0; i < merged.size(); ++i) profile.Write("hist" + std::to_string(i), merged[i]);
  for (const std::string& key : profile.Keys()) {
    if (!IsHistoryKey(key)) continue;
    // hist007 is no entry we write, and neither is anything past the list.
    std::string digits = key.substr(4);
    bool written = digits.size() < 4 && (digits == "0" || digits[0] != '0') &&
                   static_cast<size_t>(std::stoi(digits)) < merged.size();
    if (!written) profile.Remove(key);
  }
  if (!profile.Unlock()) return std::nullopt;
  return merged;
}

bool QueryHistory::Save() {
  std::optional<std::vector<std::string>> merged = Merge(m_profile, m_changes);
  if (!merged) return false;
  m_items = std::move(*merged);
  m_changes.clear();
  return true;
}

std::vector<std::string> QueryHistory::TakeChanges() {
  return std::exchange(m_changes, {});
}

void QueryHistory::EndSave(std::vector<std::string> changes,
                           std::optional<std::vector<std::string>> merged) {
  if (!merged) {
    // Remembered again meanwhile, a text keeps only its later place.
    for (const std::string& text : m_changes)
      changes.erase(std::remove_if(changes.begin(), changes.end(),
                                   [&](const std::string& item) { return SameNoCase(item, text); }),
                    changes.end());
    changes.insert(changes.end(), m_changes.begin(), m_changes.end());
    m_changes = std::move(changes);
    return;
  }
  for (const std::string& text : m_changes) PutFirst(*merged, text);
  m_items = std::move(*merged);
}
