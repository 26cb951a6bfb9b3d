#include "hud/widget/hud_text.h"

#include <algorithm>

#include "hud/text/font_context.h"
#include "platform/core/utf.h"
#include "platform/window/clipboard.h"
#include "render/device/dyn_buffer.h"
#include "runtime/core/synclo.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/mem/mem_mgr.h"

namespace hudwidget {

namespace {

U32String convert(const std::u16string& text) {
  U32String out;
  markupToUtf32(text.c_str(), out);
  return out;
}

}  // namespace

HUDText::HUDText() : self_(MemMgrBase::threadCurrentHandle()) {
  hudtext::SharedFonts& shared = hudtext::sharedFonts();
  font_ = shared.defaultFont;
  key_ = shared.defaultKey;
  makeBuffers();
}

void HUDText::makeBuffers() {
  for (auto& p : positions_) {
    p = std::make_unique<TP_Vert>();
    p->setStride(sizeof(hudtext::TextVertex));
  }
  for (auto& u : uvs_) {
    u = std::make_unique<TP_Vert>();
    u->setStride(sizeof(hudtext::UVW));
  }
  indices_ = std::make_unique<TP_Index>();
  maxQuads_ = 0;
}

HUDText::~HUDText() = default;

void HUDText::setText(const std::u16string& text, uint32_t flags) {
  if (text.empty()) {
    if (text_.empty()) return;
    text_.clear();
    rows_.clear();
    flags_ = flags;
    dirty_ = kDirtyAll;
    return;
  }
  U32String converted;
  {
    ProfScope scope("cnv32");
    markupToUtf32(text.c_str(), converted);
  }
  if (converted == text_) return;
  text_ = std::move(converted);
  rows_.clear();
  {
    ProfScope scope("count_row");
    countLineLengths(rows_, text_);
  }
  flags_ = flags;
  dirty_ = kDirtyAll;
}

void HUDText::initFont(int32_t width, int32_t height, int32_t, const std::u16string& face) {
  hudtext::SharedFonts& shared = hudtext::sharedFonts();
  qxfont::FontRef font = hudtext::matchFont(width, height, face);
  if (!font) font = shared.defaultFont;
  kesto::SyncloGuard guard(shared.lock);
  font_ = std::move(font);
  if (font_) {
    const qxfont::FontRef previous = shared.dc.select(font_);
    const auto& tm = shared.dc.font()->textMetrics();
    aveWidth_ = tm.tmAveCharWidth;
    maxWidth_ = tm.tmMaxCharWidth;
    height_ = tm.tmHeight;
    shared.dc.select(previous);
  }
  dirty_ = kDirtyAll;
}

void HUDText::setRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (rect_.left == left && rect_.top == top && rect_.right == right && rect_.bottom == bottom) return;
  rect_ = {left, top, right, bottom};
  dirty_ |= kDirtyLayout;
}

void HUDText::setPlaceFlag(uint32_t alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  dirty_ |= kDirtyLayout;
}

void HUDText::setRectMode(int32_t mode) {
  if (rectMode_ == mode) return;
  rectMode_ = mode;
  dirty_ |= kDirtyLayout;
}

void HUDText::setOffset(int32_t x, int32_t y) {
  const int64_t w = int64_t(rect_.right) - rect_.left, h = int64_t(rect_.bottom) - rect_.top;
  rect_ = {x, y, clampSum(x + w), clampSum(y + h)};
}

void HUDText::setDepth(float depth) {
  if (depth_ == depth) return;
  depth_ = depth;
  dirty_ |= kDirtyDepth;
}

void HUDText::setWidth(int32_t width) {
  if (int64_t(rect_.right) - rect_.left == width) return;
  rect_.right = clampSum(int64_t(rect_.left) + width);
  dirty_ = kDirtyAll;
}

void HUDText::setHeight(int32_t height) {
  if (int64_t(rect_.bottom) - rect_.top == height) return;
  rect_.bottom = clampSum(int64_t(rect_.top) + height);
  dirty_ = kDirtyAll;
}

// ---- positions

int32_t HUDText::clampPos(int32_t pos) const { return std::clamp(pos, 0, int32_t(text_.size())); }

int32_t HUDText::rowStart(int32_t row) const {
  int32_t s = 0;
  for (int32_t r = 0; r < row && r < int32_t(rows_.size()); ++r) s += rows_[size_t(r)];
  return s;
}

std::tuple<int32_t, int32_t> HUDText::tpos1_2(int32_t pos) const {
  if (pos < 0 || rows_.empty()) return {0, 0};
  if (pos >= int32_t(text_.size())) return {rows_.back(), int32_t(rows_.size()) - 1};
  int32_t row = 0;
  while (row + 1 < int32_t(rows_.size()) && pos >= rows_[size_t(row)]) pos -= rows_[size_t(row++)];
  return {pos, row};
}

int32_t HUDText::tpos2_1(int32_t column, int32_t row) const {
  if (rows_.empty()) return 0;
  const int32_t last = int32_t(rows_.size()) - 1;
  row = std::clamp(row, 0, last);
  const int32_t len = rows_[size_t(row)];
  column = std::clamp(column, 0, std::max(0, row == last ? len : len - 1));
  return rowStart(row) + column;
}

int32_t HUDText::getRowBegin1D(int32_t pos) const { return rowStart(std::get<1>(tpos1_2(pos))); }

int32_t HUDText::getEndLine(int32_t pos) const {
  if (rows_.empty()) return 0;
  return rows_[size_t(std::get<1>(tpos1_2(pos)))];
}

int32_t HUDText::advanceAt(size_t i) const { return i < layout_.slots.size() ? layout_.slots[i].advance : 0; }

std::tuple<int32_t, int32_t> HUDText::getFontPos1D(int32_t x, int32_t y) {
  const int32_t length = int32_t(text_.size());
  if (y < 0) return {3, 0};
  const int32_t row = height_ > 0 ? y / height_ : INT32_MAX;
  if (row >= int32_t(rows_.size())) return {4, length};
  const int32_t start = rowStart(row);
  if (x < 0) return {1, start};
  updateCache();
  int64_t rx = x;
  int32_t i = start;
  while (i < length) {
    if (rx <= 0) return {0, i};
    if (text_[size_t(i)] == U'\n') return {2, i};
    ++i;
    if (i >= length) break;
    rx -= advanceAt(size_t(i));
  }
  return {2, i};
}

std::tuple<int32_t, int32_t, int32_t> HUDText::getCaret(int32_t pos) {
  if (text_.empty()) return {0, 0, height_};
  updateCache();
  const auto [column, row] = tpos1_2(pos);
  const int32_t start = rowStart(row);
  const auto run = hudtext::measureRun(key_, std::u32string_view(text_).substr(size_t(start), size_t(column)));
  return {run.second, height_ * row, height_ * (row + 1)};
}

std::tuple<int32_t, int32_t, int32_t, int32_t> HUDText::getCharRect(int32_t pos) {
  if (pos > int32_t(text_.size())) return {-1, -1, -1, -1};
  pos = std::max(pos, 0);
  updateCache();
  const int32_t row = std::get<1>(tpos1_2(pos));
  const int32_t start = rowStart(row);
  const auto run =
      hudtext::measureRun(key_, std::u32string_view(text_).substr(size_t(start), size_t(std::max(0, pos - start))));
  const int32_t top = height_ * row;
  return {run.first, top, run.second, top + height_};
}

std::vector<SelRect> HUDText::selRects(int32_t from, int32_t to) {
  std::vector<SelRect> out;
  from = clampPos(from);
  to = clampPos(to);
  if (from > to) std::swap(from, to);
  if (text_.empty() || from == to) return out;
  updateCache();
  const std::u32string_view all(text_);
  // [a, b) of the row that starts at s.
  auto piece = [&](int32_t row, int32_t s, int32_t a, int32_t b) {
    const int32_t left = a == s ? 0 : hudtext::measureRun(key_, all.substr(size_t(s), size_t(a - s))).second;
    const int32_t width = hudtext::measureRun(key_, all.substr(size_t(a), size_t(b - a))).second;
    const int32_t top = height_ * row;
    out.push_back({left, top, clampSum(int64_t(left) + width), top + height_});
  };
  const auto [c0, r0] = tpos1_2(from);
  const auto [c1, r1] = tpos1_2(to);
  (void)c0;
  (void)c1;
  int32_t s = rowStart(r0);
  if (r0 == r1) {
    piece(r0, s, from, to);
    return out;
  }
  for (int32_t r = r0; r < r1; ++r) {
    const int32_t next = s + rows_[size_t(r)];
    piece(r, s, r == r0 ? from : s, next);
    s = next;
  }
  piece(r1, s, s, to);
  return out;
}

qxbind::Pushed HUDText::getSelRect(lua_State* L, int32_t from, int32_t to) {
  const std::vector<SelRect> rects = selRects(from, to);
  lua_createtable(L, int(rects.size()), 0);
  for (size_t i = 0; i < rects.size(); ++i) {
    lua_createtable(L, 4, 0);
    const int32_t v[4] = {rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    for (int k = 0; k < 4; ++k) {
      lua_pushnumber(L, v[k]);
      lua_rawseti(L, -2, k + 1);
    }
    lua_rawseti(L, -2, int(i + 1));
  }
  return {1};
}

// ---- editing

void HUDText::delRange(int32_t from, int32_t to) {
  if (text_.empty()) return;
  from = clampPos(from);
  to = clampPos(to);
  if (from > to) std::swap(from, to);
  const auto [c0, r0] = tpos1_2(from);
  const auto [c1, r1] = tpos1_2(to);
  if (r0 == r1) {
    rows_[size_t(r0)] -= to - from;
  } else {
    rows_[size_t(r0)] = c0 + rows_[size_t(r1)] - c1;
    rows_.erase(rows_.begin() + r0 + 1, rows_.begin() + r1 + 1);
  }
  if (rows_.size() == 1 && rows_[0] == 0) rows_.clear();
  text_.erase(size_t(from), size_t(to - from));
  dirty_ = kDirtyAll;
}

void HUDText::delAt(int32_t pos) { delRange(pos, clampSum(int64_t(pos) + 1)); }

int32_t HUDText::insertText(int32_t pos, const std::u16string& text) {
  if (text.empty()) return pos;
  return insertCodePoints(pos, convert(text));
}

int32_t HUDText::insertCodePoints(int32_t pos, U32String text) {
  const int64_t count = int64_t(text.size());
  if (text.empty()) return pos;
  if (text_.empty()) {
    text_ = std::move(text);
    rows_.clear();
    countLineLengths(rows_, text_);
  } else {
    pos = clampPos(pos);
    std::vector<int32_t> lines;
    countLineLengths(lines, text);
    const auto [column, row] = tpos1_2(pos);
    const int32_t rest = rows_[size_t(row)] - column;
    if (lines.size() == 1) {
      rows_[size_t(row)] += lines[0];
    } else {
      rows_[size_t(row)] = column + lines[0];
      lines.back() += rest;
      rows_.insert(rows_.begin() + row + 1, lines.begin() + 1, lines.end());
    }
    text_.insert(size_t(pos), text);
  }
  dirty_ = kDirtyAll;
  return clampSum(int64_t(pos) + count);
}

int32_t HUDText::findText(int32_t from, const std::u16string& text) const {
  const U32String needle = convert(text);
  const size_t at = text_.find(needle, size_t(std::max(from, 0)));
  return at == U32String::npos ? -1 : int32_t(at);
}

std::u16string HUDText::getText() const {
  std::u16string out;
  utf32ToWide(out, text_);
  return out;
}

void HUDText::copyRange(int32_t from, int32_t to) {
  from = clampPos(from);
  to = clampPos(to);
  if (from > to) std::swap(from, to);
  std::u16string wide;
  utf32ToWide(wide, text_.substr(size_t(from), size_t(to - from)));
  // The system clipboard takes LF line ends.
  std::u16string lf;
  lf.reserve(wide.size());
  for (char16_t c : wide)
    if (c != u'\r') lf.push_back(c);
  qxplat::clipboard().setText(qcore::utf16ToUtf8(lf));
}

void HUDText::cutRange(int32_t from, int32_t to) {
  copyRange(from, to);
  delRange(from, to);
}

int32_t HUDText::paste(int32_t pos, bool singleLine) {
  const std::optional<std::string> got = qxplat::clipboard().getText();
  if (!got) return pos;
  U32String text;
  for (char32_t c : qcore::utf8ToUtf32(*got)) {
    if (singleLine && (c == U'\r' || c == U'\n')) break;
    if (c != U'\r') text.push_back(c);
  }
  return insertCodePoints(pos, std::move(text));
}

// ---- geometry after layout

std::tuple<int32_t, int32_t, int32_t, int32_t> HUDText::getTextRect() {
  updateCache();
  return {rect_.left, rect_.top, clampSum(int64_t(rect_.right) - rect_.left),
          clampSum(int64_t(rect_.bottom) - rect_.top)};
}

std::tuple<int32_t, int32_t> HUDText::getTextCenter() {
  const auto [x, y, w, h] = getTextRect();
  return {clampSum((int64_t(x) + w) / 2), clampSum((int64_t(y) + h) / 2)};
}

}  // namespace hudwidget
