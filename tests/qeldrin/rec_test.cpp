// The application object's draw lists, sorting, batching and effect parameters, over a
// recording device and an effect whose writes are logged.
#include <algorithm>
#include <cstring>

#include "script/lua/lua_api.h"
#include "script/lua/script_report.h"
#include "tests/qeldrin/rec_fixture.h"

namespace {

using qtest::callLog;
using qtest::QeldrinTest;

using T = SortArg::Type;
SortArg num(double n) { return SortArg{T::number, n, false}; }

TEST_F(QeldrinTest, ChainsGiveRunsInTheirOrderAndMaterialsOncePerRunOfEqualKeys) {
  ASSERT_TRUE(q->set_tech("T"));
  // Batched entries: a and c share a texture (and so a state key), b differs.
  object("a", {batched(0, 7)});
  object("b", {batched(0, 9)});
  object("c", {batched(0, 7)});
  std::vector<SortArg> byTexture = {num(1)};
  ASSERT_TRUE(q->setSortChain("T", byTexture));
  queue({"a", "b", "c"});
  q->flush_drawAll(true);
  EXPECT_EQ(callLog(), (std::vector<std::string>{"Ma p0", "Da m2", "Dc m2", "Mb p0", "Db m2"}));
  EXPECT_EQ(deviceDraws(), 2u) << "one batch per material";

  // Flag byte 1: every entry draws by itself with its own material.
  callLog().clear();
  rec->clearLog();
  object("d", {batched(1, 7)});
  object("e", {batched(1, 7)});
  queue({"d", "e"});
  q->flush_drawAll(true);
  EXPECT_EQ(callLog(), (std::vector<std::string>{"Md p0", "Dd m3", "Me p0", "De m3"}));
  EXPECT_EQ(deviceDraws(), 2u);

  // Distance, then transparency: opaque near first, blended far first.
  callLog().clear();
  const float dist[] = {5, 1, 3, 2};
  const uint32_t transp[] = {0, 1, 0, 1};
  for (int i = 0; i < 4; ++i) {
    DrawEntry e = ownBuffers(100);
    e.distance = dist[i];
    e.transparency = transp[i];
    object("o" + std::to_string(i), {e});
  }
  std::vector<SortArg> chain = {num(4)};
  ASSERT_TRUE(q->setSortChain("T", chain));
  queue({"o0", "o1", "o2", "o3"});
  q->flush_drawAll(true);
  std::vector<std::string> order;
  for (const auto& l : callLog())
    if (l[0] == 'D') order.push_back(l);
  EXPECT_EQ(order, (std::vector<std::string>{"Do2 m1", "Do0 m1", "Do3 m1", "Do1 m1"}));
}

// An object's consecutive entries are drawn under one lock of its item; each still gets
// its own draw callback and its material only when the key changes.
TEST_F(QeldrinTest, RunsOfOneObjectsEntriesKeepTheirOrderAndMaterials) {
  ASSERT_TRUE(q->set_tech("T"));
  std::vector<DrawEntry> mine = {batched(0, 7), batched(0, 7), batched(0, 9)};
  for (uint32_t i = 0; i < 3; ++i) mine[i].passWord = i;
  object("a", mine);
  object("b", {batched(0, 9)});
  queue({"a", "b", "a"});
  q->flush_drawAll(true);
  EXPECT_EQ(callLog(), (std::vector<std::string>{"Ma p0", "Da m2", "Da m2", "Ma p2", "Da m2", "Db m2", "Ma p0",
                                                 "Da m2", "Da m2", "Ma p2", "Da m2"}))
      << "b shares a's last key: no material of its own";
  EXPECT_EQ(deviceDraws(), 4u) << "a batch per material";
}

TEST_F(QeldrinTest, ParametersReachTheEffectOnlyWhenChanged) {
  ASSERT_TRUE(q->set_tech("T"));
  const ParamValue* colourDefault = q->currentList()->table.find("colour");
  ASSERT_NE(colourDefault, nullptr);
  EXPECT_EQ(std::vector<float>(colourDefault->f, colourDefault->f + 4), (std::vector<float>{1, 2, 3, 4}))
      << "\"COLOR:1 2 3 4\" is the default";
  // A texture binding, and a pass annotation's default set as the pass begins.
  const ParamBinding& tex = q->currentList()->bindings.technique.at("tex");
  EXPECT_NE(tex.param, 0u);
  EXPECT_EQ(tex.defaultValue.kind, uint32_t(ParamValue::kTexture));
  ASSERT_EQ(q->currentList()->bindings.passes.size(), 1u);
  EXPECT_EQ(q->currentList()->bindings.passes[0].count("PGAIN"), 1u);
  auto& a = object("a", {batched(0, 1)});
  auto& b = object("b", {batched(0, 2)});
  const float red[4] = {1, 0, 0, 1};
  std::memcpy(a.colour, red, sizeof red);
  std::memcpy(b.colour, red, sizeof red);
  a.setsColour = b.setsColour = true;
  const float bias[2] = {7, 8};
  q->setParamVector("BIAS", &bias[0], 1);
  queue({"a", "b"});                         // given to the effect by the first queueing
  q->setParamVector("BIAS", &bias[1], 1);  // pending across the technique's begin
  fxLog->log.clear();
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->last["BIAS"], (std::vector<float>{8, 0, 0, 0}));
  EXPECT_EQ(fxLog->last["GAIN"], (std::vector<float>{5, 0, 0, 0}));
  EXPECT_GE(fxLog->count("commit"), 1) << "values set inside the pass are committed";
  // The technique's default (1 2 3 4) went first; each object resets it ("OBJ_") and sets
  // red again, which is sent only when it differs from what the effect holds.
  const std::vector<float> expect(red, red + 4);
  EXPECT_EQ(fxLog->last["COLOR"], expect);
  EXPECT_EQ(fxLog->writes("COLOR"), 2);
  const int vp = fxLog->writes("VIEWPROJECTION");
  EXPECT_EQ(vp, 1) << "the camera did not change within the flush";
  // An object whose material sets nothing draws with the technique's default again.
  object("c", {batched(0, 3)});
  queue({"a", "c"});
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->last["COLOR"], (std::vector<float>{1, 2, 3, 4}));
  const int lookups = fxLog->semanticLookups;
  queue({"a", "c"});
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->semanticLookups, lookups) << "a shared name's parameter is looked up once";
  {
    ParamTable empty;
    FxData none;
    EXPECT_FALSE(empty.apply(none, q->currentList()->bindings, 0)) << "nothing pending sends nothing";
  }

  // The next flush begins the technique again: what was given is sent again once.
  fxLog->log.clear();
  queue({"a"});
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->writes("VIEWPROJECTION"), 1);
  EXPECT_EQ(fxLog->writes("SCREENSIZE"), 1);
  EXPECT_EQ(fxLog->count("begin"), 1);
  EXPECT_EQ(fxLog->count("pass 0"), 1);

  fxLog->log.clear();
  q->setParamVector("BIAS", &bias[1], 1);
  q->bindEffectParams();
  EXPECT_EQ(fxLog->writes("BIAS"), 0) << "the effect holds that value already";
  EXPECT_EQ(q->currentList()->bindings.technique.size(), 2u) << "only OBJ_ and EXT_ annotations bind";
  // A camera moved without an edit (no new revision) is bound again.
  fxLog->log.clear();
  {
    kesto::HdlLock<CamMgr::CamHandle> cam(q->getCamera());
    cam->move_fwd3d(3.0f);
  }
  const uint32_t revision = kesto::HdlLock<CamMgr::CamHandle>(q->getCamera())->revision();
  q->bindEffectParams();
  EXPECT_EQ(kesto::HdlLock<CamMgr::CamHandle>(q->getCamera())->revision(), revision);
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->writes("VIEWPROJECTION"), 1);
  EXPECT_FLOAT_EQ(q->cam_pos().z, -7.0f);
}

TEST_F(QeldrinTest, EachPassBeginsWithItsOwnDefaults) {
  object("a", {batched(0, 1)});
  using Values = std::map<std::string, std::vector<float>>;
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(q->set_tech("M"));
    fxLog->atPass.clear();
    queue({"a"});
    q->flush_drawAll(true);
    ASSERT_EQ(fxLog->atPass.size(), 2u) << frame;
    // A name each pass binds to another parameter, and names only one pass binds.
    for (int p = 0; p < 2; ++p) {
      Values& v = fxLog->atPass[size_t(p)];
      EXPECT_EQ(v["GAIN"], (std::vector<float>{p ? 3.0f : 1.0f, 0, 0, 0})) << frame << " pass " << p;
      EXPECT_EQ(v["BIAS"], (std::vector<float>{p ? 2.0f : 4.0f, 0, 0, 0})) << frame << " pass " << p;
    }
    // Another technique between frames leaves the effect holding its own values.
    ASSERT_TRUE(q->set_tech("T"));
    queue({"a"});
    q->flush_drawAll(true);
  }
  // A name no pass binds and no parameter carries is dropped, not kept pending.
  ASSERT_TRUE(q->set_tech("M"));
  const float x = 1;
  q->setParamVector("NOWHERE", &x, 1);
  q->bindEffectParams();
  EXPECT_FALSE(q->currentList()->table.hasPending());

  // A default short of its parameter's numbers is a warning, once for each effect, though
  // the list is built again under each shader it is selected with.
  std::ofstream(root_ / "resource" / "effect" / "t2.fx", std::ios::binary) << qtest::kEffect;
  auto second = EffectMgr::instance()->create(u"effect\\t2.fx");
  ASSERT_TRUE(second.isValid());
  std::vector<std::string> logged;
  setScriptDebugLogSink([&](std::string_view line) { logged.emplace_back(line); });
  for (uint32_t shader : {fxHandle.value, second.value, fxHandle.value, second.value}) {
    q->setShader({shader});
    ASSERT_TRUE(q->set_tech("Short"));
    ASSERT_TRUE(q->set_tech("T"));
  }
  setScriptDebugLogSink(nullptr);
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_NE(logged[0].find("warning: effect \"effect\\t.fx\", technique \"Short\""), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find("colour gives 2 of the 4 numbers of parameter \"colour\""), std::string::npos) << logged[0];
  EXPECT_NE(logged[1].find("t2.fx"), std::string::npos) << logged[1];
  EXPECT_EQ(q->list("Short")->table.find("colour")->f[1], 2.0f);
}

TEST_F(QeldrinTest, ScreenSizeFollowsTargetAndWorldViewProjectionIsWorldTimesViewProjection) {
  ASSERT_TRUE(q->set_tech("T"));
  auto& a = object("a", {batched(0)});
  a.setsWorld = true;
  const float world[12] = {2, 0, 0, 0, 2, 0, 0, 0, 2, 5, 6, 7};
  std::memcpy(a.world, world, sizeof world);
  queue({"a"});
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->last["SCREENSIZE"], (std::vector<float>{64, 48, 0, 0}));
  Mat43 w;
  std::memcpy(w.m, world, sizeof world);
  const Mat44 expect = w * kesto::HdlLock<CamMgr::CamHandle>(q->getCamera())->viewProjection();
  ASSERT_EQ(fxLog->last["WORLDVIEWPROJECTION"].size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(fxLog->last["WORLDVIEWPROJECTION"][size_t(i)], expect.m[i]) << i;

  // A render target of 32x32: queued entries are drawn before it takes over.
  auto target = TextureMgr::instance()->create_blank(5, qxgfx::D3DFMT_A8R8G8B8);
  ASSERT_TRUE(target.isValid());
  callLog().clear();
  queue({"a"});
  auto previous = q->setTargetTex(0, {target.value});
  EXPECT_EQ(previous.value, TextureMgr::instance()->backBufferTexture().value);
  EXPECT_EQ(callLog().size(), 2u) << "the target change flushed the list";
  callLog().clear();
  q->setTargetTex(0, {target.value});
  queue({"a"});
  q->setTargetTex(0, {target.value});
  EXPECT_TRUE(callLog().empty()) << "the same target flushes nothing";
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->last["SCREENSIZE"], (std::vector<float>{32, 32, 0, 0}));
  EXPECT_EQ(rec->getRenderTarget(0)->desc().width, 32u);
  q->setTargetTex(0, {0});
  queue({"a"});
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->last["SCREENSIZE"], (std::vector<float>{64, 48, 0, 0})) << "null is the back buffer";
}

TEST_F(QeldrinTest, RefusedTechniquesTargetsAndCameras) {
  EXPECT_FALSE(q->set_tech(std::string(64, 'T')));
  EXPECT_FALSE(q->set_tech("Missing"));
  EXPECT_TRUE(q->techniqueName().empty());
  ASSERT_TRUE(q->set_tech("T"));
  EXPECT_FALSE(q->set_tech("Missing"));
  EXPECT_EQ(q->techniqueName(), "T") << "a refused name keeps the current list";

  // A technique without a vertex format queues but never draws.
  ASSERT_TRUE(q->set_tech("NoFormat"));
  object("a", {batched(0)});
  queue({"a"});
  q->flush_drawAll(true);
  EXPECT_TRUE(callLog().empty());
  EXPECT_TRUE(q->list("NoFormat")->entries.empty());

  // With an entry queued: refused targets (out of range, an A8 page, the depth-stencil
  // wrapper) and the same camera change nothing and flush nothing.
  ASSERT_TRUE(q->set_tech("T"));
  queue({"a"});
  auto page = TextureMgr::instance()->createA8Texture(4, 4);
  auto a8 = TextureMgr::instance()->create_blank(2, qxgfx::D3DFMT_A8);
  auto good = TextureMgr::instance()->create_blank(2, qxgfx::D3DFMT_A8R8G8B8);
  ASSERT_TRUE(a8.isValid() && good.isValid());
  const std::pair<int32_t, uint32_t> refused[] = {{4, good.value},
                                                  {-1, good.value},
                                                  {1, page.value},
                                                  {1, TextureMgr::instance()->depthStencilTexture().value}};
  for (const auto& [index, texture] : refused) EXPECT_EQ(q->setTargetTex(index, {texture}).value, 0u) << index;
  EXPECT_EQ(q->getTargetTex(1).value, 0u);
  EXPECT_EQ(q->getTargetTex(0).value, TextureMgr::instance()->backBufferTexture().value);
  EXPECT_EQ(q->getTargetTex(9).value, 0u);
  q->setCamera({q->getCamera().value});
  EXPECT_TRUE(callLog().empty());
  // Another camera flushes and is bound.
  auto other = CamMgr::instance()->createCamera({1, 2, 3}, {0, 0, 0}, 1, 100);
  q->setCamera({other.value});
  EXPECT_EQ(callLog().size(), 2u);
  q->setCamera({12345});
  EXPECT_EQ(q->getCamera().value, other.value) << "not a camera";
  queue({"a"});
  q->flush_drawAll(true);
  EXPECT_FLOAT_EQ(q->cam_pos().x, 1.0f);
  EXPECT_FLOAT_EQ(q->cameraAxis(2).x, kesto::HdlLock<CamMgr::CamHandle>(other)->get_dir().x);
  // An A8 render target is one to draw into.
  EXPECT_EQ(q->setTargetTex(1, {a8.value}).value, 0u);
  EXPECT_EQ(q->getTargetTex(1).value, a8.value);
  q->setTargetTex(1, {0});
}

TEST_F(QeldrinTest, ImmediateDrawsAndStreamSlots) {
  ASSERT_TRUE(q->set_tech("T"));
  // Strips, fans and lines go to the batcher, drawn with the technique begun last.
  object("z", {batched(0)});
  queue({"z"});
  q->flush_drawAll(true);
  qtest::HudPos pos[5] = {};
  qtest::HudUV uv[5] = {};
  const void* two[2] = {pos, uv};
  const void* one[1] = {pos};
  rec->clearLog();
  q->drawStrip(5, two);
  q->drawStrip(2, two);
  q->drawFan(0, two);
  q->drawLineStrip(1, two);
  std::vector<std::string> logged;
  setScriptDebugLogSink([&](std::string_view line) { logged.emplace_back(line); });
  q->drawLineStrip(3, one);  // the format has two streams: skipped, and said once
  q->drawLineStrip(3, one);
  setScriptDebugLogSink(nullptr);
  EXPECT_EQ(logged.size(), 1u);
  q->drawLineStrip(3, two);  // another primitive type: the strip is drawn first
  queue({"z"});
  q->flush_drawAll(true);
  ASSERT_GE(rec->draws.size(), 2u);
  EXPECT_NE(rec->draws[0].streamIds[0], 0u);
  EXPECT_NE(rec->draws[0].streamIds[1], 0u);
  EXPECT_EQ(rec->draws[0].indices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 2, 3, 4}));
  EXPECT_EQ(rec->draws[0].primType, uint32_t(qxgfx::D3DPT_TRIANGLELIST));
  EXPECT_EQ(rec->draws[1].indices, (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(rec->draws[1].primType, uint32_t(qxgfx::D3DPT_LINELIST));

  // Stream slots: the same buffer at offset 0 sets no bit again.
  auto vb = rec->createVertexBuffer(64, 0, 0, qxgfx::D3DPOOL_DEFAULT);
  for (int round = 0; round < 2; ++round) {
    for (int twice = 0; twice < 2; ++twice) {
      rec->clearLog();
      round == 0 ? q->setStream(3, vb.get()) : q->setStream(4, vb->id(), 0, 0);
      q->applyState();
    }
    for (const auto& c : rec->calls) EXPECT_EQ(c.find("SetStreamSource"), std::string::npos) << c;
  }
  const uint32_t refs = vb->refCount();
  q->setStream(3, nullptr);
  EXPECT_EQ(vb->refCount(), refs - 1) << "the slot held a reference";
  // A list without a vertex format gives its streams no stride.
  ASSERT_TRUE(q->set_tech("NoFormat"));
  for (uint32_t s = 0; s < 16; ++s) q->setStream(s, vb.get());
  q->applyState();
  for (uint32_t s = 0; s < 16; ++s) EXPECT_EQ(rec->streamSource(s).stride, 0u) << s;
}

// A Lua value made by running `return <expr>`, on top of the stack.
int pushValue(lua_State* L, const char* expr) {
  const std::string chunk = std::string("return ") + expr;
  if (luaL_loadstring(L, chunk.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) return 0;
  return lua_gettop(L);
}

std::vector<float> vec(const ParamValue* v) {
  return v && v->kind == ParamValue::kVector ? std::vector<float>(v->f, v->f + 4) : std::vector<float>{};
}

TEST_F(QeldrinTest, ScriptTablesForParametersAndSortChains) {
  lua_State* L = luaL_newstate();
  ASSERT_TRUE(q->set_tech("T"));
  q->set_param({L, pushValue(L, "{COLOR = {5, 6, dim = 2}, SCALE = 3, junk = 'x', [1] = 4, BAD = {1, 2}}")});
  const ParamTable& t = q->currentList()->table;
  EXPECT_EQ(vec(t.find("COLOR")), (std::vector<float>{5, 6, 0, 0})) << "missing components are 0";
  EXPECT_EQ(vec(t.find("SCALE")), (std::vector<float>{3, 0, 0, 0}));
  EXPECT_EQ(t.find("junk"), nullptr);
  EXPECT_EQ(t.find("BAD"), nullptr) << "a table without dim is no vector";
  q->set_param({L, pushValue(L, "7")});  // not a table: nothing

  // Kind codes with their parameters; a flag must be a boolean.
  q->set_dsort("U", {L, pushValue(L, "{3, true, 'x', 0, true}")});
  EXPECT_EQ(q->techniqueName(), "U");
  ASSERT_EQ(q->list("U")->chain.size(), 1u) << "the distance code lacks its tolerance";
  EXPECT_NE(dynamic_cast<SA_PrimType*>(q->list("U")->chain[0].get()), nullptr);
  std::vector<DrawEntry> prims(2);
  prims[0].primType = 2;
  prims[1].primType = 5;
  prims[1].passWord = 1;
  std::vector<DrawRun> runs;
  DrawEntry scratch[2];
  q->list("U")->chain[0]->sort(prims.data(), prims.data() + 2, scratch, runs);
  EXPECT_EQ(runs.at(0).first->passWord, 0u) << "true: the smaller primitive type first";
  q->set_dsort("U", {L, pushValue(L, "{2, true, 1}")});
  ASSERT_EQ(q->list("U")->chain.size(), 2u) << "the array's last element is read too";
  EXPECT_NE(dynamic_cast<SA_Texture*>(q->list("U")->chain[1].get()), nullptr);
  // The flag and the tolerance reach their algorithms: a run per own buffer when split,
  // and distances within the tolerance make one run.
  std::vector<DrawEntry> two(2);
  DrawKey::setStreams(two[0].key, 1, {3});
  DrawKey::setStreams(two[1].key, 2, {3});
  two[1].distance = 0.25f;
  runs.clear();
  q->list("U")->chain[0]->sort(two.data(), two.data() + 2, scratch, runs);
  EXPECT_EQ(runs.size(), 2u) << "split by buffers";
  q->set_dsort("U", {L, pushValue(L, "{0, true, 0.5}")});
  runs.clear();
  q->list("U")->chain[0]->sort(two.data(), two.data() + 2, scratch, runs);
  EXPECT_EQ(runs.size(), 1u) << "within the tolerance";
  q->set_dsort("U", {L, pushValue(L, "{}")});
  EXPECT_TRUE(q->list("U")->chain.empty()) << "a second call replaces the chain";
  q->set_dsort("Missing", {L, pushValue(L, "{1}")});
  EXPECT_EQ(q->list("Missing"), nullptr);
  EXPECT_EQ(q->techniqueName(), "U");
  lua_close(L);
}

TEST_F(QeldrinTest, FramesTargetsAndLostHandles) {
  rec->clearLog();
  q->drawIndexedTriangles(3, 1);
  for (const auto& c : rec->calls) EXPECT_EQ(c.find("DrawIndexedPrimitive"), std::string::npos) << "no list";
  // beginDraw takes the device lock and begins the scene once; endDraw ends and presents.
  rec->clearLog();
  q->endDraw();
  q->beginDraw();
  q->beginDraw();
  EXPECT_TRUE(DeviceMgr::instance()->heldByMe());
  q->endDraw();
  q->endDraw();
  EXPECT_FALSE(DeviceMgr::instance()->heldByMe());
  std::vector<std::string> scene;
  for (const auto& c : rec->calls)
    if (c == "BeginScene" || c == "EndScene" || c == "Present") scene.push_back(c);
  EXPECT_EQ(scene, (std::vector<std::string>{"BeginScene", "EndScene", "Present"}));

  // A list made under another shader is made again under the new one.
  std::filesystem::copy_file(root_ / "resource" / "effect" / "t.fx", root_ / "resource" / "effect" / "t2.fx");
  auto other = EffectMgr::instance()->create(u"effect\\t2.fx");
  ASSERT_TRUE(other.isValid());
  ASSERT_TRUE(q->set_tech("T"));
  q->setShader({other.value});
  ASSERT_TRUE(q->set_tech("U"));
  ASSERT_TRUE(q->set_tech("T"));
  EXPECT_EQ(q->list("T")->shader, other.value);

  // Target 3 is the last one.
  auto target = TextureMgr::instance()->create_blank(4, qxgfx::D3DFMT_A8R8G8B8);
  q->setTargetTex(3, {target.value});
  EXPECT_EQ(q->getTargetTex(3).value, target.value);

  // clear_losthandle(true) turns the memory items' lost list, false the game objects'.
  uint32_t gone = 0;
  {
    auto h = MemMgrMulti::instance()->createByName("TObj");
    gone = h.value;
  }
  std::vector<uint32_t> lost;
  q->clear_losthandle(false);
  MemMgrMulti::instance()->copyFrameItems(lost);
  EXPECT_TRUE(std::find(lost.begin(), lost.end(), gone) == lost.end());
  q->clear_losthandle(true);
  MemMgrMulti::instance()->copyFrameItems(lost);
  EXPECT_TRUE(std::find(lost.begin(), lost.end(), gone) != lost.end());
}

}  // namespace
