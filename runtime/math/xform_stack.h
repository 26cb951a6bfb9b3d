// The transform stacks that the script transform trees push and pop while they are
// walked: each entry is the whole transform from a node's space to the root's.
#pragma once
#include <cstddef>
#include <deque>

#include "runtime/math/matrix.h"

template <class M>
class XformStack {
 public:
  // Pushes m followed by the current top (m itself when the stack is empty).
  void push(const M& m) { items_.push_back(items_.empty() ? m : m * items_.back()); }
  void pop() {
    if (!items_.empty()) items_.pop_back();
  }
  // The last element; the identity when the stack is empty.
  const M& top() const { return items_.empty() ? identity_ : items_.back(); }
  bool empty() const { return items_.empty(); }
  size_t size() const { return items_.size(); }
  void clear() { items_.clear(); }

 private:
  std::deque<M> items_;
  static inline const M identity_{};
};

using XformStack2D = XformStack<Mat23>;
using XformStack3D = XformStack<Mat43>;
