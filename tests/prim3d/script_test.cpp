// The primitives as scripts reach them in the running engine: bound classes, chaining,
// getPlane through QXL.plane.newABCD, ribbon sources read from ".spr" animations.
#include "program/main/script_setup.h"
#include "app/qeldrin/item_lock.h"
#include "hud/prim3d/poly_line.h"
#include "script/bind/bind_order.h"
#include "script/lua/stack_readers.h"
#include "tests/main/engine_fixture.h"
#include "tests/support/gl_engine_fixture.h"

namespace {

using maintest::EngineTest;
using qxtest::writePng;
using maintest::Record;

// ribbon(obj): the begin, end and line rectangles of a PolyLineS and whether it holds a
// texture and an animation.
int luaRibbon(lua_State* L) {
  ItemLock item(getHandleAt(L, 1));
  if (!item || !item->data()) return 0;
  const RibbonSource& s = static_cast<PolyLineS*>(item->data())->source;
  std::string text;
  for (const Vec4& r : {s.rects.begin, s.rects.end, s.rects.line}) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g,%g,%g,%g ", r.x, r.y, r.z, r.w);
    text += buf;
  }
  lua_pushstring(L, text.c_str());
  lua_pushboolean(L, s.texture.isValid());
  lua_pushboolean(L, s.animation.isValid());
  return 3;
}

TEST_F(EngineTest, ScriptsMakeChainAndFeedThePrimitives) {
  std::filesystem::create_directories(root_ / "resource" / "anim");
  writePng(root_ / "resource" / "anim" / "rib.png", 8, 4, 0xFFFFFF00);
  std::ofstream(root_ / "resource" / "anim" / "rib.spr") << R"({"texture": "anim\\rib.png", "rect": [0, 0, 8, 4],
    "slot": {"begin": {"rect": [0, 0, 2, 4]}, "line": {"rect": [2, 0, 6, 4]}, "end": {"rect": [6, 0, 8, 4]}}})";
  std::ofstream(root_ / "resource" / "anim" / "empty.spr") << R"({"texture": "anim\\rib.png"})";
  std::ofstream(root_ / "resource" / "anim" / "broken.spr") << R"({"slot": )";
  writeMain(R"(require("QXL")
  QXL.plane = { newABCD = function(a, b, c, d) return table.concat({a, b, c, d}, " ") end }
  function main()
    local v = QXL.vec3.new
    local p = HUDMatPlane.new()
    record('plane', p:setPos(v(0, 2, 0)):setDir(v(0, 1, 0)):setSize(3):setIteration(2):setTex(nil, nil):getPlane())
    p:setPos(v(1, 2, 3)):setDir(v(2, 0, -1))
    record('plane', p:getPlane())
    local r, s, t = HUDRay.new(), PlantSphere.new(), PolyLineTR.new()
    local l = PolyLineS.new()
    record('src', ribbon(l:setPos(v(0, 0, 0), v(1, 0, 0)):setWidth(1):setZOffset(0):setAlpha(0.5):setSrc("anim\\rib.spr")))
    record('src', ribbon(l:setSrc("anim\\missing.spr")))
    record('src', ribbon(l:setSrc("anim\\broken.spr")))
    record('src', ribbon(PolyLineS.new():setSrc("anim\\empty.spr")))
    -- Wrong, missing and extreme arguments change nothing they should not and raise nothing.
    record('hostile', (ribbon(l:setSrc(""):setSrc(string.rep("x", 300)):setSrc())),
      pcall(function() s:setDivision(2147483647, -2147483647):setDivision():setRadius(0 / 0) end),
      pcall(function() r:setDivision(100000, 100000):setRadius(-1, 0 / 0, 1e38):setColor(v(9, -9, 0 / 0), -1) end),
      pcall(function() t:setNVtx(-7):pushPos(v(0 / 0, 1, 2)):setDivision(-3):setDivDist(-1) end),
      pcall(function() p:setTex(r, s):setSize(1e30):setIteration(-1) end))
  end)");
  onScriptReady = [](lua_State* L) { lua_register(L, "ribbon", &luaRibbon); };
  const EngineRunReport report = run();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  EXPECT_EQ(recordsOf("plane"), (std::vector<Record>{{"plane", "0 1 0 2"}, {"plane", "2 0 -1 -1"}}));
  const std::string rects = "0,0,0.25,1 0.75,0,1,1 0.25,0,0.75,1 ";
  EXPECT_EQ(recordsOf("src"), (std::vector<Record>{{"src", rects, "true", "true"},
                                                   {"src", rects, "true", "true"},
                                                   {"src", rects, "false", "false"},
                                                   {"src", "0,0,0,0 0,0,0,0 0,0,0,0 ", "false", "false"}}));
  EXPECT_EQ(recordsOf("hostile"), (std::vector<Record>{{"hostile", rects, "true", "true", "true", "true"}}));
  expectEverythingEnded();
}

}  // namespace
