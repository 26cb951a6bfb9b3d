#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "hud/panel/gui_console.h"
#include "hud/panel/hud_panels.h"
#include "hud/panel/hud_units.h"
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

struct XY {
  float x, y;
};

void expectLines(const std::vector<TextVertex>& v, const std::vector<XY>& want) {
  ASSERT_EQ(v.size(), want.size());
  for (size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i].x, want[i].x) << i;
    EXPECT_EQ(v[i].y, want[i].y) << i;
  }
}

TEST(HUDUnitMeter, TicksByTypeDivisionAndDirtyBits) {
  HUDUnitMeter m;
  m.setHeight(10);
  m.setColor({1.0f, 0.5f, 0.0f}, 1.0f);
  m.setDepth(0.25f);
  m.rebuild();
  // End lines, short tick, long tick, short tick.
  expectLines(m.positions(), {{0, 1}, {0, 8}, {100, 1}, {100, 8}, {25, 4}, {25, 5}, {50, 1}, {50, 8}, {75, 4}, {75, 5}});
  for (const auto& v : m.positions()) {
    EXPECT_EQ(v.z, 0.25f);
    EXPECT_EQ(v.color, 0xFFFF7F00u);
  }
  for (const auto& uv : m.uvs()) EXPECT_EQ(uv.u + uv.v + uv.w, 1.0f);
  EXPECT_EQ(m.dirty(), 0u);

  // Colour alone repaints, positions stay.
  m.setColor({0, 0, 1.0f}, 0.5f);
  EXPECT_EQ(m.dirty(), HUDUnitMeter::kColour);
  m.rebuild();
  EXPECT_EQ(m.positions()[4].x, 25.0f);
  EXPECT_EQ(m.positions()[9].color, 0x7F0000FFu);

  struct Case {
    int type;
    float shortTop, shortBottom;
  };
  for (const Case c : {Case{1, 1, 3}, Case{2, 6, 8}}) {
    m.setType(c.type);
    m.rebuild();
    EXPECT_EQ(m.positions()[4].y, c.shortTop) << c.type;
    EXPECT_EQ(m.positions()[5].y, c.shortBottom) << c.type;
  }
  m.setType(7);  // refused: the type stays 2
  m.rebuild();
  EXPECT_EQ(m.positions()[4].y, 6.0f);

  // 16.16 steps at an offset: 3 intervals of 2 over 100 pixels from x 10.
  m.setPos(10, 0);
  m.setDivision(3, 2);
  m.rebuild();
  ASSERT_EQ(m.positions().size(), 14u);
  const float xs[] = {26, 43, 59, 76, 93};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(m.positions()[4 + 2 * i].x, xs[i]) << i;

  m.setDivision(0, -5);  // counts as 1 x 1: the end lines only
  m.rebuild();
  EXPECT_EQ(m.positions().size(), 4u);
  m.setDivision(65536, 65536);  // far too many ticks: refused, nothing to draw
  m.rebuild();
  EXPECT_TRUE(m.positions().empty());
  m.setDivision(217, 151);  // exactly the most vertices a scale may have
  m.rebuild();
  EXPECT_EQ(m.positions().size(), 65536u);
  m.setDivision(1, 1);
  m.rebuild();
  EXPECT_EQ(m.positions().size(), 4u);

  Queue q;
  m.collect(&q);
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(q.entries[0].primType, 2u);
  EXPECT_EQ(q.entries[0].key.streams[2], 2u);
  EXPECT_EQ(q.entries[0].distance, 0.25f);
}

TEST(HUDUnitWire, FrameCornersAndBevelColours) {
  HUDUnitWire w;
  w.rect.ofsX = 10;
  w.rect.ofsY = 20;
  w.rect.width = 30;
  w.rect.height = 40;
  w.rect.color = 0x12808080;  // the alpha byte is not used
  w.set_type(1);
  w.buildVertices();
  const XY corners[8] = {{10.5f, 20.5f}, {11, 21}, {40, 20.5f}, {39.5f, 21},
                         {40, 60},       {39.5f, 59.5f}, {10.5f, 60}, {11, 59.5f}};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(w.positions()[i].x, corners[i].x) << i;
    EXPECT_EQ(w.positions()[i].y, corners[i].y) << i;
    EXPECT_EQ(w.positions()[i].z, 1.0f);
  }
  const uint32_t L = 0xFFC0C0C0, D = 0xFF606060, M = 0xFFA0A0A0;
  struct Case {
    int type;
    uint32_t c[4];
  };
  for (const Case c : {Case{1, {L, M, D, M}}, Case{2, {D, M, L, M}}, Case{0, {L, L, L, L}}, Case{5, {L, L, L, L}}}) {
    w.set_type(c.type);
    w.buildVertices();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(w.positions()[i].color, c.c[i / 2]) << c.type << " " << i;
  }
  // Light is clamped to 1.
  w.rect.color = 0xFFF00000;
  w.set_type(0);
  w.buildVertices();
  EXPECT_EQ(w.positions()[0].color, 0xFFFF0000u);
  for (const auto& uv : w.uvs()) EXPECT_EQ(uv.w, 1.0f);
  // Every triangle uses one outer and one inner edge of a side.
  EXPECT_EQ(HUDUnitWire::kIndices[3], 3);
  EXPECT_EQ(HUDUnitWire::kIndices[23], 7);
}

TEST(HUDUnitRect, QuadTranslucencyAndTextureSource) {
  HUDUnitRect r;
  EXPECT_EQ(r.rect.alpha, 1.0f);
  EXPECT_EQ(r.rect.color, 0xFFFFFFFFu);
  r.rect.ofsX = 5;
  r.rect.ofsY = 6;
  r.set_size(10, 20);
  r.set_depth(0.5f);
  r.rect.alpha = 0.75f;
  r.setUV(0.25f, 0.5f, 0.75f, 1.0f);
  r.buildVertices();
  const XY want[4] = {{5, 6}, {15, 6}, {15, 26}, {5, 26}};
  const UVW uv[4] = {{0.25f, 0.5f, 0}, {0.75f, 0.5f, 0}, {0.75f, 1.0f, 0}, {0.25f, 1.0f, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(r.positions()[i].x, want[i].x);
    EXPECT_EQ(r.positions()[i].y, want[i].y);
    EXPECT_EQ(r.positions()[i].z, 0.5f);
    EXPECT_EQ(r.uvs()[i].u, uv[i].u);
    EXPECT_EQ(r.uvs()[i].v, uv[i].v);
    EXPECT_EQ(r.uvs()[i].w, 0.75f);
  }
  float b[4];
  r.bounds(b);
  EXPECT_EQ(b[2], 15.0f);
  EXPECT_EQ(b[3], 26.0f);

  Queue q;
  PassWord pw{0xABCD12FF, 8};
  for (float alpha : {1.0f, 0.999f}) {
    r.rect.alpha = alpha;
    r.collect(&pw, &q);
  }
  ASSERT_EQ(q.entries.size(), 2u);
  EXPECT_EQ(q.entries[0].key.streams[1], 0u);
  EXPECT_EQ(q.entries[1].key.streams[1], 1u);
  EXPECT_EQ(q.entries[0].key.streams[2], 1u);
  EXPECT_EQ(q.entries[0].distance, 0.5f);
  EXPECT_EQ(pw.word, 0xABCD00FFu);  // its own index 0 in the byte at the shift
  EXPECT_EQ(q.entries[0].passWord, 0xABCD00FFu);

  // No animation of that name: the animator shows nothing, the frame's UVs are empty.
  r.init_animator(u"nothing.spr", 3);
  EXPECT_EQ(r.sourceMode(), 1);
  r.setUV(0, 0, 1, 1);
  EXPECT_EQ(r.sourceMode(), 0);
}

TEST(HUDMeter, BarEdgesAndRange) {
  HUDMeter m;
  struct Case {
    float value, minimum, maximum, barRight;
  };
  for (const Case c : {Case{50, 0, 100, 63}, Case{150, 0, 100, 127}, Case{-10, 0, 100, -1}, Case{25, 0, 50, 63},
                       Case{5, 5, 5, 127}, Case{4, 5, 5, -1}}) {
    m.set_value(c.value);
    m.set_range(c.minimum, c.maximum);
    m.buildVertices();
    EXPECT_EQ(m.bar()[1].x, c.barRight) << c.value;
    EXPECT_EQ(m.bar()[2].x, c.barRight) << c.value;
  }
  m.set_pos(10, 20);
  m.set_size(50, 8);
  m.buildVertices();
  const XY frame[5] = {{10, 20}, {60, 20}, {60, 28}, {10, 28}, {10, 19}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(m.frame()[i].x, frame[i].x);
    EXPECT_EQ(m.frame()[i].y, frame[i].y);
    EXPECT_EQ(m.frame()[i].color, 0xFFFFFFFFu);
  }
  EXPECT_EQ(m.bar()[2].y, 27.0f);
  EXPECT_EQ(m.bar()[0].color, 0xFF55FF55u);
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
  EXPECT_EQ(p.text.rect().right - p.text.rect().left, 96);
  EXPECT_EQ(p.text.rect().bottom - p.text.rect().top, 18);
  p.set_pos(7.9f, 3.2f);
  EXPECT_EQ(p.text.rect().left, 7);
  EXPECT_EQ(p.text.rect().top, 3);

  p.set_visible(7);
  pw = {0xFF00, 8};
  p.collect(&pw, nullptr, &q);
  ASSERT_GE(q.entries.size(), 3u);
  EXPECT_EQ(q.entries[0].passWord, 0x0000u);
  EXPECT_EQ(q.entries[1].passWord, 0x0100u);
  EXPECT_EQ(q.entries[2].passWord & 0xFFFF, 0x0200u);  // the page index in the next byte
  EXPECT_EQ(q.entries[0].textures[0].value, 0u);
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
  EXPECT_GT(w, 0);
  EXPECT_EQ(p.get_pos(), std::make_tuple(float(x), float(y)));
  p.set_text(u"!", true);
  EXPECT_EQ(p.get_text(), u"panel!");

  p.set_color({0.5f, 1.0f, 2.0f});
  const Vec3 c = p.get_color();
  EXPECT_FLOAT_EQ(c.x, 127.0f / 255.0f);
  EXPECT_FLOAT_EQ(c.y, 1.0f);
  EXPECT_FLOAT_EQ(c.z, 254.0f / 255.0f);  // 510 keeps its low byte
}

std::u16string viewOf(int from, int to) {
  std::u16string v;
  for (int i = from; i <= to; ++i) v += u"line " + std::u16string(1, char16_t(u'A' + i)) + u"\n";
  return v;
}

TEST(GUIConsole, KeepsTheNewestLinesAtTheBottom) {
  GUIConsole c;
  c.send(u"x\r\ny");
  EXPECT_EQ(c.viewText(), std::u16string(8, u'\n') + u"x\r\ny\n");
  c.cls();
  EXPECT_EQ(c.viewText(), std::u16string(10, u'\n'));
  c.send(u"");
  EXPECT_EQ(c.lineCount(), 1);
  c.cls();
  for (int i = 1; i <= 21; ++i) c.send(u"line " + std::u16string(1, char16_t(u'A' + i)));
  EXPECT_EQ(c.lineCount(), 20);
  EXPECT_EQ(c.line(0), u"line C");
  EXPECT_EQ(c.viewText(), viewOf(12, 21));

  c.set_row(3, 2, 100);
  c.send(u"50%w\n%c");
  EXPECT_EQ(c.viewText(), u"50%%w\n%%c\n");
  c.send(u"a\nb\n");
  EXPECT_EQ(c.lineCount(), 3);
  EXPECT_EQ(c.viewText(), u"b\n\n");
  c.set_row(0, -4, 10);  // at least one row kept, none shown
  c.send(u"z");
  c.send(u"w");
  EXPECT_EQ(c.lineCount(), 1);
  EXPECT_EQ(c.line(0), u"w");

  // Long lines are cut, never inside a surrogate pair.
  c.set_row(4, 4, 100);
  std::u16string longLine(254, u'a');
  longLine += u"\U0010FFFFbc";  // the highest high surrogate
  c.send(longLine);
  EXPECT_EQ(c.line(0).size(), 254u);
  c.send(std::u16string(300, u'q'));
  EXPECT_EQ(c.line(1).size(), 255u);

  c.set_externalcs(true);
  EXPECT_TRUE(c.mirroring());
  testing::internal::CaptureStdout();
  c.send(u"seen\n世界");
  c.set_externalcs(true);
  c.send(u"unseen");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "seen\n世界\n");
  EXPECT_FALSE(c.mirroring());
  c.set_externalcs(false);
  EXPECT_FALSE(c.mirroring());
}

TEST(GUIConsole, LogFileHoldsUtf8Lines) {
  const std::string path = testing::TempDir() + "console_log.txt";
  {
    GUIConsole c;
    c.send(u"early");
    c.set_fileout(path);
    c.send(u"世界 %w\nnext");
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "世界 %w\nnext\n");  // flushed line by line
    c.set_fileout("");
    c.send(u"after");
    c.set_fileout(testing::TempDir() + "no/such/dir/log.txt");
    c.send(u"lost");
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), "世界 %w\nnext\n");
}

}  // namespace
