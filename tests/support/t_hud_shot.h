// HUD pictures: a script draws offscreen and grabs the back buffer (kShotW x kShotH).
#pragma once
#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/gl_engine_fixture.h"

namespace qxtest {

constexpr int kShotW = 320, kShotH = 160;

class HudShotTest : public GLEngineTest {
 protected:
  // Runs `main` with grab(); false without a picture (no GL window here, or a failure).
  bool shoot(const char* main, const char* savedAs) {
    preferSoftwareGL();
    writeMain(main);
    installEffect("hud.fx");
    onScriptReady = [](lua_State* L) { lua_register(L, "grab", &luaGrab); };
    const EngineRunReport report = runWithUiThread();
    EXPECT_EQ(report.exitCode(), 0) << report.failureText;
    const auto window = recordsOf("window");
    if (window.empty() || window[0][1] != "true") return false;
    std::error_code ec;
    std::filesystem::copy_file(root_ / "shot.png", savedAs, std::filesystem::copy_options::overwrite_existing, ec);
    EXPECT_EQ(grabbed().size(), size_t(kShotW * kShotH));
    return grabbed().size() == size_t(kShotW * kShotH);
  }

  static uint32_t at(int x, int y) { return grabbed()[size_t(y * kShotW + x)] | 0xFF000000u; }

  // How many pixels of the rectangle (clipped to the picture) `pred` holds for.
  template <class Pred>
  static int count(int x0, int y0, int x1, int y1, Pred pred) {
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, kShotH); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, kShotW); ++x) n += pred(at(x, y));
    return n;
  }

  // Field i of the first record of that name, as a whole number.
  int field(const char* name, size_t i) { return int(std::stof(recordsOf(name).at(0).at(i))); }
};

}  // namespace qxtest
