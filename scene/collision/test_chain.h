// Test chains: for a pair of unit codes, the sequence of steps that walks both packed
// trees level by level. Each step tests the current shapes of A and B with the pair
// test of its kinds and, when they touch, goes on: an extract step descends into the
// children of one side (the first child that hits ends the loop), a pair step moves one
// side to the next shape of its node, and the end step hands the hit to the query's
// result policy. A chain is built once per pair of codes and cached by the manager.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/collision/col_path.h"
#include "scene/collision/col_policy.h"
#include "scene/collision/col_shapes.h"
#include "script/treesync/packed_format.h"
#include "script/treesync/packed_tree.h"

namespace col {

struct WalkSide {
  const treesync::PackedLayout* layout = nullptr;
  uint8_t* block = nullptr;
  int level = 0;
  int group = 0;
  ColPath path;

  const uint8_t* shape() const { return layout->group(block, level, layout->testCopy(), group); }
};

// Gives false once a script handler has changed a unit's tree during the walk.
using StillValid = bool (*)(const void* arg);

struct QueryContext {
  IFColP* policy = nullptr;
  uint32_t unitA = 0, unitB = 0;
  StillValid valid = nullptr;
  const void* validArg = nullptr;
  bool aborted = false;
  // The units' trees, taken over before the first handler runs so that the walk's
  // blocks outlive a handler that replaces them.
  const std::shared_ptr<treesync::PackedTree>* treeA = nullptr;
  const std::shared_ptr<treesync::PackedTree>* treeB = nullptr;
  std::shared_ptr<treesync::PackedTree> keepA, keepB;
};

class IFCTFunc;

struct WalkState {
  const std::unique_ptr<IFCTFunc>* chain = nullptr;
  int position = 0;
  WalkSide side[2];
};

class IFCTFunc {
 public:
  virtual ~IFCTFunc() = default;
  virtual PairResult test(QueryContext& ctx, WalkState& walk) const = 0;
  virtual bool isEnd() const { return false; }
};

class TestChain {
 public:
  static constexpr int kMaxNodes = 17;

  // The chain for (code A, code B); the pair tests of code A's dimension.
  TestChain(uint32_t codeA, uint32_t codeB);
  PairResult run(QueryContext& ctx, WalkState& walk) const;
  size_t size() const { return nodes_.size(); }
  // The test of a chain that is one end step (two one-shape units), else null: callers
  // reject misses with it before setting up a walk.
  PairTest single() const { return single_; }
  const IFCTFunc& node(size_t i) const { return *nodes_[i]; }

 private:
  std::vector<std::unique_ptr<IFCTFunc>> nodes_;
  PairTest single_ = nullptr;
};

// The operation a chain node performs, for tests.
enum class ChainOp { end, extractA, extractB, pairA, pairB };
ChainOp chainOp(const IFCTFunc& node);

}  // namespace col
