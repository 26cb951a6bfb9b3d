// A reply's body as recvmsg's argument: the main thread's share of delivering it (pushing
// the value into Lua, the call, freeing the value) for form and JSON bodies of n values,
// beside a bare Lua C-API loop that builds the same table in the same state. The value
// cap (replycost::kMaxScriptValues, 100 000) keeps the largest admitted reply's delivery
// (the costliest shape is a form: a new string key and a string value a pair) within
// about 100 ms of one frame: "ours_ms" of the 100000 rows. A table grows superlinearly
// in Lua itself (its string table and caches), the bare loop as much as the delivery.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/support/script_engine.h"
#include "net/http/http_body.h"
#include "net/http/reply_cost.h"
#include "net/values/body_values.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
#include "script/lua/gc_pause.h"
#include "script/qx/hdl_udata.h"

namespace {

enum Shape { kForm, kJsonObject, kJsonArray, kJsonRecords };
const char* const kShapeNames[] = {"form", "json object", "json array", "json records"};

std::string keyOf(int64_t i) { return "k" + std::to_string(1000000 + i); }

// n values of one shape as body text, with its content type.
std::string bodyText(Shape shape, int64_t n, std::string& type) {
  std::string t;
  t.reserve(static_cast<size_t>(n) * 12 + 2);
  if (shape == kForm) {
    type = "application/x-www-form-urlencoded";
    for (int64_t i = 0; i < n; ++i) t += (i ? "&" : "") + keyOf(i) + "=v";
    return t;
  }
  type = "application/json";
  if (shape == kJsonRecords) {  // a table a value: [{"k":1},{"k":1},...], two values a record
    t = "[";
    for (int64_t i = 0; 2 * i + 1 < n; ++i) t += i ? ",{\"k\":1}" : "{\"k\":1}";
    return t + "]";
  }
  // The container is a value too: n - 1 members or elements.
  t = shape == kJsonObject ? "{" : "[";
  for (int64_t i = 0; i + 1 < n; ++i) t += (i ? "," : "") + (shape == kJsonObject ? "\"" + keyOf(i) + "\":1" : "1");
  return t + (shape == kJsonObject ? "}" : "]");
}

struct Bench : qxbench::ScriptEngine {
  lua_State* L = nullptr;
  uint32_t target = 0;

  Bench() : ScriptEngine("require('QXL') require('QXGobj')\n") {
    qxbind::BindOrder order;
    order.provide(gobjBinding());
    order.run(state);
    L = lock();
    if (luaL_dostring(L, "local R = QXL.gobj_class() function R:recvmsg(_, name, result, id, v) got = v end "
                         "bench_obj = R.new(0) return bench_obj.udata") != 0) {
      std::fprintf(stderr, "reply values bench: %s\n", lua_tostring(L, -1));
      return;
    }
    target = readHandleArg(L, -1);
    lua_settop(L, 0);
  }

  static uint32_t readHandleArg(lua_State* L, int index) {
    const HdlRef* ref = toHdlRef(L, index);
    return ref ? ref->handle : 0;
  }
};

Bench& bench() {
  static Bench* b = new Bench();
  return *b;
}

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// What a reply's worker hands over: the body parsed and taken as a script value.
LuaVar replyValue(const std::string& text, const std::string& type) {
  LuaVar v;
  std::unique_ptr<HTTPBody> body = makeBody(type, text.data(), text.size());
  if (body) takeScriptValue(*body, v);
  return v;
}

// The same table built with the bare C API, then dropped; with the collector paused as
// the delivery pauses it (running, its cycles would cost far more than the table).
void bareTable(lua_State* L, Shape shape, int64_t n) {
  GcPause pause(L);
  const int members = static_cast<int>(shape == kForm ? n : shape == kJsonRecords ? (n - 1) / 2 : n - 1);
  const bool array = shape == kJsonArray || shape == kJsonRecords;
  lua_createtable(L, array ? members : 0, array ? 0 : members);
  for (int i = 0; i < members; ++i) {
    if (shape == kJsonRecords) {
      lua_createtable(L, 0, 1);
      lua_pushinteger(L, 1);
      lua_setfield(L, -2, "k");
      lua_rawseti(L, -2, i + 1);
      continue;
    }
    if (shape == kJsonArray) {
      lua_pushinteger(L, 1);
      lua_rawseti(L, -2, i + 1);
      continue;
    }
    const std::string key = keyOf(i);
    lua_pushlstring(L, key.data(), key.size());
    if (shape == kForm) {
      lua_pushlstring(L, "v", 1);
    } else {
      lua_pushinteger(L, 1);
    }
    lua_rawset(L, -3);
  }
  lua_setglobal(L, "got");
}

void BM_ReplyToRecvmsgBesideBareTable(benchmark::State& st) {
  Bench& b = bench();
  const auto shape = static_cast<Shape>(st.range(0));
  const int64_t n = st.range(1);
  std::string type;
  const std::string text = bodyText(shape, n, type);
  double ours = 0, bare = 0;
  for (auto _ : st) {
    LuaVar values[3] = {LuaVar("succeeded"), LuaVar(), replyValue(text, type)};
    lua_gc(b.L, LUA_GCCOLLECT, 0);
    auto start = std::chrono::steady_clock::now();
    GobjMgr::instance()->postMsg(b.target, "rest_home_tl", values, 3);
    GobjMgr::instance()->deliverMsgs(0);
    const double one = since(start);
    ours += one;
    st.SetIterationTime(one / 1000);
    lua_gc(b.L, LUA_GCCOLLECT, 0);
    start = std::chrono::steady_clock::now();
    bareTable(b.L, shape, n);
    bare += since(start);
  }
  const double k = static_cast<double>(st.iterations());
  st.counters["ours_ms"] = ours / k;
  st.counters["bare_ms"] = bare / k;
  st.counters["ratio"] = ours / bare;
  st.counters["ns_per_value"] = ours / k * 1e6 / static_cast<double>(n);
  std::printf("%s of %lld values: %.1f ms to recvmsg, %.1f ms bare, ratio %.2f\n", kShapeNames[shape],
              static_cast<long long>(n), ours / k, bare / k, ours / bare);
}
BENCHMARK(BM_ReplyToRecvmsgBesideBareTable)
    ->ArgsProduct({{kForm, kJsonObject, kJsonArray, kJsonRecords}, {10000, 100000, 150000, 200000, 400000}})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
