// Start-up and shutdown: the mounted roots, failures on the way up, and the whole program
// chain from the UI thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "program/main/engine_files.h"
#include "program/main/main_thread.h"
#include "platform/window/ui_thread.h"
#include "render/device/device_mgr.h"
#include "runtime/fs/files.h"
#include "runtime/res/stand_in_mgr.h"
#include "script/lua/lua_call_res.h"
#include "tests/main/engine_fixture.h"

namespace {

using maintest::EngineTest;

TEST_F(EngineTest, StartUpBuildsTheManagersInTheirPlacesAndMountsTheRoots) {
  std::filesystem::create_directories(root_ / "resource" / "data");
  std::ofstream(root_ / "resource" / "both.txt") << "resource";
  std::ofstream(root_ / "resource" / "script" / "both.txt") << "script";
  writeMain(R"(function main() record("start", require("helper")) end)");
  std::ofstream(root_ / "resource" / "script" / "helper.lua") << "return 'from the script folder'";
  bool checked = false;
  onScriptReady = [&](lua_State*) {
    checked = true;
    EXPECT_NE(DeviceMgr::instance(), nullptr);
    ResRegistry& reg = ResRegistry::instance();
    const char* types[] = {"SPPtr", "MemItem", "MtlData", "TexData", "RIData", "TopCUC",
                           "ColPipe", "Gobj", "CamData", "FxData", "Animation", "LuaWrap"};
    for (uint32_t id = 0; id < kesto::ManagerCatalogue::kCount; ++id) {
      ASSERT_NE(reg.managerById(id), nullptr) << id;
      EXPECT_STREQ(reg.managerById(id)->dataTypeName(), types[id]) << id;
    }
    EXPECT_EQ(ScriptMgr::instance()->id(), 11u);
    // "resource" is asked before "resource\script".
    qx::IFiles* source = reg.findFile(u"both.txt");
    ASSERT_NE(source, nullptr);
    FileData data = source->readWhole(u"both.txt", 0);
    EXPECT_EQ(std::string(data.chars(), data.size()), "resource");
  };
  EngineRunReport report = run();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(report.singletonsBuilt);
  EXPECT_EQ(records_, (std::vector<maintest::Record>{{"start", "from the script folder"}}));
  EXPECT_EQ(DeviceMgr::instance(), nullptr);
  expectEverythingEnded();
}

TEST_F(EngineTest, AnEffectMadeBeforeAnyWindowIsNilAndTheScriptCarriesOn) {
  std::filesystem::create_directories(root_ / "resource" / "effect");
  std::ifstream hud(std::string(QX_SOURCE_DIR) + "/resource/effect/hud.fx", std::ios::binary);
  std::ofstream(root_ / "resource" / "effect" / "hud.fx", std::ios::binary) << hud.rdbuf();
  ::testing::internal::CaptureStderr();
  writeMain(R"(require("QXL")
  function main()
    local fx = EffectMgr:create("effect\\hud.fx")
    record("effect", fx ~= nil and fx ~= false, fx and fx:set_tech("Textured") or -1)
  end)");
  run();
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("no device"), std::string::npos);
  auto effect = recordsOf("effect");
  ASSERT_EQ(effect.size(), 1u);
  // No window has opened, so there is no device to build the effect on: create gives nil
  // and the script carries on.
  EXPECT_EQ(effect[0], (maintest::Record{"effect", "false", "-1"}));
  expectEverythingEnded();
}

// An exception of any kind, at start-up or in the loop, is shown and shuts everything down.
struct ThrowCase {
  const char* name;
  void (*onReady)(lua_State*);
  int throwAtFrame;  // 0: none in the loop
  const char* shown[2];
};
const ThrowCase kThrowCases[] = {
    {"EngineException", [](lua_State*) { throw QXExcept{u"Start-up caption", u"start-up went wrong"}; }, 0,
     {"start-up went wrong", "Start-up caption"}},
    {"StdException", [](lua_State*) { throw std::runtime_error("out of sorts"); }, 0,
     {"engine stopped by an exception: out of sorts", ""}},
    {"AnyOtherKindInTheLoop", nullptr, 3, {"engine stopped by an exception", ""}},
};

void PrintTo(const ThrowCase& c, std::ostream* os) { *os << c.name; }

class EngineThrow : public EngineTest, public ::testing::WithParamInterface<ThrowCase> {};

TEST_P(EngineThrow, IsShownAndEverythingShutsDown) {
  const ThrowCase& c = GetParam();
  writeMain(maintest::kRecordingMain);
  if (c.onReady) onScriptReady = c.onReady;
  int frames = 0;
  options_.stopRequested = [&] {
    if (++frames == c.throwAtFrame) throw 42;  // not a std::exception
    return false;
  };
  ::testing::internal::CaptureStderr();
  EngineRunReport report = run();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(report.caughtException);
  for (const char* text : c.shown) EXPECT_NE(err.find(text), std::string::npos) << err;
  if (c.throwAtFrame) {
    EXPECT_EQ(report.frames, uint64_t(c.throwAtFrame - 1));
  } else {
    EXPECT_TRUE(records_.empty());  // main never started
  }
  EXPECT_EQ(report.exitCode(), 1);
  expectEverythingEnded();
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineThrow, ::testing::ValuesIn(kThrowCases),
                         [](const ::testing::TestParamInfo<ThrowCase>& i) { return std::string(i.param.name); });

TEST_F(EngineTest, ManagersThatCannotGetTheirIdsStopStartUpCleanly) {
  // Someone registered before the engine: every place would be off by one.
  auto early = std::make_unique<kesto::StandInMgr>("Early", "Early");
  ASSERT_EQ(early->id(), 0u);
  writeMain(maintest::kRecordingMain);
  ::testing::internal::CaptureStderr();
  EngineRunReport report = run();
  ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(report.singletonsBuilt);
  EXPECT_FALSE(report.stateCreated);
  EXPECT_EQ(report.exitCode(), 1);
  EXPECT_TRUE(records_.empty());
  EXPECT_EQ(ResRegistry::instance().managerById(0), early.get());
  for (uint32_t id = 1; id < ResRegistry::instance().managerCount(); ++id) {
    EXPECT_EQ(ResRegistry::instance().managerById(id), nullptr) << id;
  }
  EXPECT_EQ(DeviceMgr::instance(), nullptr);
  EXPECT_EQ(getUIThreadId(), 0u);
  EXPECT_EQ(freeThreadLaneCount(), kesto::kLaneCount);
}

// The roots on their own (no engine run, so these may share a process).
class EngineFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qxfiles-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(EngineFilesTest, MountsWhatExistsInOrderAndSkipsTheRest) {
  std::filesystem::create_directories(dir_ / "resource" / "script");
  PathStack base(qcore::utf8ToUtf16(dir_.string()));
  EngineFiles files;
  files.mount(base, base);
  // "$", resource, resource\script; writes "$" and the folder itself ("save" is missing).
  EXPECT_EQ(files.registry().readSourceCount(), 3u);
  EXPECT_EQ(files.registry().writeTargetCount(), 2u);
  EXPECT_NE(ResRegistry::instance().fileSources(), nullptr);
  files.unmount();
  EXPECT_EQ(ResRegistry::instance().fileSources(), nullptr);
  EXPECT_EQ(files.registry().readSourceCount(), 0u);

  std::filesystem::create_directories(dir_ / "save");
  EXPECT_EQ(files.mount(base, base), "");
  EXPECT_EQ(files.registry().writeTargetCount(), 3u);
}

TEST_F(EngineFilesTest, AResourceFileThatIsNoPackIsReportedByName) {
  std::ofstream(dir_ / "resource", std::ios::binary) << "not a pack at all";
  PathStack base(qcore::utf8ToUtf16(dir_.string()));
  EngineFiles files;
  const std::string why = files.mount(base, base);
  EXPECT_NE(why.find((dir_ / "resource").string() + "\" cannot be mounted"), std::string::npos) << why;
  EXPECT_EQ(files.registry().readSourceCount(), 1u);  // "$" only
}

}  // namespace
