// The text widget's caches (layout, vertex colours, device buffers) and its draw callbacks.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "app/qeldrin/qeldrin.h"
#include "hud/text/a8_surface.h"
#include "hud/text/font_context.h"
#include "hud/widget/hud_text.h"
#include "render/device/device_mgr.h"
#include "render/device/dyn_buffer.h"
#include "render/draw/dtag_queue.h"
#include "runtime/core/synclo.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/mem/lua_class_desc.h"
#include "script/lua/script_report.h"

namespace hudwidget {

const std::vector<uint16_t>& quadIndices(uint32_t quads) {
  static std::vector<uint16_t> list;
  quads = std::min(quads, kMaxQuads);
  for (uint32_t q = uint32_t(list.size() / 6); q < quads; ++q) {
    const uint16_t b = uint16_t(4 * q);
    list.insert(list.end(), {b, uint16_t(b + 1), uint16_t(b + 2), uint16_t(b + 2), uint16_t(b + 3), b});
  }
  return list;
}

void noteGlyphLimit(const hudtext::GlyphLayout& layout) {
  static std::atomic<bool> told{false};
  for (const auto& b : layout.batches) {
    if (b.vertices.size() > size_t(kMaxQuads) * 4) {
      if (!told.exchange(true))
        scriptDebugLog("HUDText: a text has more than " + std::to_string(kMaxQuads) +
                       " glyphs on one glyph page; the glyphs past them are not drawn");
      return;
    }
  }
}

void HUDText::relayout() {
  ProfScope scope("HUDT_cache0");
  if (rectMode_ == 1) alignment_ &= ~0xCu;
  if (rectMode_ == 0) alignment_ = 0;
  const bool limit = rectMode_ != 0 && (alignment_ & 3u) == 0;
  hudtext::SharedFonts& shared = hudtext::sharedFonts();
  kesto::SyncloGuard guard(shared.lock);
  key_ = hudtext::makeFontKeyShared(font_, flags_);
  const int64_t w = int64_t(rect_.right) - rect_.left, h = int64_t(rect_.bottom) - rect_.top;
  const hudtext::TextRect box{1, 1, clampSum(w - 2), clampSum(h - 2)};
  if (rectMode_ == 2) {
    fits_ = hudtext::hudTextInRect(layout_, font_, flags_, text_, box, alignment_, limit);
    return;
  }
  const auto [fw, fh] = hudtext::hudTextFit(layout_, font_, flags_, text_, box, alignment_, limit);
  fits_ = fw >= 1 && fh >= 1;
  if (fits_) {
    rect_.right = clampSum(int64_t(rect_.left) + fw);
    rect_.bottom = clampSum(int64_t(rect_.top) + fh);
  }
}

void HUDText::recolour() {
  ProfScope scope("HUDT_cache1");
  for (auto& b : layout_.batches)
    for (auto& v : b.vertices) {
      v.z = depth_;
      v.color = 0xFFFFFFFFu;
    }
}

bool HUDText::upload() {
  ProfScope scope("HUDT_cache2");
  if (!DeviceMgr::currentDevice()) return false;
  const size_t n = std::min(layout_.batches.size(), size_t(kMaxBatches));
  for (size_t i = 0; i < size_t(kMaxBatches); ++i) {
    positions_[i]->reset();
    uvs_[i]->reset();
    if (i >= n) continue;
    const auto& b = layout_.batches[i];
    const uint32_t count = uint32_t(std::min(b.vertices.size(), size_t(kMaxQuads) * 4));
    if (!count) continue;
    const bool ok = positions_[i]->append(b.vertices.data(), count) && uvs_[i]->append(b.uvs.data(), count);
    if (!ok) std::fprintf(stderr, "HUDText: the device refused the text's vertex buffers\n");
    const int32_t quads = int32_t(count / 4);
    if (quads > maxQuads_) {
      maxQuads_ = quads;
      const std::vector<uint16_t>& list = quadIndices(uint32_t(quads));
      indices_->reset();
      if (!indices_->append(list.data(), uint32_t(quads) * 6))
        std::fprintf(stderr, "HUDText: the device refused the text's index buffer\n");
    }
  }
  return true;
}

bool HUDText::renewStaleBuffers() {
  const qxgfx::Device* device = DeviceMgr::currentDevice();
  if (!device) return false;
  auto stale = [device](const qxgfx::Buffer* b) { return b && &b->device() != device; };
  bool any = stale(indices_->indexBuffer());
  for (size_t i = 0; i < size_t(kMaxBatches); ++i)
    any = any || stale(positions_[i]->vertexBuffer()) || stale(uvs_[i]->vertexBuffer());
  if (any) makeBuffers();
  return any;
}

void HUDText::updateCache() {
  if (dirty_ & kDirtyLayout) {
    relayout();
    noteGlyphLimit(layout_);
  }
  if (dirty_ & kDirtyDepth) recolour();
  if (renewStaleBuffers()) dirty_ |= kDirtyUpload;
  if (dirty_ && !upload()) {
    dirty_ = kDirtyUpload;
    return;
  }
  dirty_ = 0;
}

uint32_t HUDText::batchTexture(size_t i) const {
  if (i >= layout_.batches.size() || !layout_.batches[i].page) return 0;
  return layout_.batches[i].page->textureHandle();
}

void HUDText::collectCallback(void* obj, void* passWord, void*, void* list) {
  auto* t = static_cast<HUDText*>(obj);
  auto* pw = static_cast<PassWord*>(passWord);
  auto* queue = static_cast<IDTagQ*>(list);
  t->updateCache();
  if (t->layout_.batches.empty() || !queue || !pw) return;
  DrawEntry e;
  e.primType = 4;
  e.transparency = 0;
  e.distance = 0.0f;
  e.item = kesto::HdlBase(t->self_);
  const uint32_t shift = pw->shift & 31;
  const size_t n = std::min(t->layout_.batches.size(), size_t(kMaxBatches));
  const uint32_t ib = t->indices_->indexBuffer() ? t->indices_->indexBuffer()->id() : 0;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t pos = t->positions_[i]->vertexBuffer() ? t->positions_[i]->vertexBuffer()->id() : 0;
    const uint32_t uv = t->uvs_[i]->vertexBuffer() ? t->uvs_[i]->vertexBuffer()->id() : 0;
    DrawKey::setStreams(e.key, ib, {pos, uv});
    e.textures[i] = kesto::HdlBase(t->batchTexture(i));
    pw->word = (pw->word & ~(0xFFu << shift)) | (uint32_t(i) << shift);
    e.passWord = pw->word;
    queue->addEntry(e);
  }
}

void HUDText::materialCallback(void* obj, void* args, void* app) {
  auto* t = static_cast<HUDText*>(obj);
  auto* q = static_cast<Qeldrin*>(app);
  const size_t i = static_cast<DrawCallArgs*>(args)->passWord & 0xFF;
  q->setParamTexture("diffuse", t->batchTexture(i));
  const float one = 1.0f;
  q->setParamVector("cadd", &one, 1);
}

void HUDText::drawBatch(Qeldrin& q, size_t i) {
  if (i >= size_t(kMaxBatches) || i >= layout_.batches.size()) return;
  const float alpha = alpha_;
  const float offset[2] = {float(rect_.left), float(rect_.top)};
  q.setParamVector("alpha", &alpha, 1);
  q.setParamVector("offset", offset, 2);
  q.setStream(0, positions_[i]->vertexBuffer());
  q.setStream(1, uvs_[i]->vertexBuffer());
  q.setIndexBuffer(indices_->indexBuffer());
  const uint32_t vertices = positions_[i]->count();
  if (vertices) q.drawIndexedTriangles(vertices, vertices / 2);
}

void HUDText::drawCallback(void* obj, void* args, void* app) {
  auto* t = static_cast<HUDText*>(obj);
  t->drawBatch(*static_cast<Qeldrin*>(app), static_cast<DrawCallArgs*>(args)->passWord & 0xFF);
}

}  // namespace hudwidget
