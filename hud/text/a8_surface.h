// The pixels of one glyph page: an alpha-only surface whose bytes live in memory, are
// written by the glyph cache, and reach the page's texture in one upload of the rows
// changed since the last one. With a texture manager the page is one of its managed A8
// textures, so widgets hand it to draw entries and effects by its handle, and it draws on
// whichever device exists then.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace qxgfx {
class Texture;
}

namespace hudtext {

class A8Surface {
 public:
  A8Surface(uint32_t width, uint32_t height) : width_(width), height_(height), bytes_(size_t(width) * height, 0) {}
  virtual ~A8Surface() = default;
  A8Surface(const A8Surface&) = delete;
  A8Surface& operator=(const A8Surface&) = delete;

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  uint32_t pitch() const { return width_; }
  uint8_t* bytes() { return bytes_.data(); }
  const uint8_t* bytes() const { return bytes_.data(); }

  // Rows [top, bottom) changed since the last upload.
  void markDirty(uint32_t top, uint32_t bottom);
  bool dirty() const { return dirtyTop_ < dirtyBottom_; }
  // Sends the changed rows to the texture; false when the texture refused them (they
  // stay marked).
  bool upload();
  // The texture drawn with (null for a surface without one).
  virtual qxgfx::Texture* texture() const { return nullptr; }
  // The texture manager's handle of the page (0 for a surface outside the manager).
  virtual uint32_t textureHandle() const { return 0; }

 protected:
  virtual bool doUpload(uint32_t /*top*/, uint32_t /*bottom*/) { return true; }

 private:
  uint32_t width_, height_;
  std::vector<uint8_t> bytes_;
  uint32_t dirtyTop_ = UINT32_MAX, dirtyBottom_ = 0;
};

// A surface of 2^wExp x 2^hExp: an A8 texture of the texture manager when there is one
// (its level lives on the device, or in memory without one), else a texture of the
// current device, else memory only. Null when the texture cannot be made.
std::unique_ptr<A8Surface> createA8Surface(uint32_t wExp, uint32_t hExp);

}  // namespace hudtext
