// One packed tree: its layout, its root block and the pool its blocks come from. Child
// arrays are allocated one per node; the tree frees them all when it ends.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/core/smalloc.h"
#include "script/treesync/packed_format.h"

namespace treesync {

class PackedTree {
 public:
  PackedTree(const PackedLayout& layout, SMA* pool);
  ~PackedTree();
  PackedTree(const PackedTree&) = delete;
  PackedTree& operator=(const PackedTree&) = delete;

  const PackedLayout& layout() const { return layout_; }
  uint8_t* root() const { return root_; }
  SMA* pool() const { return pool_; }

  // Zeroed room for n blocks of level lvl (null for n == 0); give it back with freeBlocks.
  uint8_t* allocBlocks(int lvl, size_t n);
  void freeBlocks(uint8_t* blocks, int lvl, size_t n);
  // Frees the child arrays below the block (deepest first), not the block itself.
  void freeBelow(uint8_t* block, int lvl);
  // A copy of the whole tree, every child array duplicated.
  std::unique_ptr<PackedTree> clone() const;
  // Arrays every packed tree has taken from its pool so far: what a refresh costs.
  static uint64_t allocations() { return allocations_.load(std::memory_order_relaxed); }

 private:
  void copyBelow(const uint8_t* from, uint8_t* to, int lvl, PackedTree& into) const;

  static inline std::atomic<uint64_t> allocations_{0};

  PackedLayout layout_;
  SMA* pool_;
  uint8_t* root_ = nullptr;
};

}  // namespace treesync
