// In the running engine: the animation manager holds its catalogue place, scripts load
// ".spr" files by name through QX.createRes, and "Animator" is bound.
#include "tests/main/engine_fixture.h"

namespace {

using maintest::EngineTest;

TEST_F(EngineTest, ScriptsLoadAnimationsByNameAndSeeTheAnimatorClass) {
  std::filesystem::create_directories(root_ / "resource" / "anim");
  std::ofstream(root_ / "resource" / "anim" / "walk.spr") << R"({"slot": {"walk": {"delay": 2}}})";
  writeMain(R"(require("QXL")
  function main()
    local a = QX.createRes("anim\\Walk.SPR")
    local info = QX.HdlInfo(a)
    record("anim", info.name, info.valid, type(Animator), QXMEMMT.Animator == Animator)
    record("missing", QX.createRes("anim\\none.spr") == nil)
  end)");
  run();
  EXPECT_EQ(recordsOf("anim"), (std::vector<maintest::Record>{{"anim", "Animation", "true", "table", "true"}}));
  EXPECT_EQ(recordsOf("missing"), (std::vector<maintest::Record>{{"missing", "true"}}));
  expectEverythingEnded();
}

}  // namespace
