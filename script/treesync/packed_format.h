// The packed node format shared by the tree sync (which writes it) and the collision
// pair tests (which read it). A tree is described by a field code: 4-bit groups read
// from the low end, bits 0-2 a shape kind, bit 3 "another shape of this node follows";
// the first group after one with bit 3 clear begins the next level (the children).
//
// A node block holds `copies` copies of its level's entry (the node's shapes, one group
// after another), then, when a level lies below, a child header {u32 0, i32 count,
// pointer to `count` child blocks}. Blocks are only 4-byte aligned inside their arrays,
// so headers and shapes are read and written with memcpy.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace treesync {

// Operations on a raw field code.
struct FieldCode {
  static constexpr uint32_t kArrayFlag = 0x80000000u;
  static uint32_t next(uint32_t code) { return (code >> 4) & 0x07FFFFFFu; }
  static bool atEnd(uint32_t code) { return (code & 0x7FFFFFFFu) == 0; }
  static uint32_t kind(uint32_t code) { return code & 7u; }
  static uint32_t kindArray(uint32_t code) { return code & 0x80000007u; }
  static bool hasMore(uint32_t code) { return (code & 8u) != 0; }
  static bool isArray(uint32_t code) { return (code & kArrayFlag) != 0; }
  // The next group that begins an entry (past the groups of this node).
  static uint32_t skipEntry(uint32_t code);
  // Entries (tree levels) until the end.
  static int countEntries(uint32_t code);
};

// Bytes of one shape record of that kind. The dimension is the unit's, not the group's:
// 3D shapes need their room at every level, not only in the first group.
uint32_t groupSize(uint32_t kind, bool is3D);

struct LevelFormat {
  static constexpr int kMaxGroups = 8;
  uint32_t entrySize = 0;
  int groups = 0;
  uint8_t kinds[kMaxGroups] = {};
  uint16_t offsets[kMaxGroups] = {};
  uint32_t lastKind() const { return groups ? kinds[groups - 1] : 0; }
};

class PackedLayout {
 public:
  static constexpr int kMaxLevels = 8;
  static constexpr size_t kHeaderSize = 8 + sizeof(void*);

  PackedLayout() = default;
  // unitCode: bit 31 set for 3D; copies 1 or 2.
  PackedLayout(uint32_t unitCode, int copies);

  uint32_t code() const { return code_; }
  bool is3D() const { return is3D_; }
  int copies() const { return copies_; }
  int levels() const { return levels_; }
  // The copy the pair tests read: the transformed one when there are two.
  int testCopy() const { return copies_ - 1; }
  const LevelFormat& level(int lvl) const { return level_[lvl]; }
  bool hasChildren(int lvl) const { return lvl + 1 < levels_; }
  size_t blockSize(int lvl) const {
    return copies_ * static_cast<size_t>(level_[lvl].entrySize) + (hasChildren(lvl) ? kHeaderSize : 0);
  }

  uint8_t* group(uint8_t* block, int lvl, int copy, int g) const {
    return block + static_cast<size_t>(copy) * level_[lvl].entrySize + level_[lvl].offsets[g];
  }
  const uint8_t* group(const uint8_t* block, int lvl, int copy, int g) const {
    return block + static_cast<size_t>(copy) * level_[lvl].entrySize + level_[lvl].offsets[g];
  }

 private:
  uint32_t code_ = 0;
  bool is3D_ = false;
  int copies_ = 1;
  int levels_ = 0;
  LevelFormat level_[kMaxLevels];
};

struct ChildList {
  int32_t count = 0;
  uint8_t* blocks = nullptr;
};

inline ChildList readChildren(const PackedLayout& layout, const uint8_t* block, int lvl) {
  ChildList c;
  if (!layout.hasChildren(lvl)) return c;
  const uint8_t* h = block + layout.copies() * static_cast<size_t>(layout.level(lvl).entrySize);
  std::memcpy(&c.count, h + 4, sizeof c.count);
  std::memcpy(&c.blocks, h + 8, sizeof c.blocks);
  return c;
}

inline void writeChildren(const PackedLayout& layout, uint8_t* block, int lvl, const ChildList& c) {
  uint8_t* h = block + layout.copies() * static_cast<size_t>(layout.level(lvl).entrySize);
  const uint32_t zero = 0;
  std::memcpy(h, &zero, sizeof zero);
  std::memcpy(h + 4, &c.count, sizeof c.count);
  std::memcpy(h + 8, &c.blocks, sizeof c.blocks);
}

}  // namespace treesync
