// Sprite descriptions come from resource folders and packs: fuzz the reader over texture
// sizes taken from the input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "render/texture/sprite_desc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t w = 256, h = 128;
  if (size >= 8) {
    std::memcpy(&w, data, 4);
    std::memcpy(&h, data + 4, 4);
    data += 8;
    size -= 8;
  }
  std::vector<qxtex::SpriteDesc> descs;
  qxtex::readSpriteDescs(std::string_view(reinterpret_cast<const char*>(data), size), w, h, descs, nullptr);
  for (const qxtex::SpriteDesc& d : descs) {
    if (d.name.size() > qxtex::SpriteDesc::kMaxName) __builtin_trap();
  }
  return 0;
}
