// Textured quads per second through the primitive batcher and the GL device into the
// offscreen back buffer, with the shipped HUD effect: one iteration is one frame (clear,
// quads, flush, present). Run with LIBGL_ALWAYS_SOFTWARE=1 for llvmpipe figures.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "render/device/prim_batcher.h"
#include "tests/gfx/hud_context.h"

namespace {

using namespace qxgfx;

void texturedQuads(benchmark::State& state) {
  const int quads = int(state.range(0));
  DeviceMgr mgr;
  if (mgr.create(nullptr, 1280, 720) != D3D_OK) {
    state.SkipWithError(("no GL device: " + mgr.lastError()).c_str());
    return;
  }
  Device& dev = *mgr.device();
  std::ifstream in(std::string(QX_SOURCE_DIR) + "/resource/effect/hud.fx");
  std::stringstream text;
  text << in.rdbuf();
  FxData fx;
  std::string log;
  if (!fx.createEffect(text.str(), "hud.fx", &log)) {
    state.SkipWithError(log.c_str());
    return;
  }
  auto tex = dev.createTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  LockedRect lr;
  tex->lockRect(0, lr, nullptr, 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.bits) + y * lr.pitch)[x] = 0xFF000000u | uint32_t(x * 4 << 16) | uint32_t(y * 4);
  tex->unlockRect(0);
  const float size[4] = {1280, 720, 0, 0};
  fx.setVector(fx.effect()->getParameterBySemantic("SCREENSIZE"), size);
  fx.setTexture(fx.effect()->getParameterBySemantic("DIFFUSE"), tex.get());

  qxtest::HudContext ctx(&fx);
  PrimBatcher batcher;
  uint32_t seed = 1;
  auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  for (auto _ : state) {
    dev.clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020, 1.0f, 0);
    fx.set_tech("Textured");
    fx.pass(0);
    for (int i = 0; i < quads; ++i) {
      const float x = float(next() % 1260), y = float(next() % 700);
      qxtest::submitRect(batcher, ctx, x, y, x + 16, y + 16, 0xFFFFFFFF);
    }
    batcher.flush(ctx);
    dev.present();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * quads);
  state.counters["quads/frame"] = quads;
}
BENCHMARK(texturedQuads)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
