/*
** XB_ArrayVal: a growable array of plain values with a count.
**
** Indexed access outside the array is logged and yields the nearest
** element (see xb_arrayimp.h); access to an empty array is logged and
** yields a default value that belongs to the array.  XB_ArrayPtr, the array
** of pointers, is declared in xb_arrayptr.h and included here.
*/
#ifndef XB_ARRAYVAL_H
#define XB_ARRAYVAL_H

#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "xb_arrayimp.h"

template <class T>
class XB_ArrayVal {
  /* std::vector<bool> hands out proxies, not references to its elements. */
  static_assert(!std::is_same_v<T, bool>, "use XB_ArrayVal<char> for flags");

 public:
  XB_ArrayVal() = default;
  XB_ArrayVal(const XB_ArrayVal& other) : m_items(other.m_items) {}
  XB_ArrayVal(XB_ArrayVal&&) noexcept = default;
  XB_ArrayVal& operator=(const XB_ArrayVal& other) {
    m_items = other.m_items;
    return *this;
  }
  XB_ArrayVal& operator=(XB_ArrayVal&&) noexcept = default;

  /* The number of elements. */
  int Count() const { return static_cast<int>(m_items.size()); }
  bool IsEmpty() const { return m_items.empty(); }

  /* Appends VALUE; returns its index. */
  int Add(const T& value) {
    m_items.push_back(value);
    return Count() - 1;
  }
  /* Inserts VALUE before INDEX (clamped to 0..Count()); returns its index. */
  int InsertAt(int index, const T& value) {
    index = std::clamp(index, 0, Count());
    m_items.insert(m_items.begin() + index, value);
    return index;
  }
  /* Removes COUNT elements from INDEX on (the part inside the array); returns how many. */
  int RemoveAt(int index, int count = 1) {
    if (index < 0 || index >= Count() || count <= 0) return 0;
    count = std::min(count, Count() - index);
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    return count;
  }
  void Clear() { m_items.clear(); }
  /* Changes the count; new elements are default values. */
  void SetCount(int count) { m_items.resize(count < 0 ? 0 : static_cast<size_t>(count)); }
  void Reserve(int count) {
    if (count > 0) m_items.reserve(static_cast<size_t>(count));
  }

  /* The element at INDEX, or the nearest one (logged) when INDEX is outside. */
  T& operator[](int index) { return Element(index); }
  const T& operator[](int index) const { return Element(index); }
  T& Last() { return Element(Count() - 1); }
  const T& Last() const { return Element(Count() - 1); }

  /* The index of the first element equal to VALUE, or -1. */
  int Find(const T& value) const {
    auto it = std::find(m_items.begin(), m_items.end(), value);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
  }

  T* Data() { return m_items.data(); }
  const T* Data() const { return m_items.data(); }
  typename std::vector<T>::iterator begin() { return m_items.begin(); }
  typename std::vector<T>::iterator end() { return m_items.end(); }
  typename std::vector<T>::const_iterator begin() const { return m_items.begin(); }
  typename std::vector<T>::const_iterator end() const { return m_items.end(); }

 private:
  /* The checked element; the array's own spare default value when empty. */
  T& Element(int index) { return const_cast<T&>(std::as_const(*this).Element(index)); }
  const T& Element(int index) const {
    int at = XB_ArrayCheckIndex(index, Count(), "XB_ArrayVal<T>");
    if (at >= 0) return m_items[static_cast<size_t>(at)];
    if (!m_spare) {
      m_spare = std::make_unique<T>();
    } else {
      *m_spare = T();
    }
    return *m_spare;
  }

  std::vector<T> m_items;
  mutable std::unique_ptr<T> m_spare;
};

#include "xb_arrayptr.h"

#endif /* XB_ARRAYVAL_H */
