/*
** In-place changes of 2.x b-trees.  A page is decoded into a Node (its
** cells as whole byte strings, in key order), changed, and written back
** defragmented: cells from offset 8 on, one free block after them.
** Entries go into leaves; an entry removed from an interior page is
** replaced by its predecessor from a leaf.  A page that overflows is split
** around a middle cell that moves up into the parent (the root keeps its
** page number: its content moves into two new pages).  A non-root page
** that loses its last cell is merged into its sibling together with the
** parent's cell between them; a root left without cells but with a child
** takes that child's content.  Every leaf thus stays at one depth.
*/
#include "s2treeedit.h"
#include "s2btree.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace s2 {

namespace {

const char kTooMuch[] = "too much data for one table row";

/* Returns the size of a cell from its header bytes. */
size_t cellSize(const unsigned char* c, const ByteOrder& order) {
  uint64_t payload = (order.get16(c + 4) | uint32_t(c[8]) << 16) +
                     uint64_t(order.get16(c + 10) | uint32_t(c[9]) << 16);
  return payload > kMaxLocalPayload ? kMaxCellSize : (kCellHeaderSize + payload + 3) & ~size_t(3);
}

/* Returns the index of the cell that moves up when NODE's cells are split
** in two halves of about equal size; both halves keep at least one cell. */
size_t splitPoint(const std::vector<std::string>& cells, size_t total) {
  size_t before = 0, m = 0;
  for (; m < cells.size(); ++m) {
    if (before + cells[m].size() > total / 2) break;
    before += cells[m].size();
  }
  return std::clamp<size_t>(m, 1, cells.size() - 2);
}

}  // namespace

void encodeRowRecord(const std::vector<Cell>& fields, int nullColumn, std::string& out) {
  size_t dataBytes = 0;
  for (size_t i = 0; i < fields.size(); i++) {
    if (fields[i] && int(i) != nullColumn) dataBytes += fields[i]->size() + 1;
  }
  size_t n = fields.size();
  size_t width = dataBytes + (n + 1) < 256 ? 1 : dataBytes + 2 * (n + 1) < 65536 ? 2 : 3;
  out.assign(dataBytes + width * (n + 1), '\0');
  size_t position = width * (n + 1);
  auto putOffset = [&](size_t slot, size_t value) {
    for (size_t b = 0; b < width; b++) out[slot * width + b] = char(value >> (8 * b));
  };
  for (size_t i = 0; i < n; i++) {
    putOffset(i, position);
    if (!fields[i] || int(i) == nullColumn) continue;
    std::memcpy(out.data() + position, fields[i]->data(), fields[i]->size());
    position += fields[i]->size() + 1;
  }
  putOffset(n, position);
}

unsigned char* BytePages::page(uint32_t number) {
  return reinterpret_cast<unsigned char*>(m_bytes.data()) + size_t(number - 1) * kPageSize;
}

uint32_t BytePages::append() {
  m_bytes.resize(m_bytes.size() + kPageSize, '\0');
  return count();
}

TreeEditor::TreeEditor(std::string& bytes, ByteOrder order)
    : m_ownPages(std::make_unique<BytePages>(bytes)), m_pages(*m_ownPages), m_order(order) {}

TreeEditor::TreeEditor(EditPages& pages, ByteOrder order) : m_pages(pages), m_order(order) {}

unsigned char* TreeEditor::page(uint32_t number) {
  unsigned char* p = m_pages.page(number);
  if (p) return p;
  /* The failure is reported by checked(); until then the editor works on
  ** a zeroed page whose changes go nowhere. */
  m_scratch.fill(0);
  return m_scratch.data();
}

uint32_t TreeEditor::pageCount() const {
  return m_pages.count();
}

Status TreeEditor::checked(Status status) const {
  Status pages = m_pages.status();
  return pages.ok() ? status : pages;
}

Status TreeEditor::insert(uint32_t root, std::string_view key, std::string_view data) {
  return checked(insertEntry(root, key, data));
}

Status TreeEditor::remove(uint32_t root, std::string_view key, bool* found) {
  return checked(removeEntry(root, key, found));
}

Status TreeEditor::findPrefix(uint32_t root, std::string_view prefix, std::string* key) {
  return checked(findEntry(root, prefix, key));
}

uint32_t TreeEditor::leftOf(const std::string& cell) const {
  return m_order.get32(reinterpret_cast<const unsigned char*>(cell.data()));
}

void TreeEditor::setLeft(std::string& cell, uint32_t left) const {
  m_order.put32(reinterpret_cast<unsigned char*>(cell.data()), left);
}

size_t TreeEditor::nodeBytes(const Node& node) {
  size_t total = 0;
  for (const std::string& cell : node.cells) total += cell.size();
  return total;
}

Status TreeEditor::readNode(uint32_t number, Node& node) {
  if (number < 2 || number > pageCount()) return damagedPage(number);
  const unsigned char* p = page(number);
  node = Node();
  node.page = number;
  node.right = m_order.get32(p);
  size_t cellBytes = 0;
  uint32_t firstCell = m_order.get16(p + 4), firstFree = m_order.get16(p + 6);
  for (uint32_t offset = firstCell; offset != 0;) {
    if (offset < kPageHeaderSize || offset > kPageSize - 16 || offset % 4 != 0 ||
        node.cells.size() >= kUsableSpace / kCellHeaderSize) {
      return damagedPage(number);
    }
    size_t size = cellSize(p + offset, m_order);
    if (offset + size > kPageSize) return damagedPage(number);
    cellBytes += size;
    node.cells.emplace_back(reinterpret_cast<const char*>(p + offset), size);
    offset = m_order.get16(p + offset + 6);
  }
  size_t freeBytes = 0;
  if (!freeBlockBytes(m_order, p, firstFree, &freeBytes)) return damagedPage(number);
  if ((firstCell != 0 || firstFree != 0) && cellBytes + freeBytes != kUsableSpace)
    return damagedPage(number);
  for (const std::string& cell : node.cells) {
    if ((leftOf(cell) != 0) != (node.right != 0)) return damagedPage(number);
  }
  return Status::success();
}

void TreeEditor::writeNode(const Node& node) {
  unsigned char* p = page(node.page);
  std::memset(p, 0, kPageSize);
  m_order.put32(p, node.right);
  size_t position = kPageHeaderSize;
  for (size_t i = 0; i < node.cells.size(); ++i) {
    const std::string& cell = node.cells[i];
    std::memcpy(p + position, cell.data(), cell.size());
    size_t next = i + 1 < node.cells.size() ? position + cell.size() : 0;
    m_order.put16(p + position + 6, uint32_t(next));
    position += cell.size();
  }
  m_order.put16(p + 4, node.cells.empty() ? 0 : uint32_t(kPageHeaderSize));
  if (position < kPageSize) {
    m_order.put16(p + 6, uint32_t(position));
    m_order.put16(p + position, uint32_t(kPageSize - position));
    m_order.put16(p + position + 2, 0);
  } else {
    m_order.put16(p + 6, 0);
  }
}

Status TreeEditor::cellKey(const std::string& cell, std::string& key) {
  const unsigned char* c = reinterpret_cast<const unsigned char*>(cell.data());
  size_t keySize = m_order.get16(c + 4) | size_t(c[8]) << 16;
  const char* local = cell.data() + kCellHeaderSize;
  if (keySize <= kMaxLocalPayload) {
    key.assign(local, keySize);
    return Status::success();
  }
  key.assign(local, kMaxLocalPayload);
  uint32_t next = m_order.get32(c + kCellHeaderSize + kMaxLocalPayload);
  while (key.size() < keySize) {
    if (next < 2 || next > pageCount()) return damagedPage(next);
    const unsigned char* o = page(next);
    key.append(reinterpret_cast<const char*>(o + 4),
               std::min(keySize - key.size(), kOverflowPayload));
    next = m_order.get32(o);
  }
  return Status::success();
}

Status TreeEditor::allocate(uint32_t* number) {
  unsigned char* header = page(1);
  uint32_t head = m_order.get32(header + kOffFreeHead);
  uint32_t count = m_order.get32(header + kOffFreeCount);
  if (head == 0) {
    *number = m_pages.append();
    return *number ? Status::success() : m_pages.status();
  }
  if (head < 2 || head > pageCount()) return damagedPage(1);
  unsigned char* trunk = page(head);
  uint32_t leaves = m_order.get32(trunk + 4);
  if (leaves > kMaxTrunkLeaves) return damagedPage(head);
  if (leaves > 0) {
    uint32_t leaf = m_order.get32(trunk + 8 + 4 * (leaves - 1));
    if (leaf < 2 || leaf > pageCount()) return damagedPage(head);
    m_order.put32(trunk + 4, leaves - 1);
    *number = leaf;
  } else {
    m_order.put32(header + kOffFreeHead, m_order.get32(trunk));
    *number = head;
  }
  m_order.put32(header + kOffFreeCount, count > 0 ? count - 1 : 0);
  std::memset(page(*number), 0, kPageSize);
  return Status::success();
}

Status TreeEditor::release(uint32_t number) {
  unsigned char* header = page(1);
  uint32_t head = m_order.get32(header + kOffFreeHead);
  uint32_t count = m_order.get32(header + kOffFreeCount);
  if (head != 0 && (head < 2 || head > pageCount())) return damagedPage(1);
  uint32_t leaves = head ? m_order.get32(page(head) + 4) : 0;
  if (head != 0 && leaves < kMaxTrunkLeaves) {
    /* As 2.x frees a page: a leaf of the first trunk, its content kept. */
    m_order.put32(page(head) + 8 + 4 * leaves, number);
    m_order.put32(page(head) + 4, leaves + 1);
  } else {
    unsigned char* p = page(number);
    std::memset(p, 0, kPageSize);
    m_order.put32(p, head);
    m_order.put32(header + kOffFreeHead, number);
  }
  m_order.put32(header + kOffFreeCount, count + 1);
  return Status::success();
}

Status TreeEditor::makeCell(std::string_view key, std::string_view data, uint32_t left,
                            std::string& cell) {
  if (key.size() > kMaxRecordSize || data.size() > kMaxRecordSize)
    return Status::failure(kTooBig, kTooMuch);
  std::string payload;
  payload.reserve(key.size() + data.size());
  payload.append(key);
  payload.append(data);
  size_t total = payload.size();
  size_t size =
      total > kMaxLocalPayload ? kMaxCellSize : (kCellHeaderSize + total + 3) & ~size_t(3);
  cell.assign(size, '\0');
  unsigned char* c = reinterpret_cast<unsigned char*>(cell.data());
  m_order.put32(c, left);
  m_order.put16(c + 4, uint32_t(key.size() & 0xffff));
  c[8] = static_cast<unsigned char>(key.size() >> 16);
  c[9] = static_cast<unsigned char>(data.size() >> 16);
  m_order.put16(c + 10, uint32_t(data.size() & 0xffff));
  std::memcpy(c + kCellHeaderSize, payload.data(), std::min(total, kMaxLocalPayload));
  if (total <= kMaxLocalPayload) return Status::success();
  uint32_t previous = 0;
  for (size_t done = kMaxLocalPayload; done < total;) {
    uint32_t number = 0;
    Status st = allocate(&number);
    if (!st.ok()) return st;
    if (previous == 0) {
      m_order.put32(
          reinterpret_cast<unsigned char*>(cell.data()) + kCellHeaderSize + kMaxLocalPayload,
          number);
    } else {
      m_order.put32(page(previous), number);
    }
    size_t n = std::min(total - done, kOverflowPayload);
    std::memcpy(page(number) + 4, payload.data() + done, n);
    done += n;
    previous = number;
  }
  return Status::success();
}

Status TreeEditor::freeChain(const std::string& cell) {
  const unsigned char* c = reinterpret_cast<const unsigned char*>(cell.data());
  size_t total =
      (m_order.get16(c + 4) | size_t(c[8]) << 16) + (m_order.get16(c + 10) | size_t(c[9]) << 16);
  if (total <= kMaxLocalPayload) return Status::success();
  size_t remaining = total - kMaxLocalPayload;
  uint32_t next = m_order.get32(c + kCellHeaderSize + kMaxLocalPayload);
  while (remaining > 0) {
    if (next < 2 || next > pageCount()) return damagedPage(next);
    uint32_t number = next;
    next = m_order.get32(page(number));
    Status st = release(number);
    if (!st.ok()) return st;
    remaining -= std::min(remaining, kOverflowPayload);
  }
  return Status::success();
}

Status TreeEditor::descend(uint32_t root, std::string_view key, std::vector<Level>& path,
                           Node& node, size_t* index, bool* equal) {
  path.clear();
  Status st = readNode(root, node);
  std::string cellKeyBytes;
  while (st.ok()) {
    size_t i = 0;
    int c = 1;
    for (; i < node.cells.size(); ++i) {
      st = cellKey(node.cells[i], cellKeyBytes);
      if (!st.ok()) return st;
      c = std::string_view(cellKeyBytes).compare(key);
      if (c >= 0) break;
    }
    *index = i;
    *equal = i < node.cells.size() && c == 0;
    if (*equal || node.right == 0) return st;
    if (path.size() >= kMaxTreeDepth) return damagedPage(node.page);
    uint32_t child = i < node.cells.size() ? leftOf(node.cells[i]) : node.right;
    path.push_back({std::move(node), i});
    st = readNode(child, node);
    if (st.ok() && node.cells.empty()) st = damagedPage(child);
  }
  return st;
}

Status TreeEditor::insertEntry(uint32_t root, std::string_view key, std::string_view data) {
  std::vector<Level> path;
  Node node;
  size_t i = 0;
  bool equal = false;
  Status st = descend(root, key, path, node, &i, &equal);
  if (!st.ok()) return st;
  m_appending = !equal && i == node.cells.size();
  for (const Level& level : path)
    m_appending = m_appending && level.index == level.node.cells.size();
  std::string cell;
  if (equal) {
    std::string old = node.cells[i];
    st = freeChain(old);
    if (st.ok()) st = makeCell(key, data, leftOf(old), cell);
    if (!st.ok()) return st;
    node.cells[i] = std::move(cell);
  } else {
    st = makeCell(key, data, 0, cell);
    if (!st.ok()) return st;
    node.cells.insert(node.cells.begin() + std::ptrdiff_t(i), std::move(cell));
  }
  node.dirty = true;
  return settle(path, std::move(node));
}

Status TreeEditor::removeEntry(uint32_t root, std::string_view key, bool* found) {
  std::vector<Level> path;
  Node node;
  size_t i = 0;
  bool equal = false;
  *found = false;
  Status st = descend(root, key, path, node, &i, &equal);
  if (!st.ok() || !equal) return st;
  *found = true;
  st = freeChain(node.cells[i]);
  if (!st.ok()) return st;
  m_appending = false;
  node.dirty = true;
  if (node.right == 0) {
    node.cells.erase(node.cells.begin() + std::ptrdiff_t(i));
    return settle(path, std::move(node));
  }
  /* An interior entry gives way to its predecessor, the last entry of the
  ** rightmost leaf of its left subtree. */
  uint32_t left = leftOf(node.cells[i]);
  size_t level = path.size();
  path.push_back({std::move(node), i});
  Node leaf;
  st = readNode(left, leaf);
  while (st.ok() && leaf.right != 0 && !leaf.cells.empty()) {
    if (path.size() >= kMaxTreeDepth) return damagedPage(leaf.page);
    uint32_t next = leaf.right;
    size_t last = leaf.cells.size();
    path.push_back({std::move(leaf), last});
    st = readNode(next, leaf);
  }
  if (!st.ok()) return st;
  if (leaf.cells.empty()) return damagedPage(leaf.page);
  std::string predecessor = std::move(leaf.cells.back());
  leaf.cells.pop_back();
  leaf.dirty = true;
  setLeft(predecessor, left);
  path[level].node.cells[i] = std::move(predecessor);
  return settle(path, std::move(leaf));
}

Status TreeEditor::findEntry(uint32_t root, std::string_view prefix, std::string* key) {
  key->clear();
  std::vector<Level> path;
  Node node;
  size_t i = 0;
  bool equal = false;
  Status st = descend(root, prefix, path, node, &i, &equal);
  if (!st.ok()) return st;
  /* The first entry not below PREFIX: on this page, or else the cell of
  ** the nearest ancestor whose left subtree this page is. */
  const std::string* cell = i < node.cells.size() ? &node.cells[i] : nullptr;
  for (size_t k = path.size(); !cell && k > 0; --k) {
    const Level& up = path[k - 1];
    if (up.index < up.node.cells.size()) cell = &up.node.cells[up.index];
  }
  if (!cell) return st;
  std::string found;
  st = cellKey(*cell, found);
  if (st.ok() && found.compare(0, prefix.size(), prefix) == 0) *key = std::move(found);
  return st;
}

Status TreeEditor::createTree(uint32_t* root) {
  *root = 0;
  Node node;
  Status st = allocate(&node.page);
  if (st.ok()) writeNode(node);
  if (st.ok()) *root = node.page;
  return checked(st);
}

Status TreeEditor::fill(uint32_t root,
                        const std::vector<std::pair<std::string, std::string>>& entries) {
  Node node;
  Status st = readNode(root, node);
  if (st.ok() && (!node.cells.empty() || node.right != 0))
    st = Status::failure(kInternal, "a tree to fill is not empty");
  std::vector<std::string> cells(entries.size());
  for (size_t i = 0; st.ok() && i < entries.size(); ++i)
    st = makeCell(entries[i].first, entries[i].second, 0, cells[i]);
  if (st.ok()) st = fillLevels(root, cells);
  return checked(st);
}

Status TreeEditor::fillLevels(uint32_t root, std::vector<std::string>& cells) {
  std::vector<size_t> items(cells.size());
  for (size_t i = 0; i < items.size(); ++i) items[i] = i;
  std::vector<std::vector<size_t>> groups;
  std::vector<size_t> promoted;
  std::vector<uint32_t> children;
  bool leaves = true;
  while (true) {
    groupIntoPages(
        items, [&](size_t i) { return cells[i].size(); }, groups, promoted);
    bool isRoot = groups.size() == 1;
    std::vector<uint32_t> pages;
    size_t child = 0;
    for (const std::vector<size_t>& group : groups) {
      Node node;
      node.page = root;
      if (!isRoot) {
        Status st = allocate(&node.page);
        if (!st.ok()) return st;
      }
      for (size_t item : group) {
        node.cells.push_back(std::move(cells[item]));
        if (!leaves) setLeft(node.cells.back(), children[child++]);
      }
      if (!leaves) node.right = children[child++];
      writeNode(node);
      pages.push_back(node.page);
    }
    if (isRoot) return Status::success();
    children = std::move(pages);
    items = std::move(promoted);
    promoted.clear();
    leaves = false;
  }
}

Status TreeEditor::dropTree(uint32_t root) {
  /* Depth first; each page is read whole before it is released, since a
  ** released page may become a freelist trunk and be overwritten. */
  std::vector<uint32_t> stack{root};
  std::set<uint32_t> seen;
  Status st;
  while (st.ok() && !stack.empty()) {
    uint32_t number = stack.back();
    stack.pop_back();
    if (number < 3 || !seen.insert(number).second) return checked(damagedPage(number));
    Node node;
    st = readNode(number, node);
    for (size_t i = 0; st.ok() && i < node.cells.size(); ++i) {
      st = freeChain(node.cells[i]);
      if (node.right != 0) stack.push_back(leftOf(node.cells[i]));
    }
    if (st.ok() && node.right != 0) stack.push_back(node.right);
    if (st.ok()) st = release(number);
  }
  return checked(st);
}

Status TreeEditor::advanceSchemaCookie(uint32_t step) {
  unsigned char* header = page(1);
  uint32_t cookie = m_order.get32(header + kOffMeta);
  m_order.put32(header + kOffMeta, cookie + step);
  return checked(Status::success());
}

Status TreeEditor::split(Node& node, std::vector<Level>& path) {
  if (node.cells.size() < 3) return Status::failure(kInternal, "cannot split a page");
  size_t m = m_appending ? node.cells.size() - 2 : splitPoint(node.cells, nodeBytes(node));
  Node left;
  Status st = allocate(&left.page);
  if (!st.ok()) return st;
  std::string divider = std::move(node.cells[m]);
  left.right = leftOf(divider);
  left.cells.assign(std::make_move_iterator(node.cells.begin()),
                    std::make_move_iterator(node.cells.begin() + std::ptrdiff_t(m)));
  node.cells.erase(node.cells.begin(), node.cells.begin() + std::ptrdiff_t(m) + 1);
  setLeft(divider, left.page);
  writeNode(left);
  if (path.empty()) {
    /* The root keeps its page: its right part moves to a new page too. */
    Node right;
    st = allocate(&right.page);
    if (!st.ok()) return st;
    right.right = node.right;
    right.cells = std::move(node.cells);
    writeNode(right);
    node.cells.clear();
    node.cells.push_back(std::move(divider));
    node.right = right.page;
    writeNode(node);
    return st;
  }
  writeNode(node);
  Level& up = path.back();
  up.node.cells.insert(up.node.cells.begin() + std::ptrdiff_t(up.index), std::move(divider));
  up.node.dirty = true;
  return st;
}

Status TreeEditor::mergeEmpty(Node& node, Level& up, size_t* siblingIndex, Node& sibling) {
  Node& parent = up.node;
  size_t n = parent.cells.size();
  if (n == 0) return damagedPage(parent.page);
  size_t j = up.index;
  Status st;
  if (j < n) {
    /* The parent's cell after the empty page, then the next sibling. */
    std::string divider = std::move(parent.cells[j]);
    uint32_t siblingPage = j + 1 < n ? leftOf(parent.cells[j + 1]) : parent.right;
    st = readNode(siblingPage, sibling);
    if (!st.ok()) return st;
    setLeft(divider, node.right);
    sibling.cells.insert(sibling.cells.begin(), std::move(divider));
    parent.cells.erase(parent.cells.begin() + std::ptrdiff_t(j));
    *siblingIndex = j;
  } else {
    /* The last child: the previous sibling, then the parent's last cell. */
    std::string divider = std::move(parent.cells[n - 1]);
    st = readNode(leftOf(divider), sibling);
    if (!st.ok()) return st;
    setLeft(divider, sibling.right);
    sibling.cells.push_back(std::move(divider));
    sibling.right = node.right;
    parent.cells.pop_back();
    parent.right = sibling.page;
    *siblingIndex = n - 1;
  }
  sibling.dirty = true;
  parent.dirty = true;
  return release(node.page);
}

Status TreeEditor::settle(std::vector<Level>& path, Node node) {
  Status st;
  while (true) {
    if (path.empty()) {
      while (node.cells.empty() && node.right != 0) {
        Node child;
        st = readNode(node.right, child);
        if (st.ok()) st = release(child.page);
        if (!st.ok()) return st;
        node.cells = std::move(child.cells);
        node.right = child.right;
        node.dirty = true;
      }
      if (nodeBytes(node) > kUsableSpace) return split(node, path);
      if (node.dirty) writeNode(node);
      return st;
    }
    Level& up = path.back();
    if (node.cells.empty()) {
      Node sibling;
      size_t at = 0;
      st = mergeEmpty(node, up, &at, sibling);
      if (!st.ok()) return st;
      if (nodeBytes(sibling) > kUsableSpace) {
        Level holder{std::move(up.node), at};
        std::vector<Level> parentPath;
        parentPath.push_back(std::move(holder));
        st = split(sibling, parentPath);
        up.node = std::move(parentPath.back().node);
        if (!st.ok()) return st;
      } else {
        writeNode(sibling);
      }
    } else if (nodeBytes(node) > kUsableSpace) {
      st = split(node, path);
      if (!st.ok()) return st;
    } else if (node.dirty) {
      writeNode(node);
    }
    node = std::move(path.back().node);
    path.pop_back();
    bool above = node.dirty;
    for (const Level& l : path) above = above || l.node.dirty;
    if (!above) return st;
  }
}

}  // namespace s2
