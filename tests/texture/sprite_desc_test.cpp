// Sprite-description records: defaults, cell sizes, hotspots, names and hostile members.
#include "render/texture/sprite_desc.h"

#include <gtest/gtest.h>

namespace {

std::vector<qxtex::SpriteDesc> read(const std::string& text, int32_t w = 256, int32_t h = 128) {
  std::vector<qxtex::SpriteDesc> out;
  EXPECT_TRUE(qxtex::readSpriteDescs(text, w, h, out, nullptr)) << text;
  return out;
}

TEST(SpriteDesc, RecordsTakeTheirMembersOrDefaults) {
  struct Case {
    const char* json;
    int32_t width, height, cellW, cellH, frame;
  } cases[] = {
      {R"({"name": "run", "width": 128, "height": 32, "nwidth": 4})", 128, 32, 32, 32, 1},
      {R"({"offsetx": 64, "offsety": 28})", 192, 100, 192, 100, 1},
      {R"({"width": 100, "nwidth": 3, "nheight": 2, "frame": 6})", 100, 128, 33, 64, 6},
      {R"({"width": 100, "nwidth": 0, "nheight": -3})", 100, 128, 0, -42, 1},
      {R"({"width": 10.9, "height": true, "frame": null})", 10, 1, 10, 1, 0},
      {R"({"width": "wide", "height": [1], "nwidth": {}, "frame": 1e30})", 256, 128, 256, 128, 1},
      {R"({"height": -2147483649, "frame": 2147483648})", 256, 128, 256, 128, 1},
  };
  for (const Case& c : cases) {
    auto d = read(std::string("[") + c.json + "]");
    ASSERT_EQ(d.size(), 1u) << c.json;
    EXPECT_EQ((std::vector<int64_t>{d[0].width, d[0].height, d[0].cellWidth, d[0].cellHeight, d[0].frame}),
              (std::vector<int64_t>{c.width, c.height, c.cellW, c.cellH, c.frame})) << c.json;
  }
}

TEST(SpriteDesc, HotspotsNamesAndRoots) {
  auto d = read(R"([{"hotspot": [1, 2, 3, 4]}, {"hotspot": [1, 2, 3, 4, 5, 6, 7, 8]}, {"hotspot": 5}])");
  ASSERT_EQ(d.size(), 3u);
  ASSERT_EQ(d[0].hotspots.size(), 1u);
  EXPECT_EQ(d[0].hotspots[0].p1, 2);
  EXPECT_EQ(d[0].hotspots[0].p2, 3);
  EXPECT_EQ(d[0].hotspots[0].p3, 1);
  ASSERT_EQ(d[1].hotspots.size(), 2u);
  EXPECT_EQ(d[1].hotspots[1].p3, 4);
  EXPECT_EQ(d[1].hotspots[1].p2, 6);
  EXPECT_TRUE(d[2].hotspots.empty());

  const std::string seventy(70, 'n');
  d = read("// comment\n[{\"name\": \"" + seventy + "\"}, {\"name\": 5}, {\"name\": \"\xE3\x81\x82\"}]");
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].name, std::u16string(63, u'n'));
  EXPECT_TRUE(d[1].name.empty());
  EXPECT_EQ(d[2].name, u"\u3042");
  // A cut between the halves of a pair leaves no half behind.
  std::string pairs = std::string(62, 'a');
  for (int i = 0; i < 2; ++i) pairs += "\xF0\x9F\x98\x80";
  d = read("[{\"name\": \"" + pairs + "\"}]");
  EXPECT_EQ(d[0].name, std::u16string(62, u'a'));

  EXPECT_TRUE(read(R"({"name": "x"})").empty());
  std::vector<qxtex::SpriteDesc> out(2);
  EXPECT_FALSE(qxtex::readSpriteDescs("[{", 1, 1, out, nullptr));
  EXPECT_TRUE(out.empty());
}

TEST(SpriteDesc, FileNameBesideTheTexture) {
  EXPECT_EQ(qxtex::spriteDescFileName(u"ui\\icons.png", 259), u"ui\\icons.desc");
  EXPECT_EQ(qxtex::spriteDescFileName(u"a.b.png", 259), u"a.b.desc");
  EXPECT_EQ(qxtex::spriteDescFileName(u"abcd.png", 9), u"abcd.desc");
  EXPECT_EQ(qxtex::spriteDescFileName(u"abcde.png", 9), u"");
}

}  // namespace
