#include "scene/collision/test_chain.h"

#include "script/treesync/packed_format.h"

namespace col {

namespace {

using treesync::FieldCode;
using treesync::readChildren;

PairResult next(QueryContext& ctx, WalkState& walk) {
  ++walk.position;
  const PairResult r = walk.chain[walk.position]->test(ctx, walk);
  --walk.position;
  return r;
}

class CTFEnd : public IFCTFunc {
 public:
  explicit CTFEnd(PairTest fn) : fn_(fn) {}
  PairResult test(QueryContext& ctx, WalkState& walk) const override {
    if (!fn_(walk.side[0].shape(), walk.side[1].shape())) return {};
    if (!ctx.keepA && ctx.treeA) {
      ctx.keepA = *ctx.treeA;
      ctx.keepB = *ctx.treeB;
    }
    const PairResult r = ctx.policy->onPair(ctx.unitA, ctx.unitB, walk.side[0].path, walk.side[1].path);
    if (ctx.valid && !ctx.valid(ctx.validArg)) ctx.aborted = true;
    return r;
  }
  bool isEnd() const override { return true; }

 private:
  PairTest fn_;
};

class CTFExtract : public IFCTFunc {
 public:
  CTFExtract(int side, PairTest fn) : side_(side), fn_(fn) {}
  PairResult test(QueryContext& ctx, WalkState& walk) const override {
    if (!fn_(walk.side[0].shape(), walk.side[1].shape())) return {};
    WalkSide& s = walk.side[side_];
    const treesync::ChildList c = readChildren(*s.layout, s.block, s.level);
    if (c.count <= 0) return {};
    const size_t step = s.layout->blockSize(s.level + 1);
    uint8_t* const block = s.block;
    const int group = s.group;
    ++s.level;
    s.group = 0;
    PairResult r;
    for (int32_t i = 0; i < c.count; ++i) {
      s.block = c.blocks + i * step;
      s.path.push(i);
      r = next(ctx, walk);
      s.path.pop();
      if (r.hit || ctx.aborted) break;
    }
    --s.level;
    s.block = block;
    s.group = group;
    return r;
  }
  int side() const { return side_; }

 private:
  int side_;
  PairTest fn_;
};

class CTFPair : public IFCTFunc {
 public:
  CTFPair(int side, PairTest fn) : side_(side), fn_(fn) {}
  PairResult test(QueryContext& ctx, WalkState& walk) const override {
    if (!fn_(walk.side[0].shape(), walk.side[1].shape())) return {};
    WalkSide& s = walk.side[side_];
    ++s.group;
    const PairResult r = next(ctx, walk);
    --s.group;
    return r;
  }
  int side() const { return side_; }

 private:
  int side_;
  PairTest fn_;
};

}  // namespace

TestChain::TestChain(uint32_t codeA, uint32_t codeB) {
  const bool is3D = FieldCode::isArray(codeA);
  uint32_t code[2] = {codeA, codeB};
  bool toggle = false;
  while (!FieldCode::atEnd(code[0]) && !FieldCode::atEnd(code[1]) && nodes_.size() + 1 < kMaxNodes) {
    const uint32_t kA = FieldCode::kind(code[0]), kB = FieldCode::kind(code[1]);
    const bool mA = FieldCode::hasMore(code[0]), mB = FieldCode::hasMore(code[1]);
    const bool afterA = !FieldCode::atEnd(FieldCode::next(code[0]));
    const bool afterB = !FieldCode::atEnd(FieldCode::next(code[1]));
    const PairTest fn = pairTest(is3D, kA, kB);
    int side = -1;  // the side that moves; -1 for the end
    bool pair = false;
    if (kA == 0) {
      side = 0;
      pair = mA;
    } else if (kB == 0) {
      side = 1;
      pair = mB;
    } else if (!mA && !mB) {
      if (afterA || afterB) {
        if (!toggle) {
          side = afterB ? 1 : 0;
          if (!afterB) toggle = true;
        } else {
          side = afterA ? 0 : 1;
          if (!afterA) toggle = false;
        }
      }
    } else {
      pair = true;
      if (toggle) {
        side = mA ? 0 : 1;
        if (!mA) toggle = false;
      } else {
        side = mB ? 1 : 0;
        if (!mB) toggle = true;
      }
    }
    if (side < 0) {
      nodes_.push_back(std::make_unique<CTFEnd>(fn));
      code[0] = FieldCode::next(code[0]);
      code[1] = FieldCode::next(code[1]);
      continue;
    }
    if (pair) {
      nodes_.push_back(std::make_unique<CTFPair>(side, fn));
    } else {
      nodes_.push_back(std::make_unique<CTFExtract>(side, fn));
    }
    code[side] = FieldCode::next(code[side]);
  }
  // A code that ran out first (a last group asking for more) still ends in a test.
  if (nodes_.empty() || !nodes_.back()->isEnd()) {
    nodes_.push_back(std::make_unique<CTFEnd>(pairTest(is3D, FieldCode::kind(code[0]), FieldCode::kind(code[1]))));
  }
  if (nodes_.size() == 1) single_ = pairTest(is3D, FieldCode::kind(codeA), FieldCode::kind(codeB));
}

PairResult TestChain::run(QueryContext& ctx, WalkState& walk) const {
  walk.chain = nodes_.data();
  walk.position = 0;
  return nodes_[0]->test(ctx, walk);
}

ChainOp chainOp(const IFCTFunc& node) {
  if (node.isEnd()) return ChainOp::end;
  if (auto* e = dynamic_cast<const CTFExtract*>(&node)) return e->side() == 0 ? ChainOp::extractA : ChainOp::extractB;
  auto* p = dynamic_cast<const CTFPair*>(&node);
  return p && p->side() == 0 ? ChainOp::pairA : ChainOp::pairB;
}

}  // namespace col
