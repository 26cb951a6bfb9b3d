// EffectMgr and FxData (bound only where a device exists, so no script runner has them)
// under the same hostile arguments and selves as hostile_test.lua gives the other classes.
#include "platform/gfx/device.h"
#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"
#include "render/effect_bind/effect_bind.h"
#include "script/bind/bind_order.h"
#include "tests/bind/bind_test_support.h"

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

class EffectHostileTest : public bindtest::StateTest {
 protected:
  void SetUp() override {
    bindtest::StateTest::SetUp();
    rec = qxgfx::createRecordingDevice(16, 16);
    devices.adopt(rec);
    bindtest::putFile("bind_good.fx", R"fx(
vertex_shader v %{ void main() { gl_Position = vec4(0.0); } %}
fragment_shader f %{ void main() { qx_Color = vec4(1.0); } %}
technique T { pass { VertexShader = v; FragmentShader = f; } }
)fx");
    qxbind::BindOrder order;
    ASSERT_TRUE(order.provide(effectBinding()));
    policy_->unlock();
    EXPECT_EQ(order.run(state_), 1);
    L = policy_->lock();
  }
  void TearDown() override {
    lua_settop(L, 0);
    ASSERT_EQ(run("fx = nil collectgarbage('collect')"), "");
    bindtest::StateTest::TearDown();
    devices.release();
  }
  DeviceMgr devices;
  qxgfx::Ref<qxgfx::RecordingDevice> rec;
};

TEST_F(EffectHostileTest, EveryMemberSurvivesHostileArgumentsAndSelves) {
  ASSERT_EQ(run(kHammer), "");
  EXPECT_GT(evalNumber("hammered"), 1000);
  ASSERT_EQ(run("fx = EffectMgr:create('bind_good.fx')"), "");
  EXPECT_EQ(evalNumber("fx:set_tech('T')"), 1);
  EXPECT_TRUE(evalBool("fx:pass(1) == fx"));
}

}  // namespace
