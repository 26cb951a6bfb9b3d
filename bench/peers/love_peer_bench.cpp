// N textured 32x32 quads a frame into a 640x480 offscreen window, 300 frames, unthrottled:
// once through the engine's draw lists (N batched entries of one material, made in C++)
// and once in LÖVE 11.4 (the Debian package "love", run only when installed), for
// N = 2000 and 20000. Reports frames per second of each, their ratio, and the heap
// allocations of the engine thread's steady frames.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "program/main/engine_files.h"
#include "program/main/engine_singletons.h"
#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "platform/core/utf.h"
#include "platform/window/ui_thread.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/path_stack.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/hdl_lock.h"

// The counting operator new pairs with free(); g++ cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// Counted on the engine's thread only: the UI thread's pumping is no part of a frame.
thread_local bool gCounting = false;
std::atomic<uint64_t> gAllocations{0};

}  // namespace

void* operator new(size_t n) {
  if (gCounting) gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 300, kWarmUp = 10;
constexpr int kQuadCounts[] = {2000, 20000};

struct HudPos {
  float x, y, z;
  uint32_t colour;
};
struct HudUV {
  float u, v, a;
};

// One object whose collect callback queues one batched entry per quad; the entries share
// their texture, so one material serves them all.
struct Field {
  uint32_t self = MemMgrBase::threadCurrentHandle();
  uint32_t texture = 0;
  std::vector<float> xy;
};

void registerField() {
  LuaClassDesc d = LuaClassDesc::forType<Field>("PeerField");
  d.collect = [](void* obj, void*, void*, void* q) {
    auto* f = static_cast<Field*>(obj);
    DrawEntry e;
    DrawKey::init(e.key, 2, 0);
    e.textures[0] = kesto::HdlBase(f->texture);
    e.item = kesto::HdlBase(f->self);
    for (uint32_t i = 0; i < f->xy.size() / 2; ++i) {
      e.passWord = i;
      static_cast<IDTagQ*>(q)->addEntry(e);
    }
  };
  d.material = [](void* obj, void*, void* q) {
    static_cast<Qeldrin*>(q)->setParamTexture("DIFFUSE", static_cast<Field*>(obj)->texture);
  };
  d.draw = [](void* obj, void* args, void* q) {
    auto* f = static_cast<Field*>(obj);
    const uint32_t i = static_cast<DrawCallArgs*>(args)->passWord;
    const float x = f->xy[2 * i], y = f->xy[2 * i + 1];
    const HudPos pos[4] = {{x, y, 0, 0xFFFFFFFF}, {x + 32, y, 0, 0xFFFFFFFF}, {x + 32, y + 32, 0, 0xFFFFFFFF},
                           {x, y + 32, 0, 0xFFFFFFFF}};
    static const HudUV uv[4] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    static const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
    const void* streams[2] = {pos, uv};
    static_cast<Qeldrin*>(q)->drawIndexed(4, idx, 2, streams);
  };
  registerClassDesc(d);
}

struct EngineResult {
  double fps[2] = {};
  double allocationsPerFrame[2] = {};
  std::string error;
};

std::vector<float> positions(int n) {
  std::vector<float> xy(size_t(n) * 2);
  uint32_t seed = 1;
  for (float& v : xy) v = float(((seed = seed * 1664525u + 1013904223u) >> 8) % 600);
  return xy;
}

void runEngine(EngineResult& out) {
  char pattern[] = "/tmp/qx-peer-XXXXXX";
  if (!mkdtemp(pattern)) return;
  const std::filesystem::path root = pattern;
  std::filesystem::create_directories(root / "resource" / "effect");
  std::filesystem::copy_file(std::filesystem::path(QX_SOURCE_DIR) / "resource" / "effect" / "hud.fx",
                             root / "resource" / "effect" / "hud.fx");
  programPath().set(qcore::utf8ToUtf16(root.string()));
  qxplat::runUiThread([&](uint32_t ui) {
    if (!initEngineSingletons(ui)) {
      out.error = "the managers did not start";
      destroyEngineSingletons();
      return;
    }
    attachThreadLane();
    EngineFiles files;
    files.mount(programPath(), programPath());
    registerField();
    {
      Qeldrin q;
      q.init(kWidth, kHeight, "peer", false);
      auto fx = EffectMgr::instance()->create(u"effect\\hud.fx");
      auto tex = TextureMgr::instance()->create_blank(5, qxgfx::D3DFMT_A8R8G8B8);
      if (!q.has_window() || !fx.isValid() || !tex.isValid()) {
        out.error = "no window, effect or texture";
      } else {
        q.setShader({fx.value});
        q.setTargetTex(0, {tex.value});
        q.clearColorBuffer(0xFFC08040);
        q.setTargetTex(0, {0});
        for (int k = 0; k < 2; ++k) {
          auto field = MemMgrMulti::instance()->createByName("PeerField");
          {
            ItemLock item(field.value);
            auto* f = static_cast<Field*>(item->data());
            f->texture = tex.value;
            f->xy = positions(kQuadCounts[k]);
          }
          std::chrono::steady_clock::time_point start;
          for (int frame = 0; frame < kWarmUp + kFrames; ++frame) {
            if (frame == kWarmUp) {
              start = std::chrono::steady_clock::now();
              gAllocations = 0;
              gCounting = true;
            }
            q.beginDraw();
            q.clearColorBuffer(0xFF202020);
            q.set_tech("Textured");
            q.draw_single({field.value}, "");
            q.flush_drawAll(true);
            q.endDraw();
          }
          gCounting = false;
          const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
          out.fps[k] = kFrames / s;
          out.allocationsPerFrame[k] = double(gAllocations.load()) / kFrames;
        }
      }
    }
    files.unmount();
    detachThreadLane();
    destroyEngineSingletons();
    detachThreadLane();
  });
  std::filesystem::remove_all(root);
}

const char* kLoveConf = R"(
function love.conf(t)
  t.window.width = 640
  t.window.height = 480
  t.window.vsync = 0
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
end
)";

const char* kLoveMain = R"(
local n = tonumber(os.getenv("QX_PEER_QUADS"))
local image, xs, ys = nil, {}, {}
local frames, start = 0, 0
function love.load()
  local data = love.image.newImageData(32, 32)
  data:mapPixel(function() return 0.75, 0.5, 0.25, 1 end)
  image = love.graphics.newImage(data)
  local seed = 1
  local function nextPos()
    seed = (seed * 1664525 + 1013904223) % 4294967296
    return math.floor(seed / 256) % 600
  end
  for i = 1, n do xs[i] = nextPos() ys[i] = nextPos() end
end
function love.draw()
  love.graphics.clear(0.125, 0.125, 0.125)
  for i = 1, n do love.graphics.draw(image, xs[i], ys[i]) end
  frames = frames + 1
  if frames == 10 then start = love.timer.getTime() end
  if frames == 310 then
    io.write(string.format("fps %f\n", 300 / (love.timer.getTime() - start)))
    io.flush()
    love.event.quit()
  end
end
)";

bool loveInstalled() { return std::system("command -v love > /dev/null 2>&1") == 0; }

// Frames per second LÖVE reached, or a negative value with the reason in why.
double runLove(int quads, std::string& why) {
  char pattern[] = "/tmp/qx-love-XXXXXX";
  if (!mkdtemp(pattern)) return -1;
  const std::filesystem::path dir = pattern;
  std::ofstream(dir / "conf.lua") << kLoveConf;
  std::ofstream(dir / "main.lua") << kLoveMain;
  const std::string command =
      "QX_PEER_QUADS=" + std::to_string(quads) + " love '" + dir.string() + "' 2>&1";
  double fps = -1;
  if (FILE* p = popen(command.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
      if (std::sscanf(line, "fps %lf", &fps) != 1) why += line;
    }
    pclose(p);
  }
  std::filesystem::remove_all(dir);
  return fps;
}

void quadsBesideLove(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  EngineResult engine;
  for (auto _ : state) runEngine(engine);
  if (!engine.error.empty()) {
    state.SkipWithError(engine.error.c_str());
    return;
  }
  const bool love = loveInstalled();
  if (!love) std::printf("LOVE is not installed (Debian package \"love\"): only the engine ran\n");
  for (int k = 0; k < 2; ++k) {
    const std::string n = std::to_string(kQuadCounts[k]);
    state.counters["engine_fps_" + n] = engine.fps[k];
    state.counters["engine_allocs_per_frame_" + n] = engine.allocationsPerFrame[k];
    if (!love) continue;
    std::string why;
    const double fps = runLove(kQuadCounts[k], why);
    if (fps <= 0) {
      std::printf("LOVE did not run with %s quads: %s\n", n.c_str(), why.c_str());
      continue;
    }
    state.counters["love_fps_" + n] = fps;
    state.counters["ratio_" + n] = engine.fps[k] / fps;
    std::printf("%s quads: engine %.1f fps, LOVE %.1f fps, ratio %.2f, engine allocations per frame %.2f\n",
                n.c_str(), engine.fps[k], fps, engine.fps[k] / fps, engine.allocationsPerFrame[k]);
  }
}
BENCHMARK(quadsBesideLove)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
