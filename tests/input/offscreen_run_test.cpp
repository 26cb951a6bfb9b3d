// The program's road for key input: SDL key events pushed into the offscreen window's
// event queue reach, on the engine thread, the binding that the script made.
#include <SDL.h>

#include "app/input/res_input.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"
#include "tests/main/engine_fixture.h"

namespace {

using maintest::EngineTest;
using maintest::Record;

qxplat::Window* gWindow = nullptr;

// inject(scancode, down): one SDL key event, handled by the UI thread before this returns.
int luaInject(lua_State* L) {
  SDL_Event e{};
  e.type = lua_toboolean(L, 2) ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = gWindow->sdlWindowId();
  e.key.keysym.scancode = static_cast<SDL_Scancode>(luaL_checkinteger(L, 1));
  SDL_PushEvent(&e);
  // A request runs on the UI thread between events: once the queue holds no key event
  // and a request has run after that, the key has been handled.
  do {
    qxplat::uiRunWaiting([] {});
  } while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYUP) > 0);
  qxplat::uiRunWaiting([] {});
  return 0;
}

const char* kMain = R"(
require("QXL")
function main()
  local kb = input:create(input:enum('keyboard')[1].guid, true)
  input:entry_upd(kb):register('fire'):bind('fire', kb, 0x39)
  local ticks = 0
  local phase = coroutine.yield(true)
  while true do
    if phase == 1 then
      ticks = ticks + 1
      if input:pressed('fire') then record('pressed', ticks) end
      if input:clicked('fire') then record('clicked', ticks) coroutine.yield(false) end
      if ticks == 2 then inject(44, true) end
      if ticks == 5 then inject(44, false) end
      if ticks > 30 then record('timeout') coroutine.yield(false) end
    end
    phase = coroutine.yield(true)
  end
end
)";

TEST_F(EngineTest, InjectedSdlKeysReachAScriptBinding) {
  writeMain(kMain);
  onScriptReady = [](lua_State* L) {
    gWindow = qxplat::uiCreateWindow({320, 240, "input", {}});
    ASSERT_NE(gWindow, nullptr);
    ASSERT_NE(ResInput::instance(), nullptr);
    ResInput::instance()->init(gWindow);
    lua_register(L, "inject", &luaInject);
  };
  EngineRunReport report;
  qxplat::runUiThread([&](uint32_t ui) {
    options_.uiThreadId = ui;
    report = run();
  });
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  EXPECT_EQ(recordsOf("pressed"), (std::vector<Record>{{"pressed", "3"}}));
  EXPECT_EQ(recordsOf("clicked"), (std::vector<Record>{{"clicked", "6"}}));
}

}  // namespace
