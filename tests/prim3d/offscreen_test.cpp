// The primitives drawn by a script through the application's draw lists on the GL device,
// each into a render target over a background, with pixels read back.
#include "tests/support/gl_engine_fixture.h"

namespace {

using EngineTest = qxtest::GLEngineTest;
using qxtest::luaPixel;
using qxtest::writePng;
using maintest::Record;

// Camera 100 units before the origin looking along +z, 90 degrees, square: a point
// (x, y, 0) lands on pixel (32 + 0.32 x, 32 - 0.32 y) of the 64 x 64 target.
const char* kMain = R"(
require("QXL")
function main()
  local v = QXL.vec3.new
  local q = Qeldrin.new(64, 64, "prim3d")
  if not q:has_window() then record('nowindow') coroutine.yield(false) end
  local phase = coroutine.yield(true)
  while phase ~= 2 do phase = coroutine.yield(true) end
  q:setShader(EffectMgr:create("effect\\prim3d.fx"))
  local cam = CamMgr:create(v(0, 0, -100), v(0, 0, 0), 1, 1000)
  cam:set_aspect(1)
  q:setCamera(cam)
  local target = TextureMgr:create_blank(6, 21)
  local function shot(name, tech, objects, points)
    q:beginDraw()
    q:setTargetTex(0, target)
    q:clearColorBuffer(0xFF000040)
    q:clearZBuffer(1)
    q:set_tech(tech)
    q:draw_multi(objects, "")
    q:flush_drawAll(true)
    q:endDraw()
    for _, p in ipairs(points) do record(name, p[1], p[2], string.format("%08X", pixel(target, p[1], p[2]) or 0)) end
  end

  local red = TextureMgr:load("tex\\red.png", 0, 0)
  local plane = HUDMatPlane.new():setPos(v(0, 0, 0)):setDir(v(0, 0, 1)):setSize(20):setTex(red, red)
  shot('plane', "MatPlane", {plane}, {{32, 32}, {27, 37}, {2, 2}, {32, 20}})

  local sphere = PlantSphere.new():setCenter(v(0, 0, 0)):setRadius(20):setColor(v(0, 1, 0), 1)
  shot('sphere', "Sphere", {sphere}, {{32, 32}, {32, 10}})

  local ray = HUDRay.new():setPos(v(-40, 0, 0), v(40, 0, 0)):setRadius(10, 1.5, 0.5)
  shot('ray', "Ray", {ray}, {{32, 32}, {20, 32}, {16, 32}})

  local trail = PolyLineTR.new():setSrc("anim\\rib.spr"):setWidth(10):setDivision(4)
  for _, p in ipairs({{-40, -20}, {-20, 10}, {0, 0}, {20, -10}, {40, 20}}) do trail:pushPos(v(p[1], p[2], 0)) end
  local line = PolyLineS.new():setSrc("anim\\rib.spr"):setPos(v(-40, -40, 0), v(40, -40, 0))
  shot('ribbon', "Ribbon", {trail, line}, {{32, 32}, {25, 28}, {32, 10}, {32, 44}, {32, 50}})
  -- Close points at z = -80 (1.6 pixels a unit, about (32, 32)): 16 points 2 apart make a
  -- long trail, drawn whole; 4 points 2 apart a short one whose end cap meets the first.
  local close, short = PolyLineTR.new(), PolyLineTR.new()
  for i = 0, 15 do close:pushPos(v(-15 + 2 * i, 8, -80)) end
  for i = 0, 3 do short:pushPos(v(-3 + 2 * i, -8, -80)) end
  for _, r in ipairs({close, short}) do r:setSrc("anim\\rib.spr"):setWidth(10) end
  shot('close', "Ribbon", {close, short}, {{32, 19}, {37, 44}, {53, 44}})
  coroutine.yield(false)
end
)";

uint32_t channel(const std::string& hex, int shift) { return (std::stoul(hex, nullptr, 16) >> shift) & 0xFF; }

TEST_F(EngineTest, PrimitivesDrawIntoATarget) {
  qxtest::preferSoftwareGL();
  writeMain(kMain);
  for (const char* dir : {"effect", "tex", "anim"}) std::filesystem::create_directories(root_ / "resource" / dir);
  installEffect("prim3d.fx");
  writePng(root_ / "resource" / "tex" / "red.png", 4, 4, 0xFFFF0000);
  writePng(root_ / "resource" / "anim" / "rib.png", 8, 4, 0xFFFFFF00);
  std::ofstream(root_ / "resource" / "anim" / "rib.spr") << R"({"texture": "anim\\rib.png", "rect": [0, 0, 8, 4],
    "slot": {"begin": {"rect": [0, 0, 2, 4]}, "line": {"rect": [2, 0, 6, 4]}, "end": {"rect": [6, 0, 8, 4]}}})";
  onScriptReady = [](lua_State* L) { lua_register(L, "pixel", &luaPixel); };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  QX_SKIP_WITHOUT_GL_WINDOW(!recordsOf("nowindow").empty());

  // The colours read at each shot's points, in order.
  const auto colours = [&](const char* shot) {
    std::vector<std::string> out;
    for (const Record& r : recordsOf(shot)) out.push_back(r[3]);
    return out;
  };
  const std::string bg = "FF000040", red = "FFFF0000", yellow = "FFFFFF00";
  EXPECT_EQ(colours("plane"), (std::vector<std::string>{red, red, bg, bg}));
  const auto sphere = colours("sphere");
  ASSERT_EQ(sphere.size(), 2u);
  EXPECT_GE(channel(sphere[0], 8), 0xE0u) << sphere[0];
  EXPECT_EQ(channel(sphere[0], 16) + channel(sphere[0], 0), 0u) << sphere[0];
  EXPECT_EQ(sphere[1], bg);
  // The middle shows the tube half see-through; near the ends it fades out.
  const auto ray = colours("ray");
  ASSERT_EQ(ray.size(), 3u);
  EXPECT_GT(channel(ray[0], 16), 0x40u) << ray[0];
  EXPECT_LT(channel(ray[0], 16), 0xF0u) << ray[0];
  EXPECT_LT(channel(ray[1], 16), 0x20u) << ray[1];
  EXPECT_EQ(ray[2], bg);
  EXPECT_EQ(colours("ribbon"), (std::vector<std::string>{yellow, yellow, bg, yellow, bg}));
  // The long trail's middle; the short trail where its caps (-8..2, 2..12) meet and past
  // its end cap.
  EXPECT_EQ(colours("close"), (std::vector<std::string>{yellow, yellow, bg}));
}

}  // namespace
