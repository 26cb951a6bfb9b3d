// Text that meets no device or a replaced one draws as text that never did; an application
// object made while another lives takes nothing from it; wrapped line feeds; a whole panel
// from one draw list. Drawn offscreen as the program draws them.
#include <atomic>
#include <cstdlib>

#include "script/lua/script_report.h"
#include "tests/support/t_hud_shot.h"

namespace {

using qxtest::GLEngineTest;
using qxtest::kShotH;
using qxtest::kShotW;

// Flags 0x2001 and 0x4001 rasterise as flags 1 does but key caches of their own, made on
// the device of the day: they are the pictures the other texts must match.
const char* kMain = R"(
require("QXL")
local TEXT = "Hello 世界 Wg%"

local function frame(q, list, bb)
  local back = q:getTargetTex(0)
  q:beginDraw()
  q:clearColorBuffer(0xFF000000)
  q:set_tech("Textured")
  for _, t in ipairs(list) do q:draw_single(t, "") end
  q:flush_drawAll(true)
  if bb then
    local ok, previous = bb:procBB(q)
    q:draw_single(bb, "Backbuff")
    q:flush_drawAll(true)
    q:setTargetTex(0, previous)
    q:draw_single(bb, "")
    q:flush_drawAll(true)
  end
  q:endDraw()
  shoot(back)
end

function main()
  -- Measured before the window exists, then drawn with no setter in between.
  local early = HUDText.new():setText(TEXT, 1):setRect(10, 5, 10, 5)
  record('before', early:getTextRect())
  record('caretBefore', early:getCaret(3))
  record('hitBefore', early:getFontPos1D(13, 5))
  -- A back-buffer text made before the window: its back buffer is made when it is used.
  local bb = HUDTextBB.new():setText(TEXT, 1):setRectMode(2)
  bb:setViewSize(96, 20)
  bb:setOffset(200, 130)

  local q = Qeldrin.new(320, 160, "first")
  record('window', q:has_window())
  if not q:has_window() then coroutine.yield(false) end
  q:setShader(EffectMgr:create("effect\\hud.fx"))
  local later = HUDText.new():setText(TEXT, 1):setRect(10, 25, 10, 25)
  local ref = HUDText.new():setText(TEXT, 0x2001):setRect(10, 45, 10, 45)
  record('after', early:getTextRect())
  record('caretAfter', early:getCaret(3))
  record('hitAfter', early:getFontPos1D(13, 5))

  local hello = HUDText.new():setText("Hello\nworld", 1):setRectMode(1):setRect(200, 5, 300, 70)
  local abc = HUDText.new():setText("a\nb\nc", 1):setRectMode(1):setRect(270, 5, 310, 90)
  record('hello', hello:getTextRect())
  record('abc', abc:getTextRect())
  record('abcFits', abc:inRect())
  record('lineHeight', abc:getFontHeight())

  local p = HUDBG.new():set_pos(120, 100):set_text("Panel", false):set_color(QXL.vec3(0.2, 0.4, 0.8))
  p.wire:set_type(1)
  p:set_visible(7)
  frame(q, {early, later, ref, hello, abc, p}, bb)
  record('panel', p:get_pos())
  record('panelSize', p:get_size())

  -- While one lives, another gets no window and takes nothing from it, whether dropped
  -- at once or assigned over it: the live one draws the same picture again.
  local over = Qeldrin.new(320, 160, "over")
  record('over', over:has_window())
  over = nil
  collectgarbage("collect")
  local live = q
  q = Qeldrin.new(320, 160, "assigned")
  record('assigned', q:has_window())
  frame(live, {early, later, ref, hello, abc, p}, bb)
  q, live = live, nil

  -- Made again once the first is gone: the new one has the device.
  q = nil
  collectgarbage("collect")
  collectgarbage("collect")
  local q2 = Qeldrin.new(320, 160, "second")
  record('window2', q2:has_window())
  if not q2:has_window() then coroutine.yield(false) end
  q2:setShader(EffectMgr:create("effect\\hud.fx"))
  local ref2 = HUDText.new():setText(TEXT, 0x4001):setRect(10, 65, 10, 65)
  frame(q2, {early, later, ref, ref2})
  coroutine.yield(false)
end
)";

std::vector<std::vector<uint32_t>>& shots() {
  static std::vector<std::vector<uint32_t>> all;
  return all;
}

int luaShoot(lua_State* L) {
  qxtest::TargetPixels t = qxtest::readTargetAt(L, 1);
  if (t.read) shots().push_back(std::move(t.words));
  return 0;
}

class TextDeviceTest : public GLEngineTest {
 protected:
  bool run2() {
    qxtest::preferSoftwareGL();
    writeMain(kMain);
    installEffect("hud.fx");
    onScriptReady = [](lua_State* L) { lua_register(L, "shoot", &luaShoot); };
    testing::internal::CaptureStderr();
    setScriptDebugLogSink([this](std::string_view line) { refusals += line.find("holds the device") != line.npos; });
    const EngineRunReport report = runWithUiThread();
    setScriptDebugLogSink(nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(report.exitCode(), 0) << report.failureText;
    // The back-buffer text made before the window draws: nothing says it would not.
    EXPECT_EQ(err.find("HUDTextBB"), std::string::npos) << err;
    const auto window = recordsOf("window");
    return !window.empty() && window[0][1] == "true";
  }
  uint32_t at(size_t shot, int x, int y) const { return shots().at(shot)[size_t(y * kShotW + x)] & 0xFFFFFFu; }
  std::atomic<int> refusals{0};
  int field(const char* name, size_t i) { return int(std::stof(recordsOf(name).at(0).at(i))); }
  // Pixels of a w x h block at (x, y) that differ from the block at (x, y + dy) by more
  // than the filtering of a neighbouring cell can give.
  int differing(size_t shot, int x, int y, int w, int h, int dy) const {
    auto apart = [](uint32_t a, uint32_t b) {
      for (int s = 0; s < 24; s += 8)
        if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > 8) return true;
      return false;
    };
    int n = 0;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) n += apart(at(shot, i, j), at(shot, i, j + dy));
    return n;
  }
  int ink(size_t shot, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, kShotH); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, kShotW); ++x) n += (at(shot, x, y) & 0x808080u) == 0x808080u;
    return n;
  }
};

// One run (glyph caches live as long as the process): the device checks, then wrapping
// and the panel on the first picture.
TEST_F(TextDeviceTest, TextDrawsTheSameWhateverDeviceItMetWrapsAndPanels) {
  QX_SKIP_WITHOUT_GL_WINDOW(!run2());
  ASSERT_EQ(shots().size(), 3u);
  // Measuring before the window gives what measuring after it gives.
  for (auto [before, after] : {std::pair{"before", "after"}, {"caretBefore", "caretAfter"}, {"hitBefore", "hitAfter"}}) {
    std::vector<std::string> b = recordsOf(before).at(0), a = recordsOf(after).at(0);
    EXPECT_EQ(std::vector<std::string>(b.begin() + 1, b.end()), std::vector<std::string>(a.begin() + 1, a.end()))
        << before;
  }
  const int w = field("before", 3), h = field("before", 4);
  ASSERT_GT(w, 20);
  ASSERT_GT(h, 8);
  // The early text, and a later one in its font and flags, equal the reference pixel for
  // pixel (white bars have ink too, so ink alone would not tell).
  EXPECT_GT(ink(0, 10, 45, 10 + w, 45 + h), 20);
  EXPECT_EQ(differing(0, 10, 5, w, h, 40), 0) << "text laid out before the window";
  EXPECT_EQ(differing(0, 10, 25, w, h, 20), 0) << "text after it in the same font";
  // Application objects made while the first lived: refused, once each in the log.
  EXPECT_EQ(recordsOf("over"), (std::vector<maintest::Record>{{"over", "false"}}));
  EXPECT_EQ(recordsOf("assigned"), (std::vector<maintest::Record>{{"assigned", "false"}}));
  EXPECT_EQ(refusals, 2);
  EXPECT_TRUE(shots()[1] == shots()[0]) << "the live one draws as before";
  // Under the application object made again all three draw as text made on its device does.
  EXPECT_GT(ink(2, 10, 65, 10 + w, 65 + h), 20);
  for (int y : {5, 25, 45}) EXPECT_EQ(differing(2, 10, y, w, h, 65 - y), 0) << y;

  // The back-buffer view shows text: ink, but no solid box.
  const int bbInk = ink(0, 200, 130, 296, 150);
  EXPECT_GT(bbInk, 20);
  EXPECT_LT(bbInk, 96 * 20 / 2);

  // Wrapped line feeds: every line inside the reported rectangle, no blank line, nothing
  // below it. The layout box starts one pixel inside the rectangle.
  const int lh = field("lineHeight", 1);
  for (auto [name, lines] : {std::pair{"hello", 2}, {"abc", 3}}) {
    const int x = field(name, 1), y = field(name, 2), tw = field(name, 3), th = field(name, 4);
    EXPECT_EQ(th, lines * lh) << name;
    for (int line = 0; line < lines; ++line)
      EXPECT_GT(ink(0, x, y + 1 + line * lh, x + tw + 1, y + 1 + (line + 1) * lh), 3) << name << " " << line;
    EXPECT_EQ(ink(0, x - 2, y + th + 1, x + tw + 2, y + th + 3 * lh), 0) << name;
  }
  EXPECT_EQ(recordsOf("abcFits").at(0).at(1), "true");

  // The panel, background, frame and text, from one "Textured" list: its colour fills it,
  // its text shows white, its raised frame is lighter on top.
  const int px = field("panel", 1), py = field("panel", 2), pw = field("panelSize", 1), ph = field("panelSize", 2);
  ASSERT_TRUE(px == 120 && pw > 20 && ph > 8) << px << " " << pw << " " << ph;
  int blue = 0;
  for (int j = py + 1; j < py + ph - 1; ++j)
    for (int i = px + 1; i < px + pw - 1; ++i) blue += at(0, i, j) == 0x3366CCu;
  EXPECT_GT(blue, (pw - 2) * (ph - 2) / 3);
  EXPECT_GT(ink(0, px + 1, py + 1, px + pw - 1, py + ph - 1), 10);
  EXPECT_GE(at(0, px + 1, py) & 0xFF, 0xF0u);
}

}  // namespace
