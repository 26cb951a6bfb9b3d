#include "script/treesync/packed_format.h"

#include "runtime/math/shapes.h"

namespace treesync {

uint32_t FieldCode::skipEntry(uint32_t code) {
  while (hasMore(code) && !atEnd(code)) code = next(code);
  return next(code);
}

int FieldCode::countEntries(uint32_t code) {
  int n = 0;
  for (; !atEnd(code); code = skipEntry(code)) ++n;
  return n;
}

uint32_t groupSize(uint32_t kind, bool is3D) {
  // 2D: none, rectangle, segment, circle, point, script objects.
  static constexpr uint32_t k2D[8] = {0, 16, 16, 12, 8, 28, 28, 0};
  // 3D: none, sphere, segment, capsule, cylinder, triangle, script objects.
  static constexpr uint32_t k3D[8] = {0, 16, 24, 28, 28, sizeof(TriangleNode), 28, 28};
  return (is3D ? k3D : k2D)[kind & 7];
}

PackedLayout::PackedLayout(uint32_t unitCode, int copies)
    : code_(unitCode), is3D_(FieldCode::isArray(unitCode)), copies_(copies < 1 ? 1 : copies) {
  uint32_t c = unitCode;
  bool open = false;
  while (!FieldCode::atEnd(c) && levels_ < kMaxLevels) {
    LevelFormat& lf = level_[levels_];
    if (lf.groups < LevelFormat::kMaxGroups) {
      const uint32_t k = FieldCode::kind(c);
      lf.kinds[lf.groups] = static_cast<uint8_t>(k);
      lf.offsets[lf.groups] = static_cast<uint16_t>(lf.entrySize);
      lf.entrySize += groupSize(k, is3D_);
      ++lf.groups;
    }
    open = FieldCode::hasMore(c);
    if (!open) ++levels_;
    c = FieldCode::next(c);
  }
  // A node whose last group asks for another shape that the code does not hold.
  if (open && levels_ < kMaxLevels) ++levels_;
}

}  // namespace treesync
