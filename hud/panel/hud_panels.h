// HUDBG, a panel of a background rectangle, a frame and a text placed, coloured and faded
// together; HUDMeter, a horizontal bar gauge with a border.
#pragma once
#include <cstdint>
#include <string>
#include <tuple>

#include "hud/panel/hud_units.h"
#include "hud/widget/hud_text.h"

namespace hudpanel {

// A script number as an int: truncated toward zero, clamped to the int range, NaN 0.
int32_t truncInt(double v);

class HUDBG {
 public:
  static constexpr uint32_t kRect = 1, kWire = 2, kText = 4;
  // Part depth offsets: the background behind the frame behind the text.
  static constexpr float kRectBias = 2.3841858e-7f, kWireBias = 1.1920929e-7f;
  // The parts' depths behind a panel depth: the offsets, and at least one float step
  // apart where the offsets would round away.
  static float wireDepth(float depth);
  static float rectDepth(float depth);

  HUDBG();

  RectInfo record;
  HUDUnitRect rect;
  HUDUnitWire wire;
  hudwidget::HUDText text;

  void set_visible(int32_t bits) { visible_ = uint32_t(bits); }
  int32_t get_visible() const { return int32_t(visible_); }
  void set_pos(float x, float y);
  void set_size(float w, float h);
  void set_depth(float depth);
  void set_alpha(float alpha) { record.alpha = alpha; }
  void set_color(Vec3 rgb) { record.color = packColour(rgb.x, rgb.y, rgb.z, 1.0f); }
  Vec3 get_color() const;
  std::tuple<float, float> get_pos() const { return {record.ofsX, record.ofsY}; }
  std::tuple<float, float> get_size() const { return {record.width, record.height}; }
  void set_text(const std::u16string& text, bool append);
  std::u16string get_text();
  void set_rectmode(int32_t mode) { text.setRectMode(mode); }
  void set_textflag(int32_t flags) { text.setPlaceFlag(uint32_t(flags)); }
  std::tuple<int32_t, int32_t> get_fontsize() const { return {text.getFontWidth(), text.getFontHeight()}; }
  std::tuple<int32_t, int32_t> get_textsize();

  void collect(PassWord* pw, void* passThrough, IDTagQ* queue);
  void material(uint32_t passWord, uint32_t* keepMask, Qeldrin& q);
  void draw(uint32_t passWord, Qeldrin& q);
  // Draw step 1: the panel takes its text's rectangle, grown for the frame.
  void fitToText();

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void materialCallback(void* obj, void* args, void* app);
  static void drawCallback(void* obj, void* args, void* app);

 private:
  std::u16string panelText_;
  uint32_t visible_ = 0;
};

class HUDMeter {
 public:
  HUDMeter();

  void set_value(float v) { s_.value = v; }
  void set_range(float minimum, float maximum) {
    s_.minimum = minimum;
    s_.maximum = maximum;
  }
  void set_pos(float x, float y);
  void set_size(float w, float h);
  void set_colormt(int32_t r, int32_t g, int32_t b) { s_.bar = packBytes(r, g, b); }
  void set_colorbdr(int32_t r, int32_t g, int32_t b) { s_.border = packBytes(r, g, b); }
  void copy_from(qxbind::ObjectRef other);

  // Rebuilds the frame (5 vertices) and the bar (4).
  void buildVertices();
  const std::array<TextVertex, 5>& frame() const { return s_.frame; }
  const std::array<TextVertex, 4>& bar() const { return s_.bar4; }
  uint32_t barColour() const { return s_.bar; }
  void collect(IDTagQ* queue);
  void draw(Qeldrin& q);

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void drawCallback(void* obj, void* args, void* app);

 private:
  static uint32_t packBytes(int32_t r, int32_t g, int32_t b) {
    return 0xFF000000u | (uint32_t(r) & 0xFF) << 16 | (uint32_t(g) & 0xFF) << 8 | (uint32_t(b) & 0xFF);
  }
  struct State {
    float left = 0, top = 0, right = 128, bottom = 16;
    float value = 50, minimum = 0, maximum = 100;
    float width = 128, height = 16;
    uint32_t border = 0xFFFFFFFFu, bar = 0xFF55FF55u;
    std::array<TextVertex, 5> frame{};
    std::array<UVW, 5> frameUV{};
    std::array<TextVertex, 4> bar4{};
    std::array<UVW, 4> barUV{};
  };
  uint32_t self_ = 0;
  State s_;
};

}  // namespace hudpanel
