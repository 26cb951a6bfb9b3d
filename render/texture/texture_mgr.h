// The texture manager: textures loaded by name from image files ("dds", "png", "tga",
// "bmp", "jpg"), with their sprite descriptions; render targets and alpha-only textures
// made on request; wrappers of the device's back buffer and depth-stencil surface; and
// textures written back to image files.
//
// A name in any letter case finds the same texture. An image that cannot be decoded
// still gives a texture (without pixels, size 0 x 0) so that scripts keep working; the
// reason goes to the log.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "render/texture/tex_data.h"
#include "runtime/res/resource_mgr.h"

namespace qx {
class IFiles;
}
namespace qxtex {
struct Image;
}

class TextureMgr : public kesto::ResourceMgr<TextureMgr, TexData, kesto::MultiP, 1> {
 public:
  using TexHandle = kesto::Handle<TextureMgr, TexData>;
  // Largest size exponent of created textures (4096 pixels).
  static constexpr int32_t kMaxSizeExponent = 12;

  TextureMgr();
  ~TextureMgr() override;
  const char* dataTypeName() const override { return "TexData"; }

  // Keeps usage and pool for this and later loads by name (QX.createRes included), then
  // gives the named texture; a texture already loaded is returned as it is (made again
  // from its file when it was loaded under a device that has since been replaced).
  TexHandle load(const std::u16string& name, uint32_t usage, uint32_t pool);
  // A new square render target of 2^n pixels; null for n outside 0..12, without a
  // device, or for a format the device cannot render to.
  TexHandle create_blank(int32_t n, uint32_t format);
  // A new managed D3DFMT_A8 texture of 2^w by 2^h pixels (exponents 0..12) whose level 0
  // is locked and written on the CPU and drawn on whichever device exists (see TexData).
  TexHandle createA8Texture(int32_t w, int32_t h);
  // Wraps the device's back buffer and depth-stencil surface (again after a release).
  void createDeviceTargets();
  void releaseDeviceTargets();
  TexHandle backBufferTexture() const { return backBuffer_; }
  TexHandle depthStencilTexture() const { return depthStencil_; }
  // Writes the texture to the first write target that creates the file, in the format
  // the extension names (PNG when none). False, with the reason logged, when nothing
  // was written.
  bool saveAsFile(uint32_t texture, const std::u16string& fileName);

  // Load step of every new texture; generated names and names starting with '@' load
  // nothing.
  bool loadData(TexData& data, qx::IFiles* source, const std::u16string& name);

  // The named file's texture made anew on the current device, with those usage and pool;
  // null, with the reason logged, when the file no longer reads or the device refuses it.
  qxgfx::Ref<qxgfx::Texture> textureFromFile(const std::u16string& name, uint32_t usage, uint32_t pool);

  // Where failures are reported (stderr until the program sets its log).
  void setLog(std::function<void(std::string_view)> sink) { log_ = std::move(sink); }
  void report(const std::string& text) const {
    if (log_) log_(text);
  }

 private:
  TexHandle newEmpty();
  // The image of a file, with the failure logged by the file's name.
  bool readImage(qx::IFiles* source, const std::u16string& name, qxtex::Image& image);
  qxgfx::Ref<qxgfx::Texture> deviceTexture(qxgfx::Device& device, const qxtex::Image& image, uint32_t usage,
                                           uint32_t pool);

  uint32_t usage_ = 0;
  uint32_t pool_ = 0;
  TexHandle backBuffer_;
  TexHandle depthStencil_;
  std::function<void(std::string_view)> log_;
};

// floor(log2(n)) by halving; -1 for 0 and below.
int32_t ilog2(int32_t n);
