// The text widgets drawn as the program draws them: a script opens an offscreen window,
// draws a HUDText of Latin and Japanese text (one character outside the BMP, so on a
// second glyph page) over its selection and caret (drawn from the widget's own geometry),
// and a HUDTextBB through its view window; the back buffer is read back and saved as
// "widget_text_shot.png" beside the test.
#include <filesystem>

#include "app/qeldrin/qeldrin.h"
#include "render/device/device_mgr.h"
#include "runtime/mem/mem_mgr.h"
#include "script/bind/glue_types.h"
#include "script/lua/stack_readers.h"
#include "tests/gfx/gl_fixture.h"
#include "tests/main/engine_fixture.h"
#include "tests/support/gl_engine_fixture.h"
#include "tests/qeldrin/rec_support.h"
#include "platform/window/ui_thread.h"

namespace {

using EngineTest = qxtest::GLEngineTest;

struct Box {
  float x0, y0, x1, y1;
  uint32_t colour;
};
std::vector<Box>& boxes() {
  static std::vector<Box> b;
  return b;
}

// Solid rectangles for the selection and the caret, batched in the HUD vertex format.
struct Boxes {
  uint32_t self = MemMgrBase::threadCurrentHandle();
};

void registerBoxes() {
  LuaClassDesc d = LuaClassDesc::forType<Boxes>("TBoxes");
  d.collect = [](void* obj, void*, void*, void* q) { qxtest::queueHudItem(static_cast<Boxes*>(obj)->self, q); };
  d.draw = [](void*, void*, void* q) {
    for (const Box& b : boxes()) {
      const qtest::HudPos pos[4] = {
          {b.x0, b.y0, 0, b.colour}, {b.x1, b.y0, 0, b.colour}, {b.x1, b.y1, 0, b.colour}, {b.x0, b.y1, 0, b.colour}};
      qxtest::drawHudQuad(q, pos);
    }
  };
  registerClassDesc(d);
}

int luaBox(lua_State* L) {
  boxes().push_back({float(luaL_checknumber(L, 1)), float(luaL_checknumber(L, 2)), float(luaL_checknumber(L, 3)),
                     float(luaL_checknumber(L, 4)), uint32_t(int64_t(luaL_checknumber(L, 5)))});
  return 0;
}

int luaMakeBoxes(lua_State* L) {
  qxbind::pushObject(L, MemMgrMulti::instance()->createByName("TBoxes").value);
  return 1;
}

constexpr int kW = 320, kH = 160;
std::vector<uint32_t>& gShot = qxtest::grabbed();

const char* kMain = R"(
require("QXL")
local TEXT = "Hello 世界\nかなカナ Latin𠮟"
function main()
  local q = Qeldrin.new(320, 160, "text")
  record('window', q:has_window())
  if not q:has_window() then coroutine.yield(false) end
  q:setShader(EffectMgr:create("effect\\hud.fx"))
  local t = HUDText.new():setText(TEXT, 1):setRect(10, 10, 10, 10)
  local x, y = t:getTextRect()
  local sel = t:getSelRect(3, 14)
  local cx, ctop, cbottom = t:getCaret(16)
  for _, r in ipairs(sel) do box(x + r[1], y + r[2], x + r[3], y + r[4], 0xFF2040C0) end
  box(x + cx, y + ctop, x + cx + 2, y + cbottom, 0xFFFFFF00)
  record('caret', x + cx, y + ctop, y + cbottom)
  record('sel', x + sel[1][1], y + sel[1][2], x + sel[1][3], y + sel[1][4])
  local l, top, r, bottom = t:getCharRect(7)
  record('cjk', x + l, y + top, x + r, y + bottom)
  l, top, r, bottom = t:getCharRect(20)
  record('upper', x + l, y + top, x + r, y + bottom)

  local bb = HUDTextBB.new():setText(TEXT, 1):setRectMode(2)
  bb:setViewSize(96, 40)
  bb:setOffset(10, 100)
  bb:setViewPos(30, 4)
  local direct = HUDText.new():setText(TEXT, 1):setRectMode(2):setRect(120, 96, 320, 160)

  local back = q:getTargetTex(0)
  q:beginDraw()
  q:clearColorBuffer(0xFF000000)
  q:set_tech("Colored")
  q:draw_single(boxes(), "")
  q:flush_drawAll(true)
  q:set_tech("Textured")
  q:draw_single(t, "")
  q:draw_single(direct, "")
  q:flush_drawAll(true)
  local ok, previous = bb:procBB(q)
  record('procBB', ok)
  q:draw_single(bb, "Backbuff")
  q:flush_drawAll(true)
  q:setTargetTex(0, previous)
  q:draw_single(bb, "")
  q:flush_drawAll(true)
  q:endDraw()
  grab(back)
  TextureMgr:saveAsFile(back, "shot.png")
  coroutine.yield(false)
end
)";

bool ink(uint32_t p) { return ((p >> 8) & 0xFF) > 128 && (p & 0xFF) > 128; }

int inkIn(int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, kH); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, kW); ++x) n += ink(gShot[size_t(y * kW + x)]);
  return n;
}

int countColour(int x0, int y0, int x1, int y1, uint32_t c) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += (gShot[size_t(y * kW + x)] | 0xFF000000u) == c;
  return n;
}

int num(const maintest::Record& r, size_t i) { return std::stoi(r.at(i)); }

TEST_F(EngineTest, TextWidgetsDrawTextSelectionCaretAndBackBufferView) {
  qxtest::preferSoftwareGL();
  writeMain(kMain);
  installEffect("hud.fx");
  registerBoxes();
  onScriptReady = [](lua_State* L) {
    lua_register(L, "box", &luaBox);
    lua_register(L, "boxes", &luaMakeBoxes);
    lua_register(L, "grab", &qxtest::luaGrab);
  };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  const auto window = recordsOf("window");
  if (window.empty() || window[0][1] != "true") GTEST_SKIP() << "no window with a GL device here";
  std::error_code ec;
  std::filesystem::copy_file(root_ / "shot.png", "widget_text_shot.png",
                             std::filesystem::copy_options::overwrite_existing, ec);
  ASSERT_EQ(gShot.size(), size_t(kW * kH));
  EXPECT_EQ(recordsOf("procBB"), (std::vector<maintest::Record>{{"procBB", "true"}}));

  // The Japanese glyph has ink in its own cell.
  const auto cjk = recordsOf("cjk").at(0);
  EXPECT_GT(inkIn(num(cjk, 1), num(cjk, 2), num(cjk, 3), num(cjk, 4)), 10);
  // So has the one outside the BMP, drawn from a second glyph page.
  const auto upper = recordsOf("upper").at(0);
  EXPECT_GT(inkIn(num(upper, 1), num(upper, 2), num(upper, 3), num(upper, 4)), 10);
  // The selection shows its colour around the glyphs drawn over it.
  const auto sel = recordsOf("sel").at(0);
  const int selArea = (num(sel, 3) - num(sel, 1)) * (num(sel, 4) - num(sel, 2));
  const int selBlue = countColour(num(sel, 1), num(sel, 2), num(sel, 3), num(sel, 4), 0xFF2040C0);
  EXPECT_GT(selBlue, selArea / 3);
  EXPECT_GT(inkIn(num(sel, 1), num(sel, 2), num(sel, 3), num(sel, 4)), 20);
  // The caret is a yellow bar at its place.
  const auto caret = recordsOf("caret").at(0);
  EXPECT_GT(countColour(num(caret, 1), num(caret, 2), num(caret, 1) + 2, num(caret, 3), 0xFFFFFF00),
            (num(caret, 3) - num(caret, 2)));

  // The back-buffer view (10..106, 100..140) shows what the text drawn directly shows in
  // its view window (150..246, 100..140), give or take where the layout's inset puts it.
  int best = -1, bestInk = 0;
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) {
      int same = 0, inkCount = 0;
      for (int y = 100; y < 140; ++y)
        for (int x = 10; x < 106; ++x) {
          const bool a = ink(gShot[size_t(y * kW + x)]);
          const bool b = ink(gShot[size_t((y + dy) * kW + x + 140 + dx)]);
          same += a == b;
          inkCount += a;
        }
      if (same > best) best = same, bestInk = inkCount;
    }
  EXPECT_GT(bestInk, 30);
  EXPECT_GE(best, 96 * 40 * 99 / 100);
}

}  // namespace
