// The scene every peer draws: N quads of one size at pseudo-random positions in a 640x480
// target, each with one of T plain-coloured textures of the quad's size, blended over a
// dark clear. The generators are the ones the LÖVE script repeats in Lua, so all peers
// draw the same quads.
#pragma once
#include <cstdint>
#include <vector>

namespace peer {

constexpr int kWidth = 640, kHeight = 480, kFrames = 300, kWarmUp = 10;
constexpr uint32_t kClear = 0xFF202020;

struct Row {
  int quads;
  int side;      // 32 or 2 pixels
  int textures;  // 1, or 8 given in random order
};
inline constexpr Row kRows[] = {{2000, 32, 1}, {20000, 32, 1}, {2000, 2, 1}, {20000, 2, 1}, {2000, 32, 8}};
inline constexpr int kRowCount = sizeof kRows / sizeof kRows[0];

// x0, y0, x1, y1, ...
inline std::vector<float> positions(int n) {
  std::vector<float> xy(size_t(n) * 2);
  uint32_t seed = 1;
  for (float& v : xy) v = float(((seed = seed * 1664525u + 1013904223u) >> 8) % 600);
  return xy;
}

// Which texture each quad uses (0 for every quad with one texture).
inline std::vector<uint32_t> textureChoices(int n, int textures) {
  std::vector<uint32_t> t(size_t(n), 0);
  uint32_t seed = 7;
  if (textures > 1)
    for (uint32_t& v : t) v = ((seed = seed * 1664525u + 1013904223u) >> 16) % uint32_t(textures);
  return t;
}

// ARGB colour of texture k; texture 0 is the colour the single-texture rows use.
inline uint32_t textureColour(int k) {
  static const uint32_t kColours[8] = {0xFFC08040, 0xFF40C080, 0xFF8040C0, 0xFFC0C040,
                                       0xFF40C0C0, 0xFFC040C0, 0xFF808080, 0xFFE0A060};
  return kColours[k & 7];
}

}  // namespace peer
