// LuaVar to and from Lua: conversions, vectors through the script's constructors, JSON,
// hostile tables and values built on another thread.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>

#include "lua_test_support.h"
#include "platform/core/utf.h"
#include "runtime/json/json.h"
#include "script/lua/lstk_ref.h"
#include "script/lua/lua_var.h"
#include "script/lua/lua_var_json.h"

namespace {

using luatest::Locked;
using luatest::run;

// The vector constructors the engine calls; vectors carry their own "dim".
const char* kQXL = R"(
QXL = { vec3 = {}, vec4 = {} }
function QXL.vec3.new(x, y, z) return { x, y, z, dim = 3, tag = "v3" } end
function QXL.vec4.new(x, y, z, w) return { x, y, z, w, dim = 4, tag = "v4" } end
)";

class LuaVarLua : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = ScriptMgr::instance()->createState();
    ASSERT_TRUE(state_.value);
    lock_ = std::make_unique<Locked>(state_);
    L = lock_->L();
    ASSERT_EQ(run(L, kQXL), "");
  }
  void TearDown() override { lock_.reset(); }

  // Converts the global g into a LuaVar.
  LuaVar global(const char* g) {
    lua_getglobal(L, g);
    LuaVar v;
    LuaVar::fromLua(L, -1, v);
    lua_pop(L, 1);
    return v;
  }

  ScriptHdl state_;
  std::unique_ptr<Locked> lock_;
  lua_State* L = nullptr;
};

TEST_F(LuaVarLua, ScalarsCrossBothWays) {
  ASSERT_EQ(run(L, "b = true n = 2.5 s = 'hi' big = 16777217"), "");
  EXPECT_EQ(global("b").kind(), LuaVar::kBool);
  EXPECT_TRUE(global("b").asBool());
  LuaVar n = global("n");
  EXPECT_EQ(n.kind(), LuaVar::kNumber);  // numbers from Lua never become integers
  EXPECT_FLOAT_EQ(n.asFloat(), 2.5f);
  EXPECT_STREQ(global("s").asCStr(), "hi");
  // A number keeps the script's double (ids and colours beyond 2^24); float users narrow.
  LuaVar big = global("big");
  EXPECT_EQ(big.asNumber(), 16777217.0);
  EXPECT_EQ(big.asInt(), 16777217);
  big.push(L);
  EXPECT_EQ(lua_tonumber(L, -1), 16777217.0);
  lua_pop(L, 1);
  LuaVar huge;
  huge.setNumber(1e300);
  EXPECT_EQ(huge.asFloat(), std::numeric_limits<float>::infinity());
  huge.setNumber(-1e300);
  EXPECT_EQ(huge.asFloat(), -std::numeric_limits<float>::infinity());
  huge.setNumber(std::numeric_limits<float>::max());  // the largest float is no overflow
  EXPECT_EQ(huge.asFloat(), std::numeric_limits<float>::max());

  LuaVar i;
  i.setInt(16777217);  // integers are pushed without rounding
  i.push(L);
  EXPECT_EQ(lua_tointeger(L, -1), 16777217);
  lua_pop(L, 1);
}

TEST_F(LuaVarLua, StringsAreCutAtNulOnTheWayInButPushedWhole) {
  ASSERT_EQ(run(L, "s = 'ab\\0cd'"), "");
  EXPECT_EQ(*global("s").asString(), "ab");
  LuaVar whole(std::string("ab\0cd", 5));
  whole.push(L);
  size_t n = 0;
  lua_tolstring(L, -1, &n);
  EXPECT_EQ(n, 5u);
  lua_pop(L, 1);
}

TEST_F(LuaVarLua, VectorsCrossThroughTheScriptConstructors) {
  ASSERT_EQ(run(L, "v = { 1, 2, 5, dim = 3 }"), "");
  int top = lua_gettop(L);
  LuaVar v = global("v");
  ASSERT_EQ(v.kind(), LuaVar::kVec3);
  EXPECT_FLOAT_EQ(v.component(0), 1);
  EXPECT_FLOAT_EQ(v.component(2), 5);
  EXPECT_EQ(v.push(L), 1);
  lua_getfield(L, -1, "tag");
  EXPECT_STREQ(lua_tostring(L, -1), "v3");
  lua_pop(L, 2);

  float c[4] = {1, 2, 3, 4};
  LuaVar w;
  w.setVec(4, c);
  w.push(L);
  lua_rawgeti(L, -1, 4);
  EXPECT_EQ(lua_tonumber(L, -1), 4);
  lua_pop(L, 2);
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(LuaVarLua, AVectorWithoutItsConstructorPushesNil) {
  ASSERT_EQ(run(L, "QXL = nil"), "");
  float c[3] = {1, 2, 3};
  LuaVar v;
  v.setVec(3, c);
  int top = lua_gettop(L);
  EXPECT_EQ(v.push(L), 1);
  EXPECT_TRUE(lua_isnil(L, -1));
  lua_settop(L, top);
}

TEST_F(LuaVarLua, AVectorWhoseConstructorLookupRaisesPushesNil) {
  ASSERT_EQ(run(L, "QXL = setmetatable({}, { __index = function(t, k) error('strict ' .. k) end })"), "");
  float c[3] = {1, 2, 3};
  LuaVar v;
  v.setVec(3, c);
  int top = lua_gettop(L);
  EXPECT_EQ(v.push(L), 1);  // outside every protected call
  EXPECT_TRUE(lua_isnil(L, -1));
  lua_settop(L, top);
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
  ASSERT_EQ(run(L, R"(
    t = { "the table" }
    local co = coroutine.create(function(a, b) capture(a, b) end)
    assert(coroutine.resume(co, "first", t))
  )"),
            "");
  ScriptMgr::instance()->exchangeThreadEntry(previous);
  gCaptured = nullptr;
  ASSERT_EQ(captured.kind(), LuaVar::kRef);
  EXPECT_EQ(captured.ref()->type(), LUA_TTABLE);
  ASSERT_TRUE(captured.ref()->push());
  lua_getglobal(L, "t");
  EXPECT_TRUE(lua_rawequal(L, -1, -2));
  lua_pop(L, 2);
}

TEST_F(LuaVarLua, TablesWithoutAVectorDimAreThePinnedTable) {
  ASSERT_EQ(run(L, "t = { 1, 2 } five = { 1, 2, 3, 4, 5, dim = 5 }"), "");
  int top = lua_gettop(L);
  LuaVar t = global("t");
  EXPECT_EQ(t.kind(), LuaVar::kRef);
  EXPECT_EQ(global("five").kind(), LuaVar::kRef);
  EXPECT_EQ(lua_gettop(L), top);
  // The pinned table is the same Lua table.
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

TEST_F(LuaVarLua, HostileMetatablesNeverEscape) {
  ASSERT_EQ(run(L, R"(
    bad = setmetatable({}, { __index = function() error("boom") end })
    liar = setmetatable({}, { __index = function(t, k) if k == "dim" then return 3 end error("no " .. k) end })
  )"),
            "");
  int top = lua_gettop(L);
  EXPECT_EQ(global("bad").kind(), LuaVar::kRef);
  EXPECT_EQ(global("liar").kind(), LuaVar::kRef);  // its components could not be read
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(LuaVarLua, ReadTableIntoMapKeepsFloatKeysBeforeStrings) {
  ASSERT_EQ(run(L, "t = { 10, 20, name = 'x' }"), "");
  lua_getglobal(L, "t");
  LuaVarTable map;
  readTableIntoMap(L, -1, map);
  lua_pop(L, 1);
  ASSERT_EQ(map.size(), 3u);
  auto it = map.begin();
  EXPECT_EQ(it->first.kind(), LuaVar::kNumber);
  EXPECT_FLOAT_EQ(it->first.asFloat(), 1.0f);
  EXPECT_FLOAT_EQ(it->second.asFloat(), 10.0f);
  ++it;
  EXPECT_FLOAT_EQ(it->first.asFloat(), 2.0f);
  ++it;
  EXPECT_STREQ(it->first.asCStr(), "name");
}

TEST_F(LuaVarLua, ReadTableIntoMapHandlesKeysAFloatCannotHold) {
  // 2^24 + 1 rounds as a float; the original key still drives "next".
  ASSERT_EQ(run(L, "t = { [16777217] = 'a', [16777219] = 'b', [0.1] = 'c' }"), "");
  lua_getglobal(L, "t");
  int top = lua_gettop(L);
  LuaVarTable map;
  readTableIntoMap(L, -1, map);
  EXPECT_EQ(lua_gettop(L), top);
  lua_pop(L, 1);
  EXPECT_EQ(map.size(), 3u);
}

TEST_F(LuaVarLua, AReplacedNextThatFailsEndsTheReadCleanly) {
  ASSERT_EQ(run(L, "t = { 1, 2 } next = function() error('no') end"), "");
  lua_getglobal(L, "t");
  int top = lua_gettop(L);
  LuaVarTable map;
  readTableIntoMap(L, -1, map);
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(lua_gettop(L), top);
  lua_pop(L, 1);
}

TEST_F(LuaVarLua, TablesPushPairsAndSkipThoseThatPushNothing) {
  LuaVar v;
  v.field("a") = LuaVar("x");
  v.field("gone").setEmpty();
  LuaVar emptyKey;
  emptyKey.setEmpty();
  (*v.table())[emptyKey] = LuaVar("lost");
  v.field("z").setInt(3);
  ASSERT_EQ(v.push(L), 1);
  lua_setglobal(L, "pushed");
  ASSERT_EQ(run(L, R"(
    local n = 0
    for k, val in pairs(pushed) do n = n + 1 end
    assert(n == 2, "pairs: " .. n)
    assert(pushed.a == "x" and pushed.z == 3)
  )"),
            "");
}

TEST_F(LuaVarLua, BytesPushAsUserdataAndReadBack) {
  uint8_t raw[4] = {1, 0, 2, 0};
  LuaVar b;
  b.fromBytes(raw, 4);
  b.push(L);
  EXPECT_EQ(lua_type(L, -1), LUA_TUSERDATA);
  EXPECT_EQ(lua_objlen(L, -1), 4u);
  LuaVar back;
  LuaVar::assignTop(L, back);
  lua_pop(L, 1);
  ASSERT_EQ(back.kind(), LuaVar::kBytes);
  EXPECT_EQ(back.bytes()[2], 2);
}

TEST_F(LuaVarLua, ATreeBuiltOnAnotherThreadPushesCorrectly) {
  LuaVar tree;
  std::thread worker([&tree] {
    tree.field("status").setInt(200);
    LuaVar& list = tree.field("items");
    for (int i = 1; i <= 3; ++i) list.item(i).field("text") = LuaVar("item " + std::to_string(i));
    float c[3] = {1, 2, 3};
    tree.field("pos").setVec(3, c);
  });
  worker.join();
  ASSERT_EQ(tree.push(L), 1);
  lua_setglobal(L, "resp");
  EXPECT_EQ(run(L, R"(
    assert(resp.status == 200)
    assert(#resp.items == 3 and resp.items[3].text == "item 3")
    assert(resp.pos.tag == "v3" and resp.pos[2] == 2)
  )"),
            "");
}

TEST_F(LuaVarLua, JsonTreesPushAsTablesBothWays) {
  const char* text = R"({"id": 1234567890123, "n": 5, "neg": -1, "r": 0.25, "tenth": 0.1, "s": "a\nb",
                         "ok": true, "nothing": null, "list": [1, {"x": 2}]})";
  JSONValue doc;
  ASSERT_TRUE(jsonParse(text, doc).ok());

  LuaVar tree;
  tree.fromJSONTree(doc);
  ASSERT_TRUE(tree.isTable());
  EXPECT_STREQ(tree.field("id").asCStr(), "1234567890123");  // 64-bit ids keep every digit
  EXPECT_EQ(tree.field("n").asInt(), 5);
  EXPECT_EQ(tree.field("neg").asInt(), -1);
  EXPECT_STREQ(tree.field("s").asCStr(), "a\nb");
  EXPECT_EQ(tree.field("r").asNumber(), 0.25);
  EXPECT_EQ(tree.field("tenth").asNumber(), 0.1);  // a double, not the float nearest 0.1
  EXPECT_EQ(tree.field("list").item(2).field("x").asInt(), 2);

  LuaVar held;
  JSONValue copy(doc);
  held.takeJSON(copy);
  ASSERT_EQ(held.push(L), 1);
  lua_setglobal(L, "j");
  EXPECT_EQ(run(L, R"(
    assert(j.id == "1234567890123" and j.n == 5 and j.neg == "-1" and j.r == 0.25)
    assert(j.ok == true and j.nothing == nil and j.s == "a\nb")
    assert(j.list[1] == 1 and j.list[2].x == 2)
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
  ASSERT_EQ(held.push(L), 1);
  lua_setglobal(L, "j");
  lua_pushstring(L, pad.c_str());
  lua_setglobal(L, "pad");
  lua_pushstring(L, (pad + qcore::utf16ToUtf8(qcore::utf8ToUtf16("\xC0\x80"))).c_str());
  lua_setglobal(L, "badkey");
  EXPECT_EQ(run(L, R"(
    assert(j.plain == pad and j.kA == pad .. "\n")
    assert(j.bad == pad .. "\239\191\189", j.bad)
    assert(j[badkey] == 1 and not badkey:find("\192"))
    assert(j.jp == pad .. "\230\151\165")
  )"),
            "");
}

TEST_F(LuaVarLua, AHundredThousandDeepJsonArrayDoesNotCrash) {
  std::string text(100000, '[');
  text.append(100000, ']');
  JSONValue doc;
  EXPECT_FALSE(jsonParse(text, doc).ok());  // the reader refuses the depth
  LuaVar v;
  v.fromJSONTree(doc);
  int top = lua_gettop(L);
  v.push(L);
  lua_settop(L, top);

  // A tree built by hand just as deep is cut at the push depth limit.
  LuaVar deep;
  LuaVar* at = &deep;
  for (int i = 0; i < 100000; ++i) at = &at->item(1);
  *at = LuaVar("bottom");
  ASSERT_EQ(deep.push(L), 1);
  lua_setglobal(L, "deep");
  EXPECT_EQ(run(L, R"(
    local d, t = 0, deep
    while type(t) == "table" do t = t[1]; d = d + 1 end
    assert(t == nil and d > 100 and d <= 600, "depth " .. d)
  )"),
            "");
}

}  // namespace
