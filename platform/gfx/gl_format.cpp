#include "platform/gfx/gl_internal.h"

namespace qxgfx {

bool glFormatFor(uint32_t f, GLFormat& out) {
  out = GLFormat{};
  switch (f) {
    case D3DFMT_A8R8G8B8:  // bytes B, G, R, A
      out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE};
      return true;
    case D3DFMT_X8R8G8B8:  // no alpha stored: blending with the destination's alpha reads 1
      out = {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
      return true;
    case D3DFMT_A8B8G8R8:  // bytes R, G, B, A
      out = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE};
      return true;
    case D3DFMT_R5G6B5:
      out = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5};
      return true;
    case D3DFMT_A1R5G5B5:
      out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV};
      return true;
    case D3DFMT_A4R4G4B4:
      out = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV};
      return true;
    case D3DFMT_A8:  // samples as (0, 0, 0, a)
      out = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}};
      return true;
    case D3DFMT_L8:
      out = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}};
      return true;
    case D3DFMT_A8L8:  // bytes L, A
      out = {GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
      return true;
    case D3DFMT_DXT1:
      out = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0};
      out.compressed = true;
      return true;
    case D3DFMT_DXT3:
      out = {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0};
      out.compressed = true;
      return true;
    case D3DFMT_DXT5:
      out = {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0};
      out.compressed = true;
      return true;
    case D3DFMT_D24S8:
      out = {GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8};
      return true;
    case D3DFMT_D16:
      out = {GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT};
      return true;
    default:
      return false;
  }
}

bool glTargetFormatFor(uint32_t f, GLFormat& out) {
  // A draw writes its red into a one- or two-channel GL texture, where Direct3D writes alpha
  // into A8 and alpha beside luminance into A8L8: those targets hold all four channels.
  if (f == D3DFMT_A8) {
    out = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_ALPHA}};
  } else if (f == D3DFMT_A8L8) {
    out = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ALPHA}};
  } else {
    return glFormatFor(f, out);
  }
  out.heldAsRGBA = true;
  return true;
}

}  // namespace qxgfx
