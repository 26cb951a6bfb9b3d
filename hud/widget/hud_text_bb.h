// HUDTextBB: a text widget drawn through a square off-screen texture, the back buffer. A
// view moves over a text larger than the widget: each frame the part of the text around
// the view is drawn into the back buffer (wrapping at its edges, so only the newly
// uncovered strips change), and the widget shows the view's rectangle of it.
#pragma once
#include <array>
#include <cstdint>
#include <tuple>

#include "hud/widget/hud_text.h"
#include "render/texture/texture_mgr.h"

namespace hudwidget {

// Splits the rectangle (text coordinates) over a square texture of side size (a power of
// two) into 1, 2 or 4 windows; gives their count.
int32_t splitWrapped(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int32_t size,
                     std::array<hudtext::TextWindow, 4>& out);

class HUDTextBB : public HUDText {
 public:
  static constexpr int32_t kMaxSizeExp = 12;  // the texture manager's largest blank texture

  HUDTextBB();

  // ---- script methods
  void setViewPos(int32_t x, int32_t y);
  void setViewSize(int32_t width, int32_t height);
  TextureMgr::TexHandle getBB() const { return bb_; }
  std::tuple<bool, TextureMgr::TexHandle> procBB(qxbind::ObjectRef app);

  int32_t bbSize() const { return size_; }
  int32_t windowCount() const { return windows_; }
  const std::array<hudtext::TextWindow, 4>& windows() const { return window_; }
  int32_t viewX() const { return viewX_; }
  int32_t viewY() const { return viewY_; }
  // The shown rectangle as quads of four corners (top left, top right, bottom left, bottom
  // right; positions and (u, v, w)). The view wraps at the back buffer's edges, but the HUD
  // effect clamps its texture coordinates: the rectangle is cut where the view crosses an
  // edge, so every coordinate stays inside 0..1. A rectangle larger than the back buffer
  // shows it once. Gives the quad count, 0 to 4.
  int32_t shownQuads(hudtext::TextVertex pos[16], hudtext::UVW uv[16]) const;

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void materialCallback(void* obj, void* args, void* app);
  static void drawCallback(void* obj, void* args, void* app);

 private:
  void makeBackBuffer();
  // False for a back buffer made before the window or on a device since replaced.
  bool backBufferOnDevice() const;
  void drawWindows();

  uint32_t selfBB_ = 0;
  int32_t size_ = 256;
  int32_t viewX_ = 0, viewY_ = 0;
  int32_t pendingX_ = 0, pendingY_ = 0;
  TextureMgr::TexHandle bb_;
  int32_t windows_ = 0;
  std::array<hudtext::TextWindow, 4> window_{};
};

}  // namespace hudwidget
