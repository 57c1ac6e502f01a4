// Tab<T>: the SDK's growable array, a thin layer over std::vector with the
// host's names. Index checks are contract checks.
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "sdk/check.h"

template <class T>
class Tab {
 public:
  Tab() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  // Sets the number of items; new items are value-initialised.
  void SetCount(int n) {
    TARNIS_CHECK(n >= 0) << "negative count " << n;
    items_.resize(static_cast<size_t>(n));
  }
  void ZeroCount() { items_.clear(); }
  // Reserves room for n items in all.
  void Resize(int n) { items_.reserve(static_cast<size_t>(std::max(n, 0))); }
  void Shrink() { items_.shrink_to_fit(); }

  // Appends num items from el; returns the index of the first one. el may
  // point into this Tab.
  int Append(int num, const T* el) { return Insert(Count(), num, el); }
  int Append(const T& el) {
    items_.push_back(el);
    return Count() - 1;
  }
  // Inserts num items from el before index at (0..Count()); returns at. el may
  // point into this Tab.
  int Insert(int at, int num, const T* el) {
    TARNIS_CHECK(at >= 0 && at <= Count()) << "insert at " << at << " of " << Count();
    TARNIS_CHECK(num >= 0 && (num == 0 || el)) << "insert " << num << " items";
    if (num == 0) return at;
    if (PointsIntoItems(el)) {
      // Growing the vector may move the source; copy it out first.
      std::vector<T> copy(el, el + num);
      items_.insert(items_.begin() + at, copy.begin(), copy.end());
    } else {
      items_.insert(items_.begin() + at, el, el + num);
    }
    return at;
  }
  // Removes num items from index start; returns the new count.
  int Delete(int start, int num) {
    TARNIS_CHECK(start >= 0 && num >= 0 && start <= Count() && num <= Count() - start)
        << "delete " << num << " at " << start << " of " << Count();
    items_.erase(items_.begin() + start, items_.begin() + start + num);
    return Count();
  }

  T& operator[](int i) {
    TARNIS_CHECK(i >= 0 && i < Count()) << "index " << i << " of " << Count();
    return items_[static_cast<size_t>(i)];
  }
  const T& operator[](int i) const {
    TARNIS_CHECK(i >= 0 && i < Count()) << "index " << i << " of " << Count();
    return items_[static_cast<size_t>(i)];
  }
  T* Addr(int i) { return &(*this)[i]; }

  template <class Less>
  void Sort(Less less) {
    std::stable_sort(items_.begin(), items_.end(), less);
  }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  std::vector<T>& Vector() { return items_; }
  const std::vector<T>& Vector() const { return items_; }

 private:
  bool PointsIntoItems(const T* p) const {
    std::less_equal<const T*> le;
    return !items_.empty() && le(items_.data(), p) && !le(items_.data() + items_.size(), p);
  }

  std::vector<T> items_;
};
