// A panel with text, a bar meter, a tick scale and the console, drawn offscreen as the program
// draws them; the shot is saved beside the test.
#include <tuple>

#include "tests/support/t_hud_shot.h"

namespace {

using qxtest::HudShotTest;

const char* kMain = R"(
require("QXL")
function main()
  local q = Qeldrin.new(320, 160, "panels")
  record('window', q:has_window())
  if not q:has_window() then coroutine.yield(false) end
  q:setShader(EffectMgr:create("effect\\hud.fx"))
  local V3 = QXL.vec3
  local p = HUDBG.new():set_pos(160, 60):set_text("Panel", false):set_color(V3(0.2, 0.4, 0.8))
  p.rect.rect.hTex = QX.createRes("white.png")
  p.wire:set_type(1)
  local c = GUIConsole.new():set_row(20, 4, 140):set_alpha(1)
  for i = 1, 6 do c:send("line " .. i) end
  local shown = HUDMeter.new():set_pos(160, 100):set_size(128, 16):set_value(50)
  local m = HUDMeter.new():set_value(0):copy_from(shown):copy_from(HUDBG.new())
  m:copy_from(m)
  local u = HUDUnit_meter.new():setPos(160, 130):setHeight(10):setColor(V3(1, 1, 0), 1)

  local back = q:getTargetTex(0)
  q:beginDraw()
  q:clearColorBuffer(0xFF404040)
  q:set_tech("Textured")
  p:set_visible(5)
  q:draw_single(p, "")
  q:draw_single(c, "")
  q:flush_drawAll(true)
  q:set_tech("Colored")
  p:set_visible(2)
  q:draw_single(p, "")
  q:draw_single(m, "")
  q:draw_single(u, "")
  q:flush_drawAll(true)
  q:endDraw()
  grab(back)
  TextureMgr:saveAsFile(back, "shot.png")
  local x, y = p:get_pos()
  local w, h = p:get_size()
  record('panel', x, y, w, h)
  coroutine.yield(false)
end
)";

bool white(uint32_t p) { return (p & 0xC0C0C0) == 0xC0C0C0; }
bool panelBlue(uint32_t p) { return p == 0xFF3366CCu; }
bool black(uint32_t p) { return p == 0xFF000000u; }
bool green(uint32_t p) { return p == 0xFF55FF55u; }
bool yellow(uint32_t p) { return p == 0xFFFFFF00u; }

TEST_F(HudShotTest, PanelMeterScaleAndConsoleDraw) {
  const std::filesystem::path here = std::filesystem::path(QX_SOURCE_DIR) / "tests" / "panel";
  std::filesystem::copy_file(here / "white.png", root_ / "resource" / "white.png");
  QX_SKIP_WITHOUT_GL_WINDOW(!shoot(kMain, "panel_shot.png"));

  // The panel fits its text: its colour fills the inside, the text shows in white, and
  // the raised frame's top-left edge is lighter than its bottom-right.
  const int x = field("panel", 1), y = field("panel", 2), w = field("panel", 3), h = field("panel", 4);
  EXPECT_TRUE(x == 160 && w > 20 && h > 8) << x << " " << w << " " << h;
  const int inside = (w - 2) * (h - 2);
  EXPECT_GT(count(x + 1, y + 1, x + w - 1, y + h - 1, panelBlue), inside / 3);
  EXPECT_GT(count(x + 1, y + 1, x + w - 1, y + h - 1, white), 10);
  // Light of 0x3366CC is 0x4C99FF, dark 0x264C99, mid 0x3D7FE5.
  EXPECT_GE((at(x + 1, y) >> 8) & 0xFF, 0x90u);
  EXPECT_GE(at(x + 1, y) & 0xFF, 0xF0u);
  EXPECT_LE((at(x + w - 2, y + h - 1) >> 8) & 0xFF, 0x55u);
  EXPECT_EQ(count(0, y, x - 1, y + h, panelBlue), 0);

  // The bar meter: half full, its border white.
  EXPECT_GT(count(161, 101, 222, 115, green), 50 * 12);
  EXPECT_EQ(count(225, 101, 287, 115, green), 0);
  EXPECT_TRUE((white(at(200, 100)) || white(at(200, 99))) && (white(at(287, 108)) || white(at(288, 108))));

  // The tick scale: end lines and the long tick at the middle, short ticks shorter.
  EXPECT_GE(count(159, 131, 162, 139, yellow), 7);
  EXPECT_GE(count(209, 131, 212, 139, yellow), 7);
  const int shortTick = count(184, 131, 187, 139, yellow);
  EXPECT_TRUE(shortTick >= 1 && shortTick <= 3) << shortTick;

  // The console: black rows in the top-left corner, the newest lines in white.
  EXPECT_GT(count(0, 0, 140, 34, black), 140 * 34 / 2);
  EXPECT_GT(count(0, 0, 140, 34, white), 30);
  EXPECT_EQ(count(141, 0, 150, 34, black), 0);
}

// Units and panels at alpha 0.5, each alone in its draw list and beside opaque ones in
// one list; then six framed panels at depth 10 in a list sorted far first.
const char* kOrderAndAlpha = R"(
require("QXL")
local V3 = QXL.vec3
local function rect(x, y, alpha)
  local r = HUDUnit_rect.new():set_size(20, 20)
  r.rect.ofsX, r.rect.ofsY, r.rect.alpha = x, y, alpha
  return r
end
local function panel(x, y, alpha, bits)
  return HUDBG.new():set_rectmode(2):set_pos(x, y):set_size(20, 20):set_color(V3(1, 1, 1))
      :set_alpha(alpha):set_visible(bits)
end
local function wire(x, y, alpha)
  local w = HUDUnit_wire.new()
  w.rect.ofsX, w.rect.ofsY, w.rect.width, w.rect.height, w.rect.alpha = x, y, 20, 20, alpha
  return w
end
local function meter(x, y, alpha)
  return HUDUnit_meter.new():setPos(x, y):setHeight(20):setRange(20):setColor(V3(1, 1, 1), alpha)
end
local function list(widgets)
  for _, w in ipairs(widgets) do q:draw_single(w, "") end
  q:flush_drawAll(true)
end
function main()
  q = Qeldrin.new(320, 160, "order")
  record('window', q:has_window())
  if not q:has_window() then coroutine.yield(false) end
  q:setShader(EffectMgr:create("effect\\hud.fx"))
  local back = q:getTargetTex(0)
  q:beginDraw()
  q:clearColorBuffer(0xFF000000)
  q:set_tech("Textured")
  list({rect(0, 0, 1):set_size(8, 18)})
  list({GUIConsole.new():set_row(20, 2, 8):set_alpha(0.5)})
  -- A console (blank line, clear background) between two plain rectangles.
  list({rect(280, 10, 1), GUIConsole.new():send("   "), rect(280, 40, 1)})
  list({rect(10, 10, 0.5)})
  list({panel(40, 10, 0.5, 1)})
  list({rect(10, 40, 1), rect(40, 40, 0.5), rect(70, 40, 1), panel(100, 40, 1, 3), panel(130, 40, 0.5, 3),
        panel(160, 40, 1, 3), wire(190, 40, 0.5):set_type(1), wire(220, 40, 1), wire(250, 40, 0.5)})
  q:set_tech("Colored")
  list({meter(10, 70, 0.5)})
  list({meter(40, 70, 1), meter(70, 70, 0.5), meter(100, 70, 1)})
  q:set_dsort("Textured", {0, false, 0})
  local panels = {}
  for i = 0, 5 do
    local p = HUDBG.new():set_pos(10 + (i % 3) * 100, 100 + math.floor(i / 3) * 30):set_text("Panel", false)
        :set_color(V3(0.2, 0.4, 0.8)):set_depth(10):set_visible(7)
    p.wire:set_type(1)
    panels[#panels + 1] = p
  end
  list(panels)
  q:endDraw()
  grab(back)
  TextureMgr:saveAsFile(back, "shot.png")
  for i, p in ipairs(panels) do
    local x, y = p:get_pos()
    local w, h = p:get_size()
    record('panel', x, y, w, h)
  end
  coroutine.yield(false)
end
)";

TEST_F(HudShotTest, PanelPartsKeepTheirOrderAndAlphaAppliesOnce) {
  QX_SKIP_WITHOUT_GL_WINDOW(!shoot(kOrderAndAlpha, "panel_order_shot.png"));
  // Grey of white at alpha a over black, the brightest around a point inside each widget
  // (on the wires' top edge and the meters' left end line): a 0.5 alone or batched, 1.0
  // beside them. First the console's black background at 0.5 over white, then the
  // rectangles queued before and after a console.
  auto grey = [](int x, int y) {
    uint32_t g = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) g = std::max(g, (at(x + dx, y + dy) >> 8) & 0xFF);
    return int(g);
  };
  for (auto [x, y, alpha] : {std::tuple{4, 9, 0.5}, {290, 20, 1.0}, {290, 50, 1.0}, {20, 20, 0.5}, {50, 20, 0.5}, {20, 50, 1.0}, {50, 50, 0.5}, {80, 50, 1.0},
                             {110, 50, 1.0}, {140, 50, 0.5}, {170, 50, 1.0}, {200, 41, 0.5}, {230, 41, 1.0},
                             {260, 41, 0.5}, {10, 80, 0.5}, {40, 80, 1.0}, {70, 80, 0.5}, {100, 80, 1.0}}) {
    EXPECT_NEAR(grey(x, y), 255 * alpha, 6) << x << "," << y;
  }
  // Under the far-first sort every panel shows its background with its text over it.
  const auto panels = recordsOf("panel");
  ASSERT_EQ(panels.size(), 6u);
  for (const auto& p : panels) {
    const int x = int(std::stof(p[1])), y = int(std::stof(p[2])), w = int(std::stof(p[3])), h = int(std::stof(p[4]));
    EXPECT_GT(count(x + 1, y + 1, x + w - 1, y + h - 1, panelBlue), (w - 2) * (h - 2) / 3) << x << "," << y;
    EXPECT_GT(count(x + 1, y + 1, x + w - 1, y + h - 1, white), 10) << x << "," << y;
  }
}

}  // namespace
