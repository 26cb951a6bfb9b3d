-- Bound test classes as scripts see them: the weak twin (the glue itself is checked in
-- glue_test.cpp).

test("the weak twin names the object without keeping it", function()
  local w = Widget.new()
  local weak = w:getweak()
  check_eq(getmetatable(weak), rawget(Widget, "mt_w"))
  check_eq(weak.isweak, true)
  check(weak:valid())
  check_eq(tostring(weak), "Widget(Weak): id=" .. QX.GetHdlID(w))
  check_eq(QX.GetHdlID(weak), QX.GetHdlID(w))
  local strong = weak:get()
  check(rawequal(getmetatable(strong), Widget.mt))
  w, strong = nil, nil
  collectgarbage("collect")
  collectgarbage("collect")
  check_eq(weak:valid(), false)
  check_eq(weak:get(), nil)
end)
