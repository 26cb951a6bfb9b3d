// A stable sort of draw entries that works in space the caller gives it. std::stable_sort
// takes a buffer from the heap on every call; a draw list keeps one as long as its
// longest flush instead, so steady frames sort without allocating.
#pragma once
#include <algorithm>
#include <cstddef>
#include <utility>

#include "render/draw/draw_entry.h"

// Sorts [first, end) by less, entries of equal keys in their order; scratch has room for
// end - first entries and holds nothing of use afterwards.
template <class Less>
void sortEntries(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, Less less) {
  const size_t n = static_cast<size_t>(end - first);
  // Short runs by insertion: a shift stops at an entry that is not greater, so ties keep
  // their order.
  constexpr size_t kRun = 16;
  for (size_t b = 0; b < n; b += kRun) {
    DrawEntry* const runEnd = first + std::min(b + kRun, n);
    for (DrawEntry* i = first + b + 1; i < runEnd; ++i) {
      if (!less(*i, i[-1])) continue;
      DrawEntry e = *i;
      DrawEntry* j = i;
      do {
        *j = j[-1];
        --j;
      } while (j != first + b && less(e, j[-1]));
      *j = e;
    }
  }
  // Then merges of doubling width between the range and scratch; std::merge takes the
  // left run's entry first on a tie.
  DrawEntry* from = first;
  DrawEntry* to = scratch;
  for (size_t width = kRun; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      std::merge(from + lo, from + mid, from + mid, from + hi, to + lo, less);
    }
    std::swap(from, to);
  }
  if (from != first) std::copy(from, from + n, first);
}
