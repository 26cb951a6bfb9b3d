// The effect manager: effects by name, once per name, and files that do not build.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "render/effect/effect_mgr.h"
#include "runtime/fs/files.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"
#include "tests/gfx/rec_fixture.h"

namespace {

// Read sources holding a few files in memory, counting whole reads.
class MemSources : public ResFileSources, public qx::IFiles {
 public:
  MemSources() { ResRegistry::instance().attachFileSources(this); }
  ~MemSources() override { ResRegistry::instance().attachFileSources(nullptr); }

  std::map<std::u16string, std::string> files;
  int reads = 0;

  qx::IFiles* findFile(const std::u16string& name) override { return files.count(name) ? this : nullptr; }
  std::unique_ptr<qx::ibitstream> openRead(std::u16string_view) override { return nullptr; }
  FileData readWhole(std::u16string_view name, uint32_t) override {
    ++reads;
    auto it = files.find(std::u16string(name));
    if (it == files.end()) return {};
    auto* bytes = new uint8_t[it->second.size() + 1];
    std::memcpy(bytes, it->second.data(), it->second.size());
    return FileData(bytes, uint32_t(it->second.size()), true);
  }
  int32_t size(std::u16string_view name) override {
    auto it = files.find(std::u16string(name));
    return it == files.end() ? -1 : int32_t(it->second.size());
  }
  std::unique_ptr<qx::obitstream> openWrite(std::u16string_view, bool) override { return nullptr; }
  int32_t writeWhole(std::u16string_view, bool, const void*, uint32_t) override { return -1; }
  bool create(std::u16string_view, bool) override { return false; }
};

const char* kGood = R"fx(
vertex_shader v %{ void main() { gl_Position = vec4(0.0); } %}
fragment_shader f %{ void main() { qx_Color = vec4(1.0); } %}
technique T { pass { VertexShader = v; FragmentShader = f; } pass { VertexShader = v; FragmentShader = f; } }
)fx";

class EffectMgrTest : public qxtest::RecDeviceTest {
 protected:
  void SetUp() override {
    RecDeviceTest::SetUp();
    sources.files[u"fx\\good.fx"] = kGood;
    sources.files[u"broken.fx"] = "technique T { pass { ZEnable = sometimes; } }";
    effects.setLog([this](std::string_view m) { logged.emplace_back(m); });
  }
  MemSources sources;
  EffectMgr effects;
  std::vector<std::string> logged;
};

TEST_F(EffectMgrTest, OneEffectPerNameInAnyLetterCase) {
  auto a = effects.create(u"FX\\Good.FX");
  ASSERT_TRUE(a.isValid());
  auto b = effects.create(u"fx\\GOOD.fx");
  EXPECT_EQ(a.value, b.value);
  EXPECT_EQ(sources.reads, 1);
  EXPECT_EQ(effects.refCount(a.value), 2u);
  kesto::HdlLock<EffectMgr::FxHandle> lock(a);
  ASSERT_TRUE(lock.data());
  EXPECT_EQ(lock->set_tech("T"), 2);
  EXPECT_EQ(lock->passState(), FxData::kNotBegun);
  EXPECT_STREQ(effects.dataTypeName(), "FxData");
}

TEST_F(EffectMgrTest, AFileThatDoesNotBuildGivesNullAndIsLogged) {
  auto h = effects.create(u"broken.fx");
  EXPECT_FALSE(h.isValid());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("broken.fx(1)"), std::string::npos) << logged[0];
  EXPECT_EQ(effects.nameCount(), 0u) << "no name stays behind";
  EXPECT_FALSE(effects.create(u"missing.fx").isValid());
  sources.files[u"huge.fx"] = std::string((2u << 20), ' ');
  const int readsBefore = sources.reads;
  EXPECT_FALSE(effects.create(u"huge.fx").isValid());
  EXPECT_EQ(sources.reads, readsBefore) << "too large to read at all";
  EXPECT_EQ(logged.back(), "huge.fx: larger than 1 MiB");
  EXPECT_FALSE(effects.create(u"").isValid()) << "an effect needs a file";
}

}  // namespace
