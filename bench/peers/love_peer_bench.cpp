// The same scene (peer_scene.h) drawn three ways into a 640x480 offscreen target, 300
// frames each, unthrottled: through the engine's draw lists (one batched entry per quad,
// made in C++, drawn with hud.fx's "Textured"), by LÖVE 11.4 (the Debian package "love",
// run only when installed: one love.graphics.draw per quad from Lua, grouped by texture as
// a LÖVE author would), and by the bare device loop of device_floor.h. Rows: 32x32 and
// 2x2 quads at 2 000 and 20 000 a frame, and 2 000 32x32 quads in 8 textures that the
// engine receives in random texture order and sorts with a texture sort chain. Prints
// frames per second, engine / LÖVE and engine / floor, and the heap allocations of the
// engine thread's steady frames. Each row's three halves run back to back (the floor on a
// thread of its own, LÖVE in its own process, while the engine waits), so that the load of
// a shared machine is alike for all three. QX_PEER_RUNS (default 1) repeats every row that
// many times and reports the medians; QX_PEER_ROWS (for example "1,3") runs only
// the rows of those numbers (counted from 0) and QX_PEER_ONLY ("engine", "love" or
// "floor") only that peer, for profiling one of them.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <thread>

#include "program/main/engine_files.h"
#include "program/main/engine_singletons.h"
#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "bench/peers/device_floor.h"
#include "bench/peers/peer_scene.h"
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

using peer::kRowCount;
using peer::kRows;

struct HudPos {
  float x, y, z;
  uint32_t colour;
};
struct HudUV {
  float u, v, a;
};

// One object whose collect callback queues one batched entry per quad, naming the quad's
// texture; its material callback sets that texture.
struct Field {
  uint32_t self = MemMgrBase::threadCurrentHandle();
  float side = 32;
  std::vector<uint32_t> textures;  // per quad
  std::vector<float> xy;
};

void registerField() {
  LuaClassDesc d = LuaClassDesc::forType<Field>("PeerField");
  d.collect = [](void* obj, void*, void*, void* q) {
    auto* f = static_cast<Field*>(obj);
    DrawEntry e;
    DrawKey::init(e.key, 2, 0);
    e.item = kesto::HdlBase(f->self);
    for (uint32_t i = 0; i < f->textures.size(); ++i) {
      e.textures[0] = kesto::HdlBase(f->textures[i]);
      e.passWord = i;
      static_cast<IDTagQ*>(q)->addEntry(e);
    }
  };
  d.material = [](void* obj, void* args, void* q) {
    auto* f = static_cast<Field*>(obj);
    const uint32_t i = static_cast<DrawCallArgs*>(args)->passWord;
    static_cast<Qeldrin*>(q)->setParamTexture("DIFFUSE", f->textures[i]);
  };
  d.draw = [](void* obj, void* args, void* q) {
    auto* f = static_cast<Field*>(obj);
    const uint32_t i = static_cast<DrawCallArgs*>(args)->passWord;
    const float x = f->xy[2 * i], y = f->xy[2 * i + 1], s = f->side;
    const HudPos pos[4] = {{x, y, 0, 0xFFFFFFFF}, {x + s, y, 0, 0xFFFFFFFF}, {x + s, y + s, 0, 0xFFFFFFFF},
                           {x, y + s, 0, 0xFFFFFFFF}};
    static const HudUV uv[4] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    static const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
    const void* streams[2] = {pos, uv};
    static_cast<Qeldrin*>(q)->drawIndexed(4, idx, 2, streams);
  };
  registerClassDesc(d);
}

bool rowWanted(int r) {
  const char* rows = std::getenv("QX_PEER_ROWS");
  if (!rows || !*rows) return true;
  for (const char* p = rows; *p; ++p)
    if (*p - '0' == r) return true;
  return false;
}

bool peerWanted(const char* name) {
  const char* only = std::getenv("QX_PEER_ONLY");
  return !only || !*only || std::strcmp(only, name) == 0;
}

struct Figures {
  double engine = 0, love = 0, floor = 0, allocations = 0;
};

struct EngineResult {
  std::vector<Figures> rows[kRowCount];  // one per run
  std::string error;
};

int exponentOf(int side) {
  int e = 0;
  while ((1 << e) < side) ++e;
  return e;
}

double runLove(const peer::Row& row, std::string& why);

// The floor's and LÖVE's halves of row r.
void runPeers(int r, bool love, Figures& f) {
  if (peerWanted("floor")) {
    std::string why;
    std::thread([&] { f.floor = peer::runFloor(kRows[r], why); }).join();
    if (f.floor <= 0) std::printf("the floor did not run: %s\n", why.c_str());
  }
  if (love && peerWanted("love")) {
    std::string why;
    f.love = runLove(kRows[r], why);
    if (f.love <= 0) std::printf("LOVE did not run: %s\n", why.c_str());
  }
}

void drawRows(Qeldrin& q, uint32_t effect, int runs, bool love, EngineResult& out) {
  q.setShader({effect});
  // Plain-coloured textures loaded from image files, as scripts have them (a render-target
  // texture costs llvmpipe more to sample from): each is cleared as a target, saved and
  // loaded back.
  std::vector<TextureMgr::TexHandle> keep;
  auto texturesFor = [&](int side, int count) {
    std::vector<uint32_t> ids;
    TextureMgr* textures = TextureMgr::instance();
    for (int k = 0; k < count; ++k) {
      TextureMgr::TexHandle t = textures->create_blank(exponentOf(side), qxgfx::D3DFMT_A8R8G8B8);
      if (!t.isValid()) return std::vector<uint32_t>{};
      q.setTargetTex(0, {t.value});
      q.clearColorBuffer(peer::textureColour(k));
      q.setTargetTex(0, {0});
      const std::string name = "peer" + std::to_string(side) + "_" + std::to_string(k) + ".png";
      TextureMgr::TexHandle image;
      if (textures->saveAsFile(t.value, qcore::utf8ToUtf16("resource\\" + name)))
        image = textures->load(qcore::utf8ToUtf16(name), 0, 0);
      if (!image.isValid()) return std::vector<uint32_t>{};
      ids.push_back(image.value);
      keep.push_back(image);
    }
    return ids;
  };
  const SortArg byTexture[] = {{SortArg::Type::number, 1, false}};
  for (int run = 0; run < runs; ++run) {
    for (int r = 0; r < kRowCount; ++r) {
      if (!rowWanted(r)) continue;
      const peer::Row& row = kRows[r];
      const std::vector<uint32_t> ids = texturesFor(row.side, row.textures);
      if (ids.empty()) {
        out.error = "no texture";
        return;
      }
      // The engine sorts what it is given: by texture when there are several.
      if (row.textures > 1)
        q.setSortChain("Textured", byTexture);
      else
        q.setSortChain("Textured", {});
      auto field = MemMgrMulti::instance()->createByName("PeerField");
      {
        ItemLock item(field.value);
        auto* f = static_cast<Field*>(item->data());
        f->side = float(row.side);
        f->xy = peer::positions(row.quads);
        const std::vector<uint32_t> choice = peer::textureChoices(row.quads, row.textures);
        f->textures.resize(choice.size());
        for (size_t i = 0; i < choice.size(); ++i) f->textures[i] = ids[choice[i]];
      }
      std::chrono::steady_clock::time_point start;
      for (int frame = 0; frame < peer::kWarmUp + peer::kFrames; ++frame) {
        if (frame == peer::kWarmUp) {
          start = std::chrono::steady_clock::now();
          gAllocations = 0;
          gCounting = true;
        }
        q.beginDraw();
        q.clearColorBuffer(peer::kClear);
        q.set_tech("Textured");
        q.draw_single({field.value}, "");
        q.flush_drawAll(true);
        q.endDraw();
      }
      gCounting = false;
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      Figures f;
      f.engine = peer::kFrames / s;
      f.allocations = double(gAllocations.load()) / peer::kFrames;
      runPeers(r, love, f);
      out.rows[r].push_back(f);
    }
  }
}

void runEngine(int runs, bool love, EngineResult& out) {
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
      q.init(peer::kWidth, peer::kHeight, "peer", false);
      auto fx = EffectMgr::instance()->create(u"effect\\hud.fx");
      if (!q.has_window() || !fx.isValid())
        out.error = "no window or effect";
      else
        drawRows(q, fx.value, runs, love, out);
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
local side = tonumber(os.getenv("QX_PEER_SIDE"))
local textures = tonumber(os.getenv("QX_PEER_TEXTURES"))
local colours = {0xC08040, 0x40C080, 0x8040C0, 0xC0C040, 0x40C0C0, 0xC040C0, 0x808080, 0xE0A060}
local images, xs, ys = {}, {}, {}
local frames, start = 0, 0
local function lcg(seed) return (seed * 1664525 + 1013904223) % 4294967296 end
function love.load()
  for t = 1, textures do
    local c = colours[t]
    local r, g, b = math.floor(c / 65536) / 255, math.floor(c / 256) % 256 / 255, c % 256 / 255
    local data = love.image.newImageData(side, side)
    data:mapPixel(function() return r, g, b, 1 end)
    images[t] = love.graphics.newImage(data)
    xs[t], ys[t] = {}, {}
  end
  local seed, pick = 1, 7
  for i = 1, n do
    seed = lcg(seed)
    local x = math.floor(seed / 256) % 600
    seed = lcg(seed)
    local y = math.floor(seed / 256) % 600
    local t = 1
    if textures > 1 then
      pick = lcg(pick)
      t = math.floor(pick / 65536) % textures + 1
    end
    local gx, gy = xs[t], ys[t]
    gx[#gx + 1], gy[#gy + 1] = x, y
  end
end
function love.draw()
  love.graphics.clear(0.125, 0.125, 0.125)
  for t = 1, textures do
    local image, gx, gy = images[t], xs[t], ys[t]
    for i = 1, #gx do love.graphics.draw(image, gx[i], gy[i]) end
  end
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
double runLove(const peer::Row& row, std::string& why) {
  char pattern[] = "/tmp/qx-love-XXXXXX";
  if (!mkdtemp(pattern)) return -1;
  const std::filesystem::path dir = pattern;
  std::ofstream(dir / "conf.lua") << kLoveConf;
  std::ofstream(dir / "main.lua") << kLoveMain;
  const std::string command = "QX_PEER_QUADS=" + std::to_string(row.quads) +
                              " QX_PEER_SIDE=" + std::to_string(row.side) +
                              " QX_PEER_TEXTURES=" + std::to_string(row.textures) + " love '" + dir.string() +
                              "' 2>&1";
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

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void quadsBesideLove(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  const char* runsText = std::getenv("QX_PEER_RUNS");
  const int runs = std::clamp(runsText ? std::atoi(runsText) : 1, 1, 9);
  const bool love = loveInstalled();
  if (!love) std::printf("LOVE is not installed (Debian package \"love\"): it was left out\n");
  std::vector<double> engine[kRowCount], loveFps[kRowCount], floorFps[kRowCount], allocs[kRowCount];
  for (auto _ : state) {
    EngineResult result;
    if (peerWanted("engine")) {
      runEngine(runs, love, result);
    } else {
      for (int run = 0; run < runs; ++run) {
        for (int r = 0; r < kRowCount; ++r) {
          if (!rowWanted(r)) continue;
          Figures f;
          runPeers(r, love, f);
          result.rows[r].push_back(f);
        }
      }
    }
    if (!result.error.empty()) {
      state.SkipWithError(result.error.c_str());
      return;
    }
    for (int r = 0; r < kRowCount; ++r) {
      for (const Figures& f : result.rows[r]) {
        if (f.engine > 0) engine[r].push_back(f.engine);
        if (f.engine > 0) allocs[r].push_back(f.allocations);
        if (f.love > 0) loveFps[r].push_back(f.love);
        if (f.floor > 0) floorFps[r].push_back(f.floor);
      }
    }
  }
  std::printf("%6s %5s %4s %10s %10s %10s %12s %12s %14s\n", "quads", "size", "tex", "engine", "LOVE", "floor",
              "engine/LOVE", "engine/floor", "allocs/frame");
  for (int r = 0; r < kRowCount; ++r) {
    if (!rowWanted(r)) continue;
    const peer::Row& row = kRows[r];
    const double e = median(engine[r]), l = median(loveFps[r]), f = median(floorFps[r]);
    const std::string name = std::to_string(row.quads) + "x" + std::to_string(row.side) + "_" +
                             std::to_string(row.textures) + "tex";
    state.counters["engine_fps_" + name] = e;
    state.counters["engine_allocs_per_frame_" + name] = median(allocs[r]);
    if (l > 0) state.counters["engine_over_love_" + name] = e / l;
    if (f > 0) state.counters["engine_over_floor_" + name] = e / f;
    std::printf("%6d %2dx%-2d %4d %10.1f %10.1f %10.1f %12.2f %12.2f %14.2f\n", row.quads, row.side, row.side,
                row.textures, e, l, f, l > 0 ? e / l : 0.0, f > 0 ? e / f : 0.0, median(allocs[r]));
  }
  std::fflush(stdout);
}
BENCHMARK(quadsBesideLove)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
