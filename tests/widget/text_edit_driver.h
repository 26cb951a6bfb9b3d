// Random edit sequences on a HUDText, driven by bytes (a seeded generator in the normal
// suite, libFuzzer in the fuzz build): inserts and deletes across lines, cut, copy and
// paste, setText, caret moves and markup. After every step the line bookkeeping must hold:
// the row lengths equal a recount of the text, every position survives the trip to
// (column, row) and back, and rows follow the line feeds.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hud/text/markup.h"
#include "hud/widget/hud_text.h"
#include "platform/window/clipboard.h"

namespace widgettest {

class EditBytes {
 public:
  EditBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool more() const { return at_ < size_; }
  uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

class EditDriver {
 public:
  // Texts stay below this many code points: a step that would pass it clears the widget.
  static constexpr int32_t kMaxText = 600;

  EditDriver() { qxplat::setClipboard(&clip_); }
  ~EditDriver() { qxplat::setClipboard(nullptr); }
  EditDriver(const EditDriver&) = delete;
  EditDriver& operator=(const EditDriver&) = delete;

  hudwidget::HUDText& text() { return t_; }

  // One step; the failed check, or empty when the bookkeeping holds.
  std::string step(EditBytes& in) {
    const uint8_t op = in.next() % 9;
    switch (op) {
      case 0:
        t_.insertText(pos(in), markup(in));
        break;
      case 1:
        t_.delRange(pos(in), pos(in));
        break;
      case 2:
        t_.delAt(pos(in));
        break;
      case 3:
        t_.cutRange(pos(in), pos(in));
        break;
      case 4: {
        const int32_t from = pos(in), to = pos(in);
        t_.copyRange(from, to);
        t_.paste(pos(in), (in.next() & 1) != 0);
        break;
      }
      case 5:
        clip_.setText(plain(in));
        t_.paste(pos(in), (in.next() & 1) != 0);
        break;
      case 6:
        t_.setText(markup(in), 1u + (in.next() & 4u));
        break;
      case 7: {
        // Caret moves: to a (column, row) and to the start of its row.
        const auto [column, row] = t_.tpos1_2(pos(in));
        const int32_t moved = t_.tpos2_1(column + int32_t(in.next() % 5) - 2, row + int32_t(in.next() % 3) - 1);
        if (moved < 0 || moved > t_.getNText()) return "tpos2_1 left the text: " + std::to_string(moved);
        t_.getRowBegin1D(moved);
        break;
      }
      default:
        t_.insertCodePoints(pos(in), U32String(1 + in.next() % 3, U'\n'));
        break;
    }
    if (t_.getNText() > kMaxText) t_.setText(u"", 1);
    return check(in.next());
  }

 private:
  int32_t pos(EditBytes& in) {
    const int32_t n = t_.getNText();
    return int32_t(in.next()) % (n + 5) - 2;  // a little outside the text at both ends
  }

  std::u16string piece(EditBytes& in) {
    static const char16_t* const kPieces[] = {u"a",    u"bc",      u"\n",       u"\r\n",   u"%%",
                                              u"%s",   u"%w12",    u"%cFF8000", u"世界",   u"\U00020B9F",
                                              u"%",    u"x\ny\nz", u"%w",       u"%cFF80", u"\n\n"};
    return kPieces[in.next() % (sizeof kPieces / sizeof kPieces[0])];
  }
  std::u16string markup(EditBytes& in) {
    std::u16string s;
    for (int n = in.next() % 4; n >= 0; --n) s += piece(in);
    return s;
  }
  std::string plain(EditBytes& in) {
    static const char* const kPieces[] = {"p", "\n", "\r\n", "%", "q%%", "漢"};
    std::string s;
    for (int n = in.next() % 4; n >= 0; --n) s += kPieces[in.next() % 6];
    return s;
  }

  std::string check(uint8_t probe) {
    const U32String& text = t_.text();
    const int32_t n = int32_t(text.size());
    if (t_.getNText() != n) return "getNText";
    std::vector<int32_t> recount;
    countLineLengths(recount, text);
    if (t_.rows() != recount) return "row lengths differ from a recount";
    int32_t lineFeeds = 0;
    for (int32_t p = 0; p <= n; ++p) {
      const auto [column, row] = t_.tpos1_2(p);
      if (n > 0 && row != lineFeeds) return "row of position " + std::to_string(p);
      if (t_.tpos2_1(column, row) != p) return "position " + std::to_string(p) + " does not come back";
      if (t_.getRowBegin1D(p) != p - column) return "row begin of position " + std::to_string(p);
      if (p < n && text[size_t(p)] == U'\n') ++lineFeeds;
    }
    // One caret per step (it lays the text out).
    if (n > 0) {
      const int32_t p = probe % (n + 1);
      const auto [x, top, bottom] = t_.getCaret(p);
      const int32_t h = t_.getFontHeight();
      if (top != h * std::get<1>(t_.tpos1_2(p)) || bottom != top + h || x < 0) return "caret of " + std::to_string(p);
    }
    return {};
  }

  qxplat::MemoryClipboard clip_;
  hudwidget::HUDText t_;
};

}  // namespace widgettest
