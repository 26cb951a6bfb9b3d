#include "script/treesync/packed_tree.h"

#include <cstring>
#include <new>

namespace treesync {

namespace {
size_t pooledSize(SMA* pool, size_t size) {
  return pool && pool->policy.sizeClass ? pool->policy.sizeClass(size) : size;
}
}  // namespace

PackedTree::PackedTree(const PackedLayout& layout, SMA* pool) : layout_(layout), pool_(pool) {
  root_ = allocBlocks(0, 1);
}

PackedTree::~PackedTree() {
  if (!root_) return;
  freeBelow(root_, 0);
  freeBlocks(root_, 0, 1);
}

uint8_t* PackedTree::allocBlocks(int lvl, size_t n) {
  const size_t bytes = n * layout_.blockSize(lvl);
  if (bytes == 0) return nullptr;
  auto* p = static_cast<uint8_t*>(SMAAlloc(pool_, pooledSize(pool_, bytes)));
  if (!p) throw std::bad_alloc();
  allocations_.fetch_add(1, std::memory_order_relaxed);
  std::memset(p, 0, bytes);
  return p;
}

void PackedTree::freeBlocks(uint8_t* blocks, int lvl, size_t n) {
  if (blocks) SMAFree(pool_, blocks, pooledSize(pool_, n * layout_.blockSize(lvl)));
}

void PackedTree::freeBelow(uint8_t* block, int lvl) {
  if (!layout_.hasChildren(lvl)) return;
  ChildList c = readChildren(layout_, block, lvl);
  const size_t step = layout_.blockSize(lvl + 1);
  for (int32_t i = 0; i < c.count; ++i) freeBelow(c.blocks + i * step, lvl + 1);
  freeBlocks(c.blocks, lvl + 1, static_cast<size_t>(c.count));
  writeChildren(layout_, block, lvl, {});
}

std::unique_ptr<PackedTree> PackedTree::clone() const {
  auto copy = std::make_unique<PackedTree>(layout_, pool_);
  std::memcpy(copy->root_, root_, layout_.blockSize(0));
  if (layout_.hasChildren(0)) writeChildren(layout_, copy->root_, 0, {});
  copyBelow(root_, copy->root_, 0, *copy);
  return copy;
}

void PackedTree::copyBelow(const uint8_t* from, uint8_t* to, int lvl, PackedTree& into) const {
  if (!layout_.hasChildren(lvl)) return;
  const ChildList c = readChildren(layout_, from, lvl);
  if (c.count <= 0) return;
  const size_t step = layout_.blockSize(lvl + 1);
  uint8_t* blocks = into.allocBlocks(lvl + 1, static_cast<size_t>(c.count));
  std::memcpy(blocks, c.blocks, step * static_cast<size_t>(c.count));
  // The copy owns its array from here on, so a failure below frees it with the tree.
  writeChildren(layout_, to, lvl, {c.count, blocks});
  for (int32_t i = 0; i < c.count; ++i) {
    uint8_t* child = blocks + i * step;
    if (layout_.hasChildren(lvl + 1)) writeChildren(layout_, child, lvl + 1, {});
    copyBelow(c.blocks + i * step, child, lvl + 1, into);
  }
}

}  // namespace treesync
