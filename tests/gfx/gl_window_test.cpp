// The GL device on a window of the UI thread (the offscreen video driver): its back
// buffer takes the window's size and Present reaches the window.
#include <gtest/gtest.h>


#include "platform/window/ui_thread.h"
#include "render/device/device_mgr.h"
#include "tests/gfx/gl_fixture.h"

namespace {

using namespace qxgfx;

TEST(GLWindowDevice, DrawsIntoTheWindowsBackBufferAndPresents) {
  qxtest::preferSoftwareGL();
  std::string why;
  bool made = false;
  uint32_t firstPixel = 0, width = 0, height = 0;
  int32_t presented = -1;
  qxplat::runUiThread([&](uint32_t) {
    qxplat::WindowSpec spec;
    spec.clientWidth = 64;
    spec.clientHeight = 48;
    spec.title = "gfx";
    qxplat::Window* w = qxplat::uiCreateWindow(spec);
    if (!w) {
      why = "no window";
      return;
    }
    DeviceMgr mgr;
    if (mgr.create(w->sdlWindow()) != D3D_OK) {
      why = mgr.lastError();
      return;
    }
    made = true;
    Device& d = *mgr.device();
    width = d.backBufferWidth();
    height = d.backBufferHeight();
    d.clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060, 1.0f, 0);
    presented = d.present();
    auto px = qxtest::readPixels(d);
    firstPixel = px.empty() ? 0 : px[0];
    EXPECT_EQ(mgr.create(w->sdlWindow()), D3DERR_INVALIDCALL) << "one device per manager";
  });
  if (!made) GTEST_SKIP() << "no GL context on the window: " << why;
  EXPECT_EQ(width, 64u);
  EXPECT_EQ(height, 48u);
  EXPECT_EQ(presented, D3D_OK);
  EXPECT_EQ(firstPixel, 0xFF204060u);
}

}  // namespace
