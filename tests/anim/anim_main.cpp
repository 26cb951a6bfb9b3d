#include <gtest/gtest.h>

#include "tests/anim/anim_fixture.h"

namespace animtest {

namespace {

std::unique_ptr<FakeTexMgr> gTexMgr;

uint32_t fakeLoad(const std::u16string& name) {
  auto size = sizes().find(name);
  if (size == sizes().end() || !gTexMgr) return 0;
  auto& held = textures()[name];
  if (!held.value) {
    held = gTexMgr->create().handle;
    kesto::HdlLock<FakeTexMgr::HandleType> lock(held);
    *lock = size->second;
  }
  held.manager()->addRef(held.value);
  return held.value;
}

bool fakeSize(uint32_t handle, int32_t& w, int32_t& h) {
  kesto::HdlLock<FakeTexMgr::HandleType> lock(handle, kesto::HdlLock<FakeTexMgr::HandleType>::kShared);
  if (!lock) return false;
  w = lock->width;
  h = lock->height;
  return true;
}

const AnimTextureSource kFake = {&fakeLoad, &fakeSize};

}  // namespace

std::map<std::u16string, FakeTexMgr::HandleType>& textures() {
  static std::map<std::u16string, FakeTexMgr::HandleType> t;
  return t;
}

std::map<std::u16string, FakeTex>& sizes() {
  static std::map<std::u16string, FakeTex> s;
  return s;
}

uint32_t textureRefs(const std::u16string& name) {
  auto it = textures().find(name);
  return it == textures().end() ? 0 : it->second.refCount() - 1;
}

void AnimTest::SetUpTestSuite() {
  gTexMgr = std::make_unique<FakeTexMgr>();
  setAnimTextureSource(&kFake);
  sizes() = {{u"sheet.png", {256, 64}}, {u"other.png", {128, 32}}, {u"empty.png", {0, 0}}};
}

void AnimTest::TearDownTestSuite() {
  setAnimTextureSource(nullptr);
  textures().clear();
  gTexMgr.reset();
}

void AnimTest::TearDown() {
  bindtest::StateTest::TearDown();
}

namespace {
const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& c) {
  c.provide(kesto::ManagerKind::animation, [] { return std::make_unique<AnimMgr>(); });
}));
}  // namespace

}  // namespace animtest
