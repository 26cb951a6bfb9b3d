-- What scripts see of the state, the module loader and script values.

test("QXMain.lua ran before the test", function()
  check(main_ran)
end)

test("collector settings are in force", function()
  -- setting a value gives back the one in force
  check_eq(collectgarbage("setpause", 80), 80)
  check_eq(collectgarbage("setstepmul", 150), 150)
end)

test("no system module path is searched", function()
  check_eq(package.path, "")
  check_eq(package.cpath, "")
  check_eq(#package.loaders, 5)
end)

test("engine globals", function()
  check_eq(type(QXLS), "userdata")
  check_eq(type(QX_LStk), "table")
end)

test("require finds dotted module names in the mounted folder", function()
  local b = require("ui.button")
  check_eq(b.kind, "button")
  check(require("ui.button") == b, "a module loads once")
end)

test("a byte-order mark is skipped", function()
  check_eq(require("bom_module"), "loaded with a byte-order mark")
end)

test("a syntax error makes require fail cleanly", function()
  check_error(function() require("broken_module") end, "broken_module")
  check_eq(package.loaded.broken_module, nil)
  check_eq(1 + 1, 2)
end)

test("a missing module names itself", function()
  check_error(function() require("not_there") end, "not_there.lua")
end)

test("vectors cross both ways through QXL", function()
  local v = qxtest.luavar(QXL.vec3.new(1, 2, 5))
  check_eq(qxtest.luavar_kind(v), 12)
  check_eq(v.x, 1)
  check_eq(v.z, 5)
  check_eq(getmetatable(v) ~= nil, true)
  local w = qxtest.luavar({ 1, 2, 3, 4, dim = 4 })
  check_eq(w.w, 4)
  check_eq(qxtest.luavar_kind({ 1, 2, dim = 2 }), 11)
end)

test("scalars, strings and plain tables", function()
  check_eq(qxtest.luavar(true), true)
  check_eq(qxtest.luavar(2.5), 2.5)
  check_eq(qxtest.luavar("text"), "text")
  check_eq(qxtest.luavar("cut\0here"), "cut")
  check_eq(qxtest.luavar(nil), nil)
  check_eq(qxtest.luavar_kind({ a = 1 }), 14)
  check_eq(qxtest.luavar_kind(print), 9)
  check_eq(qxtest.luavar_kind(function() end), 14)
end)

test("numbers become single precision", function()
  check_near(qxtest.luavar(0.1), 0.1, 1e-7)
  check(qxtest.luavar(0.1) ~= 0.1)
end)
