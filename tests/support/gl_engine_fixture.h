// The running engine on an offscreen window with the GL device, as the script-driven GL
// tests use it: a UI thread, effect files from the source tree, targets read back from
// scripts, and solid quads drawn in the HUD vertex format.
#pragma once
#include <stb_image_write.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/qeldrin/qeldrin.h"
#include "platform/window/ui_thread.h"
#include "render/device/device_mgr.h"
#include "render/draw/draw_entry.h"
#include "render/draw/dtag_queue.h"
#include "render/texture/texture_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/stack_readers.h"
#include "tests/gfx/gl_fixture.h"
#include "tests/main/engine_fixture.h"
#include "tests/qeldrin/rec_support.h"

namespace qxtest {

class GLEngineTest : public maintest::EngineTest {
 protected:
  // Copies resource/effect/<name> of the source tree into the program's folder.
  void installEffect(const char* name) {
    const std::filesystem::path to = root_ / "resource" / "effect";
    std::filesystem::create_directories(to);
    std::filesystem::copy_file(std::filesystem::path(QX_SOURCE_DIR) / "resource" / "effect" / name, to / name);
  }

  // Windows are made on the UI thread, so the engine runs with one as the program does.
  EngineRunReport runWithUiThread() {
    EngineRunReport report;
    qxplat::runUiThread([&](uint32_t ui) {
      options_.uiThreadId = ui;
      report = run();
    });
    return report;
  }
};

// A png of one colour (A8R8G8B8), w x h.
inline void writePng(const std::filesystem::path& path, int w, int h, uint32_t argb) {
  std::vector<uint8_t> rgba;
  for (int i = 0; i < w * h; ++i) {
    rgba.insert(rgba.end(), {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)});
  }
  std::string out;
  stbi_write_png_to_func([](void* c, void* d, int n) { static_cast<std::string*>(c)->append(static_cast<char*>(d), n); },
                         &out, w, h, 4, rgba.data(), w * 4);
  std::ofstream(path, std::ios::binary) << out;
}

// The render target (or back buffer) whose handle a script passed at `arg`, read back as
// A8R8G8B8 words; `read` is false when the texture or the device is gone.
struct TargetPixels {
  bool read = false;
  uint32_t width = 0;
  std::vector<uint32_t> words;
};

inline TargetPixels readTargetAt(lua_State* L, int arg) {
  kesto::HdlLock<TextureMgr::TexHandle> t(getHandleAt(L, arg), kesto::HdlLock<TextureMgr::TexHandle>::kShared);
  qxgfx::Device* d = DeviceMgr::currentDevice();
  qxgfx::Ref<qxgfx::Surface> s = t ? t->getSurface() : nullptr;
  TargetPixels out;
  if (!s || !d) return out;
  out.read = true;
  out.width = s->desc().width;
  out.words = readPixels(*d, s.get());
  return out;
}

// pixel(texture, x, y): the A8R8G8B8 word of a render target (or the back buffer).
inline int luaPixel(lua_State* L) {
  const TargetPixels t = readTargetAt(L, 1);
  if (!t.read) return 0;
  const size_t at = size_t(luaL_checkinteger(L, 3)) * t.width + size_t(luaL_checkinteger(L, 2));
  if (at >= t.words.size()) return 0;
  lua_pushnumber(L, t.words[at]);
  return 1;
}

// grab(texture): keeps a render target's (or the back buffer's) pixels in grabbed().
inline std::vector<uint32_t>& grabbed() {
  static std::vector<uint32_t> shot;
  return shot;
}

inline int luaGrab(lua_State* L) {
  if (TargetPixels t = readTargetAt(L, 1); t.read) grabbed() = std::move(t.words);
  return 0;
}

// keep(texture): every read-back kept in order, in kept().
inline std::vector<std::vector<uint32_t>>& kept() {
  static std::vector<std::vector<uint32_t>> shots;
  return shots;
}

inline int luaKeep(lua_State* L) {
  if (TargetPixels t = readTargetAt(L, 1); t.read) kept().push_back(std::move(t.words));
  return 0;
}

// Queues the memory item `self` on the draw list `q` in the HUD pass.
inline void queueHudItem(uint32_t self, void* q) {
  DrawEntry e;
  DrawKey::init(e.key, 2, 0);
  e.item = kesto::HdlBase(self);
  static_cast<IDTagQ*>(q)->addEntry(e);
}

// Draws one quad through the Qeldrin `q`, corners clockwise from the top left.
inline void drawHudQuad(void* q, const qtest::HudPos (&pos)[4]) {
  static const qtest::HudUV uv[4] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  static const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
  const void* streams[2] = {pos, uv};
  static_cast<Qeldrin*>(q)->drawIndexed(4, idx, 2, streams);
}

}  // namespace qxtest
