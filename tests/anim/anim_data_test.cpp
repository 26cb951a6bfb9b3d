// The ".spr" reader (inheritance, property forms, hostile files) and the slots' textures.
#include <gtest/gtest.h>

#include "tests/anim/anim_fixture.h"

namespace animtest {
namespace {

constexpr const char* kSheet = R"({
  "texture": "sheet.png",
  "rect": {"rect": [64, 0, 192, 64], "nwidth": 2, "nheight": 1, "frame": 2},
  "hotspot": [4, 8],
  "delay": [3, 1],
  "tag": [2, "hit"],
  "slot": {
    "walk": {},
    "idle": {"texture": "other.png", "rect": [0, 0, 32, 16, 32, 16, 64, 32],
             "hotspot": [0, 1, 2, 5, 3, 4], "delay": 2, "tag": [0, "a", 1, "b"]},
    "jump": {"hotspot": [0, 4, 8], "delay": 2.5, "rect": "wide", "tag": {"0": "x"}}
  }
})";

struct Uv {
  float u0, v0, u1, v1;
  bool operator==(const Uv&) const = default;  // the values here are exact in binary
};
Uv rectOf(const AnimSlot& s, int32_t f) {
  Uv r{};
  s.rect->get(f, r.u0, r.v0, r.u1, r.v1);
  return r;
}
std::pair<int32_t, int32_t> hsOf(const AnimSlot& s, int32_t f) {
  int32_t x, y;
  s.hotspot->get(f, x, y);
  return {x, y};
}

using AnimDataTest = AnimTest;

TEST_F(AnimDataTest, SlotsInheritTheRootAndReadEveryForm) {
  AnimHdl h = loadAnim("sheet.spr", kSheet);
  kesto::HdlLock<AnimHdl> a(h, 0);
  ASSERT_TRUE(a);
  ASSERT_EQ(a->slotCount(), 3);
  // Members in byte order of their names.
  EXPECT_EQ(a->findSlot("walk"), 2);
  EXPECT_EQ(a->findSlot("Walk"), -1);

  const AnimSlot& root = a->slotAt(-1);
  const AnimSlot& walk = a->slotAt(2);
  EXPECT_TRUE(walk.rect == root.rect && walk.hotspot == root.hotspot && walk.delay == root.delay &&
              walk.tag == root.tag && walk.texture.value == root.texture.value);

  // Grid on a 256 x 64 texture.
  EXPECT_EQ(rectOf(root, 1), (Uv{0.5f, 0, 0.75f, 1}));
  EXPECT_EQ(rectOf(root, 2), (Uv{0.25f, 1, 0.5f, 2}));  // past the grid: the next row
  EXPECT_EQ(hsOf(root, 9), std::make_pair(4, 8));
  EXPECT_EQ(root.delay->get(0), 3);
  EXPECT_EQ(root.delay->get(7), 1);
  EXPECT_STREQ(root.tag->get(2), "hit");
  EXPECT_EQ(root.tag->get(3), nullptr);

  // Own texture (128 x 32), rectangle list, hotspot list, shared delay, tags.
  const AnimSlot& idle = a->slotAt(0);
  EXPECT_EQ(rectOf(idle, 1), (Uv{0.25f, 0.5f, 0.5f, 1}));
  EXPECT_EQ(rectOf(idle, 2), rectOf(idle, 1));  // past the list: the last one
  EXPECT_EQ(hsOf(idle, 4), std::make_pair(1, 2));
  EXPECT_EQ(hsOf(idle, 50), std::make_pair(3, 4));
  EXPECT_EQ(idle.delay->get(6), 2);
  EXPECT_STREQ(idle.tag->get(1), "b");

  // Three-element hotspot is a one-entry list; a real delay, a string rect and an
  // object tag are no form: inherited.
  const AnimSlot& jump = a->slotAt(1);
  EXPECT_NE(jump.hotspot, root.hotspot);
  EXPECT_EQ(hsOf(jump, 12), std::make_pair(4, 8));
  EXPECT_TRUE(jump.delay == root.delay && jump.rect == root.rect && jump.tag == root.tag);
}

TEST_F(AnimDataTest, HostileFilesLoadWhatTheyCanOrNothing) {
  struct Case {
    const char* text;
    bool built;
    int32_t members;
  };
  const Case cases[] = {
      {"{\"slot\": {\"a\": {}", false, 0},                  // truncated
      {"[1, 2, 3]", false, 0},                               // not an object
      {"{\"slot\": 5, \"texture\": 7, \"rect\": null}", true, 0},
      {"{\"slot\": {\"a\": 1, \"b\": [], \"c\": \"x\"}}", true, 3},  // entries of no form
      {"{\"slot\": {\"a\": {\"slot\": {\"inner\": {}}}}}", true, 1},  // nested slots not read
  };
  for (const Case& c : cases) {
    Animation a;
    std::string why;
    EXPECT_EQ(a.build(c.text, &why), c.built) << c.text;
    EXPECT_EQ(a.empty(), !c.built) << c.text;
    EXPECT_EQ(a.slotCount(), c.members) << c.text;
    EXPECT_EQ(why.empty(), c.built) << c.text;
  }

  // Oversized text is refused unread.
  Animation big;
  std::string why;
  EXPECT_FALSE(big.build("{}" + std::string(Animation::kMaxFileBytes, ' '), &why));
  EXPECT_NE(why.find("4 MiB"), std::string::npos);
  EXPECT_TRUE(Animation().build("{}" + std::string(Animation::kMaxFileBytes - 2, ' '), nullptr));
}

TEST_F(AnimDataTest, ManagerSharesByNameAndSlotsHoldTheirTextures) {
  const std::u16string sheet = u"sheet.png", other = u"other.png";
  const uint32_t sheetBefore = textureRefs(sheet), otherBefore = textureRefs(other);
  {
    AnimHdl h = loadAnim("share.spr", kSheet);
    ASSERT_TRUE(h.value);
    AnimHdl again = AnimMgr::instance()->acquireByName(u"SHARE.SPR").handle;
    EXPECT_EQ(again.value, h.value);
    // Root, walk and jump share the sheet; idle holds the other texture.
    EXPECT_EQ(textureRefs(sheet), sheetBefore + 3);
    EXPECT_EQ(textureRefs(other), otherBefore + 1);
    EXPECT_EQ(AnimMgr::instance()->acquireByName(u"missing.spr").handle.value, 0u);
  }
  EXPECT_EQ(textureRefs(sheet), sheetBefore);
  EXPECT_EQ(textureRefs(other), otherBefore);

  // An unparsable file still gives an animation, an empty one, and says why.
  bindtest::logLines().clear();
  AnimHdl broken = loadAnim("broken.spr", "{ nope");
  ASSERT_TRUE(broken.value);
  kesto::HdlLock<AnimHdl> lock(broken, 0);
  EXPECT_TRUE(lock->empty());
  ASSERT_FALSE(bindtest::logLines().empty());
  EXPECT_NE(bindtest::logLines().back().find("broken.spr"), std::string::npos);
}

}  // namespace
}  // namespace animtest
