// libFuzzer target: any bytes either fail to build an animation cleanly (leaving it
// empty) or build slots whose every lookup stays inside what was stored, and an animator
// playing any of its slots enters a bounded number of frames per update.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "runtime/fs/mem_files.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"
#include "scene/anim/anim_mgr.h"
#include "scene/anim/animation.h"
#include "scene/anim/animator.h"

namespace {

constexpr char16_t kName[] = u"$fuzz.spr";

// The in-memory root as the only read source.
class MemSources : public ResFileSources {
 public:
  MemSources() : mem_(qx::MemFile::create(u"$")) { ResRegistry::instance().attachFileSources(this); }
  qx::IFiles* findFile(const std::u16string& name) override { return mem_->size(name) >= 0 ? mem_.get() : nullptr; }
  qx::IFiles* mem() const { return mem_.get(); }

 private:
  std::unique_ptr<qx::MemFile> mem_;
};

void checkLookups(const Animation& a) {
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
}

// Every slot (a few at most), once, endlessly and twice, under zero, tiny, normal and
// huge steps: no update may enter more than the cap without time, nor more than its
// ticks besides.
void play(uint32_t handle, const Animation& a) {
  Animator an;
  an.init(handle, 1);
  const float steps[] = {0.0f, 1e-9f, 1.0f / 60, 0.05f, 1e30f};
  for (int32_t i = 0; i < a.slotCount() && i < 4; ++i) {
    for (int32_t loops : {0, -1, 1}) {
      an.clear();
      if (!an.add(a.slotAt(i).name, loops)) continue;
      an.start();
      for (float dt : steps) {
        an.update(dt);
        const int32_t ticks = dt > 1 ? 65536 : static_cast<int32_t>(dt * 60 + 0.5f);
        if (an.instantFrames() > Animator::kMaxInstantFrames ||
            an.enteredFrames() > an.instantFrames() + ticks + 1) {
          std::abort();
        }
      }
      AnimFrameInfo info;
      an.getFrameRect(info);
      float w, h;
      an.getSize(w, h);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemSources* sources = new MemSources;
  static AnimMgr* mgr = new AnimMgr;
  {
    Animation a;
    std::string why;
    const bool built = a.build(std::string_view(reinterpret_cast<const char*>(data), size), &why);
    if (built == a.empty() || (!built && a.slotCount() != 0)) std::abort();
    if (built) checkLookups(a);
  }
  if (size > Animation::kMaxFileBytes) return 0;
  sources->mem()->writeWhole(kName, true, data, static_cast<uint32_t>(size));
  // The last reference dropped at the end unloads it, so the next input loads afresh.
  AnimHdl h = mgr->acquireByName(kName).handle;
  if (!h.value) return 0;
  const Animation* anim = nullptr;
  {
    kesto::HdlLock<AnimHdl> lock(h.value, kesto::HdlLock<AnimHdl>::kShared);
    if (lock) anim = &*lock;
  }
  if (anim) play(h.value, *anim);
  return 0;
}
