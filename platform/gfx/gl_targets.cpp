// Where the GL device draws: framebuffers for each target set, the window, Present and
// reading a target back.
//
// A frame that draws into an offscreen back buffer and then copies it into the window
// touches two framebuffers, and a software rasteriser then finishes one frame before it
// starts setting up the next. So while the window's buffers match the back buffer
// (RGB8 without alpha, with D24S8, at the same size), the back buffer with the default
// depth-stencil is drawn into the window itself and Present only swaps. Every other
// target set still sees the offscreen pair: before one is used, the pixels move there
// (and back again when the window is drawn into next), so what a frame draws never
// depends on where.
//
// The window system reallocates a resized window's buffers the first time it looks at
// them after a swap, and what they held is lost. Keeping the depth-stencil safe from that
// would take a copy out of the window every frame, which is the cost drawing into it
// avoids. So a resize seen at Present (it came while the frame was drawn) carries the
// depth-stencil out before the swap; one first seen after the swap (it came between
// frames) leaves it undefined until cleared, and the log says so once.
//
// The window stores its bottom row first. Drawing into it flips the clip-space origin
// to the lower left and counts viewport, scissor and clear rows from the bottom, so the
// image lands upright and rasterises to the same pixels as in a top-down texture.
#include <string>

#include "platform/gfx/format.h"
#include "platform/gfx/gl_internal.h"

namespace qxgfx {

namespace {

GLint attachmentBits(GLenum attachment, GLenum what) {
  GLint v = 0;
  glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment, what, &v);
  return v;
}

}  // namespace

// ---- framebuffers

void GLDevice::forgetAttachment(GLuint name, bool renderbuffer) {
  for (size_t i = 0; i < fbos_.size();) {
    const FboKey& k = fbos_[i].key;
    bool uses = k.depth.name == name && k.depth.renderbuffer == renderbuffer;
    for (const Attachment& a : k.color) uses = uses || (a.name == name && a.renderbuffer == renderbuffer);
    if (uses) {
      glDeleteFramebuffers(1, &fbos_[i].name);
      fbos_[i] = fbos_.back();
      fbos_.pop_back();
      dirty_ |= kDirtyTargets;
    } else {
      ++i;
    }
  }
}

GLDevice::Attachment GLDevice::attachmentOf(const Surface* s) {
  Attachment a;
  if (!s) return a;
  switch (s->kind()) {
    case SurfaceKind::TextureLevel:
      a.name = static_cast<const GLTexture*>(s->texture())->name;
      a.level = GLint(s->level());
      break;
    case SurfaceKind::BackBuffer:
      a.name = static_cast<const GLSurface*>(s)->texture;
      break;
    case SurfaceKind::DepthStencil:
      a.name = static_cast<const GLSurface*>(s)->renderbuffer;
      a.renderbuffer = true;
      break;
    case SurfaceKind::OffscreenPlain:
      break;
  }
  return a;
}

GLuint GLDevice::framebufferFor(const FboKey& key, const Surface* depth) {
  for (const Fbo& f : fbos_)
    if (f.key == key) return f.name;
  Fbo f;
  f.key = key;
  glGenFramebuffers(1, &f.name);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, f.name);
  GLenum drawBuffers[kMaxRenderTargets];
  for (int i = 0; i < kMaxRenderTargets; ++i) {
    const Attachment& a = key.color[i];
    drawBuffers[i] = a.name ? GLenum(GL_COLOR_ATTACHMENT0 + i) : GL_NONE;
    if (a.name) glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, a.name, a.level);
  }
  glDrawBuffers(kMaxRenderTargets, drawBuffers);
  if (key.depth.name) {
    const bool stencil = depth && depth->desc().format == D3DFMT_D24S8;
    const GLenum point = stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    if (key.depth.renderbuffer)
      glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, point, GL_RENDERBUFFER, key.depth.name);
    else
      glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, point, GL_TEXTURE_2D, key.depth.name, key.depth.level);
  }
  // A small cache: the engine switches between a handful of target sets.
  if (fbos_.size() >= 32) {
    glDeleteFramebuffers(1, &fbos_.front().name);
    fbos_.erase(fbos_.begin());
  }
  fbos_.push_back(f);
  return f.name;
}

GLuint GLDevice::defaultTargetsFramebuffer() {
  FboKey key;
  key.color[0] = attachmentOf(backBuffer_.get());
  key.depth = attachmentOf(depthStencil_.get());
  return framebufferFor(key, depthStencil_.get());
}

void GLDevice::applyTargets() {
  followWindowSize();
  bool usesBackBuffer = false, onlyBackBuffer = renderTargets_[0] == backBuffer_;
  for (int i = 0; i < kMaxRenderTargets; ++i) {
    usesBackBuffer = usesBackBuffer || renderTargets_[i] == backBuffer_;
    onlyBackBuffer = onlyBackBuffer && (i == 0 || !renderTargets_[i]);
  }
  const bool usesDefaultDepth = currentDepth_ && currentDepth_ == depthStencil_;
  // The window has its own depth buffer, so only the default pair can be drawn there.
  if (windowFits_ && onlyBackBuffer && usesDefaultDepth) {
    moveColor(Home::Window);
    moveDepth(Home::Window);
    bindWindow(true);
    return;
  }
  if (usesBackBuffer) moveColor(Home::Offscreen);
  if (usesDefaultDepth) moveDepth(Home::Offscreen);
  FboKey key;
  for (int i = 0; i < kMaxRenderTargets; ++i) key.color[i] = attachmentOf(renderTargets_[i].get());
  // GL draws only where every attachment reaches, so a depth-stencil smaller than the
  // targets (the window's, under a larger back buffer of text) would cut their drawing
  // short: it is left out, and depth tests then pass as without one.
  const Surface* target = renderTargets_[0].get();
  const Surface* depth = currentDepth_.get();
  if (depth && target && (depth->desc().width < target->desc().width || depth->desc().height < target->desc().height)) {
    if (!depthLeftOutTold_)
      report("a render target of " + std::to_string(target->desc().width) + "x" +
             std::to_string(target->desc().height) + " is larger than the depth-stencil of " +
             std::to_string(depth->desc().width) + "x" + std::to_string(depth->desc().height) +
             ": it is drawn whole with no depth test, depth writes or stencil");
    depthLeftOutTold_ = true;
    depth = nullptr;
  }
  key.depth = attachmentOf(depth);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebufferFor(key, depth));
  bindWindow(false);
}

void GLDevice::doPresent() {
  if (!enter()) return;
  if (ctx_->hasWindow()) {
    followWindowSize();
    int dw = 0, dh = 0;
    ctx_->drawableSize(dw, dh);
    // While the window's size differs from the back buffer's, frames go through the copy.
    windowFits_ = windowFormats_ && uint32_t(dw) == width_ && uint32_t(dh) == height_;
    // Its buffers still have the size this frame was drawn at, until after the swap.
    if (!windowFits_) moveDepth(Home::Offscreen);
    if (colorHome_ == Home::Offscreen) copyDefaultTargets(true, GL_COLOR_BUFFER_BIT, dw, dh);
    ctx_->swapBuffers();
    // What the window held is gone with its old buffers.
    if (!windowFits_) colorHome_ = Home::Offscreen;
    windowCheckDue_ = true;
    dirty_ |= kDirtyTargets;
  } else {
    // Nothing else paces an offscreen device: finishing keeps the queue from growing
    // without bound and makes a presented frame a finished one.
    glFinish();
  }
}

bool GLDevice::doReadRenderTarget(Surface* rt, Surface* dest) {
  if (!enter()) return false;
  followWindowSize();
  if (rt == backBuffer_.get() && colorHome_ == Home::Window) {
    moveColor(Home::Offscreen);  // a read is rare: the next draw moves it back
    dirty_ |= kDirtyTargets;
  }
  const Attachment a = attachmentOf(rt);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, a.name, a.level);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  GLFormat gf;
  if (!glFormatFor(dest->desc().format, gf)) return false;  // sizes were checked: never compressed
  LockedRect out;
  if (!dest->lockRect(out, nullptr, 0)) return false;
  const uint32_t bpp = formatInfo(dest->desc().format)->bytesPerPixel;
  const uint32_t w = rt->desc().width, h = rt->desc().height;
  const Texture* tex = rt->kind() == SurfaceKind::TextureLevel ? rt->texture() : nullptr;
  if (tex && static_cast<const GLTexture*>(tex)->fmt.heldAsRGBA) {
    // Back to the format's own bytes: A, or L and A.
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    glReadPixels(0, 0, GLsizei(w), GLsizei(h), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const bool alphaOnly = tex->format() == D3DFMT_A8;
    for (uint32_t y = 0; y < h; ++y) {
      auto* d = static_cast<uint8_t*>(out.bits) + size_t(y) * out.pitch;
      for (const uint8_t* s = &rgba[size_t(y) * w * 4]; s != &rgba[size_t(y + 1) * w * 4]; s += 4) {
        if (!alphaOnly) *d++ = s[0];
        *d++ = s[3];
      }
    }
  } else {
    glPixelStorei(GL_PACK_ROW_LENGTH, out.pitch / GLint(bpp));
    glReadPixels(0, 0, GLsizei(w), GLsizei(h), gf.format, gf.type, out.bits);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  }
  if (dest->desc().format == D3DFMT_X8R8G8B8) {
    // The unused byte reads as opaque, so screenshots never come out transparent.
    auto* p = static_cast<uint8_t*>(out.bits);
    for (uint32_t y = 0; y < rt->desc().height; ++y)
      for (uint32_t x = 0; x < rt->desc().width; ++x) p[size_t(y) * out.pitch + x * 4 + 3] = 0xFF;
  }
  dest->unlockRect();
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  return glGetError() == GL_NO_ERROR;
}

// ---- the window

bool GLDevice::drawableMatches() const {
  int w = 0, h = 0;
  ctx_->drawableSize(w, h);
  return uint32_t(w) == width_ && uint32_t(h) == height_;
}

void GLDevice::followWindowSize() {
  if (!windowCheckDue_) return;
  windowCheckDue_ = false;
  const bool fitted = windowFits_;
  windowFits_ = windowFormats_ && drawableMatches();
  if (!fitted || windowFits_) return;
  // Resized between frames: nothing is worth copying out of the window any more (its
  // colour after a swap is undefined in any case).
  colorHome_ = Home::Offscreen;
  if (depthHome_ == Home::Window) {
    depthHome_ = Home::Offscreen;
    if (!depthLossTold_)
      report("the window was resized between frames: the depth-stencil is undefined until it is cleared");
    depthLossTold_ = true;
  }
}

bool GLDevice::windowTakesDefaultTargets() {
  if (!drawIntoWindow_ || !ctx_->hasWindow() || !drawableMatches()) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  GLint drawBuffer = GL_NONE;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  const GLenum colour = drawBuffer == GL_FRONT ? GL_FRONT_LEFT : GL_BACK_LEFT;
  // No alpha, as in the offscreen back buffer: a blend reads the destination's alpha as 1.
  const bool formats = attachmentBits(colour, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE) == 8 &&
                       attachmentBits(colour, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE) == 8 &&
                       attachmentBits(colour, GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE) == 8 &&
                       attachmentBits(colour, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE) == 0 &&
                       attachmentBits(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE) == 24 &&
                       attachmentBits(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE) == 8;
  if (!formats || glGetError() != GL_NO_ERROR) return false;
  // Depth and stencil copy only between formats the driver counts as equal: try both
  // ways now rather than fail in the middle of a frame.
  const GLbitfield all = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;
  copyDefaultTargets(true, all, int(width_), int(height_));
  copyDefaultTargets(false, all, int(width_), int(height_));
  return glGetError() == GL_NO_ERROR;
}

void GLDevice::copyDefaultTargets(bool toWindow, GLbitfield mask, int windowWidth, int windowHeight) {
  const GLuint pair = defaultTargetsFramebuffer();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, toWindow ? pair : 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, toWindow ? 0 : pair);
  // A copy obeys the scissor and, in some drivers, the write masks.
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  // The window is stored bottom row first: flip while copying. Only Present meets a window
  // of another size (colour alone), and stretches the image into it.
  const GLint w = GLint(width_), h = GLint(height_);
  const GLenum filter = windowWidth == w && windowHeight == h ? GL_NEAREST : GL_LINEAR;
  if (toWindow)
    glBlitFramebuffer(0, 0, w, h, 0, windowHeight, windowWidth, 0, mask, filter);
  else
    glBlitFramebuffer(0, windowHeight, windowWidth, 0, 0, 0, w, h, mask, filter);
  renderStatesDirty_ = true;
  dirty_ |= kDirtyTargets;
}

void GLDevice::moveColor(Home to) {
  if (colorHome_ == to) return;
  copyDefaultTargets(to == Home::Window, GL_COLOR_BUFFER_BIT, int(width_), int(height_));
  colorHome_ = to;
}

void GLDevice::moveDepth(Home to) {
  if (depthHome_ == to) return;
  copyDefaultTargets(to == Home::Window, GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, int(width_), int(height_));
  depthHome_ = to;
}

void GLDevice::bindWindow(bool window) {
  if (window) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  if (window == windowBound_) return;
  windowBound_ = window;
  glClipControl(window ? GL_LOWER_LEFT : GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  dirty_ |= kDirtyViewport | kDirtyScissor;
}

int32_t GLDevice::glRow(int32_t top, int32_t height) const {
  return windowBound_ ? int32_t(height_) - top - height : top;
}

}  // namespace qxgfx
