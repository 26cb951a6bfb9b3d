// EffectMgr and FxData (bound only where a device exists, so no script runner has them)
// under the same hostile arguments and selves as hostile_test.lua gives the other classes.
#include "tests/bind/effect_bind_fixture.h"

namespace {

const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& c) {
  c.provide(kesto::ManagerKind::effect, [] { return std::make_unique<EffectMgr>(); });
}));

constexpr const char* kHammer = R"lua(
local boom = function() error("hostile", 0) end
local hostileMt = { __index = boom, __newindex = boom, __len = boom, __tostring = boom, __eq = boom,
  __call = boom, __concat = boom }
local function battery()
  local dead = EffectMgr:create("bind_good.fx")
  local weakOfDead = QX.getWeak(dead)
  QX_Release(dead)
  local hp = newproxy(true)
  getmetatable(hp).__index = boom
  local live = EffectMgr:create("bind_good.fx")
  return { n = 32, nil, true, 0, -1, 2 ^ 31, 2 ^ 32 + 1, -2 ^ 63, 1 / 0, -1 / 0, 0 / 0, "", "a\0b",
    string.rep("\255x\0", 40000), "T", "missing", "..\\..\\x.fx", "bind_good.fx", {}, { udata = hp },
    setmetatable({}, hostileMt), boom, print, coroutine.create(boom), QXInteger(0xFFFFFFFF), hp,
    dead, weakOfDead, { udata = dead }, live, QX.getWeak(live), EffectMgr, FxData }
end
local calls = 0
local function try(f, ...) calls = calls + 1 pcall(f, ...) end
local function walk(t, out)
  for k, v in pairs(t) do
    if type(v) == "function" then out[#out + 1] = v end
    if type(v) == "table" and (k == "fvt_hdl" or k == "fvt_ptr" or k == "mt" or k == "mt_w") then walk(v, out) end
  end
  return out
end
local selves = { EffectMgr = function() return EffectMgr end,
  FxData = function() return EffectMgr:create("bind_good.fx") end }
for cname, makeSelf in pairs(selves) do
  for _, f in ipairs(walk(_G[cname], {})) do
    local b = battery()
    try(f)
    for i = 1, b.n do
      local x = b[i]
      try(f, x)
      try(f, x, x, x)
      try(f, makeSelf(), x)
      try(f, makeSelf(), x, x)
    end
    collectgarbage("collect")
  end
end
hammered = calls
)lua";

class EffectHostileTest : public bindtest::EffectStateTest {
 protected:
  int passCount() const override { return 1; }
};

TEST_F(EffectHostileTest, EveryMemberSurvivesHostileArgumentsAndSelves) {
  ASSERT_EQ(run(kHammer), "");
  EXPECT_GT(evalNumber("hammered"), 1000);
  ASSERT_EQ(run("fx = EffectMgr:create('bind_good.fx')"), "");
  EXPECT_EQ(evalNumber("fx:set_tech('T')"), 1);
  EXPECT_TRUE(evalBool("fx:pass(1) == fx"));
}

}  // namespace
