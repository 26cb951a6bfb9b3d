#include "hud/widget/hud_text_bb.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "hud/text/a8_surface.h"
#include "hud/text/font_context.h"
#include "render/device/device_mgr.h"
#include "render/draw/dtag_queue.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/core/synclo.h"
#include "runtime/mem/lua_class_desc.h"
#include "runtime/mem/mem_mgr.h"

namespace hudwidget {

namespace {

constexpr uint32_t kFormatA8R8G8B8 = 21;
constexpr std::string_view kBackbuffPass = "Backbuff";

int32_t log2Of(int32_t size) {
  int32_t n = 0;
  while ((int64_t(1) << (n + 1)) <= size) ++n;
  return n;
}

}  // namespace

int32_t splitWrapped(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int32_t size,
                     std::array<hudtext::TextWindow, 4>& out) {
  const int32_t shift = log2Of(size);
  const int64_t mask = int64_t(size) - 1;
  auto tile = [&](int64_t c) { return c >> shift; };
  auto rem = [&](int64_t c) { return c & mask; };  // two's complement: (S - (-c mod S)) mod S
  auto i32 = [](int64_t v) { return clampSum(v); };
  int32_t n = 1;
  out[0] = {i32(rem(x0)), i32(y0), i32(rem(x1)), i32(y1), i32(tile(x0) * size), i32(tile(y0) * size), 0};
  if (tile(x0) != tile(x1)) {
    out[1] = out[0];
    out[0].x1 = size;
    out[0].edges = 4;
    out[1].x0 = 0;
    out[1].offsetX = i32(tile(x1) * size);
    out[1].edges = 1;
    n = 2;
  }
  if (tile(y0) == tile(y1)) {
    for (int32_t i = 0; i < n; ++i) {
      out[size_t(i)].y0 = i32(rem(y0));
      out[size_t(i)].y1 = i32(rem(y1));
    }
    return n;
  }
  for (int32_t i = 0; i < n; ++i) {
    hudtext::TextWindow& top = out[size_t(i)];
    hudtext::TextWindow& low = out[size_t(n + i)];
    low = top;
    top.y0 = i32(rem(y0));
    top.y1 = size;
    top.edges |= 8;
    low.y0 = 0;
    low.y1 = i32(rem(y1));
    low.offsetY = i32(tile(y1) * size);
    low.edges |= 2;
  }
  return 2 * n;
}

HUDTextBB::HUDTextBB() : selfBB_(MemMgrBase::threadCurrentHandle()) {
  makeBackBuffer();
  setWidth(128);
  setHeight(128);
}

void HUDTextBB::makeBackBuffer() {
  TextureMgr* textures = TextureMgr::instance();
  if (!textures || !DeviceMgr::currentDevice()) {
    // Before the window: procBB makes it on the device it draws with.
    bb_ = TextureMgr::TexHandle();
    return;
  }
  bb_ = textures->create_blank(log2Of(size_), kFormatA8R8G8B8);
  if (!bb_.value) std::fprintf(stderr, "HUDTextBB: no back buffer of %d pixels; the widget shows nothing\n", size_);
}

bool HUDTextBB::backBufferOnDevice() const {
  kesto::HdlLock<TextureMgr::TexHandle> lock(bb_, kesto::HdlLock<TextureMgr::TexHandle>::kShared);
  const qxgfx::Texture* t = lock ? lock->texture() : nullptr;
  return t && &t->device() == DeviceMgr::currentDevice();
}

void HUDTextBB::setViewPos(int32_t x, int32_t y) {
  pendingX_ = clampSum(int64_t(x) - viewX_);
  pendingY_ = clampSum(int64_t(y) - viewY_);
}

void HUDTextBB::setViewSize(int32_t width, int32_t height) {
  const int64_t needed =
      std::max(int64_t(width) + 2 * int64_t(maxCharWidth()), int64_t(height) + 2 * int64_t(getFontHeight()));
  if (needed > size_) {
    int32_t n = 0;
    while (n < kMaxSizeExp && (int64_t(1) << (n + 1)) <= needed) ++n;
    const int32_t grown = int32_t(1) << std::min(n + 1, kMaxSizeExp);
    if (grown > size_) {
      size_ = grown;
      makeBackBuffer();
    }
  }
  setWidth(width);
  setHeight(height);
}

std::tuple<bool, TextureMgr::TexHandle> HUDTextBB::procBB(qxbind::ObjectRef app) {
  viewX_ = clampSum(int64_t(viewX_) + pendingX_);
  viewY_ = clampSum(int64_t(viewY_) + pendingY_);
  pendingX_ = pendingY_ = 0;
  const auto& r = rect();
  const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
  const int64_t cw = maxCharWidth(), ch = getFontHeight();
  windows_ = splitWrapped(int64_t(viewX_) - cw, int64_t(viewY_) - ch, viewX_ + w + cw, viewY_ + h + ch, size_, window_);
  ItemLock item(app.handle);
  if (!item || std::string_view(item->className()) != "Qeldrin") {
    std::fprintf(stderr, "HUDTextBB:procBB: the argument is no application object\n");
    return {false, {}};
  }
  auto* q = static_cast<Qeldrin*>(item->data());
  if (!backBufferOnDevice()) makeBackBuffer();
  TextureMgr::TexHandle previous = q->setTargetTex(0, qxbind::ObjectRef{bb_.value});
  q->clearCurrentBuffer(0, 1.0f, 0);
  return {true, std::move(previous)};
}

namespace {

// A stretch of the shown rectangle along one axis: its start from the rectangle's edge, its
// length and the back-buffer texel it starts at.
struct Span {
  int64_t at, length, texel;
};

// [start, start + length) of an axis that wraps at side, as one or two spans that do not.
int32_t splitAxis(int64_t start, int64_t length, int64_t side, Span out[2]) {
  length = std::clamp<int64_t>(length, 0, side);
  if (!length) return 0;
  const int64_t first = std::min(length, side - start);
  out[0] = {0, first, start};
  if (first == length) return 1;
  out[1] = {first, length - first, 0};
  return 2;
}

}  // namespace

int32_t HUDTextBB::shownQuads(hudtext::TextVertex pos[16], hudtext::UVW uv[16]) const {
  const auto& r = rect();
  const int64_t mask = size_ - 1;
  Span xs[2], ys[2];
  const int32_t nx = splitAxis(viewX_ & mask, int64_t(r.right) - r.left, size_, xs);
  const int32_t ny = splitAxis(viewY_ & mask, int64_t(r.bottom) - r.top, size_, ys);
  const float s = float(size_);
  int32_t n = 0;
  for (int32_t j = 0; j < ny; ++j) {
    for (int32_t i = 0; i < nx; ++i, ++n) {
      const Span &sx = xs[i], &sy = ys[j];
      for (int k = 0; k < 4; ++k) {
        const int64_t col = k & 1, row = k >> 1;
        pos[4 * n + k] = {float(r.left + sx.at + col * sx.length), float(r.top + sy.at + row * sy.length), depth(),
                          0xFFFFFFFFu};
        uv[4 * n + k] = {float(sx.texel + col * sx.length) / s, float(sy.texel + row * sy.length) / s, 1.0f};
      }
    }
  }
  return n;
}

void HUDTextBB::drawWindows() {
  hudtext::SharedFonts& shared = hudtext::sharedFonts();
  kesto::SyncloGuard guard(shared.lock);
  auto& lay = layout();
  if (windows_ < 1) {
    lay.clear();
    return;
  }
  hudtext::hudTextWindow(lay, font(), flags(), text(), window_[0]);
  for (int32_t i = 1; i < windows_; ++i) {
    hudtext::GlyphLayout extra;
    hudtext::hudTextWindow(extra, font(), flags(), text(), window_[size_t(i)]);
    for (auto& b : extra.batches) {
      auto it = std::find_if(lay.batches.begin(), lay.batches.end(),
                             [&](const hudtext::PageBatch& p) { return p.page == b.page; });
      if (it == lay.batches.end()) {
        lay.batches.push_back(std::move(b));
        continue;
      }
      it->vertices.insert(it->vertices.end(), b.vertices.begin(), b.vertices.end());
      it->uvs.insert(it->uvs.end(), b.uvs.begin(), b.uvs.end());
    }
  }
  noteGlyphLimit(lay);
  // The next layout of the whole text replaces these quads.
  markDirty(kDirtyLayout);
}

void HUDTextBB::collectCallback(void* obj, void*, void* passThrough, void* list) {
  auto* t = static_cast<HUDTextBB*>(obj);
  auto* queue = static_cast<IDTagQ*>(list);
  if (!queue) return;
  DrawEntry e;
  e.primType = 4;
  e.distance = t->depth();
  e.item = kesto::HdlBase(t->selfBB_);
  DrawKey::init(e.key, 2, 0);
  const char* name = static_cast<const char*>(passThrough);
  if (!name || std::string_view(name) != kBackbuffPass) {
    e.textures[0] = kesto::HdlBase(t->bb_.value);
    e.passWord = 0;
    queue->addEntry(e);
    return;
  }
  t->drawWindows();
  const auto& batches = t->layout().batches;
  for (size_t i = 0; i < batches.size(); ++i) {
    if (batches[i].vertices.empty()) continue;
    e.textures[0] = kesto::HdlBase(t->batchTexture(i));
    e.passWord = uint32_t(i + 1);
    queue->addEntry(e);
  }
}

void HUDTextBB::materialCallback(void* obj, void* args, void* app) {
  auto* t = static_cast<HUDTextBB*>(obj);
  auto* q = static_cast<Qeldrin*>(app);
  const uint32_t part = static_cast<DrawCallArgs*>(args)->passWord;
  q->setParamTexture("diffuse", part == 0 ? t->bb_.value : t->batchTexture(part - 1));
  const float one = 1.0f, coverageInRed = part == 0 ? 1.0f : 0.0f;
  q->setParamVector("cadd", &one, 1);
  // White glyphs drawn over the cleared back buffer leave their coverage in its colour;
  // the blend leaves the coverage squared in its alpha.
  q->setParamVector("calpha", &coverageInRed, 1);
}

void HUDTextBB::drawCallback(void* obj, void* args, void* app) {
  auto* t = static_cast<HUDTextBB*>(obj);
  auto* q = static_cast<Qeldrin*>(app);
  const uint32_t part = static_cast<DrawCallArgs*>(args)->passWord;
  // The glyphs go into the back buffer whole; the widget's alpha applies once, to the view.
  const float alpha = part == 0 ? t->alpha() : 1.0f;
  const float zero[2] = {0, 0};
  q->setParamVector("alpha", &alpha, 1);
  q->setParamVector("offset", zero, 2);
  if (part == 0) {
    hudtext::TextVertex pos[16];
    hudtext::UVW uv[16];
    const int32_t quads = t->shownQuads(pos, uv);
    static const uint16_t kIndices[24] = {0, 1, 2,  2,  1,  3,  4,  5,  6,  6,  5,  7,
                                          8, 9, 10, 10, 9,  11, 12, 13, 14, 14, 13, 15};
    const void* streams[2] = {pos, uv};
    q->drawIndexed(uint32_t(4 * quads), kIndices, uint32_t(2 * quads), streams);
    return;
  }
  const auto& batches = t->layout().batches;
  if (part - 1 >= batches.size()) return;
  const auto& b = batches[part - 1];
  const uint32_t quads = uint32_t(std::min(b.vertices.size() / 4, size_t(kMaxQuads)));
  if (!quads) return;
  const void* streams[2] = {b.vertices.data(), b.uvs.data()};
  q->drawIndexed(quads * 4, quadIndices(quads).data(), quads * 2, streams);
}

}  // namespace hudwidget
