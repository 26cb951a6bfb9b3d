// Effect files come from resource packs: fuzz the reader and, for what reads, the
// building of techniques and programs (on the recording device) and a run of every pass.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/effect/effect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qxgfx::Ref<qxgfx::RecordingDevice> dev = qxgfx::createRecordingDevice(16, 16);
  dev->clearLog();
  std::string log;
  auto fx = qxfx::createEffect(*dev, std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.fx", &log);
  if (!fx) return 0;
  for (uint32_t t = 0; t < fx->techniqueCount(); ++t) {
    fx->setTechnique(fx->getTechnique(t));
    uint32_t passes = 0;
    fx->begin(&passes, 7);
    for (uint32_t p = 0; p < passes; ++p) {
      fx->beginPass(p);
      fx->commitChanges();
      fx->endPass();
    }
    fx->end();
  }
  return 0;
}
