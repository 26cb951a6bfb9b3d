-- Bound test classes as scripts see them: the weak twin (the glue itself is checked in
-- glue_test.cpp).

test("a strong handle's tostring names its own object", function()
  local a, b = Widget.new(), Widget.new()
  check(QX.GetHdlID(a) ~= QX.GetHdlID(b))
  check_eq(tostring(a), "Widget: id=" .. QX.GetHdlID(a))
  check_eq(tostring(b), "Widget: id=" .. QX.GetHdlID(b))
  check(tostring(a) ~= tostring(b))
  local inst = derived_fromC(Widget).new()
  check_eq(Widget.tostring(inst), "Widget: id=" .. QX.GetHdlID(inst.udata))
end)

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

-- Errors of fields and methods name the script's own line, not the generated accessors
-- nor the QXL bridges that reach them.
test("field and method errors point at the script", function()
  local function errorOf(f)
    local ok, err = pcall(f)
    check_eq(ok, false)
    return err
  end
  local w = Widget.new()
  local here = debug.getinfo(1, "S").short_src
  local cases = {
    { function() w.pos = 5 end, debug.getinfo(1, "l").currentline, "vec3 expected" },
    { function() w.rect = 5 end, debug.getinfo(1, "l").currentline, "a sub-object field cannot be assigned" },
    { function() w:fail() end, debug.getinfo(1, "l").currentline, "widget failed" },
    { function() w.move(5, QXL.vec3(1, 2, 3)) end, debug.getinfo(1, "l").currentline, "self is not an engine object" },
    { function() local o = derived_fromC(Widget).new(); o.pos = "x" end, debug.getinfo(1, "l").currentline, "vec3 expected" },
  }
  for i, c in ipairs(cases) do
    local err = errorOf(c[1])
    check_eq(err:sub(1, #here + #tostring(c[2]) + 3), here .. ":" .. c[2] .. ": ", "case " .. i .. ": " .. err)
    check(err:find(c[3], 1, true) ~= nil, "case " .. i .. ": " .. err)
  end
end)
