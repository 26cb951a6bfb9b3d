// The engine's managers over a recording device, a Qeldrin object made in C++, the
// logging effect and the test objects of rec_support.h.
#pragma once
#include <gtest/gtest.h>

#include "tests/qeldrin/rec_support.h"

namespace qtest {

class QeldrinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ResRegistry::instance().managerCount() != 0) GTEST_SKIP() << "one engine per process (ctest runs each case alone)";
    char pattern[] = "/tmp/qeldrin-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    std::filesystem::create_directories(root_ / "resource" / "effect");
    std::ofstream(root_ / "resource" / "effect" / "t.fx", std::ios::binary) << kEffect;
    programPath().set(qcore::utf8ToUtf16(root_.string()));
    ASSERT_TRUE(initEngineSingletons(0));
    attachThreadLane();
    files_.mount(programPath(), programPath());
    rec = qxgfx::createRecordingDevice(64, 48);
    rec->failProgramsContaining.clear();
    DeviceMgr::instance()->adopt(rec);
    registerTObj();
    callLog().clear();

    fxHandle = EffectMgr::instance()->create(u"effect\\t.fx");
    ASSERT_TRUE(fxHandle.isValid());
    {
      kesto::HdlLock<EffectMgr::FxHandle> fx(fxHandle);
      std::string why;
      auto logging = std::make_unique<LoggingEffect>(qxfx::createEffect(*rec, kEffect, "t.fx", &why));
      fxLog = logging.get();
      fx->adopt(std::move(logging));
    }
    q = std::make_unique<Qeldrin>();
    q->useDeviceTargets();
    q->setShader({fxHandle.value});
  }
  void TearDown() override {
    if (root_.empty()) return;
    q.reset();
    objects_.clear();
    fxHandle.reset();
    if (TextureMgr* t = TextureMgr::instance()) t->releaseDeviceTargets();
    detachThreadLane();
    destroyEngineSingletons();
    detachThreadLane();
    files_.unmount();
    rec = nullptr;
    std::filesystem::remove_all(root_);
  }

  // A new object named n queueing the given entries.
  TObj& object(const std::string& n, std::vector<DrawEntry> entries = {DrawEntry{}}) {
    auto h = MemMgrMulti::instance()->createByName("TObj");
    ItemLock item(h.value);
    auto* o = static_cast<TObj*>(item->data());
    o->name = n;
    o->entries = std::move(entries);
    handles_[n] = h.value;
    objects_.push_back(std::move(h));
    return *o;
  }
  uint32_t handleOf(const std::string& n) { return handles_.at(n); }

  static DrawEntry batched(uint8_t flag = 0, uint32_t texture = 0) {
    DrawEntry e;
    DrawKey::init(e.key, 2, flag);
    e.textures[0] = kesto::HdlBase(texture);
    return e;
  }
  static DrawEntry ownBuffers(uint32_t vb) {
    DrawEntry e;
    DrawKey::setStreams(e.key, 1, {vb});
    return e;
  }

  void queue(const std::vector<std::string>& names) {
    for (const auto& n : names) q->draw_single({handleOf(n)}, "");
  }
  size_t deviceDraws() const { return rec->draws.size(); }

  std::filesystem::path root_;
  EngineFiles files_;
  qxgfx::Ref<qxgfx::RecordingDevice> rec;
  EffectMgr::FxHandle fxHandle;
  LoggingEffect* fxLog = nullptr;
  std::unique_ptr<Qeldrin> q;
  std::vector<MemMgrMulti::HandleType> objects_;
  std::map<std::string, uint32_t> handles_;
};

}  // namespace qtest
