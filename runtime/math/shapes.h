// The plain shape records the collision code and the transform trees work on.
#pragma once
#include <cstdint>

#include "runtime/math/vec.h"

struct Circle {
  float cx = 0, cy = 0, r = 0;
};

struct Sphere {
  float x = 0, y = 0, z = 0, r = 0;
  Vec3 center() const { return {x, y, z}; }
};

struct Rect2 {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct Segment2 {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct Segment3 {
  Vec3 p0, p1;
};

struct Capsule {
  Vec3 p0, p1;
  float r = 0;
};

// A triangle with its cached unit normal. Bit 0 of dirty asks for the normal to be
// recomputed. A few words of per-node data follow, addressed from index 20 on.
struct TriangleNode {
  static constexpr int kFirstWord = 20;
  static constexpr int kWordCount = 4;

  Vec3 p[3];
  Vec3 normal;
  uint32_t dirty = 1;
  uint32_t words[kWordCount] = {};

  // Word i (kFirstWord <= i < kFirstWord + kWordCount); 0 for any other index.
  uint32_t word(int i) const { return inWords(i) ? words[i - kFirstWord] : 0; }
  // Sets word i; an index outside the words is ignored.
  void setWord(int i, uint32_t v) {
    if (inWords(i)) words[i - kFirstWord] = v;
  }

 private:
  static constexpr bool inWords(int i) { return i >= kFirstWord && i < kFirstWord + kWordCount; }
};
