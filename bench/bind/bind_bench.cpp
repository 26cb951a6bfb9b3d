// What the binding and the message queue cost: bound-method and field calls from Lua,
// and game-object messages posted from four threads and delivered to recvmsg.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "bench/support/script_engine.h"
#include "script/bind/bind_class.h"
#include "script/gobj/gobj_bind.h"
#include "script/lua/stack_readers.h"

namespace {

struct Meter {
  float value = 0;
  int32_t ticks = 0;
  void set(float v) { value = v; }
  int32_t add(int32_t a, int32_t b) const { return a + b; }
};

void registerMeter(qxbind::ClassTable& t) {
  t.method<&Meter::set>("set").method<&Meter::add>("add").field<&Meter::ticks>("ticks");
}

// One engine for the whole run, its state locked and current on this thread.
struct Engine : qxbench::ScriptEngine {
  lua_State* L;

  Engine() : ScriptEngine("require('QXL') require('QXGobj')\n") {
    qxbind::bindClass(state, gobjBinding());
    qxbind::bindClass(state, qxbind::objectBinding(qxbind::objectClass<Meter>("Meter", &registerMeter)));
    L = lock();
  }
};

Engine& engine() {
  static Engine* e = new Engine();
  return *e;
}

void runChunk(lua_State* L, const char* code) {
  if (luaL_dostring(L, code) != 0) lua_pop(L, 1);
}

void callLoop(benchmark::State& st, const char* fn, int n) {
  Engine& e = engine();
  for (auto _ : st) {
    lua_getglobal(e.L, fn);
    lua_pushinteger(e.L, n);
    lua_call(e.L, 1, 0);
  }
  st.SetItemsProcessed(st.iterations() * n);
}

void BM_BoundMethodCall(benchmark::State& st) {
  runChunk(engine().L, "bench_m = Meter.new() function bench_method(n) local m = bench_m "
                       "for i = 1, n do m:add(i, 1) end end");
  callLoop(st, "bench_method", 1000);
}
BENCHMARK(BM_BoundMethodCall);

void BM_BoundSetterReturningSelf(benchmark::State& st) {
  runChunk(engine().L, "bench_s = Meter.new() function bench_setter(n) local m = bench_s "
                       "for i = 1, n do m:set(i) end end");
  callLoop(st, "bench_setter", 1000);
}
BENCHMARK(BM_BoundSetterReturningSelf);

void BM_FieldReadThroughScriptObject(benchmark::State& st) {
  runChunk(engine().L, "bench_g = QXL.attach_gobj(setmetatable({}, QXL.gobj_class()), 0) "
                       "function bench_field(n) local g = bench_g local s = 0 "
                       "for i = 1, n do s = s + g._upd_level end end");
  callLoop(st, "bench_field", 1000);
}
BENCHMARK(BM_FieldReadThroughScriptObject);

// Four threads each post their share of messages (a name and two values) to one game
// object; the main thread then delivers them to its recvmsg. Items: messages delivered.
void BM_PostFromFourThreadsAndDeliver(benchmark::State& st) {
  Engine& e = engine();
  runChunk(e.L, "bench_rx = QXL.gobj_class() bench_got = 0 "
                "function bench_rx:recvmsg(_, name, a, b) bench_got = bench_got + 1 end "
                "bench_obj = bench_rx.new(0)");
  lua_getglobal(e.L, "bench_obj");
  const uint32_t target = getHandleAt(e.L, -1);
  lua_pop(e.L, 1);
  const int perThread = static_cast<int>(st.range(0));
  for (auto _ : st) {
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
      posters.emplace_back([target, perThread] {
        for (int i = 0; i < perThread; ++i) {
          LuaVar id;
          id.setInt(i);
          GobjMgr::instance()->postMsg2(target, "rest_home_tl", std::move(id), LuaVar("payload"));
        }
      });
    }
    for (std::thread& t : posters) t.join();
    GobjMgr::instance()->deliverMsgs();
  }
  st.SetItemsProcessed(st.iterations() * perThread * 4);
}
BENCHMARK(BM_PostFromFourThreadsAndDeliver)->Arg(250)->UseRealTime();

}  // namespace
