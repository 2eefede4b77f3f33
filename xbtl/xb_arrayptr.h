/*
** XB_ArrayPtr: a growable array of pointers with a count.
**
** Access outside the array yields null.  By default the array does not own
** what its pointers point to; an array made with ownsItems = true deletes
** its objects when they are removed and when the array goes away.
*/
#ifndef XB_ARRAYPTR_H
#define XB_ARRAYPTR_H

#include <algorithm>
#include <vector>

template <class T>
class XB_ArrayPtr {
 public:
  explicit XB_ArrayPtr(bool ownsItems = false) : m_owns(ownsItems) {}
  /* A copy shares the pointers and therefore never owns them. */
  XB_ArrayPtr(const XB_ArrayPtr& other) : m_items(other.m_items), m_owns(false) {}
  XB_ArrayPtr(XB_ArrayPtr&& other) noexcept
      : m_items(std::move(other.m_items)), m_owns(other.m_owns) {
    other.m_items.clear();
  }
  XB_ArrayPtr& operator=(const XB_ArrayPtr& other) {
    if (this == &other) return *this;
    Clear();
    m_items = other.m_items;
    m_owns = false;
    return *this;
  }
  XB_ArrayPtr& operator=(XB_ArrayPtr&& other) noexcept {
    if (this == &other) return *this;
    Clear();
    m_items = std::move(other.m_items);
    m_owns = other.m_owns;
    other.m_items.clear();
    return *this;
  }
  ~XB_ArrayPtr() { Clear(); }

  bool OwnsItems() const { return m_owns; }
  void SetOwnsItems(bool owns) { m_owns = owns; }

  int Count() const { return static_cast<int>(m_items.size()); }
  bool IsEmpty() const { return m_items.empty(); }

  /* Appends ITEM; returns its index. */
  int Add(T* item) {
    m_items.push_back(item);
    return Count() - 1;
  }
  /* Inserts ITEM before INDEX (clamped); returns its index. */
  int InsertAt(int index, T* item) {
    index = std::clamp(index, 0, Count());
    m_items.insert(m_items.begin() + index, item);
    return index;
  }
  /* Removes the pointer at INDEX (deleting its object when owning); false when outside. */
  bool RemoveAt(int index) {
    if (index < 0 || index >= Count()) return false;
    T* item = m_items[static_cast<size_t>(index)];
    m_items.erase(m_items.begin() + index);
    if (m_owns) delete item;
    return true;
  }
  /* Takes the pointer at INDEX out without deleting it; null when outside. */
  T* Detach(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    T* item = m_items[static_cast<size_t>(index)];
    m_items.erase(m_items.begin() + index);
    return item;
  }
  /* Removes every pointer (deleting the objects when owning). */
  void Clear() {
    if (m_owns) {
      for (T* item : m_items) delete item;
    }
    m_items.clear();
  }
  /* Deletes every object and empties the array, whether owning or not. */
  void DeleteAll() {
    for (T* item : m_items) delete item;
    m_items.clear();
  }

  /* The pointer at INDEX, or null outside the array. */
  T* operator[](int index) const { return At(index); }
  T* At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_items[static_cast<size_t>(index)];
  }
  /* The index of ITEM, or -1. */
  int Find(const T* item) const {
    auto it = std::find(m_items.begin(), m_items.end(), item);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
  }

  typename std::vector<T*>::const_iterator begin() const { return m_items.begin(); }
  typename std::vector<T*>::const_iterator end() const { return m_items.end(); }

 private:
  std::vector<T*> m_items;
  bool m_owns;
};

#endif /* XB_ARRAYPTR_H */
