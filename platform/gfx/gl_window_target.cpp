// The back buffer drawn straight into the window.
//
// A frame that draws into an offscreen back buffer and then copies it into the window
// touches two framebuffers, and a software rasteriser then finishes one frame before it
// starts setting up the next. So while the window's buffers match the back buffer
// (RGB8 with D24S8 at the same size), the back buffer with the default depth-stencil is
// drawn into the window itself and Present only swaps. Every other target set still
// sees the offscreen pair: before one is used, the pixels move there (and back again
// when the window is drawn into next), so what a frame draws never depends on where.
//
// The window stores its bottom row first. Drawing into it flips the clip-space origin
// to the lower left and counts viewport, scissor and clear rows from the bottom, so the
// image lands upright and rasterises to the same pixels as in a top-down texture.
#include "platform/gfx/gl_internal.h"

namespace qxgfx {

namespace {

GLint attachmentBits(GLenum attachment, GLenum what) {
  GLint v = 0;
  glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment, what, &v);
  return v;
}

}  // namespace

bool GLDevice::drawableMatches() const {
  int w = 0, h = 0;
  ctx_->drawableSize(w, h);
  return uint32_t(w) == width_ && uint32_t(h) == height_;
}

bool GLDevice::windowTakesDefaultTargets() {
  if (!drawIntoWindow_ || !ctx_->hasWindow() || !drawableMatches()) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  GLint drawBuffer = GL_NONE;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  const GLenum colour = drawBuffer == GL_FRONT ? GL_FRONT_LEFT : GL_BACK_LEFT;
  const bool formats = attachmentBits(colour, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE) == 8 &&
                       attachmentBits(colour, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE) == 8 &&
                       attachmentBits(colour, GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE) == 8 &&
                       attachmentBits(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE) == 24 &&
                       attachmentBits(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE) == 8;
  if (!formats || glGetError() != GL_NO_ERROR) return false;
  // Depth and stencil copy only between formats the driver counts as equal: try both
  // ways now rather than fail in the middle of a frame.
  copyDefaultTargets(true, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  copyDefaultTargets(false, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  return glGetError() == GL_NO_ERROR;
}

void GLDevice::copyDefaultTargets(bool toWindow, GLbitfield mask) {
  const GLuint pair = defaultTargetsFramebuffer();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, toWindow ? pair : 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, toWindow ? 0 : pair);
  // A copy obeys the scissor and, in some drivers, the write masks.
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  const GLint w = GLint(width_), h = GLint(height_);
  glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, mask, GL_NEAREST);
  renderStatesDirty_ = true;
  dirty_ |= kDirtyTargets;
}

void GLDevice::moveColor(Home to) {
  if (colorHome_ == to) return;
  copyDefaultTargets(to == Home::Window, GL_COLOR_BUFFER_BIT);
  colorHome_ = to;
}

void GLDevice::moveDepth(Home to) {
  if (depthHome_ == to) return;
  copyDefaultTargets(to == Home::Window, GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
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
