// libFuzzer target: any bytes either fail to build an animation cleanly (leaving it
// empty) or build slots whose every lookup stays inside what was stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scene/anim/animation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Animation a;
  std::string why;
  const bool built = a.build(std::string_view(reinterpret_cast<const char*>(data), size), &why);
  if (built == a.empty() || (!built && a.slotCount() != 0)) std::abort();
  if (!built) return 0;
  const int32_t frames[] = {0, 1, 2, 3, 7, 100, INT32_MAX};
  for (int32_t i = -1; i < a.slotCount(); ++i) {
    const AnimSlot* s = a.slotOrNull(i);
    if (!s || !s->rect || !s->hotspot || !s->delay || !s->tag) std::abort();
    (void)a.findSlot(s->name);
    (void)s->rect->frameCount();
    for (int32_t f : frames) {
      float u0, v0, u1, v1;
      int32_t x, y;
      s->rect->get(f, u0, v0, u1, v1);
      s->hotspot->get(f, x, y);
      (void)s->delay->get(f);
      if (const char* tag = s->tag->get(f)) (void)std::string_view(tag).size();
    }
  }
  if (a.slotOrNull(a.slotCount()) != nullptr) std::abort();
  return 0;
}
