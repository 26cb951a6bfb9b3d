// Named lookups: case folding, one load per name, failed and nested loads.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>

#include "tests/res/res_test_types.h"

namespace {

using restest::Counted;
using restest::NamedMgr;

// A set of lower-case file names in one source that is never opened (loaders compare its address).
class FakeSources : public ResFileSources {
 public:
  explicit FakeSources(std::set<std::u16string> names) : names_(std::move(names)) {
    ResRegistry::instance().attachFileSources(this);
  }
  ~FakeSources() override { ResRegistry::instance().attachFileSources(nullptr); }
  qx::IFiles* findFile(const std::u16string& name) override {
    asked.push_back(name);
    return names_.count(name) ? source() : nullptr;
  }
  static qx::IFiles* source() { return reinterpret_cast<qx::IFiles*>(&sourceToken); }
  std::vector<std::u16string> asked;

 private:
  static inline char sourceToken = 0;
  std::set<std::u16string> names_;
};

TEST(NamedMgr, CaseInsensitiveNamesLoadOnce) {
  FakeSources files({u"ui\\foo.png"});
  NamedMgr mgr;
  auto first = mgr.acquireByName(u"UI/Foo.PNG");
  ASSERT_TRUE(first.created);
  auto second = mgr.acquireByName(u"ui\\foo.png");
  EXPECT_FALSE(second.created);
  EXPECT_EQ(second.handle.value, first.handle.value);
  EXPECT_EQ(mgr.refCount(first.handle.value), 2u);
  EXPECT_EQ(mgr.loads, (std::vector<std::u16string>{u"ui\\foo.png"}));
  EXPECT_EQ(mgr.sources.front(), FakeSources::source());
  EXPECT_EQ(files.asked.front(), u"ui\\foo.png");  // sources are asked with the folded name
  EXPECT_EQ(Counted::alive.load(), 1);

  // Once both references are gone the name is forgotten and the next lookup loads anew.
  const uint32_t old = first.handle.value;
  first.handle.reset();
  EXPECT_EQ(mgr.nameCount(), 1u);
  second.handle.reset();
  EXPECT_EQ(mgr.nameCount(), 0u);
  EXPECT_EQ(Counted::alive.load(), 0);
  auto third = mgr.acquireByName(u"ui/FOO.png");
  EXPECT_TRUE(third.created);
  EXPECT_NE(third.handle.value, old);
  EXPECT_EQ(mgr.loads.size(), 2u);
}

TEST(NamedMgr, FailedLookupsLeaveNothingBehind) {
  FakeSources files({u"bad.png", u"good.png"});
  NamedMgr mgr;
  std::u16string longest(255, u'a');
  longest += u".png";  // 259 units, asked for but not mounted
  for (const std::u16string& name : {std::u16string(u"missing.png"), std::u16string(260, u'a'), longest,
                                     std::u16string(u"bad.png")}) {
    auto r = mgr.acquireByName(name);
    EXPECT_TRUE(r.handle.isNull());
    EXPECT_FALSE(r.created);
  }
  EXPECT_EQ(files.asked.back(), u"bad.png");
  EXPECT_EQ(files.asked.at(files.asked.size() - 2), longest);
  EXPECT_EQ(mgr.loads, (std::vector<std::u16string>{u"bad.png"}));
  EXPECT_EQ(mgr.usedCount(), 0u);
  EXPECT_EQ(mgr.nameCount(), 0u);
  EXPECT_EQ(Counted::alive.load(), 0);
  // The freed slot serves the next object, and the failed name is tried again.
  auto good = mgr.acquireByName(u"good.png");
  EXPECT_EQ(good.handle.index(), 0u);
  EXPECT_TRUE(mgr.acquireByName(u"bad.png").handle.isNull());
  EXPECT_EQ(mgr.loads.size(), 3u);
}

class ThrowingMgr : public kesto::ResourceMgr<ThrowingMgr, Counted, kesto::MultiP, 1> {
 public:
  const char* dataTypeName() const override { return "Throwing"; }
  bool loadData(Counted&, qx::IFiles*, const std::u16string&) { throw std::runtime_error("corrupt"); }
};

TEST(NamedMgr, ThrowingLoaderIsAFailedLoad) {
  FakeSources files({u"x.png"});
  ThrowingMgr mgr;
  EXPECT_TRUE(mgr.acquireByName(u"x.png").handle.isNull());
  EXPECT_EQ(mgr.usedCount(), 0u);
  EXPECT_EQ(Counted::alive.load(), 0);
}

// Objects whose files name other objects of the same manager, loaded as they load.
struct Linked {
  kesto::Handle<class LinkingMgr, Linked> ref;
  bool refFound = false;
};
class LinkingMgr : public kesto::ResourceMgr<LinkingMgr, Linked, kesto::MultiP, 1> {
 public:
  const char* dataTypeName() const override { return "Linking"; }
  bool loadData(Linked& data, qx::IFiles*, const std::u16string& name) {
    ++loads;
    auto it = refs.find(name);
    if (it != refs.end()) {
      data.ref = acquireByName(it->second).handle;
      data.refFound = !data.ref.isNull();
    }
    return true;
  }
  std::map<std::u16string, std::u16string> refs;
  int loads = 0;
};

TEST(NamedMgr, FilesThatReferToThemselvesLoadOnce) {
  FakeSources files({u"b.png", u"c.png", u"d.png"});
  LinkingMgr mgr;
  mgr.refs = {{u"b.png", u"c.png"}, {u"c.png", u"B.png"}, {u"d.png", u"c.png"}};
  // b loads c, whose reference back to b is refused while b is loading.
  auto b = mgr.acquireByName(u"b.png");
  ASSERT_TRUE(b.created);
  EXPECT_EQ(mgr.loads, 2);
  EXPECT_EQ(mgr.nameCount(), 2u);
  const uint32_t c = mgr.acquireByName(u"c.png").handle.value;
  EXPECT_EQ(kesto::HdlLock<LinkingMgr::HandleType>(b.handle)->ref.value, c);
  EXPECT_FALSE(kesto::HdlLock<LinkingMgr::HandleType>(c)->refFound);
  // Once loaded, c is found by name like any other object.
  auto d = mgr.acquireByName(u"d.png");
  EXPECT_EQ(kesto::HdlLock<LinkingMgr::HandleType>(d.handle)->ref.value, c);
  EXPECT_EQ(mgr.loads, 3);

  // Releasing ends each object once and forgets every name.
  b.handle.reset();
  d.handle.reset();
  EXPECT_EQ(mgr.nameCount(), 0u);
  EXPECT_EQ(mgr.usedCount(), 0u);
}

}  // namespace
