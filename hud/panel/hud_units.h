// The leaf widgets that scripts make and that panels embed: HUDUnitRect (a textured
// rectangle whose texture may follow a sprite animation), HUDUnitWire (a one-pixel
// bevelled frame) and HUDUnitMeter (a scale of tick lines). Each rebuilds its vertices
// in screen pixels and draws through the application's immediate submissions.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "hud/text/glyph_layout.h"
#include "hud/widget/rect_info.h"
#include "runtime/math/vec.h"
#include "scene/anim/animator.h"
#include "script/bind/glue_types.h"

class Qeldrin;
class IDTagQ;
struct PassWord;

namespace hudpanel {

using hudtext::TextVertex;
using hudtext::UVW;
using hudwidget::RectInfo;

// A float colour channel as a byte: times 255 truncated toward zero, low 8 bits kept.
uint32_t colourByte(float v);
uint32_t packColour(float r, float g, float b, float a);

// Effect parameters a unit draws with ("alpha" 1, "offset" 0), set at every draw so no
// widget inherits another's. Batched draws share one value, so a unit's own alpha rides
// in its vertices.
void setDrawParams(Qeldrin& q);

class HUDUnitRect {
 public:
  HUDUnitRect();
  ~HUDUnitRect();
  HUDUnitRect(const HUDUnitRect&) = delete;
  HUDUnitRect& operator=(const HUDUnitRect&) = delete;

  RectInfo rect;

  void setUV(float left, float top, float right, float bottom);
  void init_animator(const std::u16string& name, int32_t eventId);
  void add(const std::string& slot, int32_t loops) { animator_.add(slot.c_str(), loops); }
  void start() { animator_.start(); }
  void stop() { animator_.stop(); }
  void clear() { animator_.clear(); }
  void update(float dt) { animator_.update(dt); }
  bool is_active() const { return animator_.isActive(); }
  std::tuple<float, float> get_size() const;
  void set_callback(qxbind::ObjectRef gobj) { animator_.setCallback(gobj.handle); }
  void set_flip(bool h, bool v) { animator_.setFlip(h, v); }
  void set_size(float w, float h);
  void set_scale(float sx, float sy);
  void set_depth(float depth) { rect.depth = depth; }

  // Widget callbacks' work.
  void collect(PassWord* pw, IDTagQ* queue);
  void material(Qeldrin& q) const;
  void draw(Qeldrin& q);
  void buildVertices();
  const std::array<TextVertex, 4>& positions() const { return pos_; }
  const std::array<UVW, 4>& uvs() const { return uv_; }
  int32_t sourceMode() const { return mode_; }
  void bounds(float out[4]) const;

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void materialCallback(void* obj, void* args, void* app);
  static void drawCallback(void* obj, void* args, void* app);

 private:
  void putUV(float left, float top, float right, float bottom);

  uint32_t self_ = 0;
  Animator animator_;
  int32_t mode_ = 0;
  std::array<TextVertex, 4> pos_{};
  std::array<UVW, 4> uv_{};
  uint8_t sizing_ = 0;
  float scaleX_ = 1.0f, scaleY_ = 1.0f;
};

class HUDUnitWire {
 public:
  HUDUnitWire();

  RectInfo rect;

  void set_type(int32_t type) { type_ = type; }

  void collect(PassWord* pw, IDTagQ* queue);
  void draw(Qeldrin& q);
  void buildVertices();
  const std::array<TextVertex, 8>& positions() const { return pos_; }
  const std::array<UVW, 8>& uvs() const { return uv_; }
  static const uint16_t kIndices[24];

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void drawCallback(void* obj, void* args, void* app);

 private:
  uint32_t self_ = 0;
  int32_t type_ = 0;
  std::array<TextVertex, 8> pos_{};
  std::array<UVW, 8> uv_{};
};

class HUDUnitMeter {
 public:
  static constexpr uint32_t kGeometry = 1, kDepth = 2, kColour = 4;
  // Scripts size the scale: more vertices than this are refused.
  static constexpr int64_t kMaxVertices = 65536;

  HUDUnitMeter() : self_(selfHandle()) {}

  void setPos(int32_t x, int32_t y);
  void setRange(int32_t range);
  void setHeight(int32_t height);
  void setDivision(int32_t major, int32_t minor);
  void setType(int32_t type);
  void setDepth(float depth);
  void setColor(Vec3 rgb, float alpha);

  // Rebuilds what the dirty bits name.
  void rebuild();
  void collect(IDTagQ* queue);
  void draw(Qeldrin& q) const;
  const std::vector<TextVertex>& positions() const { return pos_; }
  const std::vector<UVW>& uvs() const { return uv_; }
  uint32_t colour() const { return colour_; }
  uint32_t dirty() const { return dirty_; }

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void drawCallback(void* obj, void* args, void* app);

 private:
  static uint32_t selfHandle();
  template <class T>
  void store(T& field, T value, uint32_t bit) {
    if (field == value) return;
    field = value;
    dirty_ |= bit;
  }

  uint32_t self_ = 0;
  int32_t x_ = 0, y_ = 0;
  uint32_t colour_ = 0xFFFFFFFFu;
  float depth_ = 0.0f;
  int32_t range_ = 100, height_ = 0;
  int32_t major_ = 2, minor_ = 2;
  int32_t type_ = 0;
  std::vector<TextVertex> pos_;
  std::vector<UVW> uv_;
  uint32_t dirty_ = kGeometry;
};

}  // namespace hudpanel
