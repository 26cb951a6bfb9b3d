// GL devices on an (offscreen SDL) window, drawn into directly or through the copy of the
// back buffer at Present, beside the offscreen device.
#pragma once
#include <SDL2/SDL.h>

#include <memory>

#include "platform/window/window.h"
#include "tests/gfx/gl_fixture.h"

namespace qxtest {

enum class GLTarget { Offscreen, Window, WindowCopy };

inline const char* targetName(const ::testing::TestParamInfo<GLTarget>& info) {
  return info.param == GLTarget::Offscreen ? "Offscreen" : info.param == GLTarget::Window ? "Window" : "WindowCopy";
}

inline qxgfx::Ref<qxgfx::Device> tryWindowGLDevice(uint32_t w, uint32_t h, bool drawIntoWindow,
                                                   std::unique_ptr<qxplat::Window>& window, std::string* why) {
  preferSoftwareGL();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *why = std::string("no SDL video: ") + SDL_GetError();
    return nullptr;
  }
  qxplat::WindowSpec spec;
  spec.clientWidth = w;
  spec.clientHeight = h;
  window = qxplat::Window::create(spec);
  if (!window) {
    *why = "no window";
    return nullptr;
  }
  qxgfx::GLDeviceParams p;
  p.sdlWindow = window->sdlWindow();
  p.drawIntoWindow = drawIntoWindow;
  return qxgfx::createGLDevice(p, why);
}

// A device on a window of its own, made as the program makes its window. Where GL works,
// a window device that cannot be made fails the test (callers then skip).
inline qxgfx::Ref<qxgfx::Device> makeWindowGLDevice(uint32_t w, uint32_t h, bool drawIntoWindow,
                                                    std::unique_ptr<qxplat::Window>& window, std::string* why) {
  qxgfx::Ref<qxgfx::Device> d = tryWindowGLDevice(w, h, drawIntoWindow, window, why);
  if (!d && glContextAvailable()) ADD_FAILURE() << "GL works here, a window device does not: " << *why;
  return d;
}

// A GLTest on the kind of target its parameter names.
class GLTargetTest : public GLTest, public ::testing::WithParamInterface<GLTarget> {
 protected:
  virtual GLTarget target() const { return GetParam(); }
  qxgfx::Ref<qxgfx::Device> makeDevice(std::string* why) override {
    if (target() == GLTarget::Offscreen) return GLTest::makeDevice(why);
    return makeWindowGLDevice(kW, kH, target() == GLTarget::Window, window, why);
  }
  void TearDown() override {
    dev = nullptr;  // before its window
    window.reset();
  }
  std::unique_ptr<qxplat::Window> window;
};

}  // namespace qxtest
