// A textured Billboard and BillboardY and a HUDText3D drawn by a script through the
// application's draw lists on the GL device, the target read back.
#include "tests/support/alloc_count.h"
#include "tests/support/gl_engine_fixture.h"

namespace {

using EngineTest = qxtest::GLEngineTest;

constexpr int kSide = 128;

// Quadrants red, green (top) and blue, white (bottom), 2 x 2 texels each.
void writeQuadrants(const std::filesystem::path& path) {
  std::vector<uint8_t> rgba;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const uint32_t c = y < 2 ? (x < 2 ? 0xFF0000u : 0x00FF00u) : (x < 2 ? 0x0000FFu : 0xFFFFFFu);
      rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0xFF});
    }
  }
  stbi_write_png(path.string().c_str(), 4, 4, 4, rgba.data(), 16);
}

// Camera 100 units before the origin looking along +z, 90 degrees, square: a point
// (x, y, 0) lands on pixel (64 + 0.64 x, 64 - 0.64 y).
const char* kMain = R"(
require("QXL")
function main()
  local v = QXL.vec3.new
  local q = Qeldrin.new(128, 128, "billboard")
  if not q:has_window() then record('nowindow') coroutine.yield(false) end
  local phase = coroutine.yield(true)
  while phase ~= 2 do phase = coroutine.yield(true) end
  q:setShader(EffectMgr:create("effect\\billboard.fx"))
  local cam = CamMgr:create(v(0, 0, -100), v(0, 0, 0), 1, 1000)
  cam:set_aspect(1)
  q:setCamera(cam)
  local target = TextureMgr:create_blank(7, 21)
  local tex = TextureMgr:load("tex\\quad.png", 0, 0)
  local b = Billboard.new():setPos(v(-40, 10, 0)):setSize(30, 30):setTex(tex):setTex(tex)
  local y = BillboardY.new():setPos(v(40, 10, 0)):setSize(30, 30):setTex(tex)
  local t = HUDText3D.new():setText("T", 1):setPos(v(0, -40, 0)):setScale(3, 3)
  -- One number scales both axes: the same "T", 75 units (48 pixels) higher.
  local one = HUDText3D.new():setText("T", 1):setPos(v(0, 35, 0)):setScale(3)
  -- Without a texture: drawn as it always was.
  local bare = Billboard.new():setPos(v(0, 80, 0)):setSize(10, 10)
  record('pos', b:getPos()[1], t:getPos()[2])
  q:beginDraw()
  q:setTargetTex(0, target)
  q:clearColorBuffer(0xFF000040)
  q:clearZBuffer(1)
  q:set_tech("Billboard")
  q:draw_multi({b, y, bare}, "")
  q:flush_drawAll(true)
  q:set_tech("Text3D")
  q:draw_single(t, "")
  q:draw_single(one, "")
  q:flush_drawAll(true)
  q:endDraw()
  grab(target)
  -- Once warmed up, steady calls of draw_multi allocate nothing.
  phase = coroutine.yield(true)
  while phase ~= 2 do phase = coroutine.yield(true) end
  local list = {b, y, bare}
  q:beginDraw()
  q:set_tech("Billboard")
  for round = 1, 2 do
    if round == 2 then countAllocations() end
    for i = 1, 60 do q:draw_multi(list, "") end
    if round == 2 then record('allocs', allocationsCounted()) end
    q:flush_drawAll(true)
  end
  q:endDraw()
  coroutine.yield(false)
end
)";

uint32_t at(int x, int y) { return qxtest::grabbed()[size_t(y * kSide + x)] & 0xFFFFFFu; }

int inkIn(int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint32_t p = at(x, y);
      n += ((p >> 8) & 0xFF) > 128 && (p & 0xFF) > 128;
    }
  return n;
}

TEST_F(EngineTest, BillboardsAndTextFaceTheCamera) {
  qxtest::preferSoftwareGL();
  writeMain(kMain);
  installEffect("billboard.fx");
  std::filesystem::create_directories(root_ / "resource" / "tex");
  writeQuadrants(root_ / "resource" / "tex" / "quad.png");
  onScriptReady = [](lua_State* L) {
    lua_register(L, "grab", &qxtest::luaGrab);
    lua_register(L, "countAllocations", [](lua_State*) {
      qxtest::startCountingAllocations();
      return 0;
    });
    lua_register(L, "allocationsCounted", [](lua_State* L) {
      lua_pushnumber(L, double(qxtest::stopCountingAllocations()));
      return 1;
    });
  };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  QX_SKIP_WITHOUT_GL_WINDOW(!recordsOf("nowindow").empty());
  EXPECT_EQ(recordsOf("pos"), (std::vector<maintest::Record>{{"pos", "-40", "-40"}}));
  EXPECT_EQ(recordsOf("allocs"), (std::vector<maintest::Record>{{"allocs", "0"}}));
  ASSERT_EQ(qxtest::grabbed().size(), size_t(kSide * kSide));

  // Texture (0, 0) at the top left as the camera sees it, for both kinds of quad.
  for (int dx : {0, 51}) {
    EXPECT_EQ(at(34 + dx, 54), 0xFF0000u) << dx;
    EXPECT_EQ(at(43 + dx, 54), 0x00FF00u) << dx;
    EXPECT_EQ(at(34 + dx, 64), 0x0000FFu) << dx;
    EXPECT_EQ(at(43 + dx, 64), 0xFFFFFFu) << dx;
  }
  EXPECT_EQ(at(64, 54), 0x000040u);
  EXPECT_EQ(at(2, 2), 0x000040u);

  // The "T" is centred on its position (pixel (64, 90)) and upright: its bar on top.
  const int top = inkIn(44, 70, 84, 90), bottom = inkIn(44, 90, 84, 110);
  EXPECT_GT(top, 0);
  EXPECT_GT(bottom, 0);
  EXPECT_GT(top, bottom) << "the bar of the T should be on top";
  EXPECT_EQ(inkIn(0, 112, 128, 128), 0);
  // Columns clear of the textured billboards beside the upper "T".
  const int stemTop = inkIn(50, 70, 78, 90), stemBottom = inkIn(50, 90, 78, 110);
  const int oneTop = inkIn(50, 22, 78, 42), oneBottom = inkIn(50, 42, 78, 62);
  EXPECT_NEAR(oneTop, stemTop, stemTop / 8 + 2) << "setScale(3) scales both axes";
  EXPECT_NEAR(oneBottom, stemBottom, stemBottom / 8 + 2);

  // The untextured billboard samples no default: a black square, as before.
  EXPECT_EQ(at(64, 13), 0x000000u);
  EXPECT_EQ(at(64, 4), 0x000040u);
}

// Red half-transparent in front of green as each camera sees them, and a level quad seen
// from in front and from the side within one frame. Cameras 100 units from the origin.
const char* kCameras = R"(
require("QXL")
function main()
  local v = QXL.vec3.new
  local q = Qeldrin.new(128, 128, "cameras")
  if not q:has_window() then record('nowindow') coroutine.yield(false) end
  local phase = coroutine.yield(true)
  while phase ~= 2 do phase = coroutine.yield(true) end
  q:setShader(EffectMgr:create("effect\\billboard.fx"))
  local function cam(from)
    local c = CamMgr:create(from, v(0, 0, 0), 1, 1000)
    c:set_aspect(1)
    return c
  end
  local front, back, side = cam(v(0, 0, -100)), cam(v(0, 0, 100)), cam(v(-100, 0, 0))
  local target = TextureMgr:create_blank(7, 21)
  local red, green = TextureMgr:load("tex\\red.png", 0, 0), TextureMgr:load("tex\\green.png", 0, 0)
  -- From the origin green (z = -10) is nearer; from the front red (z = -30), from the back green.
  local r = BillboardY.new():setPos(v(0, 0, -30)):setSize(40, 40):setTex(red):setAlpha(0.5)
  local g = BillboardY.new():setPos(v(0, 0, -10)):setSize(40, 40):setTex(green):setAlpha(0.5)
  q:set_dsort("Billboard", {0, false, 0})
  local screen = q:getTargetTex(0)
  q:beginDraw()
  q:setTargetTex(0, target)
  for _, c in ipairs({front, back}) do
    q:clearColorBuffer(0xFF000000)
    q:clearZBuffer(1)
    -- Queued right after the camera changes, with nothing bound in between.
    q:setCamera(c)
    q:set_tech("Billboard")
    q:draw_multi({g, r}, "")
    q:flush_drawAll(true)
    keep(target)
  end
  q:endDraw()

  -- A render-target pass from the front, then a screen pass from the side, one frame.
  phase = coroutine.yield(true)
  while phase ~= 2 do phase = coroutine.yield(true) end
  local y = BillboardY.new():setPos(v(0, 0, 0)):setSize(40, 40):setTex(red)
  q:beginDraw()
  for _, pass in ipairs({{target, front}, {nil, side}}) do
    q:setTargetTex(0, pass[1])
    q:setCamera(pass[2])
    q:clearColorBuffer(0xFF000000)
    q:clearZBuffer(1)
    q:set_tech("Billboard")
    q:draw_single(y, "")
    q:flush_drawAll(true)
  end
  q:endDraw()
  keep(target)
  keep(screen)
  coroutine.yield(false)
end
)";

TEST_F(EngineTest, BillboardsSortAndFaceByTheCameraTheyAreDrawnWith) {
  qxtest::preferSoftwareGL();
  writeMain(kCameras);
  installEffect("billboard.fx");
  std::filesystem::create_directories(root_ / "resource" / "tex");
  qxtest::writePng(root_ / "resource" / "tex" / "red.png", 4, 4, 0xFFFF0000u);
  qxtest::writePng(root_ / "resource" / "tex" / "green.png", 4, 4, 0xFF00FF00u);
  qxtest::kept().clear();
  onScriptReady = [](lua_State* L) { lua_register(L, "keep", &qxtest::luaKeep); };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  QX_SKIP_WITHOUT_GL_WINDOW(!recordsOf("nowindow").empty());
  ASSERT_EQ(qxtest::kept().size(), 4u);
  auto channel = [](uint32_t p, int shift) { return int((p >> shift) & 0xFF); };
  // Far first, near blended over it: the near colour at half, the far one at a quarter.
  const char* nearer[2] = {"red (front)", "green (back)"};
  for (int i = 0; i < 2; ++i) {
    const uint32_t p = qxtest::kept()[size_t(i)][64 * kSide + 64];
    const int nearC = channel(p, i == 0 ? 16 : 8), farC = channel(p, i == 0 ? 8 : 16);
    EXPECT_NEAR(nearC, 128, 8) << nearer[i] << std::hex << " " << p;
    EXPECT_NEAR(farC, 64, 8) << nearer[i] << std::hex << " " << p;
  }
  // Both passes of one frame show the quad facing their own camera.
  for (size_t i : {2u, 3u}) {
    const uint32_t p = qxtest::kept()[i][64 * kSide + 64] & 0xFFFFFFu;
    EXPECT_EQ(p, 0xFF0000u) << (i == 2 ? "render target, front" : "screen, side") << std::hex << " " << p;
  }
}

}  // namespace
