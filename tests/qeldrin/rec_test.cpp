// The application object's draw lists, sorting, batching and effect parameters, over a
// recording device and an effect whose writes are logged.
#include <cstring>

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

TEST_F(QeldrinTest, ModesFollowRunsOfOneKindOfEntry) {
  ASSERT_TRUE(q->set_tech("T"));
  object("own", {ownBuffers(100)});
  object("bat", {batched(0)});
  object("solo", {batched(1)});
  queue({"own", "bat", "solo", "own"});  // an object queued twice is drawn twice
  q->flush_drawAll(true);
  std::vector<std::string> draws;
  for (const auto& l : callLog())
    if (l[0] == 'D') draws.push_back(l);
  EXPECT_EQ(draws, (std::vector<std::string>{"Down m1", "Dbat m2", "Dsolo m3", "Down m1"}));
  EXPECT_EQ(q->drawMode(), 0);
}

TEST_F(QeldrinTest, ParametersReachTheEffectOnlyWhenChanged) {
  ASSERT_TRUE(q->set_tech("T"));
  auto& a = object("a", {batched(0, 1)});
  auto& b = object("b", {batched(0, 2)});
  const float red[4] = {1, 0, 0, 1};
  std::memcpy(a.colour, red, sizeof red);
  std::memcpy(b.colour, red, sizeof red);
  a.setsColour = b.setsColour = true;
  queue({"a", "b"});
  fxLog->log.clear();
  q->flush_drawAll(true);
  // The technique's default (1 2 3 4) went first; each object resets it ("OBJ_") and sets
  // red again, which is sent only when it differs from what the effect holds.
  const std::vector<float> expect(red, red + 4);
  EXPECT_EQ(fxLog->last["COLOR"], expect);
  EXPECT_EQ(fxLog->writes("COLOR"), 2);
  const int vp = fxLog->writes("VIEWPROJECTION");
  EXPECT_EQ(vp, 1) << "the camera did not change within the flush";

  // The next flush begins the technique again: what was given is sent again once.
  fxLog->log.clear();
  queue({"a"});
  q->flush_drawAll(true);
  EXPECT_EQ(fxLog->writes("VIEWPROJECTION"), 1);
  EXPECT_EQ(fxLog->writes("SCREENSIZE"), 1);
  EXPECT_EQ(fxLog->count("begin"), 1);
  EXPECT_EQ(fxLog->count("pass 0"), 1);

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

  // Targets: out of range, an A8 page, the depth-stencil wrapper.
  auto page = TextureMgr::instance()->createA8Texture(4, 4);
  EXPECT_EQ(q->setTargetTex(4, {0}).value, 0u);
  EXPECT_EQ(q->setTargetTex(-1, {0}).value, 0u);
  EXPECT_EQ(q->setTargetTex(1, {page.value}).value, 0u);
  EXPECT_EQ(q->setTargetTex(1, {TextureMgr::instance()->depthStencilTexture().value}).value, 0u);
  EXPECT_EQ(q->getTargetTex(1).value, 0u);
  EXPECT_EQ(q->getTargetTex(0).value, TextureMgr::instance()->backBufferTexture().value);
  EXPECT_EQ(q->getTargetTex(9).value, 0u);

  // setCamera: the same camera flushes nothing; another one flushes and is bound.
  ASSERT_TRUE(q->set_tech("T"));
  queue({"a"});
  q->setCamera({q->getCamera().value});
  EXPECT_TRUE(callLog().empty());
  auto other = CamMgr::instance()->createCamera({1, 2, 3}, {0, 0, 0}, 1, 100);
  q->setCamera({other.value});
  EXPECT_EQ(callLog().size(), 2u);
  q->setCamera({12345});
  EXPECT_EQ(q->getCamera().value, other.value) << "not a camera";
  queue({"a"});
  q->flush_drawAll(true);
  EXPECT_FLOAT_EQ(q->cam_pos().x, 1.0f);
  EXPECT_FLOAT_EQ(q->cameraAxis(2).x, kesto::HdlLock<CamMgr::CamHandle>(other)->get_dir().x);
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
  q->drawLineStrip(3, one);  // the format has two streams: skipped
  q->drawLineStrip(3, two);  // another primitive type: the strip is drawn first
  queue({"z"});
  q->flush_drawAll(true);
  ASSERT_GE(rec->draws.size(), 2u);
  EXPECT_EQ(rec->draws[0].indices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 2, 3, 4}));
  EXPECT_EQ(rec->draws[0].primType, uint32_t(qxgfx::D3DPT_TRIANGLELIST));
  EXPECT_EQ(rec->draws[1].indices, (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(rec->draws[1].primType, uint32_t(qxgfx::D3DPT_LINELIST));

  // Stream slots: the same buffer at offset 0 sets no bit again.
  auto vb = rec->createVertexBuffer(64, 0, 0, qxgfx::D3DPOOL_DEFAULT);
  q->setStream(3, vb.get());
  q->applyState();
  rec->clearLog();
  q->setStream(3, vb.get());
  q->applyState();
  for (const auto& c : rec->calls) EXPECT_EQ(c.find("setStreamSource"), std::string::npos) << c;
  const uint32_t refs = vb->refCount();
  q->setStream(3, nullptr);
  EXPECT_EQ(vb->refCount(), refs - 1) << "the slot held a reference";
}

}  // namespace
