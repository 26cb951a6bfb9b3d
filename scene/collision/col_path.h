// The child indices that lead from a unit's root to the shape being tested.
#pragma once
#include <cstdint>

namespace col {

struct ColPath {
  static constexpr int kMaxDepth = 8;
  int32_t depth = 0;
  int32_t index[kMaxDepth] = {-1, -1, -1, -1, -1, -1, -1, -1};

  void push(int32_t i) {
    if (depth < kMaxDepth) index[depth] = i;
    ++depth;
  }
  void pop() {
    if (--depth < kMaxDepth) index[depth] = -1;
  }
};

// What a pair test's step gives: hit ends the enclosing child walk, stop ends the query
// loop that asked.
struct PairResult {
  bool hit = false;
  bool stop = false;
};

}  // namespace col
