// Static Huffman codes of pack entries. The tree is stored in pre-order, one bit per node:
// 1 = a leaf followed by its 8-bit symbol, 0 = an inner node followed by its child-0 and
// child-1 subtrees. A code bit of 0 takes child 0.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/fs/bitstream.h"

namespace qx {

class HuffmanDecoder {
 public:
  // A complete code over 256 symbols needs 511 nodes.
  static constexpr int kMaxNodes = 512;

  // Reads a tree, spending bits from bitBudget; false when it needs more than kMaxNodes
  // nodes or more bits than the budget holds.
  bool readTree(ibitstream& in, uint64_t& bitBudget);
  bool singleLeaf() const { return count_ == 1; }
  int nodeCount() const { return count_; }
  // The next symbol, spending one bit per tree level (none for a single leaf); -1 when the
  // budget runs out before a leaf is reached.
  int decode(ibitstream& in, uint64_t& bitBudget) const {
    const Node* node = &nodes_[0];
    if (node->leaf) return node->symbol;
    if (bitBudget >= kFastBits) {
      // The first levels in one step: the table maps the next 8 bits to a leaf and the
      // bits it took, or to the node reached after all 8.
      const FastStep step = fast_[in.peekBits(kFastBits)];
      in.readBits(step.bits);
      bitBudget -= step.bits;
      if (step.leaf) return step.value;
      node = &nodes_[step.value];
    }
    while (!node->leaf) {
      if (bitBudget == 0) return -1;
      --bitBudget;
      node = &nodes_[in.readBit() ? node->child1 : node->child0];
    }
    return node->symbol;
  }

 private:
  struct Node {
    uint8_t leaf = 1;
    uint8_t symbol = 0;
    uint16_t child0 = 0;
    uint16_t child1 = 0;
  };
  struct FastStep {
    uint16_t value;  // the symbol, or the node reached
    uint8_t bits;
    uint8_t leaf;
  };
  static constexpr unsigned kFastBits = 8;
  void buildFastSteps();

  Node nodes_[kMaxNodes];
  FastStep fast_[1u << kFastBits];
  int count_ = 0;
};

class HuffmanEncoder {
 public:
  // Builds the code for the given byte counts. With one symbol in use the tree is a single
  // leaf and symbols cost no bits; with none there is no tree.
  void build(const uint64_t counts[256]);
  bool empty() const { return nodes_.empty(); }
  void writeTree(obitstream& out) const;
  void writeSymbol(obitstream& out, uint8_t symbol) const {
    const Code& c = codes_[symbol];
    if (c.length <= 32) {
      out.writeBits(c.bits, c.length);
    } else {
      for (uint8_t b : c.longBits) out.writeBits(b, 1);
    }
  }
  // Coded bits of the given counts under this code, tree excluded.
  uint64_t codedBits(const uint64_t counts[256]) const;

 private:
  struct Node {
    uint64_t weight;
    int symbol;  // -1 for an inner node
    int child0;
    int child1;
  };
  struct Code {
    uint32_t bits = 0;  // when length <= 32, first bit most significant
    uint32_t length = 0;
    std::vector<uint8_t> longBits;  // one entry per bit, for longer codes
  };
  void assignCodes();

  std::vector<Node> nodes_;
  int root_ = -1;
  Code codes_[256];
};

}  // namespace qx
