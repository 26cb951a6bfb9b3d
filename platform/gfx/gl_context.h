// GL 3.3 core contexts: one on an SDL window, or one without any window (EGL).
#pragma once
#include <memory>
#include <string>

namespace qxgfx {

class GLContext {
 public:
  virtual ~GLContext() = default;
  // Makes the context current on the calling thread when it is not already.
  virtual bool makeCurrent() = 0;
  virtual bool hasWindow() const = 0;
  virtual void swapBuffers() {}
  virtual void drawableSize(int& w, int& h) const {
    w = 0;
    h = 0;
  }
};

// An SDL window (created with SDL_WINDOW_OPENGL); vsync sets the swap interval.
std::unique_ptr<GLContext> createSdlWindowContext(void* sdlWindow, bool vsync, std::string* error);
// EGL without a window: Mesa's surfaceless platform, else a 1x1 pbuffer on the default
// display.
std::unique_ptr<GLContext> createOffscreenContext(std::string* error);

}  // namespace qxgfx
