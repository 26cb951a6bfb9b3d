#include "platform/gfx/format.h"

#include "platform/gfx/gfx_types.h"

namespace qxgfx {

namespace {
constexpr FormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, 0, false}, {D3DFMT_X8R8G8B8, 4, 0, false}, {D3DFMT_A8B8G8R8, 4, 0, false},
    {D3DFMT_R5G6B5, 2, 0, false},   {D3DFMT_A1R5G5B5, 2, 0, false}, {D3DFMT_A4R4G4B4, 2, 0, false},
    {D3DFMT_A8, 1, 0, false},       {D3DFMT_L8, 1, 0, false},       {D3DFMT_A8L8, 2, 0, false},
    {D3DFMT_DXT1, 0, 8, false},     {D3DFMT_DXT3, 0, 16, false},    {D3DFMT_DXT5, 0, 16, false},
    {D3DFMT_D24S8, 4, 0, true},     {D3DFMT_D16, 2, 0, true},
};
}  // namespace

const FormatInfo* formatInfo(uint32_t format) {
  for (const FormatInfo& f : kFormats)
    if (f.format == format) return &f;
  return nullptr;
}

uint32_t formatPitch(uint32_t format, uint32_t width) {
  const FormatInfo* f = formatInfo(format);
  if (!f) return 0;
  if (f->blockBytes) return ((width + 3) / 4) * f->blockBytes;
  return width * f->bytesPerPixel;
}

size_t formatOffset(uint32_t format, uint32_t pitch, int32_t left, int32_t top) {
  const FormatInfo* f = formatInfo(format);
  if (!f) return 0;
  if (f->blockBytes) return size_t(top / 4) * pitch + size_t(left / 4) * f->blockBytes;
  return size_t(top) * pitch + size_t(left) * f->bytesPerPixel;
}

uint32_t formatRows(uint32_t format, uint32_t height) {
  const FormatInfo* f = formatInfo(format);
  if (!f) return 0;
  return f->blockBytes ? (height + 3) / 4 : height;
}

}  // namespace qxgfx
