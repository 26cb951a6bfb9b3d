// HUDText: the script widget that shows and edits a multi-line text. The text is kept as
// code points (with markup controls) beside the length of each of its lines; every edit
// keeps those row lengths equal to a recount. Setters only mark caches dirty: the layout,
// the vertex colours and the upload happen when the widget is drawn or queried.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "hud/text/glyph_layout.h"
#include "hud/text/markup.h"
#include "hud/text/text_place.h"
#include "platform/font/font.h"
#include "script/bind/glue_types.h"

class TP_Vert;
class TP_Index;
class Qeldrin;

namespace hudwidget {

constexpr uint32_t kDirtyLayout = 1;
constexpr uint32_t kDirtyDepth = 2;
constexpr uint32_t kDirtyUpload = 4;  // kept while no device took the buffers
constexpr uint32_t kDirtyAll = 0xFFFF;
constexpr int32_t kMaxBatches = 4;

// The shared quad index list: quad q has 4q, 4q+1, 4q+2, 4q+2, 4q+3, 4q. Grown on demand,
// capped at the quads 16-bit indices reach.
const std::vector<uint16_t>& quadIndices(uint32_t quads);
constexpr uint32_t kMaxQuads = 16384;
// Logs, the first time only, a layout with more glyphs on one page than kMaxQuads: the
// rest of them are not drawn.
void noteGlyphLimit(const hudtext::GlyphLayout& layout);

struct SelRect {
  int32_t left, top, right, bottom;
};

class HUDText {
 public:
  HUDText();
  ~HUDText();
  HUDText(const HUDText&) = delete;
  HUDText& operator=(const HUDText&) = delete;

  // ---- script methods
  bool inRect() const { return fits_; }
  void setText(const std::u16string& text, uint32_t flags);
  void initFont(int32_t width, int32_t height, int32_t weight, const std::u16string& face);
  void setRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void setPlaceFlag(uint32_t alignment);
  void setRectMode(int32_t mode);
  int32_t getNText() const { return int32_t(text_.size()); }
  std::tuple<int32_t, int32_t> getFontPos1D(int32_t x, int32_t y);
  std::tuple<int32_t, int32_t> tpos1_2(int32_t pos) const;
  int32_t tpos2_1(int32_t column, int32_t row) const;
  int32_t getRowBegin1D(int32_t pos) const;
  std::tuple<int32_t, int32_t, int32_t> getCaret(int32_t pos);
  std::tuple<int32_t, int32_t, int32_t, int32_t> getCharRect(int32_t pos);
  qxbind::Pushed getSelRect(lua_State* L, int32_t from, int32_t to);
  void delRange(int32_t from, int32_t to);
  void delAt(int32_t pos);
  int32_t insertText(int32_t pos, const std::u16string& text);
  int32_t findText(int32_t from, const std::u16string& text) const;
  void copyRange(int32_t from, int32_t to);
  void cutRange(int32_t from, int32_t to);
  int32_t paste(int32_t pos, bool singleLine);
  std::u16string getText() const;
  std::tuple<int32_t, int32_t, int32_t, int32_t> getTextRect();
  std::tuple<int32_t, int32_t> getTextCenter();
  int32_t getFontWidth() const { return aveWidth_; }
  int32_t getFontHeight() const { return height_; }
  void setOffset(int32_t x, int32_t y);
  int32_t getEndLine(int32_t pos) const;
  int32_t getBeginLine(int32_t pos) const { return getRowBegin1D(pos); }
  void setAlpha(float alpha) { alpha_ = alpha; }
  void setDepth(float depth);
  void setWidth(int32_t width);

  // ---- engine side (the other text widgets)
  std::vector<SelRect> selRects(int32_t from, int32_t to);
  // Inserts code points as they are (no markup); returns the position after them.
  int32_t insertCodePoints(int32_t pos, U32String text);
  void setHeight(int32_t height);
  const hudtext::TextRect& rect() const { return rect_; }
  int32_t rectMode() const { return rectMode_; }
  int32_t maxCharWidth() const { return maxWidth_; }
  float depth() const { return depth_; }
  float alpha() const { return alpha_; }
  uint32_t flags() const { return flags_; }
  const U32String& text() const { return text_; }
  const std::vector<int32_t>& rows() const { return rows_; }
  const qxfont::FontRef& font() const { return font_; }
  hudtext::GlyphLayout& layout() { return layout_; }
  hudtext::FontKey fontKey() const { return key_; }
  uint32_t dirty() const { return dirty_; }
  void markDirty(uint32_t bits) { dirty_ |= bits; }
  uint32_t self() const { return self_; }
  // Brings layout, colours and buffers up to date. Without a device the upload waits (the
  // widget stays dirty); buffers of a device that has been replaced are made anew.
  void updateCache();

  // ---- widget callbacks
  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void materialCallback(void* obj, void* args, void* app);
  static void drawCallback(void* obj, void* args, void* app);
  // The texture handle of page batch i (0 for none).
  uint32_t batchTexture(size_t i) const;
  // The draw of page batch i: offset and alpha parameters, streams, indices.
  void drawBatch(Qeldrin& app, size_t i);

 private:
  void relayout();
  void recolour();
  // False when there is no device to upload to.
  bool upload();
  // Buffers made on another device than the current one are dropped for new ones.
  bool renewStaleBuffers();
  void makeBuffers();
  // Position clamped to 0..length.
  int32_t clampPos(int32_t pos) const;
  int32_t rowStart(int32_t row) const;
  int32_t advanceAt(size_t i) const;

  uint32_t self_ = 0;
  qxfont::FontRef font_;
  float alpha_ = 1.0f, depth_ = 0.0f;
  int32_t aveWidth_ = 8, maxWidth_ = 12, height_ = 12;
  hudtext::FontKey key_ = 0;
  U32String text_;
  uint32_t flags_ = 1;
  std::vector<int32_t> rows_;
  uint32_t dirty_ = 0;
  hudtext::GlyphLayout layout_;
  std::array<std::unique_ptr<TP_Vert>, kMaxBatches> positions_;
  std::array<std::unique_ptr<TP_Vert>, kMaxBatches> uvs_;
  std::unique_ptr<TP_Index> indices_;
  int32_t maxQuads_ = 0;
  int32_t rectMode_ = 0;
  bool fits_ = false;
  hudtext::TextRect rect_;
  uint32_t alignment_ = 0;
};

// Sums of script integers, kept inside int32.
inline int32_t clampSum(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

}  // namespace hudwidget
