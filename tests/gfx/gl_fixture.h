// An offscreen GL device for tests, skipped only where no GL context can be made at all.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_context.h"

namespace qxtest {

// Pixels are compared as llvmpipe draws them; an environment that asks otherwise wins.
inline void preferSoftwareGL() {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

inline qxgfx::Ref<qxgfx::Device> makeGLDevice(uint32_t w, uint32_t h, std::string* why) {
  preferSoftwareGL();
  qxgfx::GLDeviceParams p;
  p.width = w;
  p.height = h;
  return qxgfx::createGLDevice(p, why);
}

// The back buffer (or another render target) as A8R8G8B8 words, top row first.
inline std::vector<uint32_t> readPixels(qxgfx::Device& d, qxgfx::Surface* rt = nullptr) {
  qxgfx::Ref<qxgfx::Surface> src = rt ? qxgfx::Ref<qxgfx::Surface>(rt) : d.getBackBuffer();
  const uint32_t w = src->desc().width, h = src->desc().height;
  auto sys = d.createOffscreenPlainSurface(w, h, src->desc().format, qxgfx::D3DPOOL_SYSTEMMEM);
  std::vector<uint32_t> out(size_t(w) * h);
  if (!sys || d.getRenderTargetData(src.get(), sys.get()) != qxgfx::D3D_OK) return {};
  qxgfx::LockedRect lr;
  if (!sys->lockRect(lr, nullptr, 0)) return {};
  for (uint32_t y = 0; y < h; ++y) std::memcpy(&out[size_t(y) * w], static_cast<uint8_t*>(lr.bits) + y * lr.pitch, w * 4);
  sys->unlockRect();
  return out;
}

// Whether this machine makes a GL context at all: where it does, a device that cannot be
// made is a fault to report, not a reason to skip.
inline bool glContextAvailable() {
  static const bool available = [] {
    preferSoftwareGL();
    std::string why;
    return qxgfx::createOffscreenContext(&why) != nullptr;
  }();
  return available;
}

// For tests that draw through the engine's own window: skips where this machine has no
// GL; where it has, an engine that made no window device is a failure.
#define QX_SKIP_WITHOUT_GL_WINDOW(noWindow)                                                   \
  do {                                                                                      \
    if (!(noWindow)) break;                                                                 \
    if (qxtest::glContextAvailable()) FAIL() << "GL works here, the engine made no window device"; \
    GTEST_SKIP() << "no window with a GL device here";                                      \
  } while (0)

class GLTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kW = 64, kH = 48;
  virtual qxgfx::Ref<qxgfx::Device> makeDevice(std::string* why) { return makeGLDevice(kW, kH, why); }
  void SetUp() override {
    std::string why;
    dev = makeDevice(&why);
    // A context made but never current is a fault, not a machine without GL.
    ASSERT_EQ(why.find("cannot be made current"), std::string::npos) << why;
    if (!dev && glContextAvailable()) FAIL() << "GL works here, the device does not: " << why;
    if (!dev) GTEST_SKIP() << "no GL context: " << why;
  }
  uint32_t pixel(const std::vector<uint32_t>& px, uint32_t x, uint32_t y) const { return px.at(size_t(y) * kW + x); }
  qxgfx::Ref<qxgfx::Device> dev;
};

// Channels within a tolerance (llvmpipe rounds like real hardware, not exactly).
inline bool near(uint32_t a, uint32_t b, int tol = 2) {
  for (int s = 0; s < 32; s += 8) {
    int ca = int((a >> s) & 0xFF), cb = int((b >> s) & 0xFF);
    if (ca - cb > tol || cb - ca > tol) return false;
  }
  return true;
}

}  // namespace qxtest
