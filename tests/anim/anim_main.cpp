#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <vector>

#include "tests/anim/anim_fixture.h"

namespace animtest {

namespace {

void putPng(const std::string& name, int w, int h) {
  std::vector<uint8_t> px(size_t(w) * h * 4, 0xFF);
  std::string out;
  stbi_write_png_to_func([](void* c, void* d, int n) { static_cast<std::string*>(c)->append(static_cast<char*>(d), n); },
                         &out, w, h, 4, px.data(), w * 4);
  bindtest::putFile(name, out);
}

}  // namespace

uint32_t textureRefs(const std::u16string& name) {
  AnimTexHandle h = TextureMgr::instance()->acquireByName(name).handle;
  return h.value ? h.refCount() - 1 : 0;
}

void AnimTest::SetUpTestSuite() {
  putPng("sheet.png", 256, 64);
  putPng("other.png", 128, 32);
}

namespace {
const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& c) {
  c.provide(kesto::ManagerKind::texture, [] { return std::make_unique<TextureMgr>(); });
  c.provide(kesto::ManagerKind::animation, [] { return std::make_unique<AnimMgr>(); });
}));
}  // namespace

}  // namespace animtest
