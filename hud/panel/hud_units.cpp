#include "hud/panel/hud_units.h"

#include <algorithm>
#include <cmath>

#include "app/qeldrin/qeldrin.h"
#include "platform/core/utf.h"
#include "render/draw/dtag_queue.h"
#include "runtime/mem/lua_class_desc.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_report.h"

namespace hudpanel {

uint32_t colourByte(float v) {
  const double d = double(v) * 255.0;
  // Out-of-range values keep their low byte, as the truncating conversion does; NaN is 0.
  if (!(d > -2147483648.0 && d < 2147483648.0)) return 0;
  return uint32_t(int64_t(d)) & 0xFFu;
}

uint32_t packColour(float r, float g, float b, float a) {
  return colourByte(a) << 24 | colourByte(r) << 16 | colourByte(g) << 8 | colourByte(b);
}

void setDrawParams(Qeldrin& q) {
  const float alpha = 1.0f, offset[2] = {0, 0};
  q.setParamVector("alpha", &alpha, 1);
  q.setParamVector("offset", offset, 2);
}

namespace {

// A leaf's entry: its own index (0) in the byte at the caller's shift.
DrawEntry leafEntry(PassWord* pw, uint32_t self, float depth, uint32_t kind, uint8_t flag) {
  DrawEntry e;
  const uint32_t shift = pw ? pw->shift & 31 : 0;
  if (pw) pw->word &= ~(0xFFu << shift);
  e.primType = kind == 2 ? 2 : 4;
  e.transparency = 0;
  DrawKey::init(e.key, kind, flag);
  e.distance = depth;
  e.item = kesto::HdlBase(self);
  e.passWord = pw ? pw->word : 0;
  return e;
}

void submitFan(Qeldrin& q, const void* pos, const void* uv, uint32_t triangles) {
  const void* streams[2] = {pos, uv};
  q.drawFan(triangles, streams);
}

}  // namespace

// ---- HUDUnitRect

HUDUnitRect::HUDUnitRect() : self_(MemMgrBase::threadCurrentHandle()) {
  rect.alpha = 1.0f;
  rect.color = 0xFFFFFFFFu;
  putUV(0, 0, 1, 1);
}

HUDUnitRect::~HUDUnitRect() { animator_.clear(); }

void HUDUnitRect::putUV(float left, float top, float right, float bottom) {
  uv_[0] = {left, top, 1.0f};
  uv_[1] = {right, top, 1.0f};
  uv_[2] = {right, bottom, 1.0f};
  uv_[3] = {left, bottom, 1.0f};
}

void HUDUnitRect::setUV(float left, float top, float right, float bottom) {
  mode_ = 0;
  putUV(left, top, right, bottom);
}

void HUDUnitRect::init_animator(const std::u16string& name, int32_t eventId) {
  mode_ = 1;
  AnimMgr* mgr = AnimMgr::instance();
  AnimHdl anim;
  if (mgr) anim = mgr->acquireByName(name).handle;
  if (!anim.value) scriptDebugLog("HUDUnit_rect: no animation \"" + qcore::utf16ToUtf8(name) + "\"");
  animator_.init(anim.value, eventId);
}

std::tuple<float, float> HUDUnitRect::get_size() const {
  float w = 0, h = 0;
  animator_.getSize(w, h);
  return {w, h};
}

void HUDUnitRect::set_size(float w, float h) {
  rect.width = w;
  rect.height = h;
  scaleX_ = scaleY_ = 1.0f;
  sizing_ = 1;
}

void HUDUnitRect::set_scale(float sx, float sy) {
  scaleX_ = sx;
  scaleY_ = sy;
  sizing_ = 0;
}

void HUDUnitRect::collect(PassWord* pw, IDTagQ* queue) {
  if (mode_ == 1) {
    AnimFrameInfo f;
    animator_.getFrameRect(f);
    putUV(f.u0, f.v0, f.u1, f.v1);
    rect.hTex = f.texture;
  }
  DrawEntry e = leafEntry(pw, self_, rect.depth, 1, rect.alpha < 1.0f ? 1 : 0);
  e.textures[0] = kesto::HdlBase(rect.hTex.value);
  if (queue) queue->addEntry(e);
}

void HUDUnitRect::material(Qeldrin& q) const {
  if (rect.hTex.value) q.setParamTexture("diffuse", rect.hTex.value);
}

void HUDUnitRect::buildVertices() {
  const float x = rect.ofsX, y = rect.ofsY, w = rect.width, h = rect.height;
  pos_[0] = {x, y, rect.depth, rect.color};
  pos_[1] = {x + w, y, rect.depth, rect.color};
  pos_[2] = {x + w, y + h, rect.depth, rect.color};
  pos_[3] = {x, y + h, rect.depth, rect.color};
  for (auto& uv : uv_) uv.w = rect.alpha;
}

void HUDUnitRect::draw(Qeldrin& q) {
  buildVertices();
  setDrawParams(q);
  submitFan(q, pos_.data(), uv_.data(), 2);
}

void HUDUnitRect::bounds(float out[4]) const {
  out[0] = rect.ofsX;
  out[1] = rect.ofsY;
  out[2] = rect.ofsX + rect.width;
  out[3] = rect.ofsY + rect.height;
}

void HUDUnitRect::collectCallback(void* obj, void* passWord, void*, void* list) {
  static_cast<HUDUnitRect*>(obj)->collect(static_cast<PassWord*>(passWord), static_cast<IDTagQ*>(list));
}
void HUDUnitRect::materialCallback(void* obj, void*, void* app) {
  static_cast<HUDUnitRect*>(obj)->material(*static_cast<Qeldrin*>(app));
}
void HUDUnitRect::drawCallback(void* obj, void*, void* app) {
  static_cast<HUDUnitRect*>(obj)->draw(*static_cast<Qeldrin*>(app));
}

// ---- HUDUnitWire

const uint16_t HUDUnitWire::kIndices[24] = {0, 2, 3, 3, 1, 0, 3, 2, 4, 4, 5, 3, 5, 4, 6, 6, 7, 5, 7, 6, 0, 0, 1, 7};

HUDUnitWire::HUDUnitWire() : self_(MemMgrBase::threadCurrentHandle()) {
  rect.depth = 1.0f;
  rect.alpha = 1.0f;
  rect.color = 0xFFFFFFFFu;
}

void HUDUnitWire::buildVertices() {
  const float x = rect.ofsX, y = rect.ofsY, w = rect.width, h = rect.height, z = rect.depth;
  const float xy[8][2] = {{x + 0.5f, y + 0.5f},         {x + 1.0f, y + 1.0f},    {x + w, y + 0.5f},
                          {x + w - 0.5f, y + 1.0f},     {x + w, y + h},          {x + w - 0.5f, y + h - 0.5f},
                          {x + 0.5f, y + h},            {x + 1.0f, y + h - 0.5f}};
  for (int i = 0; i < 8; ++i) {
    pos_[i].x = xy[i][0];
    pos_[i].y = xy[i][1];
    pos_[i].z = z;
  }
  if (type_ < 0 || type_ > 2) return;
  const float base[3] = {float((rect.color >> 16) & 0xFF) / 255.0f, float((rect.color >> 8) & 0xFF) / 255.0f,
                         float(rect.color & 0xFF) / 255.0f};
  float dark[3], light[3], mid[3];
  for (int c = 0; c < 3; ++c) {
    dark[c] = 0.75f * base[c];
    light[c] = std::clamp(1.5f * base[c], 0.0f, 1.0f);
    mid[c] = (light[c] + base[c]) / 2.0f;
  }
  const uint32_t D = packColour(dark[0], dark[1], dark[2], 1.0f);
  const uint32_t L = packColour(light[0], light[1], light[2], 1.0f);
  const uint32_t M = packColour(mid[0], mid[1], mid[2], 1.0f);
  // Corner pairs: top left, top right, bottom right, bottom left.
  const uint32_t corners[3][4] = {{L, L, L, L}, {L, M, D, M}, {D, M, L, M}};
  for (int i = 0; i < 8; ++i) pos_[i].color = corners[type_][i / 2];
  for (auto& uv : uv_) {
    if (type_ == 0) uv = {0, 0, rect.alpha};
    else uv.w = rect.alpha;
  }
}

void HUDUnitWire::collect(PassWord* pw, IDTagQ* queue) {
  const DrawEntry e = leafEntry(pw, self_, rect.depth, 1, 0);
  if (queue) queue->addEntry(e);
}

void HUDUnitWire::draw(Qeldrin& q) {
  buildVertices();
  setDrawParams(q);
  const void* streams[2] = {pos_.data(), uv_.data()};
  q.drawIndexed(8, kIndices, 8, streams);
}

void HUDUnitWire::collectCallback(void* obj, void* passWord, void*, void* list) {
  static_cast<HUDUnitWire*>(obj)->collect(static_cast<PassWord*>(passWord), static_cast<IDTagQ*>(list));
}
void HUDUnitWire::drawCallback(void* obj, void*, void* app) {
  static_cast<HUDUnitWire*>(obj)->draw(*static_cast<Qeldrin*>(app));
}

// ---- HUDUnitMeter

uint32_t HUDUnitMeter::selfHandle() { return MemMgrBase::threadCurrentHandle(); }

void HUDUnitMeter::setPos(int32_t x, int32_t y) {
  store(x_, x, kGeometry);
  store(y_, y, kGeometry);
}
void HUDUnitMeter::setRange(int32_t range) { store(range_, range, kGeometry); }
void HUDUnitMeter::setHeight(int32_t height) { store(height_, height, kGeometry); }
void HUDUnitMeter::setDivision(int32_t major, int32_t minor) {
  store(major_, std::max(major, 1), kGeometry);
  store(minor_, std::max(minor, 1), kGeometry);
}
void HUDUnitMeter::setType(int32_t type) {
  if (type < 0 || type > 2) {
    scriptDebugLog("HUDUnit_meter: setType " + std::to_string(type) + " refused (types are 0, 1 and 2)");
    return;
  }
  store(type_, type, kGeometry);
}
void HUDUnitMeter::setDepth(float depth) { store(depth_, depth, kDepth); }
void HUDUnitMeter::setColor(Vec3 rgb, float alpha) { store(colour_, packColour(rgb.x, rgb.y, rgb.z, alpha), kColour); }

void HUDUnitMeter::rebuild() {
  if (dirty_ & kGeometry) {
    const int64_t n = 2 * int64_t(major_) * minor_ + 2;
    if (n > kMaxVertices) {
      scriptDebugLog("HUDUnit_meter: " + std::to_string(major_) + " x " + std::to_string(minor_) +
                     " divisions make too many ticks; the scale is left empty");
      pos_.clear();
      uv_.clear();
    } else {
      pos_.resize(size_t(n));
      uv_.assign(size_t(n), UVW{0, 0, 1.0f});
      const int32_t h = height_;
      const int64_t a = type_ == 0 ? h / 2 - h / 4 : type_ == 1 ? 0 : h / 2;
      const int64_t b = type_ == 0 ? h / 2 + h / 4 : type_ == 1 ? h / 2 : h;
      const int64_t top = int64_t(y_) + 1, bottom = int64_t(y_) + h - 2;
      size_t k = 0;
      auto line = [&](int64_t tx, int64_t y0, int64_t y1) {
        pos_[k++] = {float(tx), float(y0), 0, 0};
        pos_[k++] = {float(tx), float(y1), 0, 0};
      };
      line(x_, top, bottom);
      line(int64_t(x_) + range_, top, bottom);
      const int64_t step = ((int64_t(range_) * 65536) / major_) / minor_;
      int64_t acc = int64_t(x_) * 65536;
      auto shortTicks = [&] {
        for (int32_t s = 1; s < minor_; ++s) {
          acc += step;
          line(acc >> 16, top + a, int64_t(y_) - 2 + b);
        }
      };
      for (int32_t m = 1; m < major_; ++m) {
        shortTicks();
        acc += step;
        line(acc >> 16, top, bottom);
      }
      shortTicks();
    }
  }
  if (dirty_) {
    for (auto& v : pos_) {
      v.z = depth_;
      v.color = colour_;
    }
  }
  dirty_ = 0;
}

void HUDUnitMeter::collect(IDTagQ* queue) {
  if (dirty_) rebuild();
  DrawEntry e = leafEntry(nullptr, self_, depth_, 2, 0);
  if (queue) queue->addEntry(e);
}

void HUDUnitMeter::draw(Qeldrin& q) const {
  if (pos_.empty()) return;
  setDrawParams(q);
  const void* streams[2] = {pos_.data(), uv_.data()};
  q.drawLineList(uint32_t(pos_.size()), streams);
}

void HUDUnitMeter::collectCallback(void* obj, void*, void*, void* list) {
  static_cast<HUDUnitMeter*>(obj)->collect(static_cast<IDTagQ*>(list));
}
void HUDUnitMeter::drawCallback(void* obj, void*, void* app) {
  static_cast<HUDUnitMeter*>(obj)->draw(*static_cast<Qeldrin*>(app));
}

}  // namespace hudpanel
