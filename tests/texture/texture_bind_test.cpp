// What scripts see of textures, materials and cameras (bind steps 6, 11 and 13).
#include <stb_image_write.h>

#include "render/camera/cam_mgr.h"
#include "render/camera_bind/camera_bind.h"
#include "render/material/mtl_mgr.h"
#include "render/material_bind/material_bind.h"
#include "render/texture/texture_mgr.h"
#include "render/texture_bind/texture_bind.h"
#include "script/bind/bind_order.h"
#include "tests/bind/bind_test_support.h"
#include "tests/support/lua_hostile_args.h"

namespace {

const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& c) {
  c.provide(kesto::ManagerKind::material, [] { return std::make_unique<MtlMgr>(); });
  c.provide(kesto::ManagerKind::texture, [] { return std::make_unique<TextureMgr>(); });
  c.provide(kesto::ManagerKind::camera, [] { return std::make_unique<CamMgr>(); });
}));

class RenderBindTest : public bindtest::StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    std::string png;
    const uint8_t px[4 * 6 * 4] = {};
    stbi_write_png_to_func([](void* c, void* d, int n) { static_cast<std::string*>(c)->append(static_cast<char*>(d), n); },
                           &png, 6, 4, 4, px, 24);
    bindtest::putFile("sheet.png", png);
    bindtest::putFile("sheet.desc", R"([{"name": "run", "width": 6, "nwidth": 2, "frame": 4}, {"name": "idle"}])");
    bindtest::putFile("stone.mtl", R"({"shine": 0.5})");
    qxbind::BindOrder order;
    ASSERT_TRUE(order.provide(materialBinding()));
    ASSERT_TRUE(order.provide(cameraBinding()));
    ASSERT_TRUE(order.provide(textureBinding()));
    policy_->unlock();
    EXPECT_EQ(order.run(state_), 3);
    L = policy_->lock();
  }
  void TearDown() override {
    lua_settop(L, 0);
    ASSERT_EQ(run("t, t2, m, cam = nil collectgarbage('collect')"), "");
    StateTest::TearDown();
  }
};

TEST_F(RenderBindTest, TexturesAndTheirSpriteDescriptions) {
  EXPECT_TRUE(evalBool("QXMGRMT[3] == TexData and TextureMgr.fvt_b.load == false and TexData.fvt_b.width == true"));
  ASSERT_EQ(run("t = TextureMgr:load('Sheet.PNG', 0, 1)"), "");
  EXPECT_TRUE(evalBool("getmetatable(t) == TexData.mt"));
  EXPECT_EQ(evalNumber("t.width * 100 + t.height"), 604);
  EXPECT_EQ(run("t.width = 99"), "");
  EXPECT_EQ(evalNumber("t.width"), 99);
  EXPECT_EQ(evalString("table.concat(t:get_desclist(), ',')"), "run,idle");
  EXPECT_EQ(evalString("table.concat({t:get_desc_index(0)}, ',')"), "3,4,4");
  EXPECT_EQ(evalString("table.concat({t:get_desc_index(1)}, ',')"), "6,4,1");
  EXPECT_EQ(evalString("table.concat({t:get_desc_index(2)}, ',')"), "0,0,0");
  EXPECT_EQ(evalString("table.concat({t:get_desc_name('idle')}, ',')"), "6,4,1");
  EXPECT_EQ(evalString("table.concat({t:get_desc_name('IDLE')}, ',')"), "0,0,0");
  // The generic creation path finds the same texture.
  EXPECT_TRUE(evalBool("QX.createRes('sheet.png') == t or QX.HdlInfo(QX.createRes('sheet.png')).index == QX.HdlInfo(t).index"));
  // No write target: nothing is written, the class comes back for chaining.
  EXPECT_TRUE(evalBool("TextureMgr:saveAsFile(t, 'out.png') == TextureMgr"));
  EXPECT_TRUE(evalBool("TextureMgr:saveAsFile(nil, 'out.png') == TextureMgr"));
  // No device: no render target.
  EXPECT_TRUE(evalBool("TextureMgr:create_blank(4, 21) == nil"));
  EXPECT_TRUE(evalBool("TextureMgr:load('none.png', 0, 1) == nil"));
}

TEST_F(RenderBindTest, MaterialsAndCameras) {
  EXPECT_TRUE(evalBool("QXMGRMT[2] == MtlData and QXMGRMT[8] == CamData"));
  ASSERT_EQ(run("m = QX.createRes('stone.mtl')"), "");
  EXPECT_EQ(evalString("QX.HdlInfo(m).name"), "MtlData");

  ASSERT_EQ(run("cam = CamMgr:create(QXL.vec3.new(0, 0, -5), QXL.vec3.new(0, 0, 5), 1, 100)"), "");
  EXPECT_TRUE(evalBool("getmetatable(cam) == CamData.mt"));
  EXPECT_EQ(evalNumber("cam:get_pos()[3]"), -5);
  EXPECT_EQ(evalNumber("cam:vp2wp(0, 0, 0)[3]"), -4);
  EXPECT_TRUE(evalBool("cam:set_roll(0.5) == cam"));
  EXPECT_NEAR(evalNumber("cam:get_up()[1]"), std::sin(0.5), 1e-5);
  ASSERT_EQ(run("cam:set_rotation(QXL.quat.new(0, 0, 0, 1)):move_fwd3d(2)"), "");
  EXPECT_EQ(evalNumber("cam:get_pos()[3]"), -3);
  EXPECT_EQ(evalNumber("cam:get_dir()[3]"), 1);
  // A fresh camera aimed along +X moves along +X with nothing read in between.
  ASSERT_EQ(run("c2 = CamMgr:create(QXL.vec3.new(0, 0, 0), QXL.vec3.new(10, 0, 0), 1, 100):move_fwd3d(5)"), "");
  EXPECT_NEAR(evalNumber("c2:get_pos()[1]"), 5, 1e-5);
  EXPECT_NEAR(evalNumber("c2:get_pos()[3]"), 0, 1e-5);
}

// Every member of the three pairs under wrong, huge, broken and dead arguments and selves.
TEST_F(RenderBindTest, EveryMemberSurvivesHostileArgumentsAndSelves) {
  const std::string selves = R"({
    TextureMgr = function() return TextureMgr end, MtlMgr = function() return MtlMgr end,
    CamMgr = function() return CamMgr end,
    TexData = function() return TextureMgr:load("sheet.png", 0, 1) end,
    MtlData = function() return QX.createRes("stone.mtl") end,
    CamData = function() return CamMgr:create(QXL.vec3.new(0, 0, 0), QXL.vec3.new(0, 0, 1), 1, 10) end })";
  ASSERT_EQ(run(luahostile::script(selves, "CamMgr:create(QXL.vec3.new(0, 0, 0), QXL.vec3.new(0, 0, 1), 1, 10)",
                                   "12, 'sheet.png', '@x.png', QXL.vec3.new(0 / 0, 1 / 0, 0), QXL.quat.new(0, 0, 0, 0)")),
            "");
  EXPECT_GT(evalNumber("hostile_calls"), 1000);
  ASSERT_EQ(run("t = TextureMgr:load('sheet.png', 0, 1)"), "");
  EXPECT_EQ(evalNumber("t.height"), 4);
}

}  // namespace
