// The result of laying out one text: per glyph page the quads to draw, per code point its
// advance, page batch and texture corners.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace hudtext {

class A8Surface;

struct TextVertex {
  float x, y, z;
  uint32_t color;
};

struct UVW {
  float u = 0, v = 0, w = 1.0f;
};

struct PageBatch {
  std::vector<TextVertex> vertices;  // four per emitted glyph: top-left, top-right, bottom-right, bottom-left
  std::vector<UVW> uvs;              // parallel to vertices
  const A8Surface* page = nullptr;   // the glyph page drawn with
};

struct GlyphSlot {
  int32_t advance = 0;
  int32_t batch = -1;  // -1: the glyph cache refused the code point; nothing is drawn for it
};

struct GlyphLayout {
  std::vector<PageBatch> batches;  // in order of first use
  std::vector<GlyphSlot> slots;    // one per code point
  std::vector<std::array<UVW, 4>> uvQuads;  // one per code point, corners as in PageBatch
  int32_t cellWidth = 0;
  int32_t lineHeight = 0;

  void clear() {
    batches.clear();
    slots.clear();
    uvQuads.clear();
  }
};

}  // namespace hudtext
