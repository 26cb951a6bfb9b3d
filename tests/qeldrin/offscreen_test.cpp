// The application object as the program runs it: a script makes "Qeldrin", which opens
// an offscreen window with the GL device; the window title, screen-point conversion,
// clearing the back buffer, and drawing into render targets of every format read back.
#include <SDL.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>


#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"
#include "render/device/device_mgr.h"
#include "render/texture/image_codec.h"
#include "runtime/mem/mem_mgr.h"
#include "script/bind/glue_types.h"
#include "script/lua/stack_readers.h"
#include "tests/gfx/gl_fixture.h"
#include "tests/main/engine_fixture.h"
#include "tests/support/gl_engine_fixture.h"
#include "tests/qeldrin/rec_fixture.h"

namespace {

using EngineTest = qxtest::GLEngineTest;
using qxtest::luaPixel;
using maintest::Record;

// A red square from (4, 4) to (20, 20), batched through the HUD vertex format.
struct Quad {
  uint32_t self = MemMgrBase::threadCurrentHandle();
};

void registerQuad() {
  LuaClassDesc d = LuaClassDesc::forType<Quad>("TQuad");
  d.collect = [](void* obj, void*, void*, void* q) { qxtest::queueHudItem(static_cast<Quad*>(obj)->self, q); };
  d.draw = [](void*, void*, void* q) {
    const uint32_t red = 0xFFFF0000;
    static const qtest::HudPos pos[4] = {{4, 4, 0, red}, {20, 4, 0, red}, {20, 20, 0, red}, {4, 20, 0, red}};
    qxtest::drawHudQuad(q, pos);
  };
  // upd_U hands each object the output list; a quad names itself.
  d.update = [](void* obj, void*, void*, void* out) {
    static_cast<std::vector<uint32_t>*>(out)->push_back(static_cast<Quad*>(obj)->self);
  };
  registerClassDesc(d);
}

int luaMakeQuad(lua_State* L) {
  auto h = MemMgrMulti::instance()->createByName("TQuad");
  qxbind::pushObject(L, h.value);
  return 1;
}

int luaWindowTitle(lua_State* L) {
  const uint32_t id = getQXIntAt(L, 1);
  std::string title;
  qxplat::uiRunWaiting([&] {
    SDL_Window* w = SDL_GetWindowFromID(id);
    if (w) title = SDL_GetWindowTitle(w);
  });
  lua_pushstring(L, title.c_str());
  return 1;
}

// compose(preedit[, commit]): what an input method sends while composing (the composition
// stays open without a commit); returns once the UI thread handled the events.
int luaCompose(lua_State* L) {
  std::vector<SDL_Event> events(1);
  events[0].type = SDL_TEXTEDITING;
  std::strncpy(events[0].edit.text, luaL_checkstring(L, 1), sizeof events[0].edit.text - 1);
  events[0].edit.start = 1;
  if (lua_isstring(L, 2)) {
    events.resize(3);
    events[1].type = SDL_TEXTEDITING;
    events[2].type = SDL_TEXTINPUT;
    std::strncpy(events[2].text.text, lua_tostring(L, 2), sizeof events[2].text.text - 1);
  }
  for (SDL_Event& e : events) SDL_PushEvent(&e);
  do {
    qxplat::uiRunWaiting([] {});
  } while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0);
  qxplat::uiRunWaiting([] {});
  return 0;
}

// key(window, scancode, down): one key event on that window, handled before this returns.
int luaKey(lua_State* L) {
  SDL_Event e{};
  e.type = lua_toboolean(L, 3) ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = getQXIntAt(L, 1);
  e.key.keysym.scancode = static_cast<SDL_Scancode>(luaL_checkinteger(L, 2));
  SDL_PushEvent(&e);
  do {
    qxplat::uiRunWaiting([] {});
  } while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0);
  qxplat::uiRunWaiting([] {});
  return 0;
}

// Returns once the UI thread ran everything posted before.
int luaSync(lua_State*) {
  qxplat::uiRunWaiting([] {});
  return 0;
}

const char* kMain = R"(
require("QXL")
function main()
  local q = Qeldrin.new(64, 48, "Tést")
  record('window', q:has_window())
  record('title', wintitle(q:getWnd()))
  record('sp2vp', q:sp2vp(0, 0))
  record('sp2vp', q:sp2vp(64, 48))
  record('sp2vp', q:sp2vp(32, 12))
  local phase = coroutine.yield(true)
  while phase ~= 2 do phase = coroutine.yield(true) end
  q:beginDraw()
  q:clearColorBuffer(0xFF204060)
  q:endDraw()
  local back = q:getTargetTex(0)
  record('back', string.format("%08X", pixel(back, 10, 10)), string.format("%08X", pixel(back, 63, 47)))

  q:setShader(EffectMgr:create("effect\\hud.fx"))
  local target = TextureMgr:create_blank(5, 21)
  q:beginDraw()
  q:setTargetTex(0, target)
  q:clearColorBuffer(0xFF00FF00)
  q:set_tech("Colored")
  q:draw_single(makequad(), "")
  q:flush_drawAll(true)
  q:endDraw()
  record('target', string.format("%08X", pixel(target, 10, 10)), string.format("%08X", pixel(target, 2, 2)),
         string.format("%08X", pixel(target, 25, 25)))
  record('back again', string.format("%08X", pixel(back, 10, 10)))

  local named = q:upd_U({makequad(), makequad()})
  record('upd_U', #named, named[1] ~= nil and named[2] ~= nil and named[1] ~= named[2])
  local from, to = q:getRay(32, 24)
  record('ray', from[3], to[3] > from[3])
  q:beginDraw()
  q:set_dsort("Colored", {4})
  q:set_param({ALPHA = 1, OFFSET = QXL.vec2(0, 0)})
  q:setTargetTex(0, target)
  q:clearCurrentBuffer(0xFF0000FF, 1.0, 0)
  q:draw_multi({makequad(), makequad()}, "")
  q:flush_draw("")
  q:endDraw()
  record('multi', string.format("%08X", pixel(target, 10, 10)), string.format("%08X", pixel(target, 2, 2)))
  coroutine.yield(false)
end
)";

TEST_F(EngineTest, QeldrinOpensItsWindowClearsAndDrawsIntoATarget) {
  qxtest::preferSoftwareGL();
  writeMain(kMain);
  installEffect("hud.fx");
  registerQuad();
  onScriptReady = [](lua_State* L) {
    lua_register(L, "wintitle", &luaWindowTitle);
    lua_register(L, "pixel", &luaPixel);
    lua_register(L, "makequad", &luaMakeQuad);
  };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  const auto window = recordsOf("window");
  QX_SKIP_WITHOUT_GL_WINDOW(window.empty() || window[0][1] != "true");
  EXPECT_EQ(recordsOf("title"), (std::vector<Record>{{"title", qxplat::makeWindowTitle("Tést")}}));
  EXPECT_EQ(recordsOf("sp2vp"), (std::vector<Record>{{"sp2vp", "-1", "1"}, {"sp2vp", "1", "-1"}, {"sp2vp", "0", "0.5"}}));
  EXPECT_EQ(recordsOf("back"), (std::vector<Record>{{"back", "FF204060", "FF204060"}}));
  EXPECT_EQ(recordsOf("target"), (std::vector<Record>{{"target", "FFFF0000", "FF00FF00", "FF00FF00"}}));
  EXPECT_EQ(recordsOf("back again"), (std::vector<Record>{{"back again", "FF204060"}}));
  EXPECT_EQ(recordsOf("upd_U"), (std::vector<Record>{{"upd_U", "2", "true"}}));
  EXPECT_EQ(recordsOf("ray"), (std::vector<Record>{{"ray", "-10", "true"}}));
  EXPECT_EQ(recordsOf("multi"), (std::vector<Record>{{"multi", "FFFF0000", "FF0000FF"}}));
}

TEST_F(EngineTest, CompositionEventsReachTheRegisteredGameObject) {
  qxtest::preferSoftwareGL();
  writeMain(R"(
require("QXL")
require("QXGobj")
function main()
  local q = Qeldrin.new(64, 48, "ime")
  if not q:has_window() then record('nowindow') coroutine.yield(false) end
  local R = QXL.gobj_class()
  function R:recvmsg(zero, name, t)
    if type(t) == "table" then
      record(name, t.string, tostring(t.cursor), t.attribute and #t.attribute or -1,
             t.clause and table.concat(t.clause, ",") or "")
    else
      record(name, type(t))
    end
  end
  local r = R.new(0)
  q:_setIMENotify(r)
  record('active', q:isIMEActive())
  compose("にほ", "日本")
  for i = 1, 3 do coroutine.yield(true) end
  record('active', q:isIMEActive())
  q:_resetIMENotify()
  compose("や")
  for i = 1, 3 do coroutine.yield(true) end
  record('active', q:isIMEActive())
  coroutine.yield(false)
end
)");
  onScriptReady = [](lua_State* L) { lua_register(L, "compose", &luaCompose); };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  if (!recordsOf("nowindow").empty()) GTEST_SKIP() << "no window here";
  EXPECT_EQ(recordsOf("active"), (std::vector<Record>{{"active", "false"}, {"active", "false"}, {"active", "true"}}));
  std::vector<Record> ime;
  for (const char* n : {"STARTCOMPOSITION", "COMPOSITION", "ENDCOMPOSITION"})
    for (const Record& r : recordsOf(n)) ime.push_back(r);
  EXPECT_EQ(ime, (std::vector<Record>{{"STARTCOMPOSITION", "nil"},
                                      {"COMPOSITION", "にほ", "1", "2", "0,2"},
                                      {"ENDCOMPOSITION", "日本", "nil", "-1", ""}}));
}

// Each format create_blank takes: an 8x8 target cleared clear, magenta drawn into columns
// 0-2 and cyan into 3-5 (red and alpha apart), shown over blue on the back buffer, and
// saved (PNG, and DDS of 32-bit colour or A8).
TEST_F(EngineTest, EveryCreateBlankFormatIsDrawnIntoDrawnFromAndSaved) {
  qxtest::preferSoftwareGL();
  writeMain(R"(
require("QXL")
local function rect(x, w, colour, tex)
  local r = HUDUnit_rect.new():set_size(w, 8)
  r.rect.ofsX, r.rect.color, r.rect.hTex = x, colour, tex
  return r
end
function main()
  local q = Qeldrin.new(64, 48, "formats")
  if not q:has_window() then record('nowindow') coroutine.yield(false) end
  q:setShader(EffectMgr:create("effect\\hud.fx"))
  local back = q:getTargetTex(0)
  for _, f in ipairs({21, 22, 23, 25, 26, 28, 32, 50, 51, 20, 24, 77}) do
    local t = TextureMgr:create_blank(3, f)
    if not t then record('refused', f) else
      q:beginDraw()
      local into = q:setTargetTex(0, t)
      q:clearColorBuffer(0)
      q:set_tech("Colored")
      q:draw_multi({rect(0, 3, 0xFFFF00FF), rect(3, 3, 0xFF00FFFF)}, "")
      q:setTargetTex(0, back)
      q:clearColorBuffer(0xFF0000FF)
      q:set_tech("Textured")
      q:draw_single(rect(0, 8, 0xFFFFFFFF, t), "")
      q:flush_drawAll(true)
      q:endDraw()
      TextureMgr:saveAsFile(t, f .. ".png"):saveAsFile(t, f .. ".dds")
      record('shown', f, into ~= nil, pixel(back, 1, 4), pixel(back, 4, 4), pixel(back, 7, 4))
    end
  end
  coroutine.yield(false)
end
)");
  installEffect("hud.fx");
  onScriptReady = [](lua_State* L) { lua_register(L, "pixel", &luaPixel); };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  QX_SKIP_WITHOUT_GL_WINDOW(!recordsOf("nowindow").empty());
  EXPECT_EQ(recordsOf("refused"), (std::vector<Record>{{"refused", "20"}, {"refused", "24"}, {"refused", "77"}}));
  // Columns 1, 4 and 7 shown, then saved, and the DDS file's size.
  const uint32_t M = 0xFFFF00FF, C = 0xFF00FFFF, B = 0xFF0000FF, K = 0xFF000000, W = 0xFFFFFFFF;
  const std::tuple<const char*, std::vector<uint32_t>, size_t> rows[] = {
      {"21", {M, C, B, M, C, 0}, 256}, {"22", {M, C, K, M, C, K}, 256}, {"23", {M, C, K, M, C, K}, 256},
      {"25", {M, C, B, M, C, 0}, 256}, {"26", {M, C, B, M, C, 0}, 256}, {"28", {K, K, B, K, K, 0}, 64},
      {"32", {M, C, B, M, C, 0}, 256}, {"50", {W, K, K, W, K, K}, 256}, {"51", {W, K, B, W, K, 0}, 256}};
  const std::vector<Record> shown = recordsOf("shown");
  ASSERT_EQ(shown.size(), std::size(rows));
  for (size_t i = 0; i < shown.size(); ++i) {
    const auto& [format, want, ddsBytes] = rows[i];
    std::vector<uint32_t> got;
    for (size_t c = 3; c < 6; ++c) got.push_back(uint32_t(std::stod(shown[i].at(c))));
    std::ifstream png(root_ / (format + std::string(".png")), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(png)), std::istreambuf_iterator<char>());
    qxtex::Image img;
    ASSERT_TRUE(qxtex::decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), img, nullptr));
    for (size_t x : {1, 4, 7}) std::memcpy(&got.emplace_back(), &img.bits.at(4 * (4 * 8 + x)), 4);
    EXPECT_EQ(shown[i].at(2), "true") << format;
    EXPECT_EQ(got, want) << format;
    EXPECT_EQ(std::filesystem::file_size(root_ / (format + std::string(".dds"))), 128 + ddsBytes) << format;
  }
}

// Two techniques of two passes: pass 0 yellow, pass 1 (moved 8 pixels right) red in A and
// blue in B, each from the pass's own defaults.
const char* kTwoPass = R"fx(
vec2 screenSize : SCREENSIZE = (640, 480);
vec4 first : FIRST = (0, 0, 0, 1);
vec4 second : SECOND = (0, 1, 0, 1);
vec2 shift : SHIFT = (0, 0);
vertex_shader vs %{
layout(location = QX_POSITION) in vec3 inPos;
void main() {
    vec2 s = (inPos.xy + shift) / screenSize;
    gl_Position = vec4(s.x * 2.0 - 1.0, 1.0 - s.y * 2.0, 0.0, 1.0);
}
%}
fragment_shader fs0 %{ void main() { qx_Color = first; } %}
fragment_shader fs1 %{ void main() { qx_Color = second; } %}
technique A < string SYS_VType = "HudVtx"; > {
    pass p0 < string S = "SHIFT:0 0"; string F = "FIRST:1 1 0 1"; > {
        ZEnable = false; CullMode = None; VertexShader = vs; FragmentShader = fs0; }
    pass p1 < string S = "SHIFT:8 0"; string C = "SECOND:1 0 0 1"; > {
        ZEnable = false; CullMode = None; VertexShader = vs; FragmentShader = fs1; }
}
technique B < string SYS_VType = "HudVtx"; > {
    pass p0 < string S = "SHIFT:0 0"; string F = "FIRST:1 1 0 1"; > {
        ZEnable = false; CullMode = None; VertexShader = vs; FragmentShader = fs0; }
    pass p1 < string S = "SHIFT:8 0"; string C = "SECOND:0 0 1 1"; > {
        ZEnable = false; CullMode = None; VertexShader = vs; FragmentShader = fs1; }
}
)fx";

TEST_F(EngineTest, EachPassOfATechniqueDrawsWithItsOwnDefaults) {
  qxtest::preferSoftwareGL();
  writeMain(R"(
require("QXL")
function main()
  local q = Qeldrin.new(64, 48, "passes")
  if not q:has_window() then record('nowindow') coroutine.yield(false) end
  q:setShader(EffectMgr:create("effect\\twopass.fx"))
  local target = TextureMgr:create_blank(5, 21)
  local quad = makequad()
  for frame = 1, 2 do
    local phase = coroutine.yield(true)
    while phase ~= 2 do phase = coroutine.yield(true) end
    for _, tech in ipairs({"A", "B"}) do
      q:beginDraw()
      q:setTargetTex(0, target)
      q:clearColorBuffer(0xFF000000)
      q:set_tech(tech)
      q:draw_single(quad, "")
      q:flush_drawAll(true)
      q:endDraw()
      keep(target)
    end
  end
  coroutine.yield(false)
end
)");
  std::filesystem::create_directories(root_ / "resource" / "effect");
  std::ofstream(root_ / "resource" / "effect" / "twopass.fx", std::ios::binary) << kTwoPass;
  registerQuad();
  qxtest::kept().clear();
  onScriptReady = [](lua_State* L) {
    lua_register(L, "makequad", &luaMakeQuad);
    lua_register(L, "keep", &qxtest::luaKeep);
  };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  QX_SKIP_WITHOUT_GL_WINDOW(!recordsOf("nowindow").empty());
  ASSERT_EQ(qxtest::kept().size(), 4u);
  // The quad covers pixels 4..19 on both axes; pass 1 draws it 8 pixels to the right.
  for (size_t shot = 0; shot < 4; ++shot) {
    const uint32_t second = shot % 2 == 0 ? 0xFFFF0000u : 0xFF0000FFu;
    int wrong = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const bool inY = y >= 4 && y < 20;
        const uint32_t want = !inY || x < 4 || x >= 28 ? 0xFF000000u : x < 12 ? 0xFFFFFF00u : second;
        const uint32_t got = qxtest::kept()[shot][size_t(y * 32 + x)];
        if (got != want && wrong++ < 3)
          ADD_FAILURE() << "shot " << shot << " (" << x << ", " << y << ") " << std::hex << got;
      }
    EXPECT_EQ(wrong, 0) << "shot " << shot;
  }
}

// The program's own start-up: the window Qeldrin opens feeds the script's controllers,
// and cancelIMECP ends an open composition.
TEST_F(EngineTest, QeldrinsWindowFeedsInputAndCancelIMECPEndsAComposition) {
  qxtest::preferSoftwareGL();
  writeMain(R"(
require("QXL")
require("QXGobj")
function main()
  local q = Qeldrin.new(64, 48, "keys")
  if not q:has_window() then record('nowindow') coroutine.yield(false) end
  local kb = input:create(input:enum('keyboard')[1].guid, false)
  input:entry_upd(kb):register('fire'):bind('fire', kb, 0x39)
  local R = QXL.gobj_class()
  function R:recvmsg(zero, name, t)
    record(name, type(t) == "table" and t.string or type(t))
  end
  local r = R.new(0)
  q:_setIMENotify(r)
  coroutine.yield(true)
  key(q:getWnd(), 44, true)
  for i = 1, 3 do
    coroutine.yield(true)
    if input:pressing('fire') then record('fire') break end
  end
  compose("にほ")
  record('active', q:isIMEActive())
  q:cancelIMECP()
  sync()
  for i = 1, 3 do coroutine.yield(true) end
  record('active', q:isIMEActive())
  coroutine.yield(false)
end
)");
  onScriptReady = [](lua_State* L) {
    lua_register(L, "compose", &luaCompose);
    lua_register(L, "key", &luaKey);
    lua_register(L, "sync", &luaSync);
  };
  const EngineRunReport report = runWithUiThread();
  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  if (!recordsOf("nowindow").empty()) GTEST_SKIP() << "no window here";
  EXPECT_EQ(recordsOf("fire").size(), 1u);
  EXPECT_EQ(recordsOf("active"), (std::vector<Record>{{"active", "true"}, {"active", "false"}}));
  EXPECT_EQ(recordsOf("ENDCOMPOSITION"), (std::vector<Record>{{"ENDCOMPOSITION", ""}}));
}

}  // namespace
