#include "runtime/fs/path_stack.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(PathStack, SetAndPushSplitAtEitherSeparator) {
  struct Row {
    std::u16string in, str;
    int depth;
    bool absolute;
  };
  const Row rows[] = {
      {u"/app/bin/tool.exe", u"/app\\bin\\tool.exe", 3, true},
      {u"a\\b\\", u"a\\b", 2, false},
      {u"/", u"/", 1, true},
      {u"", u"", 1, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.in.begin(), r.in.end()));
    PathStack p(r.in);
    EXPECT_EQ(p.str(), r.str);
    EXPECT_EQ(p.depth(), r.depth);
    EXPECT_EQ(p.isAbsolute(), r.absolute);
  }

  PathStack p(u"/app");
  p.push(u"resource\\script");
  p.pop();
  p.push(u"sub/dir");
  EXPECT_EQ(p.str(), u"/app\\resource\\sub\\dir");
  EXPECT_EQ(p.depth(), 4);
  EXPECT_EQ(p.firstElement(), u"/app");
  EXPECT_EQ(p.lastElement(), u"dir");
  for (int i = 0; i < 5; ++i) p.pop();  // popping an empty stack changes nothing
  EXPECT_EQ(p.depth(), 0);
  EXPECT_EQ(p.str(), u"");
}

TEST(PathStack, MisuseThrowsAndLeavesPathAlone) {
  PathStack p(u"keep\\me");
  EXPECT_THROW(p.set(u"\\leading"), std::invalid_argument);
  EXPECT_THROW(p.set(std::u16string(513, u'x')), std::length_error);
  EXPECT_EQ(p.str(), u"keep\\me");
  p.set(std::u16string(512, u'x'));
  EXPECT_EQ(p.length(), 512u);

  // A push counts its separator: 2 + 1 + 509 == 512 fits exactly; one more does not.
  PathStack q(u"ab");
  EXPECT_THROW(q.push(std::u16string(510, u'y')), std::length_error);
  EXPECT_EQ(q.str(), u"ab");
  q.push(std::u16string(509, u'y'));
  EXPECT_EQ(q.length(), 512u);
}

TEST(PathStack, RingWrapsAfterPopFrontAndMarksRestore) {
  PathStack p(std::u16string(300, u'a') + u"\\" + std::u16string(100, u'b'));
  p.popFront();
  EXPECT_EQ(p.depth(), 1);
  // 100 + 1 + 350 runs past cell 511 and continues at cell 0.
  const std::u16string longTail = u"c" + std::u16string(348, u'd') + u"e";
  const PathMark m = p.saveMark();
  p.push(longTail);
  EXPECT_EQ(p.str(), std::u16string(100, u'b') + u"\\" + longTail);
  p.popFront();
  EXPECT_EQ(p.str(), longTail);
  p.restoreMark(m);
  EXPECT_EQ(p.str(), std::u16string(100, u'b'));
  EXPECT_EQ(p.depth(), 1);
}

TEST(PathStack, Extensions) {
  EXPECT_EQ(PathStack(u"d\\a.b.c").extension(), u"bc");
  EXPECT_EQ(PathStack(u"d\\noext").extension(), u"");
  for (const char16_t* from : {u"d\\file", u"d\\file.old.bak", u"d\\file."}) {
    PathStack p(from);
    p.replaceExtension(u"txt");
    EXPECT_EQ(p.str(), u"d\\file.txt");
    EXPECT_EQ(p.depth(), 2);
  }

  struct Row {
    std::u16string from, to;
    int number;
  };
  const Row rows[] = {
      {u"data\\main.pak", u"data\\main.pak1", 1}, {u"main.pak9", u"main.pak10", 10},
      {u"x.p1k", u"x.p2", 2},  {u"x.p0", u"x.p1", 1},
      {u"x", u"x.1", 1},       {u"x.p99999999999999999999", u"x.p1000000000", 1000000000},
  };
  for (const Row& r : rows) {
    PathStack p(r.from);
    EXPECT_EQ(p.nextNumberedExtension(), r.number) << std::string(r.from.begin(), r.from.end());
    EXPECT_EQ(p.str(), r.to);
  }
  PathStack empty;
  EXPECT_EQ(empty.nextNumberedExtension(), -1);
}

}  // namespace

// Onto an empty stack only a leading '/' (the absolute mark) stays uncounted; a leading
// '\' counts as any separator does, so popFront walks the same elements.
TEST(PathStack, LeadingSeparatorPushedOntoAnEmptyStack) {
  PathStack lead;
  lead.push(u"\\lead\\x");
  EXPECT_EQ(lead.str(), u"\\lead\\x");
  EXPECT_EQ(lead.depth(), 3);
  lead.popFront();
  EXPECT_EQ(lead.str(), u"lead\\x");
  EXPECT_EQ(lead.depth(), 2);
  PathStack absolute;
  absolute.push(u"/abs/x");
  EXPECT_EQ(absolute.str(), u"/abs\\x");
  EXPECT_EQ(absolute.depth(), 2);
}
