// Sorting by keys built once per element, with an exact comparison that has the last word.
//   SortByKeys   orders elements by byte-string keys, then one pass over neighbours repairs what
//                the keys got wrong
//
// A comparison that costs a call into another component (a shell folder's CompareIDs) is asked
// about n log n times by a plain sort. Keys that agree with it almost everywhere bring that down to
// one byte compare per step and about n calls of the comparison for the check.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace host {

// Sorts `items` by `keys` (one per item, in the items' present order), compared as unsigned byte
// strings, descending when `descending`; items with equal keys keep their order. Then, when
// `before` is given, each item that `before` puts ahead of its left neighbour is moved to its
// place among the items to its left (a binary search; they are in order by then), so the result
// is `before`'s order; when the keys misplace more than about one item in sixteen, the items are
// sorted by `before` alone (stable). Returns how many items were moved, or -1 when the keys
// were given up.
template <class T>
int SortByKeys(std::vector<T>& items, const std::vector<std::string>& keys, bool descending,
               const std::function<bool(const T&, const T&)>& before) {
  const size_t n = items.size();
  if (n < 2 || keys.size() != n) return 0;
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = uint32_t(i);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    const int c = keys[a].compare(keys[b]);
    if (c != 0) return descending ? c > 0 : c < 0;
    return a < b;
  });
  {
    std::vector<T> sorted;
    sorted.reserve(n);
    for (uint32_t i : order) sorted.push_back(std::move(items[i]));
    items.swap(sorted);
  }
  if (!before) return 0;
  int moved = 0;
  const size_t limit = n / 16 + 16;
  for (size_t i = 1; i < n; ++i) {
    if (!before(items[i], items[i - 1])) continue;
    if (size_t(++moved) > limit) {
      std::stable_sort(items.begin(), items.end(), before);
      return -1;
    }
    const auto to =
        std::upper_bound(items.begin(), items.begin() + std::ptrdiff_t(i - 1), items[i], before);
    std::rotate(to, items.begin() + std::ptrdiff_t(i), items.begin() + std::ptrdiff_t(i + 1));
  }
  return moved;
}

}  // namespace host
