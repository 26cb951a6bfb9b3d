// A HUDText (one character outside the BMP: a second glyph page) and a HUDTextBB view,
// drawn offscreen as the program draws them; the shot is saved beside the test.
#include <cstdlib>

#include "tests/support/t_hud_shot.h"

namespace {

using qxtest::HudShotTest;

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
  -- Glyphs on two pages (the BMP's and the upper plane's), drawn, then fewer of each.
  local shrink = HUDText.new():setText("aaaa𠮟𠮟𠮟𠮟", 1):setRect(200, 60, 200, 60)
  record('long', shrink:getTextRect())
  q:beginDraw()
  q:set_tech("Textured")
  q:draw_single(shrink, "")
  q:flush_drawAll(true)
  q:endDraw()
  shrink:setText("a𠮟", 1)
  record('short', shrink:getTextRect())

  local back = q:getTargetTex(0)
  q:beginDraw()
  q:clearColorBuffer(0xFF000000)
  q:set_tech("Textured")
  q:draw_single(t, "")
  q:draw_single(direct, "")
  q:draw_single(shrink, "")
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

TEST_F(HudShotTest, TextWidgetsDrawTextAndBackBufferView) {
  QX_SKIP_WITHOUT_GL_WINDOW(!shoot(kMain, "widget_text_shot.png"));
  EXPECT_EQ(recordsOf("procBB"), (std::vector<maintest::Record>{{"procBB", "true"}}));
  // The Japanese glyph, the one outside the BMP (drawn from a second glyph page) and the
  // selected glyphs have ink in the cells their geometry gives.
  for (const char* name : {"cjk", "upper", "sel"})
    EXPECT_GT(count(field(name, 1), field(name, 2), field(name, 3), field(name, 4), ink), 10) << name;
  // A text laid out again shorter shows nothing of its longer self on either page.
  const int top = field("long", 2), right = field("long", 1) + field("long", 3), bottom = top + field("long", 4);
  const int shortRight = field("short", 1) + field("short", 3);
  ASSERT_LT(shortRight + 20, right);
  EXPECT_GT(count(field("short", 1), top, shortRight, bottom, ink), 10);
  EXPECT_EQ(count(shortRight + 1, top, right + 2, bottom, ink), 0);

  // The back-buffer view (10..106, 100..140) shows what the text drawn directly shows in
  // its view window (150..246, 100..140), give or take where the layout's inset puts it.
  int best = -1, bestInk = 0;
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) {
      int same = 0, inkCount = 0;
      for (int y = 100; y < 140; ++y)
        for (int x = 10; x < 106; ++x) {
          same += ink(at(x, y)) == ink(at(x + 140 + dx, y + dy));
          inkCount += ink(at(x, y));
        }
      if (same > best) best = same, bestInk = inkCount;
    }
  EXPECT_GT(bestInk, 30);
  EXPECT_GE(best, 96 * 40 * 99 / 100);
}

// A back-buffer view at offsets inside the back buffer (256 pixels square), across its
// edges and before its start, then at alphas and glyph styles, each frame beside a frame
// of a plain text placed where the view shows it. The window (and so the default
// depth-stencil) is smaller than the back buffer, which is still drawn whole.
const char* kViews = R"(
require("QXL")
local lines = {}
for i = 1, 50 do lines[i] = string.format("%02d ", i) .. string.rep("The quick brown fox jumps over a dog. ", 5) end
local TEXT = table.concat(lines, "\n")
function main()
  local q = Qeldrin.new(320, 200, "views")
  record('window', q:has_window())
  if not q:has_window() then coroutine.yield(false) end
  q:setShader(EffectMgr:create("effect\\hud.fx"))
  local back = q:getTargetTex(0)
  local function frame(draw)
    q:beginDraw()
    q:clearColorBuffer(0xFF404040)
    q:set_tech("Textured")
    draw()
    q:flush_drawAll(true)
    q:endDraw()
    keep(back)
  end
  local bbs = {}
  -- x, y, alpha, flags
  for _, v in ipairs({{0, 0, 1, 1}, {300, 250, 1, 1}, {700, 500, 1, 1}, {-50, -30, 1, 1}, {1000, 130, 1, 1},
                      {40, 20, 0.5, 1}, {40, 20, 1, 6}, {40, 20, 0.25, 4}, {40, 20, 0.8, 5}}) do
    local bb = bbs[v[4]]
    if not bb then
      bb = HUDTextBB.new():setText(TEXT, v[4]):setRectMode(2)
      bb:setViewSize(160, 60)
      bb:setOffset(20, 20)
      bbs[v[4]] = bb
    end
    bb:setViewPos(v[1], v[2])
    bb:setAlpha(v[3])
    frame(function()
      local ok, previous = bb:procBB(q)
      q:draw_single(bb, "Backbuff")
      q:flush_drawAll(true)
      q:setTargetTex(0, previous)
      q:draw_single(bb, "")
    end)
    -- The plain text's layout box starts one pixel inside its rectangle.
    local left, top = 19 - v[1], 19 - v[2]
    local plain = HUDText.new():setText(TEXT, v[4]):setRectMode(2):setRect(left, top, 4000, 4000):setAlpha(v[3])
    frame(function() q:draw_single(plain, "") end)
  end
  coroutine.yield(false)
end
)";

class BackBufferViewTest : public qxtest::GLEngineTest {};

TEST_F(BackBufferViewTest, ShowsWhatAPlainTextShowsAtEveryViewOffsetAlphaAndStyle) {
  qxtest::preferSoftwareGL();
  writeMain(kViews);
  installEffect("hud.fx");
  onScriptReady = [](lua_State* L) { lua_register(L, "keep", &qxtest::luaKeep); };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  const auto window = recordsOf("window");
  QX_SKIP_WITHOUT_GL_WINDOW(window.empty() || window[0][1] != "true");
  const auto& shots = qxtest::kept();
  ASSERT_EQ(shots.size(), 18u);
  // The view's pixels are the plain text's within 2 levels a channel (the rounding of
  // sampling the glyphs twice); ink is green at least 32 above the grey background.
  for (size_t v = 0; v < shots.size() / 2; ++v) {
    int differ = 0, ink = 0, worst = 0;
    for (int y = 20; y < 80; ++y)
      for (int x = 20; x < 180; ++x) {
        const size_t at = size_t(y * qxtest::kShotW + x);
        const uint32_t a = shots[2 * v][at], b = shots[2 * v + 1][at];
        ink += ((b >> 8) & 0xFF) > 0x60;
        int apart = 0;
        for (int c = 0; c < 24; c += 8) apart = std::max(apart, std::abs(int((a >> c) & 0xFF) - int((b >> c) & 0xFF)));
        differ += apart > 2;
        worst = std::max(worst, apart);
      }
    EXPECT_GT(ink, 300) << "view " << v;
    EXPECT_EQ(differ, 0) << "view " << v << ", by up to " << worst;
  }
}

}  // namespace
