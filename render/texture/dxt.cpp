#include "render/texture/dxt.h"

#include <stb_dxt.h>

#include <algorithm>
#include <utility>

#include "platform/gfx/gfx_types.h"

namespace qxtex {

namespace {

struct Rgba {
  uint8_t c[4];
};

Rgba from565(uint16_t v) {
  const uint8_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
  return {{uint8_t(r << 3 | r >> 2), uint8_t(g << 2 | g >> 4), uint8_t(b << 3 | b >> 2), 255}};
}

Rgba mix(const Rgba& a, const Rgba& b, int wa, int wb) {
  Rgba out;
  for (int i = 0; i < 3; ++i) out.c[i] = uint8_t((a.c[i] * wa + b.c[i] * wb) / (wa + wb));
  out.c[3] = 255;
  return out;
}

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// The colour half of a block: 16 pixels into px. Only DXT1 has the three-colour mode.
void colourBlock(const uint8_t* b, bool dxt1, Rgba px[16]) {
  const uint16_t v0 = le16(b), v1 = le16(b + 2);
  Rgba pal[4] = {from565(v0), from565(v1), {}, {}};
  if (v0 > v1 || !dxt1) {
    pal[2] = mix(pal[0], pal[1], 2, 1);
    pal[3] = mix(pal[0], pal[1], 1, 2);
  } else {
    pal[2] = mix(pal[0], pal[1], 1, 1);
    pal[3] = {{0, 0, 0, 0}};
  }
  const uint32_t indices = uint32_t(b[4]) | uint32_t(b[5]) << 8 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 24;
  for (int i = 0; i < 16; ++i) px[i] = pal[(indices >> (2 * i)) & 3];
}

void alphaBlock(const uint8_t* b, uint32_t format, Rgba px[16]) {
  if (format == qxgfx::D3DFMT_DXT3) {
    for (int i = 0; i < 16; ++i) {
      const uint8_t nibble = (b[i / 2] >> (4 * (i & 1))) & 15;
      px[i].c[3] = uint8_t(nibble * 17);
    }
    return;
  }
  const int a0 = b[0], a1 = b[1];
  uint8_t pal[8] = {uint8_t(a0), uint8_t(a1)};
  if (a0 > a1) {
    for (int k = 1; k < 7; ++k) pal[k + 1] = uint8_t(((7 - k) * a0 + k * a1) / 7);
  } else {
    for (int k = 1; k < 5; ++k) pal[k + 1] = uint8_t(((5 - k) * a0 + k * a1) / 5);
    pal[6] = 0;
    pal[7] = 255;
  }
  uint64_t bitsOf = 0;
  for (int i = 0; i < 6; ++i) bitsOf |= uint64_t(b[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) px[i].c[3] = pal[(bitsOf >> (3 * i)) & 7];
}

int distance2(const Rgba& a, const uint8_t* b) {
  int d = 0;
  for (int i = 0; i < 3; ++i) d += (a.c[i] - b[i]) * (a.c[i] - b[i]);
  return d;
}

void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

// A DXT1 block with transparent pixels: the ends stb_dxt picks for the opaque ones, in the
// order (first <= second) that selects three colours and transparent black at index 3.
void transparentDxt1Block(uint8_t px[16][4], uint8_t* out) {
  int opaque = -1;
  for (int i = 0; i < 16 && opaque < 0; ++i)
    if (px[i][3] >= 128) opaque = i;
  uint32_t indices = 0;
  if (opaque < 0) {
    put16(out, 0);
    put16(out + 2, 0);
    indices = 0xFFFFFFFFu;
  } else {
    uint8_t colour[16][4];
    for (int i = 0; i < 16; ++i)
      for (int c = 0; c < 4; ++c) colour[i][c] = c == 3 ? 255 : px[px[i][3] >= 128 ? i : opaque][c];
    uint8_t ends[8];
    stb_compress_dxt_block(ends, &colour[0][0], 0, STB_DXT_HIGHQUAL);
    uint16_t lo = le16(ends), hi = le16(ends + 2);
    if (lo > hi) std::swap(lo, hi);
    put16(out, lo);
    put16(out + 2, hi);
    const Rgba pal[3] = {from565(lo), from565(hi), mix(from565(lo), from565(hi), 1, 1)};
    for (int i = 0; i < 16; ++i) {
      uint32_t best = 3;
      if (px[i][3] >= 128) {
        best = 0;
        for (uint32_t k = 1; k < 3; ++k)
          if (distance2(pal[k], colour[i]) < distance2(pal[best], colour[i])) best = k;
      }
      indices |= best << (2 * i);
    }
  }
  for (int i = 0; i < 4; ++i) out[4 + i] = uint8_t(indices >> (8 * i));
}

}  // namespace

bool isDxt(uint32_t format) {
  return format == qxgfx::D3DFMT_DXT1 || format == qxgfx::D3DFMT_DXT3 || format == qxgfx::D3DFMT_DXT5;
}

void decodeDxt(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch, uint8_t* rgba) {
  const bool dxt1 = format == qxgfx::D3DFMT_DXT1;
  const size_t blockBytes = dxt1 ? 8 : 16;
  for (uint32_t by = 0; by < (height + 3) / 4; ++by) {
    for (uint32_t bx = 0; bx < (width + 3) / 4; ++bx) {
      const uint8_t* block = bits + by * pitch + bx * blockBytes;
      Rgba px[16];
      colourBlock(dxt1 ? block : block + 8, dxt1, px);
      if (!dxt1) alphaBlock(block, format, px);
      for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
        if (x < width && y < height)
          for (int c = 0; c < 4; ++c) rgba[(size_t(y) * width + x) * 4 + c] = px[i].c[c];
      }
    }
  }
}

void encodeDxt(uint32_t format, uint32_t width, uint32_t height, const uint8_t* rgba, uint8_t* bits) {
  const bool dxt1 = format == qxgfx::D3DFMT_DXT1;
  const size_t blockBytes = dxt1 ? 8 : 16;
  uint8_t* out = bits;
  for (uint32_t by = 0; by < (height + 3) / 4; ++by) {
    for (uint32_t bx = 0; bx < (width + 3) / 4; ++bx, out += blockBytes) {
      uint8_t px[16][4];
      bool transparent = false;
      for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t x = std::min(bx * 4 + i % 4, width - 1), y = std::min(by * 4 + i / 4, height - 1);
        for (int c = 0; c < 4; ++c) px[i][c] = rgba[(size_t(y) * width + x) * 4 + c];
        transparent |= px[i][3] < 128;
      }
      if (dxt1 && transparent) {
        transparentDxt1Block(px, out);
      } else if (format == qxgfx::D3DFMT_DXT5) {
        stb_compress_dxt_block(out, &px[0][0], 1, STB_DXT_HIGHQUAL);
      } else {
        if (!dxt1) {
          for (int i = 0; i < 8; ++i) out[i] = 0;
          for (int i = 0; i < 16; ++i) out[i / 2] |= uint8_t(((px[i][3] + 8) / 17) << (4 * (i & 1)));
        }
        for (int i = 0; i < 16; ++i) px[i][3] = 255;
        stb_compress_dxt_block(dxt1 ? out : out + 8, &px[0][0], 0, STB_DXT_HIGHQUAL);
      }
    }
  }
}

}  // namespace qxtex
