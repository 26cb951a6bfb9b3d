// Generated class definitions: the tables they build, failures that skip a class, and
// classes with a script base.
#include <locale>

#include "script/bind/bind_class.h"
#include "script/bind/class_def.h"
#include "tests/bind/bind_test_support.h"

namespace {

using bindtest::StateTest;

class ClassDefTest : public StateTest {};

TEST_F(ClassDefTest, DefinitionBuildsMethodTablesMetatablesAndWeakTwin) {
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::panelBinding()));
  ASSERT_EQ(run("firstDir = QXMEMMT"), "");
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::widgetBinding()));
  EXPECT_TRUE(evalBool("QXMEMMT == firstDir and QXMEMMT.Panel == Panel"));  // one directory, reused
  EXPECT_TRUE(evalBool("type(Widget.fvt_hdl) == 'table' and type(Widget.fvt_ptr) == 'table' and "
                       "type(Widget.fvt_b) == 'table'"));
  EXPECT_TRUE(evalBool("Widget_W.isweak == true and Widget.isweak == false and Widget_W.name == 'Widget'"));
  EXPECT_TRUE(evalBool("type(rawget(Widget, 'mt_w')) == 'table' and rawget(Widget, 'mt_w').__index == Widget_W"));
  EXPECT_TRUE(evalBool("getmetatable(Widget).__index == Widget.PtrR"));
  EXPECT_TRUE(evalBool("Widget.mt.__index == Widget.HdlR and Widget.mt.__gc == QX_Release"));
  // An object class has no engine object of its own.
  EXPECT_TRUE(evalBool("rawget(Widget, 'pointer') == nil"));
}

TEST_F(ClassDefTest, ChunkOrScriptBaseThatFailsIsLoggedAndTheClassSkipped) {
  const int top = lua_gettop(L);
  EXPECT_FALSE(qxbind::defineLuaClass(L, "Orphan", 4, "no_such_module", nullptr));
  EXPECT_EQ(lua_gettop(L), top);
  EXPECT_NE(bindtest::logLines().back().find("no_such_module"), std::string::npos);
  ASSERT_EQ(run("QXL = nil"), "");
  EXPECT_FALSE(qxbind::defineLuaClass(L, "Broken", 4, {}, nullptr));
  EXPECT_EQ(lua_gettop(L), top);
  ASSERT_FALSE(bindtest::logLines().empty());
  EXPECT_NE(bindtest::logLines().back().find("Broken"), std::string::npos);
  // The registration function never ran, so nothing was bound.
  EXPECT_FALSE(qxbind::bindClass(L, bindtest::widgetBinding()));
  EXPECT_TRUE(evalBool("QXMEMMT == nil or QXMEMMT.Widget == nil"));
}

TEST_F(ClassDefTest, MethodTablesInheritOnlyBetweenTwoClassTables) {
  ASSERT_EQ(run("A = { fvt_hdl = { f = 1 }, fvt_b = {} } B = { fvt_hdl = {}, fvt_b = {} } C = 5"), "");
  const int top = lua_gettop(L);
  EXPECT_TRUE(qxbind::inheritMethodTables(L, "B", "A"));
  EXPECT_TRUE(evalBool("B.fvt_hdl.f == 1"));
  EXPECT_FALSE(qxbind::inheritMethodTables(L, "C", "A"));
  EXPECT_FALSE(qxbind::inheritMethodTables(L, "B", "Missing"));
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(ClassDefTest, NamesThatCannotBeWrittenIntoTheDefinitionAreRefused) {
  const std::pair<std::string, bool> names[] = {{"HUDText3D", true},          {"3D", false},
                                                {"a b", false},                {"x=1 os.exit() y", false},
                                                {std::string(62, 'a'), true}, {std::string(63, 'a'), false}};
  for (const auto& [name, ok] : names) EXPECT_EQ(qxbind::isBindableClassName(name), ok) << name;
  EXPECT_FALSE(qxbind::isBindableModuleName("a\")os.exit()--"));
  EXPECT_TRUE(qxbind::isBindableModuleName("ui.button"));
  EXPECT_FALSE(qxbind::defineLuaClass(L, "bad name", 4, {}, nullptr));
  EXPECT_FALSE(qxbind::defineLuaClass(L, "Good", 4, "bad\"base", nullptr));
}

TEST_F(ClassDefTest, ScriptBaseClassKeepsScriptMethodsAndReachesTheEngineObject) {
  bindtest::putFile("ScriptPanel.lua",
                    "ScriptPanel = { hello = function(self) return 'hello ' .. self.name end }\n"
                    "function ScriptPanel:init(w) self.width = w end\n");
  qxbind::ClassBinding b = qxbind::objectBinding(qxbind::objectClass<bindtest::Panel>("ScriptPanel", [](qxbind::ClassTable& t) {
    t.method<&bindtest::Panel::grow>("grow").field<&bindtest::Panel::width>("width");
  }));
  ASSERT_TRUE(qxbind::bindClass(L, b, "ScriptPanel"));
  EXPECT_TRUE(evalBool("_ScriptPanel == nil and QXMEMMT.ScriptPanel == ScriptPanel"));
  ASSERT_EQ(run("p = ScriptPanel.new(3)"), "");
  EXPECT_EQ(evalString("p:hello()"), "hello ScriptPanel");
  EXPECT_EQ(evalNumber("p.width"), 3);
  EXPECT_TRUE(evalBool("p:grow(2) == p"));
  EXPECT_EQ(evalNumber("p.width"), 5);
  // Fields of the instance that are not the engine's stay in the script table.
  ASSERT_EQ(run("p.note = 'kept'"), "");
  EXPECT_EQ(evalString("rawget(p, 'note')"), "kept");
}

}  // namespace
