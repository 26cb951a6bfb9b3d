#include <gtest/gtest.h>

#include "hud/panel/gui_console.h"
#include "hud/panel/hud_panels.h"
#include "hud/panel/hud_units.h"
#include "hud/panel/panel_bind.h"
#include "render/draw/dtag_queue.h"
#include "runtime/mem/lua_class_desc.h"

using namespace hudpanel;

namespace {

struct Queue : IDTagQ {
  std::vector<DrawEntry> entries;
  void addEntry(const DrawEntry& e) override { entries.push_back(e); }
  Vec3 eyePosition() const override { return {}; }
  Vec3 cameraAxis(int) const override { return {}; }
};

using XY = std::vector<std::pair<float, float>>;

template <class Vertices>
XY xy(const Vertices& v, size_t from = 0, size_t step = 1) {
  XY out;
  for (size_t i = from; i < v.size(); i += step) out.emplace_back(v[i].x, v[i].y);
  return out;
}

TEST(HUDUnitMeter, TicksByTypeDivisionAndDirtyBits) {
  HUDUnitMeter m;
  m.setHeight(10);
  m.setColor({1.0f, 0.5f, 0.0f}, 1.0f);
  m.setDepth(0.25f);
  m.rebuild();
  // End lines, short tick, long tick, short tick.
  EXPECT_EQ(xy(m.positions()),
            (XY{{0, 1}, {0, 8}, {100, 1}, {100, 8}, {25, 4}, {25, 5}, {50, 1}, {50, 8}, {75, 4}, {75, 5}}));
  EXPECT_EQ(m.positions()[9].color, 0xFFFF7F00u);
  EXPECT_EQ(m.dirty(), 0u);
  // Colour alone repaints, positions stay.
  m.setColor({0, 0, 1.0f}, 0.5f);
  EXPECT_EQ(m.dirty(), HUDUnitMeter::kColour);
  m.rebuild();
  EXPECT_EQ(m.positions()[4].x, 25.0f);
  EXPECT_EQ(m.positions()[9].color, 0x7F0000FFu);
  // Short ticks by type; an unknown type is refused and the last one stays.
  for (auto [type, top, bottom] : {std::tuple{1, 1.0f, 3.0f}, {2, 6.0f, 8.0f}, {7, 6.0f, 8.0f}}) {
    m.setType(type);
    m.rebuild();
    EXPECT_EQ(xy(m.positions(), 4).at(0), std::make_pair(25.0f, top)) << type;
    EXPECT_EQ(xy(m.positions(), 5).at(0), std::make_pair(25.0f, bottom)) << type;
  }
  // 16.16 steps at an offset: 3 intervals of 2 over 100 pixels from x 10.
  m.setPos(10, 0);
  m.setDivision(3, 2);
  m.rebuild();
  ASSERT_EQ(m.positions().size(), 14u);
  EXPECT_EQ(xy(m.positions(), 4, 2), (XY{{26, 6}, {43, 1}, {59, 6}, {76, 1}, {93, 6}}));
  // Divisions below 1 count as 1; more vertices than a scale may have draw nothing.
  for (auto [major, minor, vertices] : {std::tuple{0, -5, 4u}, {65536, 65536, 0u}, {217, 151, 65536u}}) {
    m.setDivision(major, minor);
    m.rebuild();
    EXPECT_EQ(m.positions().size(), vertices) << major;
  }
  Queue q;
  m.collect(&q);
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(q.entries[0].primType, 2u);
  EXPECT_EQ(q.entries[0].distance, 0.25f);
}

TEST(HUDUnitRect, QuadTranslucencyAndTextureSource) {
  HUDUnitRect r;
  r.rect.ofsX = 5;
  r.rect.ofsY = 6;
  r.set_size(10, 20);
  r.set_depth(0.5f);
  r.rect.alpha = 0.75f;
  r.setUV(0.25f, 0.5f, 0.75f, 1.0f);
  r.buildVertices();
  EXPECT_EQ(xy(r.positions()), (XY{{5, 6}, {15, 6}, {15, 26}, {5, 26}}));
  EXPECT_EQ(std::make_tuple(r.uvs()[2].u, r.uvs()[2].v, r.uvs()[2].w), std::make_tuple(0.75f, 1.0f, 0.75f));

  Queue q;
  PassWord pw{0xABCD12FF, 8};
  for (float alpha : {1.0f, 0.999f}) {
    r.rect.alpha = alpha;
    r.collect(&pw, &q);
  }
  ASSERT_EQ(q.entries.size(), 2u);
  EXPECT_EQ(q.entries[0].key.streams[1], 0u);  // opaque, then translucent
  EXPECT_EQ(q.entries[1].key.streams[1], 1u);
  EXPECT_EQ(q.entries[0].distance, 0.5f);
  EXPECT_EQ(pw.word, 0xABCD00FFu);  // its own index 0 in the byte at the shift
  EXPECT_EQ(q.entries[0].passWord, 0xABCD00FFu);
}

TEST(HUDMeter, BarEdgesAndRange) {
  HUDMeter m;
  for (auto [value, low, high, right] : {std::tuple{50.0f, 0.0f, 100.0f, 63.0f}, {150, 0, 100, 127}, {-10, 0, 100, -1},
                                         {25, 0, 50, 63}, {5, 5, 5, 127}, {4, 5, 5, -1}}) {
    m.set_value(value);
    m.set_range(low, high);
    m.buildVertices();
    EXPECT_EQ(m.bar()[1].x, right) << value;
    EXPECT_EQ(m.bar()[2].x, right) << value;
  }
  m.set_pos(10, 20);
  m.set_size(50, 8);
  m.buildVertices();
  EXPECT_EQ(xy(m.frame()), (XY{{10, 20}, {60, 20}, {60, 28}, {10, 28}, {10, 19}}));
  EXPECT_EQ(m.bar()[2].y, 27.0f);
  m.set_colormt(0x185, 255, 85);
  EXPECT_EQ(m.barColour(), 0xFF85FF55u);
}

TEST(HUDBG, EntriesFollowVisibleBitsAndSizeReachesText) {
  HUDBG p;
  Queue q;
  PassWord pw{0, 0};
  p.set_text(u"panel", false);
  p.collect(&pw, nullptr, &q);
  EXPECT_TRUE(q.entries.empty());

  p.set_size(100, 20);
  p.set_pos(7.9f, 3.2f);
  const hudtext::TextRect& t = p.text.rect();
  EXPECT_EQ(std::make_tuple(t.left, t.top, t.right - t.left, t.bottom - t.top), std::make_tuple(7, 3, 96, 18));

  p.set_visible(7);
  pw = {0xFF00, 8};
  p.collect(&pw, nullptr, &q);
  ASSERT_GE(q.entries.size(), 3u);
  EXPECT_EQ(q.entries[0].passWord, 0x0000u);
  EXPECT_EQ(q.entries[1].passWord, 0x0100u);
  EXPECT_EQ(q.entries[2].passWord & 0xFFFF, 0x0200u);  // the page index in the next byte
  q.entries.clear();
  p.set_visible(2);
  pw = {0, 0};
  p.collect(&pw, nullptr, &q);
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(q.entries[0].passWord, 1u);

  // Fitted to its text, grown for the frame.
  p.fitToText();
  const auto [x, y, w, h] = p.text.getTextRect();
  EXPECT_EQ(p.get_size(), std::make_tuple(float(w + 4), float(h + 2)));
  EXPECT_EQ(p.get_pos(), std::make_tuple(float(x), float(y)));
}

TEST(HUDBG, PartsSortAtThePanelDepthFromTheFirstCollect) {
  // Never drawn: the parts' own records still hold their defaults (the wire's 1.0).
  for (float depth : {0.0f, 0.25f, 4.0f, 10.0f, -10.0f, 1e6f}) {
    HUDBG p;
    p.set_text(u"panel", false);
    p.set_depth(depth);
    p.set_visible(7);
    Queue q;
    PassWord pw{0, 0};
    p.collect(&pw, nullptr, &q);
    ASSERT_EQ(q.entries.size(), 3u) << depth;
    // Back to front at any depth; the offsets themselves where a float holds them.
    EXPECT_GT(q.entries[0].distance, q.entries[1].distance) << depth;
    EXPECT_GT(q.entries[1].distance, q.entries[2].distance) << depth;
    EXPECT_EQ(q.entries[2].distance, depth) << depth;
    if (depth == 0.0f || depth == 0.25f) {
      EXPECT_EQ(q.entries[0].distance, depth + HUDBG::kRectBias) << depth;
      EXPECT_EQ(q.entries[1].distance, depth + HUDBG::kWireBias) << depth;
    }
  }
  // A text outside a panel sorts at 0.
  hudwidget::HUDText lone;
  lone.setText(u"x", 1);
  lone.setDepth(0.5f);
  Queue q;
  PassWord pw{0, 0};
  hudwidget::HUDText::collectCallback(&lone, &pw, nullptr, &q);
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(q.entries[0].distance, 0.0f);
}

TEST(HUDUnitRect, DescriptorHook4GivesTheBounds) {
  const LuaClassDesc d = hudUnitRectBinding().first.describe("HUDUnit_rect");
  HUDUnitRect a, b;
  a.rect.ofsX = 5;
  a.rect.ofsY = 6;
  a.set_size(10, 20);
  b.rect.ofsX = -3.5f;
  b.rect.ofsY = 100;
  b.set_size(0.5f, 7);
  for (auto [rect, want] : {std::pair{&a, std::array<float, 4>{5, 6, 15, 26}}, {&b, {-3.5f, 100, -3, 107}}}) {
    std::array<float, 4> out{-1, -1, -1, -1};
    d.hook4(rect, out.data());
    EXPECT_EQ(out, want);
  }
}

TEST(GUIConsole, KeepsTheNewestLinesAtTheBottom) {
  GUIConsole c;
  c.send(u"x\r\ny");
  EXPECT_EQ(c.viewText(), std::u16string(8, u'\n') + u"x\r\ny\n");
  c.cls();
  EXPECT_EQ(c.viewText(), std::u16string(10, u'\n'));
  std::u16string last10;
  for (int i = 1; i <= 21; ++i) {
    c.send(u"line " + std::u16string(1, char16_t(u'A' + i)));
    if (i > 11) last10 += u"line " + std::u16string(1, char16_t(u'A' + i)) + u"\n";
  }
  EXPECT_EQ(c.lineCount(), 20);
  EXPECT_EQ(c.line(0), u"line C");
  EXPECT_EQ(c.viewText(), last10);

  c.set_row(3, 2, 100);
  c.send(u"50%w\n%c");
  EXPECT_EQ(c.viewText(), u"50%%w\n%%c\n");
  c.send(u"a\nb\n");
  EXPECT_EQ(c.lineCount(), 3);
  EXPECT_EQ(c.viewText(), u"b\n\n");

  // Long lines are cut, never inside a surrogate pair.
  c.set_row(4, 4, 100);
  c.send(std::u16string(254, u'a') + u"\U0010FFFFbc");  // the highest high surrogate
  EXPECT_EQ(c.line(0).size(), 254u);
  c.send(std::u16string(300, u'q'));
  EXPECT_EQ(c.line(1).size(), 255u);

  c.set_externalcs(true);
  testing::internal::CaptureStdout();
  c.send(u"seen\n世界");
  c.set_externalcs(true);  // a second switch-on turns it off
  c.send(u"unseen");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "seen\n世界\n");
}


}  // namespace
