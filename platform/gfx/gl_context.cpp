#include "platform/gfx/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <SDL2/SDL.h>

namespace qxgfx {
namespace {

// The context this thread last made current through us, so that repeated calls cost a
// compare (tests and tools may hold several devices on one thread).
thread_local const void* tCurrent = nullptr;

class SdlContext final : public GLContext {
 public:
  SdlContext(SDL_Window* w, SDL_GLContext c) : window_(w), ctx_(c) {}
  ~SdlContext() override {
    if (tCurrent == this) {
      SDL_GL_MakeCurrent(window_, nullptr);
      tCurrent = nullptr;
    }
    SDL_GL_DeleteContext(ctx_);
  }
  bool makeCurrent() override {
    if (tCurrent == this) return true;
    // SDL skips a call for the context it last made current, even when an EGL context of
    // ours has been made current (or released) since: let it go first.
    if (SDL_GL_GetCurrentContext() == ctx_) SDL_GL_MakeCurrent(window_, nullptr);
    if (SDL_GL_MakeCurrent(window_, ctx_) != 0) return false;
    tCurrent = this;
    return true;
  }
  bool hasWindow() const override { return true; }
  void swapBuffers() override { SDL_GL_SwapWindow(window_); }
  void drawableSize(int& w, int& h) const override { SDL_GL_GetDrawableSize(window_, &w, &h); }

 private:
  SDL_Window* window_;
  SDL_GLContext ctx_;
};

class EglContext final : public GLContext {
 public:
  EglContext(EGLDisplay d, EGLContext c, EGLSurface s) : display_(d), ctx_(c), surface_(s) {}
  ~EglContext() override {
    if (tCurrent == this) {
      eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      tCurrent = nullptr;
    }
    if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
    eglDestroyContext(display_, ctx_);
    // The display stays initialised: EGL displays are shared per process, and another
    // device may still use it.
  }
  bool makeCurrent() override {
    if (tCurrent == this) return true;
    if (!eglMakeCurrent(display_, surface_, surface_, ctx_)) return false;
    tCurrent = this;
    return true;
  }
  bool hasWindow() const override { return false; }

 private:
  EGLDisplay display_;
  EGLContext ctx_;
  EGLSurface surface_;
};

const EGLint kContextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION,
                                  3,
                                  EGL_CONTEXT_MINOR_VERSION,
                                  3,
                                  EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                  EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                  EGL_NONE};

std::unique_ptr<GLContext> trySurfaceless(std::string& why) {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    why = "no eglGetPlatformDisplayEXT";
    return nullptr;
  }
  EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) {
    why = "surfaceless display unavailable";
    return nullptr;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    why = "EGL has no desktop GL";
    return nullptr;
  }
  EGLContext c = eglCreateContext(d, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, kContextAttribs);
  if (c == EGL_NO_CONTEXT) {
    why = "no GL 3.3 core context on the surfaceless display";
    return nullptr;
  }
  auto ctx = std::make_unique<EglContext>(d, c, EGL_NO_SURFACE);
  if (!ctx->makeCurrent()) {
    why = "surfaceless context cannot be made current";
    return nullptr;
  }
  return ctx;
}

std::unique_ptr<GLContext> tryPbuffer(std::string& why) {
  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  EGLint major = 0, minor = 0;
  if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) {
    why += "; default EGL display unavailable";
    return nullptr;
  }
  eglBindAPI(EGL_OPENGL_API);
  const EGLint cfgAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig cfg;
  EGLint n = 0;
  if (!eglChooseConfig(d, cfgAttribs, &cfg, 1, &n) || n < 1) {
    why += "; no pbuffer config";
    return nullptr;
  }
  const EGLint pbAttribs[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
  EGLSurface s = eglCreatePbufferSurface(d, cfg, pbAttribs);
  EGLContext c = eglCreateContext(d, cfg, EGL_NO_CONTEXT, kContextAttribs);
  if (s == EGL_NO_SURFACE || c == EGL_NO_CONTEXT) {
    if (s != EGL_NO_SURFACE) eglDestroySurface(d, s);
    why += "; no pbuffer context";
    return nullptr;
  }
  auto ctx = std::make_unique<EglContext>(d, c, s);
  if (!ctx->makeCurrent()) {
    why += "; pbuffer context cannot be made current";
    return nullptr;
  }
  return ctx;
}

}  // namespace

std::unique_ptr<GLContext> createSdlWindowContext(void* sdlWindow, bool vsync, std::string* error) {
  auto* w = static_cast<SDL_Window*>(sdlWindow);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GLContext c = SDL_GL_CreateContext(w);
  if (!c) {
    if (error) *error = std::string("SDL_GL_CreateContext: ") + SDL_GetError();
    return nullptr;
  }
  auto ctx = std::make_unique<SdlContext>(w, c);
  tCurrent = nullptr;  // SDL made it current behind our back
  if (!ctx->makeCurrent()) {
    if (error) *error = std::string("SDL_GL_MakeCurrent: ") + SDL_GetError();
    return nullptr;
  }
  SDL_GL_SetSwapInterval(vsync ? 1 : 0);
  return ctx;
}

std::unique_ptr<GLContext> createOffscreenContext(std::string* error) {
  std::string why;
  if (auto ctx = trySurfaceless(why)) return ctx;
  if (auto ctx = tryPbuffer(why)) return ctx;
  if (error) *error = "no offscreen GL context: " + why;
  return nullptr;
}

}  // namespace qxgfx
