// Unit pairs tested per second: 1 000 circle units in one pipe through collision_scp
// from a script, against the limit, a plain loop doing the same circle tests on a flat
// array. Both run in the same process; the ratio is printed at the end.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/support/script_engine.h"
#include "runtime/math/geometry.h"
#include "scene/collision/col_bind.h"
#include "scene/collision/col_mgr.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"

namespace {

constexpr int kUnits = 1000;
constexpr double kPairs = kUnits * (kUnits - 1) / 2.0;

// Circle i of both sides: a ring of small circles, neighbours touching now and then.
Circle circleAt(int i) {
  const float a = static_cast<float>(i) * 0.00628f;
  return {100 * std::cos(a), 100 * std::sin(a), 0.4f};
}

struct Engine : qxbench::ScriptEngine {
  lua_State* L;

  Engine()
      : ScriptEngine("require('QXL') require('QXGobj') require('COL')\n", [](kesto::ManagerCatalogue& m) {
          m.provide(kesto::ManagerKind::collision, [] { return std::make_unique<ColMgr>(); });
          m.provide(kesto::ManagerKind::collisionPipe, [] { return std::make_unique<ColPipeMgr>(); });
        }) {
    qxbind::BindOrder order;
    order.provide(colBinding());
    order.provide(gobjBinding());
    order.provide(colPipeBinding());
    order.run(state);
    L = lock();
    char setup[512];
    std::snprintf(setup, sizeof setup,
                  "pipe = ColPipeMgr:create(true)\n"
                  "local code = ColMgr:cuid(false, {3})\n"
                  "for i = 0, %d do\n"
                  "  local a = i * 0.00628\n"
                  "  local u = ColMgr:newCUC(0, nil, i, code)\n"
                  "  u:set_source(COL.Circle.new(QXL.vec2(100 * math.cos(a), 100 * math.sin(a)), 0.4))\n"
                  "  pipe:add(u)\n"
                  "end\n"
                  "function run(t) return ColMgr:collision_scp(pipe, 0, 1, 0, t) end\n",
                  kUnits - 1);
    if (luaL_dostring(L, setup) != 0) std::fprintf(stderr, "setup failed: %s\n", lua_tostring(L, -1));
  }
};

Engine& engine() {
  static Engine* e = new Engine();
  return *e;
}

double gPipeRate = 0, gFlatRate = 0;

template <class F>
void timed(benchmark::State& st, double& rate, F&& body) {
  double pairs = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : st) {
    body();
    pairs += kPairs;
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rate = s > 0 ? pairs / s : 0;
  st.SetItemsProcessed(static_cast<int64_t>(pairs));
}

void BM_PipeScp(benchmark::State& st) {
  lua_State* L = engine().L;
  double time = 0;
  timed(st, gPipeRate, [&] {
    lua_getglobal(L, "run");
    lua_pushnumber(L, ++time);
    lua_call(L, 1, 1);
    benchmark::DoNotOptimize(lua_tonumber(L, -1));
    lua_pop(L, 1);
  });
}
BENCHMARK(BM_PipeScp)->Unit(benchmark::kMillisecond);

void BM_FlatArrayLimit(benchmark::State& st) {
  std::vector<Circle> circles(kUnits);
  for (int i = 0; i < kUnits; ++i) circles[i] = circleAt(i);
  timed(st, gFlatRate, [&] {
    int hits = 0;
    for (int i = 0; i + 1 < kUnits; ++i) {
      for (int j = i + 1; j < kUnits; ++j) hits += circlesOverlap(circles[i], circles[j]) ? 1 : 0;
    }
    benchmark::DoNotOptimize(hits);
  });
}
BENCHMARK(BM_FlatArrayLimit)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gPipeRate > 0 && gFlatRate > 0) {
    std::printf("unit pairs/s: pipe %.3g, flat array %.3g; the flat array is %.1fx faster (goal: within 2x)\n",
                gPipeRate, gFlatRate, gFlatRate / gPipeRate);
  }
  return 0;
}
