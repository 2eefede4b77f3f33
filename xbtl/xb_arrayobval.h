/*
** XB_ArrayObVal: a growable array of objects with a count.
**
** The array owns its objects.  Each object keeps its address while it is in
** the array, so a reference taken from it stays valid when other objects are
** added or removed.  Indexed access outside the array is logged and yields
** the nearest object; access to an empty array is logged and yields a
** default object that belongs to the array.
*/
#ifndef XB_ARRAYOBVAL_H
#define XB_ARRAYOBVAL_H

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "xb_arrayimp.h"

template <class T>
class XB_ArrayObVal {
 public:
  XB_ArrayObVal() = default;
  XB_ArrayObVal(const XB_ArrayObVal& other) { CopyFrom(other); }
  XB_ArrayObVal(XB_ArrayObVal&&) noexcept = default;
  XB_ArrayObVal& operator=(const XB_ArrayObVal& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  XB_ArrayObVal& operator=(XB_ArrayObVal&&) noexcept = default;

  int Count() const { return static_cast<int>(m_items.size()); }
  bool IsEmpty() const { return m_items.empty(); }

  /* Appends a copy of VALUE (or moves it in); returns its index. */
  int Add(const T& value) { return Put(std::make_unique<T>(value)); }
  int Add(T&& value) { return Put(std::make_unique<T>(std::move(value))); }
  /* Appends a new object made from ARGS; returns a reference to it. */
  template <class... A>
  T& AddNew(A&&... args) {
    m_items.push_back(std::make_unique<T>(std::forward<A>(args)...));
    return *m_items.back();
  }
  /* Inserts a copy of VALUE before INDEX (clamped); returns its index. */
  int InsertAt(int index, const T& value) {
    index = std::clamp(index, 0, Count());
    m_items.insert(m_items.begin() + index, std::make_unique<T>(value));
    return index;
  }
  /* Removes COUNT objects from INDEX on (the part inside the array); returns how many. */
  int RemoveAt(int index, int count = 1) {
    if (index < 0 || index >= Count() || count <= 0) return 0;
    count = std::min(count, Count() - index);
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    return count;
  }
  void Clear() { m_items.clear(); }
  /* Changes the count; new objects are default-made. */
  void SetCount(int count) {
    if (count < 0) count = 0;
    if (count < Count()) {
      m_items.resize(static_cast<size_t>(count));
      return;
    }
    while (Count() < count) m_items.push_back(std::make_unique<T>());
  }

  /* The object at INDEX, or the nearest one (logged) when INDEX is outside. */
  T& operator[](int index) { return Element(index); }
  const T& operator[](int index) const { return Element(index); }
  T& Last() { return Element(Count() - 1); }
  const T& Last() const { return Element(Count() - 1); }

  /* The index of the first object equal to VALUE, or -1. */
  int Find(const T& value) const {
    for (size_t i = 0; i < m_items.size(); i++) {
      if (*m_items[i] == value) return static_cast<int>(i);
    }
    return -1;
  }

  /* Iteration over the objects (by reference). */
  class Iterator {
   public:
    using Inner = typename std::vector<std::unique_ptr<T>>::const_iterator;
    explicit Iterator(Inner it) : m_it(it) {}
    T& operator*() const { return **m_it; }
    T* operator->() const { return m_it->get(); }
    Iterator& operator++() {
      ++m_it;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return m_it != other.m_it; }
    bool operator==(const Iterator& other) const { return m_it == other.m_it; }

   private:
    Inner m_it;
  };
  Iterator begin() const { return Iterator(m_items.begin()); }
  Iterator end() const { return Iterator(m_items.end()); }

 private:
  int Put(std::unique_ptr<T> item) {
    m_items.push_back(std::move(item));
    return Count() - 1;
  }
  void CopyFrom(const XB_ArrayObVal& other) {
    m_items.clear();
    m_items.reserve(other.m_items.size());
    for (const auto& item : other.m_items) m_items.push_back(std::make_unique<T>(*item));
  }
  /* The checked object; the array's own spare default object when empty. */
  T& Element(int index) { return const_cast<T&>(std::as_const(*this).Element(index)); }
  const T& Element(int index) const {
    int at = XB_ArrayCheckIndex(index, Count(), "XB_ArrayObVal<T>");
    if (at >= 0) return *m_items[static_cast<size_t>(at)];
    if (!m_spare) {
      m_spare = std::make_unique<T>();
    } else {
      *m_spare = T();
    }
    return *m_spare;
  }

  std::vector<std::unique_ptr<T>> m_items;
  mutable std::unique_ptr<T> m_spare;
};

#endif /* XB_ARRAYOBVAL_H */
