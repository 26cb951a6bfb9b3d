// DDS files come from resource folders and packs: fuzz the reader, complete the chain as a
// load does, and write back what it reads with every level.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/gfx/format.h"
#include "platform/gfx/gfx_types.h"
#include "render/texture/dds.h"
#include "render/texture/mip_chain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qxtex::DdsImage img;
  if (!qxtex::readDds(data, size, img, nullptr)) return 0;
  const uint32_t stored = 1 + uint32_t(img.mips.size());
  if (stored > qxtex::fullChainLevels(img.width, img.height)) std::abort();
  for (uint32_t l = 0; l < stored; ++l) {
    const std::vector<uint8_t>& level = l == 0 ? img.bits : img.mips[l - 1];
    const uint32_t w = qxtex::levelSide(img.width, l), h = qxtex::levelSide(img.height, l);
    if (level.size() != qxgfx::formatLevelBytes(img.format, w, h)) std::abort();
  }
  std::vector<qxtex::DdsLevel> levels{{img.bits.data(), qxgfx::formatPitch(img.format, img.width)}};
  for (uint32_t l = 1; l < stored; ++l)
    levels.push_back({img.mips[l - 1].data(), qxgfx::formatPitch(img.format, qxtex::levelSide(img.width, l))});
  const auto file = qxtex::writeDds(img.format, img.width, img.height, levels);
  qxtex::DdsImage again;
  if (!qxtex::readDds(file.data(), file.size(), again, nullptr) || again.format != img.format ||
      again.bits != img.bits || again.mips != img.mips)
    std::abort();
  // Small images only: a large chain costs the fuzzer time, not coverage.
  if (uint64_t(img.width) * img.height <= 64 * 64) {
    qxtex::completeMipChain(img.format, img.width, img.height, img.bits, img.mips);
    if (1 + img.mips.size() != qxtex::fullChainLevels(img.width, img.height)) std::abort();
  }
  return 0;
}
