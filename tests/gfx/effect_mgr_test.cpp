// The effect manager: effects by name, once per name, and files that do not build.
#include <gtest/gtest.h>

#include "render/effect/effect_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "tests/gfx/rec_fixture.h"
#include "tests/texture/texture_fixture.h"

namespace {

const char* kGood = R"fx(
vertex_shader v %{ void main() { gl_Position = vec4(0.0); } %}
fragment_shader f %{ void main() { qx_Color = vec4(1.0); } %}
technique T { pass { VertexShader = v; FragmentShader = f; } pass { VertexShader = v; FragmentShader = f; } }
)fx";

class EffectMgrTest : public qxtest::RecDeviceTest {
 protected:
  void SetUp() override {
    RecDeviceTest::SetUp();
    files.put("good.fx", kGood);
    files.put("broken.fx", "technique T { pass { ZEnable = sometimes; } }");
    effects.setLog([this](std::string_view m) { logged.emplace_back(m); });
  }
  textest::FolderSources files;
  EffectMgr effects;
  std::vector<std::string> logged;
};

TEST_F(EffectMgrTest, FilesThatDoNotBuildGiveNullAndGoodOnesLoadOncePerName) {
  auto h = effects.create(u"broken.fx");
  EXPECT_FALSE(h.isValid());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("broken.fx(1)"), std::string::npos) << logged[0];
  EXPECT_EQ(effects.nameCount(), 0u) << "no name stays behind";
  EXPECT_FALSE(effects.create(u"missing.fx").isValid());
  EXPECT_EQ(logged.back(), "missing.fx: no effect file of that name in the mounted sources");
  files.put("huge.fx", std::string((2u << 20), ' '));
  EXPECT_FALSE(effects.create(u"huge.fx").isValid());
  EXPECT_EQ(logged.back(), "huge.fx: larger than 1 MiB");
  EXPECT_FALSE(effects.create(u"").isValid()) << "an effect needs a file";

  auto a = effects.create(u"Good.FX");
  ASSERT_TRUE(a.isValid());
  auto b = effects.create(u"GOOD.fx");
  EXPECT_EQ(a.value, b.value);
  EXPECT_EQ(effects.refCount(a.value), 2u);
  kesto::HdlLock<EffectMgr::FxHandle> lock(a);
  ASSERT_TRUE(lock.data());
  EXPECT_EQ(lock->set_tech("T"), 2);
  EXPECT_EQ(lock->passState(), FxData::kNotBegun);
}

}  // namespace
