// What scripts pay for handles and QX calls: a strong userdata pushed and collected, a
// dispatched QX function against a plain one, and a memory item made by class name.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "runtime/core/thread_ctx.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_mgr.h"
#include "script/qx/qx_globals.h"

namespace {

struct Small {
  int payload[8] = {};
};

class SmallMgr : public kesto::ResourceMgrNoName<SmallMgr, Small> {
 public:
  const char* dataTypeName() const override { return "Small"; }
};

// One engine for the whole run (never torn down: benchmarks end with the process).
struct Engine {
  MemMgr<kesto::MultiP> mem;
  SmallMgr smalls;
  ScriptMgr scripts;
  ScriptHdl state;
  LVPolicyHdl* policy = nullptr;
  lua_State* L = nullptr;

  Engine() {
    attachThreadLane();
    ScriptMgr::setStateSetup(registerQXGlobals);
    state = scripts.createState();
    policy = new LVPolicyHdl(state);
    L = policy->lock();
    registerClassDesc(LuaClassDesc::forType<Small>("BenchSmall"));
  }
};

Engine& engine() {
  static Engine* e = new Engine();
  return *e;
}

void runChunk(lua_State* L, const char* code) {
  if (luaL_dostring(L, code) != 0) lua_pop(L, 1);
}

void BM_StrongPushAndRelease(benchmark::State& st) {
  Engine& e = engine();
  auto h = e.smalls.create().handle;
  for (auto _ : st) {
    e.smalls.pushStrong(e.L, h.value, 0);
    lua_getglobal(e.L, "QX_Release");
    lua_insert(e.L, -2);
    lua_call(e.L, 1, 0);
  }
  lua_gc(e.L, LUA_GCCOLLECT, 0);
}
BENCHMARK(BM_StrongPushAndRelease);

// Calls QX.<name>('1', '2') a thousand times a round from a script loop.
void callQXInALoop(benchmark::State& st, const char* name) {
  Engine& e = engine();
  std::string code = std::string("function bench_loop(n) local f = QX.") + name +
                     " for i = 1, n do f('1', '2') end end";
  runChunk(e.L, code.c_str());
  for (auto _ : st) {
    lua_getglobal(e.L, "bench_loop");
    lua_pushinteger(e.L, 1000);
    lua_call(e.L, 1, 0);
  }
  st.SetItemsProcessed(st.iterations() * 1000);
}

void BM_DispatchedQXCall(benchmark::State& st) { callQXInALoop(st, "Cmp64Num"); }
BENCHMARK(BM_DispatchedQXCall);

void BM_PlainQXCall(benchmark::State& st) { callQXInALoop(st, "IsLightData"); }
BENCHMARK(BM_PlainQXCall);

void BM_MemItemByName(benchmark::State& st) {
  Engine& e = engine();
  for (auto _ : st) {
    auto h = e.mem.createByName("BenchSmall");
    benchmark::DoNotOptimize(h.value);
  }
}
BENCHMARK(BM_MemItemByName);

}  // namespace
