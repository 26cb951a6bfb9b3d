// A timeline of 200 statuses through LuaVar: converted from the JSON tree, pushed onto a
// script state, and read back into values.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "runtime/core/thread_ctx.h"
#include "runtime/json/json.h"
#include "script/lua/lstk_ref.h"
#include "script/lua/lua_var.h"
#include "script/lua/lua_var_json.h"
#include "script/lua/script_mgr.h"

namespace {

std::string timelineText() {
  std::string t = "[";
  for (int i = 0; i < 200; ++i) {
    if (i) t += ",";
    std::string id = std::to_string(1234567890123456789LL - i);
    t += R"({"id":)" + id + R"(,"id_str":")" + id + R"(","created_at":"Sun Dec 06 21:00:00 +0000 2026",)"
         R"("text":"status )" + std::to_string(i) + R"( \u3053\u3093\u306b\u3061\u306f 日本語のテキスト with a link http://t.co/abc",)"
         R"("favorited":false,"retweet_count":)" + std::to_string(i * 3) + R"(,"geo":null,)"
         R"("user":{"id":)" + std::to_string(1000 + i) + R"(,"screen_name":"user)" + std::to_string(i) +
         R"(","name":"名前 )" + std::to_string(i) + R"(","followers_count":12345,"verified":true,)"
         R"("profile_image_url":"http://a0.twimg.com/profile_images/1/normal.png"},)"
         R"("entities":{"hashtags":[{"text":"tag","indices":[1,4]}],"urls":[{"url":"http://t.co/abc","indices":[40,59]}]}})";
  }
  return t + "]";
}

struct Fixture {
  Fixture() {
    attachThreadLane();
    mgr = new ScriptMgr;
    state = mgr->createState();
    policy = std::make_unique<LVPolicyHdl>(state);
    L = policy->lock();
    std::string text = timelineText();
    jsonParse(text, doc);
    tree.fromJSONTree(doc);
  }
  ScriptMgr* mgr;
  ScriptHdl state;
  std::unique_ptr<LVPolicyHdl> policy;
  lua_State* L = nullptr;
  JSONValue doc;
  LuaVar tree;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// Reads a Lua table into a value tree, nested tables included.
void readDeep(lua_State* L, int index, LuaVar& out) {
  LuaVarTable map;
  readTableIntoMap(L, index, map);
  for (auto& [key, value] : map) {
    if (value.kind() == LuaVar::kRef && value.ref()->type() == LUA_TTABLE) {
      value.ref()->push();
      LuaVar child;
      readDeep(L, -1, child);
      lua_pop(L, 1);
      value.takeFrom(child);
    }
  }
  out.takeTable(map);
}

void BM_FromJSONTree(benchmark::State& st) {
  Fixture& f = fixture();
  for (auto _ : st) {
    LuaVar v;
    v.fromJSONTree(f.doc);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_FromJSONTree)->Unit(benchmark::kMicrosecond);

void BM_PushValueTree(benchmark::State& st) {
  Fixture& f = fixture();
  for (auto _ : st) {
    f.tree.push(f.L);
    lua_settop(f.L, 0);
  }
  lua_gc(f.L, LUA_GCCOLLECT, 0);
}
BENCHMARK(BM_PushValueTree)->Unit(benchmark::kMicrosecond);

void BM_PushJsonValue(benchmark::State& st) {
  Fixture& f = fixture();
  LuaVar held;
  JSONValue copy(f.doc);
  held.takeJSON(copy);
  for (auto _ : st) {
    held.push(f.L);
    lua_settop(f.L, 0);
  }
  lua_gc(f.L, LUA_GCCOLLECT, 0);
}
BENCHMARK(BM_PushJsonValue)->Unit(benchmark::kMicrosecond);

void BM_PushAndReadBack(benchmark::State& st) {
  Fixture& f = fixture();
  for (auto _ : st) {
    f.tree.push(f.L);
    LuaVar back;
    readDeep(f.L, -1, back);
    lua_settop(f.L, 0);
    benchmark::DoNotOptimize(back);
  }
  lua_gc(f.L, LUA_GCCOLLECT, 0);
}
BENCHMARK(BM_PushAndReadBack)->Unit(benchmark::kMicrosecond);

}  // namespace
