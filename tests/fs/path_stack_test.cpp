#include "runtime/fs/path_stack.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::u16string w(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

TEST(PathStack, SetSplitsAtEitherSeparatorAndKeepsAbsoluteMark) {
  PathStack p(u"/app/bin/tool.exe");
  EXPECT_EQ(p.depth(), 3);
  EXPECT_TRUE(p.isAbsolute());
  EXPECT_EQ(p.str(), u"/app\\bin\\tool.exe");
  p.pop();
  EXPECT_EQ(p.str(), u"/app\\bin");
  EXPECT_EQ(p.depth(), 2);
  EXPECT_TRUE(p.isAbsolute());

  PathStack rel(u"a\\b\\");
  EXPECT_EQ(rel.str(), u"a\\b");
  EXPECT_EQ(rel.depth(), 2);
  EXPECT_FALSE(rel.isAbsolute());

  PathStack empty(u"");
  EXPECT_EQ(empty.depth(), 1);
  EXPECT_EQ(empty.str(), u"");
}

TEST(PathStack, MisuseThrowsAndLeavesPathAlone) {
  PathStack p(u"keep\\me");
  try {
    p.set(u"\\leading");
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "invalid path");
  }
  EXPECT_EQ(p.str(), u"keep\\me");

  try {
    p.set(std::u16string(513, u'x'));
    FAIL();
  } catch (const std::length_error& e) {
    EXPECT_STREQ(e.what(), "buffer overflow");
  }
  EXPECT_EQ(p.str(), u"keep\\me");
  EXPECT_NO_THROW(p.set(std::u16string(512, u'x')));
  EXPECT_EQ(p.length(), 512u);
  EXPECT_EQ(p.str().size(), 512u);
}

TEST(PathStack, PushCountsSeparatorAgainstCapacity) {
  PathStack p(u"ab");
  // 2 + 509 + 1 == 512 fits exactly; one more character does not.
  EXPECT_NO_THROW(p.push(std::u16string(509, u'y')));
  EXPECT_EQ(p.length(), 512u);
  EXPECT_EQ(p.lastElement(), std::u16string(509, u'y'));
  PathStack q(u"ab");
  EXPECT_THROW(q.push(std::u16string(510, u'y')), std::length_error);
  EXPECT_EQ(q.str(), u"ab");
}

TEST(PathStack, PushAndPopElements) {
  PathStack p(u"/app");
  p.push(u"resource\\script");
  EXPECT_EQ(p.str(), u"/app\\resource\\script");
  EXPECT_EQ(p.depth(), 3);
  p.pop();
  EXPECT_EQ(p.str(), u"/app\\resource");
  p.push(u"sub/dir");
  EXPECT_EQ(p.str(), u"/app\\resource\\sub\\dir");

  PathStack single(u"file.txt");
  EXPECT_EQ(single.lastElement(), u"file.txt");
  EXPECT_EQ(single.firstElement(), u"file.txt");
  single.pop();
  EXPECT_EQ(single.depth(), 0);
  EXPECT_EQ(single.str(), u"");
  single.pop();
  EXPECT_EQ(single.depth(), 0);
  single.push(u"x");
  EXPECT_EQ(single.str(), u"x");

  // Onto an empty stack only a leading '/' (the absolute mark) stays uncounted; a leading
  // '\\' counts as any separator does, so popFront walks the same elements.
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

TEST(PathStack, RingWrapsAfterPopFront) {
  PathStack p(std::u16string(300, u'a') + u"\\" + std::u16string(100, u'b'));
  p.popFront();
  EXPECT_EQ(p.str(), std::u16string(100, u'b'));
  EXPECT_EQ(p.depth(), 1);
  // 100 + 1 + 350 runs past cell 511 and continues at cell 0.
  const std::u16string longTail = u"c" + std::u16string(348, u'd') + u"e";
  p.push(longTail);
  EXPECT_EQ(p.str(), std::u16string(100, u'b') + u"\\" + longTail);
  EXPECT_EQ(p.length(), p.str().size());
  EXPECT_EQ(p.firstElement(), std::u16string(100, u'b'));
  EXPECT_EQ(p.lastElement(), longTail);
  p.push(u"z");
  p.pop();
  EXPECT_EQ(p.lastElement(), longTail);
  p.popFront();
  EXPECT_EQ(p.str(), longTail);
  EXPECT_FALSE(p.isAbsolute());
}

TEST(PathStack, MarkRestoresFullAndPartialPaths) {
  PathStack p(u"base");
  const PathMark m = p.saveMark();
  p.push(u"one");
  p.push(u"two");
  p.restoreMark(m);
  EXPECT_EQ(p.str(), u"base");
  EXPECT_EQ(p.depth(), 1);

  PathStack full(std::u16string(512, u'q'));
  const PathMark fm = full.saveMark();
  full.pop();
  EXPECT_EQ(full.length(), 0u);
  full.restoreMark(fm);
  EXPECT_EQ(full.length(), 512u);
  EXPECT_EQ(full.str(), std::u16string(512, u'q'));
}

TEST(PathStack, Extensions) {
  EXPECT_EQ(PathStack(u"d\\a.b.c").extension(), u"bc");
  EXPECT_EQ(PathStack(u"d\\noext").extension(), u"");
  EXPECT_EQ(PathStack().extension(), u"");

  for (const char* from : {"d\\file", "d\\file.old.bak", "d\\file."}) {
    PathStack p(w(from));
    p.replaceExtension(u"txt");
    EXPECT_EQ(p.str(), u"d\\file.txt") << from;
    EXPECT_EQ(p.depth(), 2);
  }
  PathStack single(u"/file");
  single.replaceExtension(u"txt");
  EXPECT_EQ(single.str(), u"/file.txt");
  EXPECT_TRUE(single.isAbsolute());
}

TEST(PathStack, NumberedExtensionsCountUp) {
  PathStack p(u"data\\main.pak");
  EXPECT_EQ(p.nextNumberedExtension(), 1);
  EXPECT_EQ(p.str(), u"data\\main.pak1");
  EXPECT_EQ(p.nextNumberedExtension(), 2);
  EXPECT_EQ(p.str(), u"data\\main.pak2");
  for (int i = 3; i <= 10; ++i) EXPECT_EQ(p.nextNumberedExtension(), i);
  EXPECT_EQ(p.str(), u"data\\main.pak10");

  PathStack odd(u"x.p1k");
  EXPECT_EQ(odd.nextNumberedExtension(), 2);
  EXPECT_EQ(odd.str(), u"x.p2");

  PathStack none(u"x");
  EXPECT_EQ(none.nextNumberedExtension(), 1);
  EXPECT_EQ(none.str(), u"x.1");

  PathStack empty;
  EXPECT_EQ(empty.nextNumberedExtension(), -1);

  PathStack huge(u"x.p99999999999999999999");
  EXPECT_GT(huge.nextNumberedExtension(), 0);
}

}  // namespace
