// Sprite descriptions: the ".desc" file beside a texture, a JSON array of records that
// cut the texture into named sprites, each a grid of equal cells with a frame count and
// hotspots. Missing or wrongly typed members take their defaults.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Json {
class Value;
}

namespace qxtex {

struct SpriteHotspot {
  int32_t p1 = 0, p2 = 0, p3 = 0;
};

struct SpriteDesc {
  static constexpr size_t kMaxName = 63;

  std::u16string name;  // at most kMaxName units
  int32_t offsetx = 0, offsety = 0;
  int32_t width = 0, height = 0;
  int32_t nwidth = 1, nheight = 1;
  int32_t cellWidth = 0, cellHeight = 0;  // 0 when the matching count is 0
  int32_t frame = 1;
  std::vector<SpriteHotspot> hotspots;

  // Fills the record from one array element; the texture's image size gives the
  // default extent.
  void parse(const Json::Value& element, int32_t textureWidth, int32_t textureHeight);
};

// The records of a whole description file, in file order. False (out emptied) when the
// text is not JSON; a root that is not an array gives no records.
bool readSpriteDescs(std::string_view text, int32_t textureWidth, int32_t textureHeight,
                     std::vector<SpriteDesc>& out, std::string* why);

// The name of the description file of a texture: the name up to its last '.', then
// ".desc"; empty when that would be longer than maxLength.
std::u16string spriteDescFileName(std::u16string_view textureName, size_t maxLength);

}  // namespace qxtex
