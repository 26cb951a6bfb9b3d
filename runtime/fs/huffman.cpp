#include "runtime/fs/huffman.h"

#include <algorithm>
#include <queue>

namespace qx {

bool HuffmanDecoder::readTree(ibitstream& in, uint64_t& bitBudget) {
  count_ = 0;
  // Inner nodes whose child-1 subtree is still to come, innermost last.
  uint16_t pending[kMaxNodes];
  int pendingCount = 0;
  int parent = -1;
  bool secondChild = false;
  for (;;) {
    if (count_ == kMaxNodes || bitBudget == 0) return false;
    const auto index = static_cast<uint16_t>(count_++);
    if (parent >= 0) (secondChild ? nodes_[parent].child1 : nodes_[parent].child0) = index;
    --bitBudget;
    Node& node = nodes_[index];
    if (in.readBit()) {
      if (bitBudget < 8) return false;
      bitBudget -= 8;
      node.leaf = 1;
      node.symbol = static_cast<uint8_t>(in.readBits(8));
      node.child0 = node.child1 = 0;
      if (pendingCount == 0) {
        buildFastSteps();
        return true;
      }
      parent = pending[--pendingCount];
      secondChild = true;
    } else {
      node.leaf = 0;
      node.symbol = 0;
      node.child0 = node.child1 = 0;
      pending[pendingCount++] = index;
      parent = index;
      secondChild = false;
    }
  }
}

void HuffmanDecoder::buildFastSteps() {
  for (uint32_t prefix = 0; prefix < (1u << kFastBits); ++prefix) {
    uint16_t index = 0;
    uint8_t bits = 0;
    while (!nodes_[index].leaf && bits < kFastBits) {
      const uint32_t bit = (prefix >> (kFastBits - 1 - bits)) & 1;
      index = bit ? nodes_[index].child1 : nodes_[index].child0;
      ++bits;
    }
    const Node& n = nodes_[index];
    fast_[prefix] = n.leaf ? FastStep{n.symbol, bits, 1} : FastStep{index, bits, 0};
  }
}

void HuffmanEncoder::build(const uint64_t counts[256]) {
  nodes_.clear();
  root_ = -1;
  for (Code& c : codes_) c = Code{};
  // Ties are broken by node order, so the same counts always give the same code.
  using Item = std::pair<uint64_t, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
  for (int s = 0; s < 256; ++s) {
    if (counts[s] == 0) continue;
    nodes_.push_back(Node{counts[s], s, -1, -1});
    queue.push({counts[s], static_cast<int>(nodes_.size()) - 1});
  }
  if (queue.empty()) return;
  while (queue.size() > 1) {
    const Item a = queue.top();
    queue.pop();
    const Item b = queue.top();
    queue.pop();
    nodes_.push_back(Node{a.first + b.first, -1, a.second, b.second});
    queue.push({a.first + b.first, static_cast<int>(nodes_.size()) - 1});
  }
  root_ = queue.top().second;
  assignCodes();
}

void HuffmanEncoder::assignCodes() {
  // Depth-first with an explicit stack; a code can be up to 255 bits long.
  struct Visit {
    int node;
    std::vector<uint8_t> path;
  };
  std::vector<Visit> stack;
  stack.push_back({root_, {}});
  while (!stack.empty()) {
    Visit v = std::move(stack.back());
    stack.pop_back();
    const Node& n = nodes_[v.node];
    if (n.symbol >= 0) {
      Code& c = codes_[n.symbol];
      c.length = static_cast<uint32_t>(v.path.size());
      if (c.length <= 32) {
        for (uint8_t b : v.path) c.bits = (c.bits << 1) | b;
      } else {
        c.longBits = std::move(v.path);
      }
      continue;
    }
    Visit one{n.child1, v.path};
    one.path.push_back(1);
    v.path.push_back(0);
    stack.push_back(std::move(one));
    stack.push_back({n.child0, std::move(v.path)});
  }
}

void HuffmanEncoder::writeTree(obitstream& out) const {
  if (root_ < 0) return;
  std::vector<int> stack{root_};
  while (!stack.empty()) {
    const Node& n = nodes_[stack.back()];
    stack.pop_back();
    if (n.symbol >= 0) {
      out.writeBits(1, 1);
      out.writeBits(static_cast<uint32_t>(n.symbol), 8);
    } else {
      out.writeBits(0, 1);
      stack.push_back(n.child1);
      stack.push_back(n.child0);
    }
  }
}

uint64_t HuffmanEncoder::codedBits(const uint64_t counts[256]) const {
  uint64_t bits = 0;
  for (int s = 0; s < 256; ++s) bits += counts[s] * codes_[s].length;
  return bits;
}

}  // namespace qx
