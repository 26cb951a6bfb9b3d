#include "hud/panel/gui_console.h"

#include <algorithm>

#include "app/qeldrin/qeldrin.h"
#include "hud/panel/hud_panels.h"
#include "platform/core/utf.h"
#include "render/device/dyn_buffer.h"
#include "render/draw/dtag_queue.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_report.h"

namespace hudpanel {

namespace {
const char16_t kFace[] = u"ＭＳ ゴシック";

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
}  // namespace

GUIConsole::GUIConsole() : self_(MemMgrBase::threadCurrentHandle()) {
  bg_.rect.alpha = 0.0f;
  bg_.rect.depth = 1.0f;
  bg_.rect.setSize(0, 0);
  text_.initFont(0, fontSize_, 400, kFace);
  text_.setRect(0, 0, 0, 0);
  set_row(20, 10, 320);
  bgPos_ = std::make_unique<TP_Vert>();
  bgPos_->setStride(sizeof(TextVertex));
  bgUV_ = std::make_unique<TP_Vert>();
  bgUV_->setStride(sizeof(UVW));
  bgIndices_ = std::make_unique<TP_Index>();
}

GUIConsole::~GUIConsole() {
  if (log_) std::fclose(log_);
}

void GUIConsole::cls() {
  count_ = 0;
  first_ = -shown_;
}

void GUIConsole::set_row(int32_t kept, int32_t shown, float width) {
  kept_ = std::clamp(kept, 1, kMaxRows);
  shown_ = std::clamp(shown, 0, kMaxRows);
  width_ = truncInt(width);
  bg_.rect.setSize(float(width_), float(fontSize_) * float(shown_));
  lines_.assign(size_t(kept_) + 1, std::u16string());
  cls();
}

void GUIConsole::set_fontsize(int32_t size) {
  fontSize_ = size;
  text_.initFont(0, size, 400, kFace);
}

void GUIConsole::set_fileout(const std::string& path) {
  if (log_) std::fclose(log_);
  log_ = nullptr;
  if (path.empty()) return;
  std::string os = path;
  std::replace(os.begin(), os.end(), '\\', '/');
  log_ = std::fopen(os.c_str(), "wb");
  if (!log_) scriptDebugLog("GUIConsole: cannot open the log file \"" + path + "\"");
}

void GUIConsole::send(const std::u16string& text) {
  size_t from = 0;
  for (;;) {
    const size_t lf = text.find(u'\n', from);
    if (lf == std::u16string::npos) {
      appendLine(std::u16string_view(text).substr(from));
      return;
    }
    appendLine(std::u16string_view(text).substr(from, lf - from));
    from = lf + 1;
  }
}

void GUIConsole::appendLine(std::u16string_view line) {
  size_t n = std::min(line.size(), kLineChars);
  // A slot never ends in half a surrogate pair.
  if (n < line.size() && n > 0 && isHighSurrogate(line[n - 1])) --n;
  lines_[size_t(count_)].assign(line.substr(0, n));
  const std::u16string& kept = lines_[size_t(count_)];
  if (log_ || mirror_) {
    const std::string utf8 = qcore::utf16ToUtf8(kept);
    if (log_) {
      std::fwrite(utf8.data(), 1, utf8.size(), log_);
      std::fputc('\n', log_);
      std::fflush(log_);
    }
    if (mirror_) {
      std::fwrite(utf8.data(), 1, utf8.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
    }
  }
  if (first_ < kept_ - shown_) ++first_;
  if (++count_ > kept_) {
    std::rotate(lines_.begin(), lines_.begin() + 1, lines_.end());
    count_ = kept_;
  }
}

std::u16string GUIConsole::viewText() const {
  std::u16string view;
  for (int32_t i = first_; i < count_; ++i) {
    if (i >= 0) {
      for (char16_t c : lines_[size_t(i)]) {
        view.push_back(c);
        if (c == u'%') view.push_back(u'%');
      }
    }
    view.push_back(u'\n');
  }
  return view;
}

void GUIConsole::collect(IDTagQ* queue) {
  DrawEntry e;
  e.primType = 4;
  // Its own buffers' form: the console sets its own parameters and draws outside the
  // batcher, so what is batched beside it must be drawn, and given its material again,
  // on either side of it. A batched entry's key would equal an untextured rectangle's.
  const auto id = [](const auto* buffer) { return buffer ? buffer->id() : 0u; };
  DrawKey::setStreams(e.key, id(bgIndices_->indexBuffer()), {id(bgPos_->vertexBuffer()), id(bgUV_->vertexBuffer())});
  e.distance = bg_.rect.depth;
  e.item = kesto::HdlBase(self_);
  if (queue) queue->addEntry(e);
}

void GUIConsole::draw(uint32_t passWord, Qeldrin& q) {
  const float rowsHeight = float(fontSize_) * float(shown_);
  bg_.rect.color = 0xFF000000u;
  bg_.rect.setSize(float(width_), rowsHeight + 2);
  text_.setRect(2, 2, truncInt(double(width_) - 2), truncInt(rowsHeight));
  drawBackground(q);
  text_.setText(viewText(), text_.flags());
  text_.updateCache();
  for (size_t i = 0; i < size_t(hudwidget::kMaxBatches); ++i) {
    if (!text_.batchTexture(i)) continue;
    DrawCallArgs args{uint32_t(i) | (passWord >> 8) << 8, 0};
    hudwidget::HUDText::materialCallback(&text_, &args, &q);
    text_.drawBatch(q, i);
  }
}

void GUIConsole::drawBackground(Qeldrin& q) {
  bg_.buildVertices();
  bgPos_->reset();
  bgUV_->reset();
  if (!bgIndices_->count()) bgIndices_->append(hudwidget::quadIndices(1).data(), 6);
  if (!bgPos_->append(bg_.positions().data(), 4) || !bgUV_->append(bg_.uvs().data(), 4)) return;
  bg_.material(q);
  setDrawParams(q);
  q.setStream(0, bgPos_->vertexBuffer());
  q.setStream(1, bgUV_->vertexBuffer());
  q.setIndexBuffer(bgIndices_->indexBuffer());
  q.drawIndexedTriangles(4, 2);
}

void GUIConsole::collectCallback(void* obj, void*, void*, void* list) {
  static_cast<GUIConsole*>(obj)->collect(static_cast<IDTagQ*>(list));
}
void GUIConsole::drawCallback(void* obj, void* args, void* app) {
  auto* a = static_cast<DrawCallArgs*>(args);
  static_cast<GUIConsole*>(obj)->draw(a ? a->passWord : 0, *static_cast<Qeldrin*>(app));
}

}  // namespace hudpanel
