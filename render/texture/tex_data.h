// One texture of the texture manager: a device texture loaded from an image file, a
// render target, an alpha-only texture, or a wrapper of the device's back buffer or
// depth-stencil surface; plus the sprite descriptions read beside its image.
//
// For engine code (main thread, with the texture locked through its handle):
//   auto tex = TextureMgr::instance()->createA8Texture(8, 8);   // 256 x 256, D3DFMT_A8
//   kesto::HdlLock<TextureMgr::TexHandle> lock(tex);
//   qxgfx::LockedRect r;
//   if (auto* bits = static_cast<uint8_t*>(lock->lockLevel0(r))) {
//     bits[y * r.pitch + x] = 255;      // level 0 as CPU bytes, rows r.pitch apart
//     lock->unlockLevel0();             // the device copy is refreshed here
//   }
//   qxgfx::Texture* t = lock->texture();  // for Device::setTexture, null when there is none
//
// Without a device (headless runs) created textures keep their level 0 in memory only,
// with the same lock and unlock.
//
// Managed textures (the A8 textures the glyph cache draws into) belong to no device:
// level 0 lives in memory, and texture() makes the device copy on whichever device
// exists when it is asked, again after that device is replaced, and refreshes the rows
// written since.
//
// A texture loaded from a file that another device (or no device) holds is made again
// from its file on the current device when it is next asked for. What cannot be made
// again (render targets, wrapped device surfaces) is refused once the device that made
// it is replaced: texture() and getSurface() give null, and the log says so once.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "render/texture/sprite_desc.h"

class TexData {
 public:
  // The image's size as the file stores it, or the created texture's size. Scripts may
  // write both; nothing below reads them back (saving and read-back use the real size).
  int32_t width = 0;
  int32_t height = 0;
  // Sprite descriptions in file order.
  std::vector<qxtex::SpriteDesc> descs;

  // Render targets and wrapped device surfaces.
  bool isTarget() const { return isTarget_; }
  // The format given at creation; 0 for textures loaded from files.
  uint32_t format() const { return format_; }
  // The device texture; null for wrapped surfaces, empty textures, undecodable files and
  // textures made without a device. A managed texture, or a file's texture of another
  // device, is brought onto the current device first (null while there is none, or when
  // the device refuses it); a render target of a replaced device gives null.
  qxgfx::Texture* texture() const;
  bool isManaged() const { return managed_; }
  // The target's surface, else level 0 of the texture; null when there is neither, or
  // when the device it was made on has been replaced.
  qxgfx::Ref<qxgfx::Surface> getSurface() const;
  // The pixel format and size of level 0 as stored; 0 when there are no pixels.
  uint32_t pixelFormat() const;
  uint32_t levelWidth() const;
  uint32_t levelHeight() const;

  // Level 0 as CPU bytes (pitch in out); null for render targets, wrapped surfaces and
  // empty textures. unlockLevel0 uploads what was written (rows [top, bottom) of a managed
  // texture reach its device copy the next time it is drawn).
  void* lockLevel0(qxgfx::LockedRect& out);
  void unlockLevel0(uint32_t top = 0, uint32_t bottom = UINT32_MAX);

  // ---- set-up, used by the texture manager
  void reset();
  // The manager's name for the texture (for the log).
  void setName(std::u16string name) { name_ = std::move(name); }
  // Made from the named file with these usage and pool: made again from it on a new device.
  void setMadeFromFile(uint32_t usage, uint32_t pool) {
    fromFile_ = true;
    fileUsage_ = usage;
    filePool_ = pool;
  }
  void setTexture(qxgfx::Ref<qxgfx::Texture> texture) { texture_ = std::move(texture); }
  void setTarget(qxgfx::Ref<qxgfx::Surface> surface, uint32_t format);
  void setFormat(uint32_t format) { format_ = format; }
  // Level 0 kept in memory only (no device).
  void setMemoryLevel(uint32_t format, uint32_t width, uint32_t height);
  // Level 0 kept in memory, copied to the current device when drawn.
  void setManagedLevel(uint32_t format, uint32_t width, uint32_t height);

 private:
  mutable qxgfx::Ref<qxgfx::Texture> texture_;  // replaced when made again from its file
  qxgfx::Ref<qxgfx::Surface> surface_;
  bool isTarget_ = false;
  uint32_t format_ = 0;
  std::vector<uint8_t> memory_;
  uint32_t memoryFormat_ = 0, memoryWidth_ = 0, memoryHeight_ = 0;
  bool locked_ = false;

  qxgfx::Texture* managedTexture() const;
  // Whether what the texture holds may be used on the current device (true while there is
  // none); a file's texture of another device is made again first.
  bool onCurrentDevice() const;
  void tellOnce(const std::string& why) const;
  std::u16string name_;
  mutable bool fromFile_ = false;
  uint32_t fileUsage_ = 0, filePool_ = 0;
  bool managed_ = false;
  // The device copy of a managed texture and the rows it lacks.
  mutable qxgfx::Ref<qxgfx::Texture> copy_;
  mutable uint32_t staleTop_ = 0, staleBottom_ = 0;
  mutable bool refusalTold_ = false;
};
