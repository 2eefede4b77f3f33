/*
** Writing changed rows of one table and the entries of its indices into
** the file's b-trees through a TreeEditor.
*/
#include "s2rowedit.h"
#include "s2value.h"

#include <algorithm>

namespace s2 {

namespace {

/* Returns the message 2.x gives when a row breaks the unique INDEX of
** table DEF. */
std::string uniqueFailure(const IndexDef& index, const TableDef& def) {
  if (index.columns.size() == 1)
    return "column " + def.columns[index.columns[0]].name + " is not unique";
  std::string joined;
  for (int column : index.columns)
    joined += (joined.empty() ? "" : ", ") + def.columns[column].name;
  return "columns " + joined + " are not unique";
}

}  // namespace

const Row* findRow(const std::vector<Row>& rows, int64_t rowid) {
  auto at = std::lower_bound(rows.begin(), rows.end(), rowid,
                             [](const Row& r, int64_t id) { return r.rowid < id; });
  return at != rows.end() && at->rowid == rowid ? &*at : nullptr;
}

bool hasNullField(std::string_view key, size_t count) {
  size_t pos = 0;
  for (size_t f = 0; f < count && pos < key.size(); ++f) {
    if (key[pos] == 'a') return true;
    size_t end = key.find('\0', pos);
    if (end == std::string_view::npos) return false;
    pos = end + 1;
  }
  return false;
}

Status writeRows(TreeEditor& editor, const TreeTable& table, const std::vector<Row>& rows,
                 const std::vector<std::pair<int64_t, std::optional<Row>>>& before,
                 bool* unsuitable) {
  const TableDef& def = table.def;
  bool found = false;
  for (const auto& [rowid, old] : before) {
    const Row* now = findRow(rows, rowid);
    for (const TreeIndex& index : table.indices) {
      if (!old) continue;
      std::string oldKey = indexKey(index.def, def, *old);
      if (now && indexKey(index.def, def, *now) == oldKey) continue;
      Status st = editor.remove(index.root, oldKey, &found);
      if (!st.ok()) return st;
      /* An index that does not match the rows is rebuilt by a whole write. */
      if (!found) *unsuitable = true;
      if (*unsuitable) return Status::success();
    }
  }
  std::string record;
  for (const auto& [rowid, old] : before) {
    const Row* now = findRow(rows, rowid);
    if (!now) {
      Status st = editor.remove(table.root, rowidKey(int32_t(rowid)), &found);
      if (!st.ok()) return st;
      continue;
    }
    std::vector<Cell> fields = now->cells;
    if (fields.size() > def.columns.size()) {
      *unsuitable = true;
      return Status::success();
    }
    fields.resize(def.columns.size());
    for (const Cell& cell : fields) {
      if (cell && cell->find('\0') != std::string::npos)
        return Status::failure(kMismatch, "table " + def.name + ": row " + std::to_string(rowid) +
                                              " holds a value with a NUL byte");
    }
    encodeRowRecord(fields, def.rowidColumn, record);
    if (record.size() > kMaxRecordSize)
      return Status::failure(kTooBig, "too much data for one table row");
    Status st = editor.insert(table.root, rowidKey(int32_t(rowid)), record);
    if (!st.ok()) return st;
  }
  for (const auto& [rowid, old] : before) {
    const Row* now = findRow(rows, rowid);
    if (!now) continue;
    for (const TreeIndex& index : table.indices) {
      std::string key = indexKey(index.def, def, *now);
      if (old && indexKey(index.def, def, *old) == key) continue;
      if (key.size() > kMaxRecordSize)
        return Status::failure(kTooBig, "too much data for one table row");
      if (index.def.unique && !hasNullField(key, index.def.columns.size())) {
        std::string clash;
        Status st =
            editor.findPrefix(index.root, std::string_view(key).substr(0, key.size() - 4), &clash);
        if (!st.ok()) return st;
        if (!clash.empty() && clash != key)
          return Status::failure(kConstraint, uniqueFailure(index.def, def));
      }
      Status st = editor.insert(index.root, key, std::string_view());
      if (!st.ok()) return st;
    }
  }
  return Status::success();
}

}  // namespace s2
