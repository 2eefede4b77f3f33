/*
** Merging the settings tree with the file another viewer wrote.
*/
#include "settingsmerge.h"

#include "storenode.h"

#include <cctype>

namespace {

/* Separates the texts of a node's values in a snapshot. */
const char kValueSeparator = '\x1f';

std::string Lower(const XB_String& text) {
  std::string out(text.c_str());
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void Collect(const StoreNode& node, const std::string& path, SettingsMerge::Snapshot& out) {
  if (node.ValueCount() > 0) {
    std::string texts;
    for (int i = 0; i < node.ValueCount(); ++i) {
      if (i > 0) texts += kValueSeparator;
      texts += StoreNode::ValueText(node.Value(i)).c_str();
    }
    out[path] = texts;
  }
  for (int i = 0; i < node.ChildCount(); ++i) {
    std::string name = Lower(node.ChildName(i));
    Collect(*node.ChildAt(i), path.empty() ? name : path + "/" + name, out);
  }
}

/* Gives the entry PATH of TARGET the values of the same entry of SOURCE. */
void CopyValues(StoreNode& target, StoreNode& source, const std::string& path) {
  StoreNode* from = source.Path(path.c_str());
  StoreNode* to = target.Path(path.c_str());
  to->ClearValues();
  for (int i = 0; i < from->ValueCount(); ++i) to->AddValue(from->Value(i));
}

}  // namespace

SettingsMerge::Snapshot SettingsMerge::Take(const StoreNode& root) {
  Snapshot out;
  Collect(root, std::string(), out);
  return out;
}

std::string SettingsMerge::KeyOf(const std::string& path) {
  std::string key;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      if (!key.empty()) key += '/';
      key += Lower(XB_String(path.substr(start, end - start).c_str()));
    }
    start = end + 1;
  }
  return key;
}

int SettingsMerge::Merge(StoreNode& current, const Snapshot& baseline, StoreNode& disk,
                         const std::vector<std::string>& written) {
  Snapshot now = Take(current);
  Snapshot theirs = Take(disk);
  std::set<std::string> setHere;
  for (const std::string& path : written) setHere.insert(KeyOf(path));
  int taken = 0;
  for (const auto& [path, text] : theirs) {
    auto base = baseline.find(path);
    auto here = now.find(path);
    // Set on purpose, changed or removed here since the baseline: this
    // instance's own.
    bool changedHere =
        base != baseline.end() && (here == now.end() || here->second != base->second);
    if (changedHere || setHere.count(path)) continue;
    if (here != now.end() && here->second == text) continue;
    CopyValues(current, disk, path);
    ++taken;
  }
  for (const auto& [path, text] : now) {
    if (theirs.count(path)) continue;
    auto base = baseline.find(path);
    // Removed from the file by another writer, unchanged here: a node
    // without values is not written.
    if (base == baseline.end() || base->second != text) continue;
    current.Path(path.c_str())->ClearValues();
    ++taken;
  }
  return taken;
}
