// LuaVar to and from Lua: scalars, vectors, JSON trees and hostile tables.
#include <gtest/gtest.h>

#include <string>

#include "lua_test_support.h"
#include "platform/core/utf.h"
#include "runtime/json/json.h"
#include "script/lua/lstk_ref.h"
#include "script/lua/lua_var.h"
#include "script/lua/lua_var_json.h"

namespace {

// The vector constructors the engine calls; vectors carry their own "dim".
const char* kQXL = R"(
QXL = { vec3 = {}, vec4 = {} }
function QXL.vec3.new(x, y, z) return { x, y, z, dim = 3, tag = "v3" } end
function QXL.vec4.new(x, y, z, w) return { x, y, z, w, dim = 4, tag = "v4" } end
)";

class LuaVarLua : public luatest::StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    ASSERT_EQ(run(kQXL), "");
  }

  // Converts the global g into a LuaVar.
  LuaVar global(const char* g) {
    lua_getglobal(L, g);
    LuaVar v;
    LuaVar::fromLua(L, -1, v);
    lua_pop(L, 1);
    return v;
  }
  // Pushes v as the global g; false when it pushed nothing.
  bool setGlobal(const LuaVar& v, const char* g) {
    if (v.push(L) != 1) return false;
    lua_setglobal(L, g);
    return true;
  }
};

TEST_F(LuaVarLua, ScalarsAndStringsCrossBothWays) {
  ASSERT_EQ(run("b = true n = 2.5 s = 'ab\\0cd' big = 16777217"), "");
  EXPECT_EQ(global("b").kind(), LuaVar::kBool);
  EXPECT_TRUE(global("b").asBool());
  LuaVar n = global("n");
  EXPECT_EQ(n.kind(), LuaVar::kNumber);  // numbers from Lua never become integers
  EXPECT_FLOAT_EQ(n.asFloat(), 2.5f);
  EXPECT_EQ(*global("s").asString(), "ab");  // cut at NUL on the way in
  // A number keeps the script's double (ids and colours beyond 2^24); float users narrow.
  LuaVar big = global("big");
  EXPECT_EQ(big.asNumber(), 16777217.0);
  EXPECT_EQ(big.asInt(), 16777217);

  LuaVar i;
  i.setInt(16777217);  // integers are pushed without rounding
  ASSERT_TRUE(setGlobal(big, "big2"));
  ASSERT_TRUE(setGlobal(i, "i"));
  ASSERT_TRUE(setGlobal(LuaVar(std::string("ab\0cd", 5)), "whole"));  // pushed whole
  EXPECT_EQ(run("assert(big2 == 16777217 and i == 16777217 and whole == 'ab\\0cd')"), "");
}

TEST_F(LuaVarLua, VectorsCrossThroughTheScriptConstructorsOrPushNil) {
  ASSERT_EQ(run("v = { 1, 2, 5, dim = 3 }"), "");
  int top = lua_gettop(L);
  LuaVar v = global("v");
  ASSERT_EQ(v.kind(), LuaVar::kVec3);
  EXPECT_FLOAT_EQ(v.component(0), 1);
  EXPECT_FLOAT_EQ(v.component(2), 5);
  ASSERT_TRUE(setGlobal(v, "v3"));
  float c[4] = {1, 2, 3, 4};
  LuaVar w;
  w.setVec(4, c);
  ASSERT_TRUE(setGlobal(w, "v4"));
  EXPECT_EQ(run("assert(v3.tag == 'v3' and v3[3] == 5 and v4.tag == 'v4' and v4[4] == 4)"), "");
  // Without a constructor, or when looking it up raises outside every protected call.
  for (const char* qxl :
       {"QXL = nil", "QXL = setmetatable({}, { __index = function(t, k) error('strict ' .. k) end })"}) {
    ASSERT_EQ(run(qxl), "");
    EXPECT_EQ(v.push(L), 1) << qxl;
    EXPECT_TRUE(lua_isnil(L, -1)) << qxl;
    lua_pop(L, 1);
  }
  EXPECT_EQ(lua_gettop(L), top);
}

LuaVar* gCaptured = nullptr;

TEST_F(LuaVarLua, ATableReadInsideACoroutineIsPinnedItself) {
  // A native function called from a script's coroutine reads a table argument; the
  // coroutine's stack is not the state's own.
  LuaVar captured;
  gCaptured = &captured;
  lua_pushcfunction(L, [](lua_State* co) -> int {
    LuaVar::fromLua(co, 2, *gCaptured);
    return 0;
  });
  lua_setglobal(L, "capture");
  uint32_t previous = ScriptMgr::instance()->exchangeThreadEntry(state_.value);
  ASSERT_EQ(run(R"(
    t = { "the table" }
    local co = coroutine.create(function(a, b) capture(a, b) end)
    assert(coroutine.resume(co, "first", t))
  )"),
            "");
  ScriptMgr::instance()->exchangeThreadEntry(previous);
  gCaptured = nullptr;
  ASSERT_EQ(captured.kind(), LuaVar::kRef);
  ASSERT_TRUE(captured.ref()->push());
  lua_getglobal(L, "t");
  EXPECT_TRUE(lua_rawequal(L, -1, -2));
  lua_pop(L, 2);
}

TEST_F(LuaVarLua, TablesThatAreNoVectorAreThePinnedTableEvenWhenHostile) {
  ASSERT_EQ(run(R"(
    t = { 1, 2 } five = { 1, 2, 3, 4, 5, dim = 5 }
    bad = setmetatable({}, { __index = function() error("boom") end })
    liar = setmetatable({}, { __index = function(t, k) if k == "dim" then return 3 end error("no " .. k) end })
  )"),
            "");
  int top = lua_gettop(L);
  LuaVar t = global("t");
  EXPECT_EQ(t.kind(), LuaVar::kRef);
  for (const char* g : {"five", "bad", "liar"}) EXPECT_EQ(global(g).kind(), LuaVar::kRef) << g;
  EXPECT_EQ(lua_gettop(L), top);
  ASSERT_TRUE(t.ref()->push());
  lua_getglobal(L, "t");
  EXPECT_TRUE(lua_rawequal(L, -1, -2));
  lua_pop(L, 2);
  // Empty, vec2 and pinned values push nothing.
  LuaVar e, v2;
  e.setEmpty();
  float c[2] = {1, 2};
  v2.setVec(2, c);
  EXPECT_EQ(e.push(L), 0);
  EXPECT_EQ(v2.push(L), 0);
  EXPECT_EQ(t.push(L), 0);
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(LuaVarLua, ReadTableIntoMapKeepsNumberKeysFirstAndSurvivesAFailingNext) {
  // 2^24 + 1 rounds as a float; the original key still drives "next".
  ASSERT_EQ(run("t = { 10, 20, name = 'x', [16777217] = 'a', [16777219] = 'b', [0.5] = 'c' }"), "");
  lua_getglobal(L, "t");
  int top = lua_gettop(L);
  LuaVarTable map;
  readTableIntoMap(L, -1, map);
  EXPECT_EQ(lua_gettop(L), top);
  ASSERT_EQ(map.size(), 6u);
  auto it = map.begin();
  EXPECT_EQ(it->first.kind(), LuaVar::kNumber);
  EXPECT_FLOAT_EQ(it->first.asFloat(), 0.5f);
  ++it;
  EXPECT_FLOAT_EQ(it->first.asFloat(), 1.0f);
  EXPECT_FLOAT_EQ(it->second.asFloat(), 10.0f);
  EXPECT_STREQ(std::prev(map.end())->first.asCStr(), "name");

  ASSERT_EQ(run("next = function() error('no') end"), "");
  map.clear();
  readTableIntoMap(L, -1, map);
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(lua_gettop(L), top);
  lua_pop(L, 1);
}

TEST_F(LuaVarLua, TablesAndBytesPushAndSkipPairsThatPushNothing) {
  LuaVar v;
  v.field("a") = LuaVar("x");
  v.field("gone").setEmpty();
  LuaVar emptyKey;
  emptyKey.setEmpty();
  (*v.table())[emptyKey] = LuaVar("lost");
  v.field("z").setInt(3);
  ASSERT_TRUE(setGlobal(v, "pushed"));
  ASSERT_EQ(run(R"(
    local n = 0
    for k, val in pairs(pushed) do n = n + 1 end
    assert(n == 2, "pairs: " .. n)
    assert(pushed.a == "x" and pushed.z == 3)
  )"),
            "");
  uint8_t raw[4] = {1, 0, 2, 0};
  LuaVar b;
  b.fromBytes(raw, 4);
  b.push(L);
  EXPECT_EQ(lua_type(L, -1), LUA_TUSERDATA);
  EXPECT_EQ(lua_objlen(L, -1), 4u);
  EXPECT_EQ(static_cast<const uint8_t*>(lua_touserdata(L, -1))[2], 2);
  lua_pop(L, 1);
}

TEST_F(LuaVarLua, JsonTreesPushAsTablesBothWays) {
  const char* text = R"({"id": 1234567890123, "n": 5, "neg": -1, "r": 0.25, "tenth": 0.1, "s": "a\nb",
                         "ok": true, "nothing": null, "list": [1, {"x": 2}], "edge": 16777215,
                         "past": 16777216, "zero": 0})";
  JSONValue doc;
  ASSERT_TRUE(jsonParse(text, doc).ok());

  LuaVar tree;
  tree.fromJSONTree(doc);
  EXPECT_STREQ(tree.field("id").asCStr(), "1234567890123");  // 64-bit ids keep every digit
  EXPECT_EQ(tree.field("tenth").asNumber(), 0.1);  // a double, not the float nearest 0.1
  EXPECT_EQ(tree.field("list").item(2).field("x").asInt(), 2);

  LuaVar held;
  JSONValue copy(doc);
  held.takeJSON(copy);
  ASSERT_TRUE(setGlobal(held, "j"));
  EXPECT_EQ(run(R"(
    assert(j.id == "1234567890123" and j.n == 5 and j.neg == "-1" and j.r == 0.25)
    assert(j.ok == true and j.nothing == nil and j.s == "a\nb")
    assert(j.list[1] == 1 and j.list[2].x == 2)
    -- Reals stay doubles; integers are numbers up to 0xFFFFFF and digits past it.
    assert(j.tenth == 0.1, "tenth " .. string.format("%.17g", j.tenth))
    assert(j.edge == 16777215 and j.past == "16777216" and j.zero == 0)
  )"),
            "");
}

TEST_F(LuaVarLua, JsonStringsPushDecodedWhetherPlainOrNot) {
  // Plain text is pushed from the reader's bytes; escapes and bad UTF-8 still decode,
  // in keys as in values, also past a long run of ASCII.
  const std::string pad(40, 'p');
  const std::string text = "{\"plain\": \"" + pad + "\", \"k\\u0041\": \"" + pad + "\\n\", \"bad\": \"" + pad +
                           "\xFF\", \"" + pad + "\xC0\x80\": 1, \"jp\": \"" + pad + "\xE6\x97\xA5\"}";
  JSONValue doc;
  ASSERT_TRUE(jsonParse(text, doc).ok());
  LuaVar held;
  held.takeJSON(doc);
  ASSERT_TRUE(setGlobal(held, "j"));
  ASSERT_TRUE(setGlobal(LuaVar(pad), "pad"));
  ASSERT_TRUE(setGlobal(LuaVar(pad + qcore::utf16ToUtf8(qcore::utf8ToUtf16("\xC0\x80"))), "badkey"));
  EXPECT_EQ(run(R"(
    assert(j.plain == pad and j.kA == pad .. "\n")
    assert(j.bad == pad .. "\239\191\189", j.bad)
    assert(j[badkey] == 1 and not badkey:find("\192"))
    assert(j.jp == pad .. "\230\151\165")
  )"),
            "");
}

TEST_F(LuaVarLua, AHundredThousandDeepTreeIsCutAtThePushDepthLimit) {
  LuaVar deep;
  LuaVar* at = &deep;
  for (int i = 0; i < 100000; ++i) at = &at->item(1);
  *at = LuaVar("bottom");
  ASSERT_TRUE(setGlobal(deep, "deep"));
  EXPECT_EQ(run(R"(
    local d, t = 0, deep
    while type(t) == "table" do t = t[1]; d = d + 1 end
    assert(t == nil and d > 100 and d <= 600, "depth " .. d)
  )"),
            "");
}

}  // namespace
