// DDS files come from resource folders and packs: fuzz the reader, decode what it reads
// compressed, and write back what it reads when the format can be written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/gfx/format.h"
#include "platform/gfx/gfx_types.h"
#include "render/texture/dds.h"
#include "render/texture/dxt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qxtex::DdsImage img;
  if (!qxtex::readDds(data, size, img, nullptr)) return 0;
  if (img.bits.size() != qxgfx::formatLevelBytes(img.format, img.width, img.height)) std::abort();
  if (qxtex::isDxt(img.format)) {
    std::vector<uint8_t> rgba(size_t(img.width) * img.height * 4);
    qxtex::decodeDxt(img.format, img.width, img.height, img.bits.data(), qxgfx::formatPitch(img.format, img.width),
                     rgba.data());
  }
  if (img.format == qxgfx::D3DFMT_A8 || img.format == qxgfx::D3DFMT_A8R8G8B8) {
    const auto file = qxtex::writeDds(img.format, img.width, img.height, img.bits.data(),
                                      qxgfx::formatPitch(img.format, img.width));
    qxtex::DdsImage again;
    if (!qxtex::readDds(file.data(), file.size(), again, nullptr) || again.bits != img.bits) std::abort();
  }
  return 0;
}
