-- Bound test classes as scripts see them: fields, chaining, the weak twin, derived
-- classes, sub-objects, manager and pointer classes.

test("fields are read with one argument and written with two", function()
  local w = Widget.new()
  check_eq(w.alpha, 1)
  w.alpha = 0.5
  check_eq(w:getAlpha(), 0.5)
  check_eq(Widget.fvt_hdl.count(w), 0)
  check_eq(select("#", Widget.fvt_hdl.count(w, 3)), 0)
  check_eq(w.count, 3)
  check_eq(Widget.fvt_b.alpha, true)
  check_eq(Widget.fvt_b.getAlpha, false)
end)

test("methods that change an object return it", function()
  local w = Widget.new()
  check(rawequal(w:setAlpha(0.25):setLabel("chained"), w))
  check_eq(w:getLabel(), "chained")
  check_eq(w:add(40, 2), 42)
end)

test("the weak twin names the object without keeping it", function()
  local w = Widget.new()
  local weak = w:getweak()
  check_eq(Widget_W.isweak, true)
  check_eq(getmetatable(weak), rawget(Widget, "mt_w"))
  check_eq(weak.isweak, true)
  check(weak:valid())
  check_eq(QX.GetHdlID(weak), QX.GetHdlID(w))
  check(QX.GetHdlID(w) ~= 0)
  check_eq(tostring(w), "Widget: id=" .. QX.GetHdlID(w))
  check_eq(tostring(weak), "Widget(Weak): id=" .. QX.GetHdlID(w))
  local strong = weak:get()
  check(rawequal(getmetatable(strong), Widget.mt))
  check_eq(strong:getAlpha(), 1)
  w, strong = nil, nil
  collectgarbage("collect")
  collectgarbage("collect")
  check_eq(weak:valid(), false)
  check_eq(weak:get(), nil)
end)

test("a derived class finds its base's methods and its own win", function()
  local f = FancyWidget.new()
  check(rawequal(f:setAlpha(1), f))
  check_eq(f:getAlpha(), 2)
  check_eq(f:extra(), 1)
  f.count = 6
  check_eq(f.count, 6)
  check_eq(FancyWidget.fvt_b.count, true)
  check_error(function() FancyWidget.fvt_hdl.extra(Widget.new()) end, "another class")
end)

test("a sub-object field works on its owner's part", function()
  local w = Widget.new()
  local r = w.rect
  r.width, r.height = 2, 3
  check(rawequal(r:grow(1), r))
  check_eq(w.rect:area(), 12)
  check_error(function() w.rect = r end, "cannot be assigned")
end)

test("manager classes are called on the class, resources on instances", function()
  local t = ThingMgr:make(21)
  check_eq(t:twice(), 42)
  t.value = 4
  check_eq(t.value, 4)
  check_eq(ThingMgr.fvt_b.make, false)
  check(QXMGRMT ~= nil)
  check_error(function() ThingMgr.make(5) end, "self")
end)

test("pointer classes use their one object", function()
  local before = Service.calls
  check_eq(Service:ping(1), 2)
  check_eq(Service.calls, before + 1)
  check(QXMEMMT.Service == nil)
end)

test("wrong or released selves raise instead of crashing", function()
  local w = Widget.new()
  check_error(function() Widget.fvt_hdl.setAlpha(42, 1) end, "self")
  check_error(function() Panel.fvt_hdl.grow(w, 1) end, "another class")
  w:release()
  check_error(function() w:setAlpha(1) end, "self")
  check_error(function() w:fail() end)
end)
