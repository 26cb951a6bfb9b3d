#include <gtest/gtest.h>

#include <random>
#include <set>

#include "hud/widget/hud_text.h"
#include "hud/widget/hud_text_bb.h"
#include "platform/gfx/device.h"
#include "platform/window/clipboard.h"
#include "render/device/device_mgr.h"
#include "render/texture/texture_mgr.h"
#include "tests/widget/text_edit_driver.h"
#include "render/draw/dtag_queue.h"
#include "runtime/mem/lua_class_desc.h"
#include "script/lua/script_report.h"

using hudwidget::HUDText;
using hudwidget::SelRect;

namespace {

// A widget in DejaVu Sans Mono, every ASCII glyph as wide as the font's average width.
struct MonoText : HUDText {
  MonoText() { initFont(10, 20, 400, u"DejaVu Sans Mono"); }
};

}  // namespace

TEST(HUDTextEdit, InsertDeleteFindAndPositions) {
  HUDText t;
  EXPECT_EQ(t.insertText(10, u"ab"), 12);
  EXPECT_EQ(t.getText(), u"ab");
  t.setText(u"hello\r\nworld\r\nend", 1);
  EXPECT_EQ(t.getNText(), 15);
  EXPECT_EQ(t.rows(), (std::vector<int32_t>{6, 6, 3}));
  // (column, row) both ways, with clamping.
  const struct {
    int32_t pos, col, row;
  } p12[] = {{0, 0, 0}, {5, 5, 0}, {6, 0, 1}, {13, 1, 2}, {15, 3, 2}, {99, 3, 2}, {-4, 0, 0}};
  for (const auto& c : p12) EXPECT_EQ(t.tpos1_2(c.pos), std::make_tuple(c.col, c.row)) << c.pos;
  // A row's LF is as far as a column reaches; the last row reaches its end.
  EXPECT_EQ(std::make_tuple(t.tpos2_1(9, 0), t.tpos2_1(9, 2), t.tpos2_1(2, 7), t.tpos2_1(-1, -1)),
            std::make_tuple(5, 15, 14, 0));
  EXPECT_EQ(std::make_pair(t.getRowBegin1D(8), t.getEndLine(8)), std::make_pair(6, 6));
  EXPECT_EQ(std::make_tuple(t.findText(5, u"o"), t.findText(0, u"world\r\ne"), t.findText(8, u"zz")),
            std::make_tuple(7, 6, -1));
  t.delRange(5, 2);  // "he" + "\nworld..."
  EXPECT_EQ(t.getText(), u"he\r\nworld\r\nend");
  const int32_t n = t.getNText();
  t.delAt(n);
  EXPECT_EQ(t.getNText(), n);
  t.delRange(0, 99);
  EXPECT_TRUE(t.rows().empty());
  EXPECT_EQ(std::make_pair(t.tpos2_1(3, 3), t.getEndLine(0)), std::make_pair(0, 0));
  // Same text with new flags keeps the old flags.
  t.setText(u"a", 1);
  t.setText(u"a", 5);
  EXPECT_EQ(t.flags(), 1u);
}

TEST(HUDTextEdit, ClipboardCopyCutPaste) {
  qxplat::MemoryClipboard clip;
  qxplat::setClipboard(&clip);
  HUDText t;
  t.setText(u"one\r\ntwo %%", 1);
  t.copyRange(99, 1);
  EXPECT_EQ(clip.getText(), std::optional<std::string>("ne\ntwo %"));
  t.cutRange(0, 4);
  EXPECT_EQ(t.getText(), u"two %");
  // Pasted text is not markup; single line stops at CR or LF.
  clip.setText("x\r\ny%2F");
  EXPECT_EQ(t.paste(0, true), 1);
  EXPECT_EQ(t.getText(), u"xtwo %");
  EXPECT_EQ(t.paste(1, false), 7);
  EXPECT_EQ(t.getText(), u"xx\r\ny%2Ftwo %");
  qxplat::setClipboard(nullptr);
}

TEST(HUDTextLayout, RectModesWrapAndFit) {
  MonoText t;
  const int32_t w = t.getFontWidth(), h = t.getFontHeight();
  ASSERT_EQ(w, 10);
  t.setText(std::u16string(20, u'm'), 1);
  t.setRectMode(1);
  t.setRect(0, 0, 100, 500);
  const auto wrapped = t.getTextRect();
  EXPECT_EQ(wrapped, std::make_tuple(0, 0, 100, 3 * t.layout().lineHeight));
  EXPECT_TRUE(t.inRect());
  // Ten glyphs on each of two lines.
  EXPECT_EQ(t.layout().batches.at(0).vertices.size(), 80u);
  // Carets follow the text's own rows, not the wrapped lines.
  EXPECT_EQ(t.getCaret(10), std::make_tuple(10 * w, 0, h));
  // Mode 0 drops the alignment and takes the text's size.
  t.setRectMode(0);
  t.setPlaceFlag(6);
  t.setRect(10, 20, 30, 40);
  EXPECT_EQ(std::get<2>(t.getTextRect()), 200);
  // Mode 2 with more lines than room: false, rectangle kept.
  t.setText(u"a\nb\nc\nd", 1);
  t.setRectMode(2);
  t.setRect(0, 0, 100, h + 3);
  EXPECT_EQ(t.getTextRect(), std::make_tuple(0, 0, 100, h + 3));
  EXPECT_FALSE(t.inRect());
  t.setRect(0, 0, 100, 40);
  t.setOffset(10, 20);
  EXPECT_EQ(t.getTextCenter(), std::make_tuple(55, 30));
}

TEST(HUDTextLayout, HitTestsCaretsAndSelections) {
  MonoText t;
  const int32_t w = t.getFontWidth(), h = t.getFontHeight();
  t.setText(u"abc\ndefg\nhi", 1);
  // Kinds: 3 above, 4 below the rows, 1 left of a row, 0 inside, 2 past a row's end.
  const struct {
    int32_t x, y, kind, pos;
  } hits[] = {{5, -1, 3, 0},       {5, 3 * h, 4, 11},   {-1, h, 1, 4},      {0, h, 0, 4},
              {w / 2, h, 0, 5},    {w + 1, h, 0, 6},    {99 * w, h, 2, 8},  {99 * w, 2 * h, 2, 11},
              {2 * w, 2 * h + 1, 2, 11}};
  for (const auto& c : hits)
    EXPECT_EQ(t.getFontPos1D(c.x, c.y), std::make_tuple(c.kind, c.pos)) << c.x << "," << c.y;
  EXPECT_EQ(t.getCaret(6), std::make_tuple(2 * w, h, 2 * h));
  EXPECT_EQ(t.getCharRect(6), std::make_tuple(w, h, 2 * w, 2 * h));
  EXPECT_EQ(t.getCharRect(4), std::make_tuple(0, h, 0, 2 * h));
  EXPECT_EQ(t.getCharRect(12), std::make_tuple(-1, -1, -1, -1));
  auto rects = [&](int32_t from, int32_t to) {
    std::vector<std::array<int32_t, 4>> out;
    for (const SelRect& r : t.selRects(from, to)) out.push_back({r.left, r.top, r.right, r.bottom});
    return out;
  };
  using Rects = std::vector<std::array<int32_t, 4>>;
  EXPECT_EQ(rects(5, 7), (Rects{{w, h, 3 * w, 2 * h}}));
  // A row's LF takes the font's cell in its selection.
  EXPECT_EQ(rects(10, 2), (Rects{{2 * w, 0, 4 * w, h}, {0, h, 5 * w, 2 * h}, {0, 2 * h, w, 3 * h}}));
  EXPECT_TRUE(t.selRects(3, 3).empty());
  HUDText empty;
  EXPECT_EQ(empty.getCaret(5), std::make_tuple(0, 0, empty.getFontHeight()));
  EXPECT_TRUE(empty.selRects(0, 5).empty());
}

TEST(HUDTextLayout, WrappedLineFeedsEndTheirLineAndFit) {
  MonoText t;
  const int32_t cw = t.getFontWidth(), lh = t.getFontHeight();
  // Wrapping modes: 1, and 2 with left alignment. The layout box is inset by one pixel on
  // the left and top and two on the right and bottom.
  const struct {
    int32_t mode;
    const char16_t* text;
    int32_t width;  // of the rectangle
    size_t lines;   // drawn lines
    int32_t pieces; // measured lines (mode 1: the rectangle's height)
  } cases[] = {
      {1, u"Hello\nworld", 40 * cw, 2, 2},
      {1, u"a\nb\nc", 40 * cw, 3, 3},
      {1, u"a\nb\nc", cw + 3, 3, 4},              // each line as wide as the box: a last
                                                    // piece cut at the limit measures one more
      {1, u"abcdefghij\nk", 10 * cw + 3, 2, 2},    // cut at the limit right before its LF
      {1, u"abcdefghijkl\nm", 10 * cw + 3, 3, 3},  // cut, then the rest of its line
      {2, u"Hello\nworld", 40 * cw, 2, 0},
      {2, u"a\nb\nc", cw + 3, 3, 0},
  };
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.mode) + ":" + std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    t.setText(c.text, 1);
    t.setRectMode(c.mode);
    t.setRect(0, 0, c.width, c.mode == 2 ? int32_t(c.lines) * lh + 3 : 500);
    const auto [x, y, w, h] = t.getTextRect();
    EXPECT_TRUE(t.inRect()) << name;
    if (c.mode == 1) {
      EXPECT_EQ(h, c.pieces * lh) << name;
    }
    std::set<float> tops;
    for (const auto& b : t.layout().batches)
      for (const auto& v : b.vertices) tops.insert(v.y);
    // Quads give their top and bottom edges: one top per drawn line, lh apart from 1.
    std::set<float> want;
    for (size_t i = 0; i <= c.lines; ++i) want.insert(float(1 + int32_t(i) * lh));
    EXPECT_EQ(tops, want) << name;
    // The first line feed keeps its advance for selections.
    const int32_t lf = int32_t(std::u16string_view(c.text).find(u'\n'));
    const std::vector<SelRect> sel = t.selRects(lf, lf + 1);
    ASSERT_FALSE(sel.empty()) << name;
    EXPECT_EQ(std::make_tuple(sel[0].left, sel[0].right), std::make_tuple(lf * cw, (lf + 1) * cw)) << name;
  }
}

TEST(HUDTextLayout, EachRectangleSideRelaysOut) {
  MonoText t;
  t.setText(u"a\nb\nc", 1);
  t.setRectMode(2);
  const int32_t start[4] = {0, 0, 100, 100};
  std::array<int32_t, 4> r{};
  for (int side = 0; side < 4; ++side) {
    t.setRect(start[0], start[1], start[2], start[3]);
    t.getTextRect();
    r = {start[0], start[1], start[2], start[3]};
    r[side] += side < 2 ? -7 : 7;
    t.setRect(r[0], r[1], r[2], r[3]);
    EXPECT_EQ(t.dirty() & hudwidget::kDirtyLayout, hudwidget::kDirtyLayout) << side;
    EXPECT_EQ(t.getTextRect(), std::make_tuple(r[0], r[1], r[2] - r[0], r[3] - r[1])) << side;
  }
  t.getTextRect();
  t.setRect(r[0], r[1], r[2], r[3]);
  t.setPlaceFlag(0);
  t.setRectMode(2);
  t.setDepth(0);
  // The same values change nothing; without a device the upload waits for one.
  EXPECT_EQ(t.dirty(), hudwidget::kDirtyUpload);
  t.setDepth(0.5f);
  EXPECT_EQ(t.dirty(), hudwidget::kDirtyUpload | hudwidget::kDirtyDepth);
  t.getTextRect();
  EXPECT_EQ(t.layout().batches.at(0).vertices.at(0).z, 0.5f);
}

namespace {

struct Collected final : IDTagQ {
  std::vector<DrawEntry> entries;
  void addEntry(const DrawEntry& e) override { entries.push_back(e); }
  Vec3 eyePosition() const override { return {}; }
  Vec3 cameraAxis(int) const override { return {}; }
};

}  // namespace

TEST(HUDTextBB, BackBufferGrowthViewAndWindowPass) {
  hudwidget::HUDTextBB bb;
  const int32_t margin = 2 * std::max(bb.maxCharWidth(), bb.getFontHeight());
  EXPECT_EQ(bb.bbSize(), 256);
  EXPECT_EQ(bb.getTextRect(), std::make_tuple(0, 0, 128, 128));
  bb.setViewSize(256 - margin, 10);
  EXPECT_EQ(bb.bbSize(), 256);
  bb.setViewSize(257 - margin, 10);
  EXPECT_EQ(bb.bbSize(), 512);
  bb.setViewSize(INT32_MAX, 10);
  EXPECT_EQ(bb.bbSize(), 4096);
  bb.setViewSize(96, 40);
  // The view moves at the next procBB, also when no application object is given.
  bb.setViewPos(300 + 4096, 8);
  EXPECT_EQ(bb.viewX(), 0);
  EXPECT_FALSE(std::get<0>(bb.procBB({0})));
  EXPECT_EQ(bb.viewX(), 4396);
  // A view over the texture's right edge: two windows over one glyph page give one entry.
  hudwidget::HUDTextBB edge;
  edge.setText(std::u16string(80, u'x'), 1);
  edge.setViewSize(96, 40);
  edge.setViewPos(200, edge.getFontHeight());
  edge.procBB({0});
  ASSERT_EQ(edge.windowCount(), 2);
  Collected q;
  PassWord pw{0x55, 0};
  char pass[] = "Backbuff";
  hudwidget::HUDTextBB::collectCallback(&edge, &pw, pass, &q);
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(q.entries[0].passWord, 1u);
  EXPECT_EQ(pw.word, 0x55u);
  char other[] = "Main";
  hudwidget::HUDTextBB::collectCallback(&edge, &pw, other, &q);
  ASSERT_EQ(q.entries.size(), 2u);
  EXPECT_EQ(q.entries[1].passWord, 0u);
}

TEST(HUDTextDraw, CollectGivesOneEntryPerPageWithItsIndexInThePassWord) {
  HUDText t;
  EXPECT_FALSE(t.inRect());
  Collected q;
  PassWord pw{0xAABBCCDD, 8};
  HUDText::collectCallback(&t, &pw, nullptr, &q);
  EXPECT_TRUE(q.entries.empty());
  t.setText(u"ab", 1);
  HUDText::collectCallback(&t, &pw, nullptr, &q);
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(q.entries[0].passWord, 0xAABB00DDu);
  EXPECT_EQ(pw.word, 0xAABB00DDu);
  EXPECT_EQ(t.batchTexture(t.layout().batches.size()), 0u);
  // A character outside the BMP sits on a page of its own: a second entry, index 1.
  t.setText(u"a\U00020B9F", 1);
  q.entries.clear();
  HUDText::collectCallback(&t, &pw, nullptr, &q);
  ASSERT_EQ(q.entries.size(), 2u);
  EXPECT_EQ(q.entries[1].passWord, 0xAABB01DDu);
  EXPECT_EQ(hudwidget::quadIndices(99999).size(), size_t(hudwidget::kMaxQuads) * 6);

  // Glyphs of one page past those 16384 quads are not drawn: the first such layout logs.
  std::vector<std::string> log;
  setScriptDebugLogSink([&](std::string_view line) { log.emplace_back(line); });
  for (uint32_t n : {hudwidget::kMaxQuads, hudwidget::kMaxQuads + 1, hudwidget::kMaxQuads + 2}) {
    t.setText(std::u16string(n, u'a'), 1);
    HUDText::collectCallback(&t, &pw, nullptr, &q);
    EXPECT_EQ(log.size(), n == hudwidget::kMaxQuads ? 0u : 1u) << n;
  }
  setScriptDebugLogSink(nullptr);
}

TEST(HUDTextDraw, BuffersWaitForADeviceAndFollowItsReplacement) {
  TextureMgr textures;
  DeviceMgr devices;
  HUDText t;
  t.setText(u"ab", 1);
  Collected q;
  PassWord pw{0, 0};
  // Laid out before any device: the upload waits.
  HUDText::collectCallback(&t, &pw, nullptr, &q);
  EXPECT_EQ(t.dirty(), hudwidget::kDirtyUpload);
  qxgfx::Ref<qxgfx::RecordingDevice> previous;
  size_t previousBase = 0;
  for (int round = 0; round < 2; ++round) {
    qxgfx::Ref<qxgfx::RecordingDevice> device = qxgfx::createRecordingDevice(16, 16);
    const size_t base = device->liveResourceCount();
    devices.adopt(device);
    HUDText::collectCallback(&t, &pw, nullptr, &q);
    EXPECT_EQ(t.dirty(), 0u) << round;
    // Positions, texture corners and indices of its one page, on the device of the day;
    // the replaced device's buffers are let go.
    EXPECT_EQ(device->liveResourceCount(), base + 3) << round;
    if (previous) {
      EXPECT_EQ(previous->liveResourceCount(), previousBase) << round;
    }
    previous = device;
    previousBase = base;
  }
  // Nothing changed, nothing made again.
  HUDText::collectCallback(&t, &pw, nullptr, &q);
  EXPECT_EQ(previous->liveResourceCount(), previousBase + 3);
  devices.release();
}

TEST(HUDTextEdit, RandomEditSequencesKeepTheLineBookkeeping) {
  std::mt19937 rng(34);
  for (int sequence = 0; sequence < 150; ++sequence) {
    std::vector<uint8_t> bytes(400);
    for (uint8_t& b : bytes) b = uint8_t(rng());
    widgettest::EditDriver driver;
    widgettest::EditBytes in(bytes.data(), bytes.size());
    for (int step = 0; in.more(); ++step) {
      const std::string failed = driver.step(in);
      ASSERT_TRUE(failed.empty()) << "sequence " << sequence << " step " << step << ": " << failed;
    }
  }
}
