#include "hud/panel/hud_panels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "render/draw/dtag_queue.h"
#include "runtime/mem/lua_class_desc.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_report.h"

namespace hudpanel {

int32_t truncInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return int32_t(v);
}

// ---- HUDBG

HUDBG::HUDBG() {
  record.alpha = 1.0f;
  text.initFont(0, 12, 400, u"ＭＳ ゴシック");
  text.setRect(0, 0, 0, 0);
  text.setPlaceFlag(0);
}

float HUDBG::wireDepth(float depth) {
  return std::max(depth + kWireBias, std::nextafter(depth, std::numeric_limits<float>::infinity()));
}

float HUDBG::rectDepth(float depth) {
  const float wire = wireDepth(depth);
  return std::max(depth + kRectBias, std::nextafter(wire, std::numeric_limits<float>::infinity()));
}

void HUDBG::set_pos(float x, float y) {
  record.ofsX = x;
  record.ofsY = y;
  text.setOffset(truncInt(x), truncInt(y));
}

void HUDBG::set_size(float w, float h) {
  record.width = w;
  record.height = h;
  text.setWidth(truncInt(double(w) - 4));
  text.setHeight(truncInt(double(h) - 2));
}

void HUDBG::set_depth(float depth) {
  record.depth = depth;
  text.setDepth(depth);
}

Vec3 HUDBG::get_color() const {
  const float k = 1.0f / 255.0f;
  return {float((record.color >> 16) & 0xFF) * k, float((record.color >> 8) & 0xFF) * k,
          float(record.color & 0xFF) * k};
}

void HUDBG::set_text(const std::u16string& t, bool append) {
  if (append) panelText_ += t;
  else panelText_ = t;
  text.setText(panelText_, text.flags());
}

std::u16string HUDBG::get_text() {
  panelText_ = text.getText();
  return panelText_;
}

std::tuple<int32_t, int32_t> HUDBG::get_textsize() {
  const auto [x, y, w, h] = text.getTextRect();
  return {w, h};
}

namespace {

// Hands the text part's entries on at the panel's depth (a lone text sorts at 0).
class PanelDepthQueue final : public IDTagQ {
 public:
  PanelDepthQueue(IDTagQ* inner, float depth) : inner_(inner), depth_(depth) {}
  void addEntry(const DrawEntry& entry) override {
    if (!inner_) return;
    DrawEntry e = entry;
    e.distance = depth_;
    inner_->addEntry(e);
  }
  Vec3 eyePosition() const override { return inner_ ? inner_->eyePosition() : Vec3{0, 0, 0}; }
  Vec3 cameraAxis(int axis) const override { return inner_ ? inner_->cameraAxis(axis) : Vec3{0, 0, 0}; }

 private:
  IDTagQ* inner_;
  float depth_;
};

}  // namespace

void HUDBG::collect(PassWord* pw, void* passThrough, IDTagQ* queue) {
  if (!pw) return;
  // The parts sort at the depths the draw gives them, from the first frame on (their
  // records otherwise hold what the previous draw left, or their own defaults).
  rect.rect.depth = rectDepth(record.depth);
  wire.rect.depth = wireDepth(record.depth);
  PanelDepthQueue textQueue(queue, record.depth);
  const uint32_t shift = pw->shift & 31;
  for (uint32_t index = 0; index < 3; ++index) {
    if (!(visible_ & (1u << index))) continue;
    pw->word = (pw->word & ~(0xFFu << shift)) | index << shift;
    PassWord child{pw->word, shift + 8};
    if (index == 0) rect.collect(&child, queue);
    else if (index == 1) wire.collect(&child, queue);
    else hudwidget::HUDText::collectCallback(&text, &child, passThrough, &textQueue);
  }
}

void HUDBG::material(uint32_t passWord, uint32_t* keepMask, Qeldrin& q) {
  const uint32_t index = passWord & 0xFF;
  if (index == 0) {
    rect.material(q);
  } else if (index == 2) {
    DrawCallArgs shifted{passWord >> 8, keepMask ? *keepMask : 0};
    hudwidget::HUDText::materialCallback(&text, &shifted, &q);
    if (keepMask) *keepMask = shifted.keepMask;
  }
}

void HUDBG::fitToText() {
  if (text.rectMode() == 2) return;
  text.setOffset(truncInt(record.ofsX), truncInt(record.ofsY));
  const auto [x, y, w, h] = text.getTextRect();
  record.ofsX = float(x);
  record.ofsY = float(y);
  record.width = float(w) + 4;
  record.height = float(h) + 2;
}

void HUDBG::draw(uint32_t passWord, Qeldrin& q) {
  fitToText();
  const uint32_t index = passWord & 0xFF;
  if (index == 0) {
    // The bias is added to a copy: adding and subtracting would drift the panel's depth.
    RectInfo placed = record;
    placed.depth = rectDepth(record.depth);
    rect.rect.copyPlacement(placed);
    const float own = rect.rect.alpha;
    rect.rect.alpha = own * record.alpha;
    rect.draw(q);
    rect.rect.alpha = own;
  } else if (index == 1) {
    RectInfo placed = record;
    placed.depth = wireDepth(record.depth);
    wire.rect.copyPlacement(placed);
    wire.draw(q);
  } else if (index == 2) {
    text.setAlpha(record.alpha);
    text.setDepth(record.depth);
    DrawCallArgs shifted{passWord >> 8, 0};
    hudwidget::HUDText::drawCallback(&text, &shifted, &q);
  }
}

void HUDBG::collectCallback(void* obj, void* passWord, void* passThrough, void* list) {
  static_cast<HUDBG*>(obj)->collect(static_cast<PassWord*>(passWord), passThrough, static_cast<IDTagQ*>(list));
}
void HUDBG::materialCallback(void* obj, void* args, void* app) {
  auto* a = static_cast<DrawCallArgs*>(args);
  static_cast<HUDBG*>(obj)->material(a ? a->passWord : 0, a ? &a->keepMask : nullptr, *static_cast<Qeldrin*>(app));
}
void HUDBG::drawCallback(void* obj, void* args, void* app) {
  auto* a = static_cast<DrawCallArgs*>(args);
  static_cast<HUDBG*>(obj)->draw(a ? a->passWord : 0, *static_cast<Qeldrin*>(app));
}

// ---- HUDMeter

HUDMeter::HUDMeter() : self_(MemMgrBase::threadCurrentHandle()) {
  s_.frameUV.fill(UVW{0, 0, 1.0f});
  s_.barUV.fill(UVW{0, 0, 1.0f});
}

void HUDMeter::set_pos(float x, float y) {
  s_.left = x;
  s_.top = y;
  s_.right = x + s_.width;
  s_.bottom = y + s_.height;
}

void HUDMeter::set_size(float w, float h) {
  s_.width = w;
  s_.height = h;
  s_.right = s_.left + w;
  s_.bottom = s_.top + h;
}

void HUDMeter::copy_from(qxbind::ObjectRef other) {
  if (other.handle == self_) return;
  ItemLock lock(other.handle);
  if (!lock || !lock->data() || std::strcmp(lock->className(), "HUDMeter") != 0) {
    scriptDebugLog("HUDMeter: copy_from needs a live HUDMeter; nothing copied");
    return;
  }
  s_ = static_cast<const HUDMeter*>(lock->data())->s_;
}

void HUDMeter::buildVertices() {
  const float l = s_.left, t = s_.top, r = s_.right, b = s_.bottom;
  const uint32_t c = s_.border;
  s_.frame = {TextVertex{l, t, 0, c}, {r, t, 0, c}, {r, b, 0, c}, {l, b, 0, c}, {l, t - 1, 0, c}};
  const float span = s_.maximum - s_.minimum;
  // An empty range shows empty, or full once the value reaches it.
  float f = span != 0 ? (s_.value - s_.minimum) / span : (s_.value >= s_.maximum ? 1.0f : 0.0f);
  f = f == f ? std::clamp(f, 0.0f, 1.0f) : 0.0f;
  const float br = f * (r - l) + l;
  const uint32_t m = s_.bar;
  s_.bar4 = {TextVertex{l, t, 0, m}, {br - 1, t, 0, m}, {br - 1, b - 1, 0, m}, {l, b - 1, 0, m}};
}

void HUDMeter::collect(IDTagQ* queue) {
  DrawEntry e;
  e.primType = 4;
  DrawKey::init(e.key, 1, 0);
  e.item = kesto::HdlBase(self_);
  if (queue) queue->addEntry(e);
}

void HUDMeter::draw(Qeldrin& q) {
  buildVertices();
  setDrawParams(q);
  q.setParamTexture("diffuse", 0);
  const void* frame[2] = {s_.frame.data(), s_.frameUV.data()};
  q.drawLineStrip(5, frame);
  const void* bar[2] = {s_.bar4.data(), s_.barUV.data()};
  q.drawFan(2, bar);
}

void HUDMeter::collectCallback(void* obj, void*, void*, void* list) {
  static_cast<HUDMeter*>(obj)->collect(static_cast<IDTagQ*>(list));
}
void HUDMeter::drawCallback(void* obj, void*, void* app) { static_cast<HUDMeter*>(obj)->draw(*static_cast<Qeldrin*>(app)); }

}  // namespace hudpanel
