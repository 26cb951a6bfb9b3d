// Tree sync over a layout without levels: nothing to build, nothing changes.
#include <gtest/gtest.h>

#include "lua_test_support.h"
#include "script/treesync/tree_sync.h"

namespace {

using TreeSync = luatest::StateTest;

TEST_F(TreeSync, ALayoutWithoutLevelsWalksNothing) {
  treesync::PackedTree tree(treesync::PackedLayout(0, 1), nullptr);
  ASSERT_EQ(tree.root(), nullptr);
  eval("{ { _chglist = { 1 }, _remlist = { 1 } } }");
  lua_newtable(L);
  treesync::luaBuildTree(L, 1, 2, tree, {});
  EXPECT_FALSE(treesync::luaSyncChgList(L, 1, tree, {}, true));
  EXPECT_FALSE(treesync::luaSyncChildLists(L, 1, 2, tree, {}, true));
  EXPECT_EQ(lua_gettop(L), 2);
  lua_settop(L, 0);
}

}  // namespace
