-- Hostile input for everything a script can reach: every QX function, QXInteger and its
-- operators, the handle metatables and every method and field of the bound classes,
-- each called in pcall with a battery of wrong, huge, broken and dead arguments and
-- selves. Raising is fine; crashing, sanitizer reports or a wedged engine are not.
-- Runs in qxlua_qx (memory-item classes "QxTest.Part"/"QxTest.Whole") and in qxlua_bind
-- (game objects and the binding test classes); it walks what the runner provides.

local bound = rawget(_G, "Widget") ~= nil

if not bound and rawget(_G, "QXMEMMT") == nil then
  QXMEMMT = {}
  for _, name in ipairs { "QxTest.Part", "QxTest.Whole" } do
    QXMEMMT[name] = {
      mt = { __index = { class = name }, __gc = QX_Release },
      mt_w = { __index = { weak_class = name } },
    }
  end
end

local function boom(what)
  return function() error("hostile " .. what, 0) end
end

local hostileMt = {
  __index = boom("__index"), __newindex = boom("__newindex"), __len = boom("__len"),
  __tostring = boom("__tostring"), __call = boom("__call"), __eq = boom("__eq"), __lt = boom("__lt"),
  __le = boom("__le"), __concat = boom("__concat"), __unm = boom("__unm"), __add = boom("__add"),
}

-- Engine objects of every kind this runner has: a fresh set for each walk, since calls
-- may release them.
local function makeObjects()
  local o = {}
  if bound then
    o.widget = Widget.new()
    o.fancy = FancyWidget.new()
    o.thing = ThingMgr:make(3)
    o.gobj = GobjMgr:newGobj(0)
    o.rect = Widget.new().rect
  else
    o.part = QX.createAux("QxTest.Part", false)
    o.whole = QX.createAux("QxTest.Whole", false)
    o.single = QX.createAux("QxTest.Part", true)
  end
  return o
end

-- A strong handle to an object that is gone, its weak twin and byte copies of both.
local function deadHandles()
  local d = {}
  local obj = bound and Widget.new() or QX.createAux("QxTest.Part", false)
  d.weakOfDead = QX.getWeak(obj)
  d.forgedStrongOfDead = qxtest.luavar(obj)
  d.forgedWeakOfDead = qxtest.luavar(d.weakOfDead)
  QX_Release(obj)
  d.released = obj
  d.releasedTwice = obj
  QX_Release(obj)
  d.releasedInTable = { udata = obj }
  return d
end

local longString = string.rep("\255x\0", 40000)

-- name -> value; nil is its own entry.
local function battery()
  local v = {}
  local function add(name, x) v[#v + 1] = { name = name, value = x } end
  add("nil", nil)
  for _, x in ipairs { true, false, 0, -1, 1, 0.5, -0.5, 2 ^ 31, -2 ^ 31, 2 ^ 32, 2 ^ 32 + 1, 2 ^ 53, -2 ^ 63,
    2 ^ 64, 1e308, -1e308, 1 / 0, -1 / 0, 4095, 4096, 0x3FFFF } do
    add("value " .. tostring(x), x)
  end
  add("nan", 0 / 0)
  for _, s in ipairs { "", "a\0b", "\0", "0xFFFFFFFFFFFF", "-0x80000000", "  -1", "\255\254\253", "%s%n%d",
    "Widget", "QxTest.Part", "T", "bind_good.fx", "..\\..\\etc\\passwd", "$\\nope" } do
    add("string " .. s, s)
  end
  add("long string", longString)
  add("empty table", {})
  add("array", { 1, 2, 3, 4 })
  add("hostile table", setmetatable({}, hostileMt))
  add("table with hostile udata", { udata = setmetatable({}, hostileMt) })
  add("table with string udata", { udata = "x" })
  local selfish = {}
  selfish[1], selfish.self, selfish.udata = selfish, selfish, selfish
  add("self-holding table", selfish)
  add("vector-like table", { dim = 3, 1, 2, 3 })
  add("hostile vector", setmetatable({ dim = 4 }, hostileMt))
  add("function", function() return 1 end)
  add("raising function", boom("function"))
  add("C function", print)
  add("coroutine", coroutine.create(function() end))
  local dead = coroutine.create(function() end)
  coroutine.resume(dead)
  add("dead coroutine", dead)
  add("light userdata 0", QXInteger(0))
  add("light userdata max", QXInteger(0xFFFFFFFF))
  add("light userdata handle-like", QXInteger(0x00041001))
  add("empty proxy", newproxy(false))
  local hp = newproxy(true)
  for k, f in pairs(hostileMt) do getmetatable(hp)[k] = f end
  add("hostile proxy", hp)
  for name, x in pairs(makeObjects()) do
    add("object " .. name, x)
    add("weak " .. name, QX.getWeak(x))
    add("table of " .. name, { udata = x })
    add("forged copy of " .. name, qxtest.luavar(x))
  end
  for name, x in pairs(deadHandles()) do add(name, x) end
  if bound then
    add("Widget class", Widget)
    add("Panel class", Panel)
    add("GobjMgr class", GobjMgr)
    add("Service class", Service)
    add("Widget_W", Widget_W)
    add("vec3 field userdata", Widget.new().pos)
  end
  add("QX", QX)
  add("_G", _G)
  return v
end

local calls, raised = 0, 0

local function try(f, ...)
  calls = calls + 1
  if not pcall(f, ...) then raised = raised + 1 end
end

-- Calls f with every argument pattern: nothing, each hostile value alone, as self with
-- good arguments, after a good self, and in pairs.
local function hammer(f, goodSelf)
  local b = battery()
  try(f)
  for i = 1, #b do
    local x = b[i].value
    try(f, x)
    try(f, x, x)
    try(f, x, x, x, x, x)
    try(f, x, 1, "a", b[(i % #b) + 1].value)
    if goodSelf then
      local s = goodSelf()
      try(f, s, x)
      try(f, s, x, x)
      try(f, s, 1, x)
      try(f, s, nil, nil, x)
    end
  end
  -- From a coroutine: another lua_State of the same universe, and yields that cannot cross.
  local co = coroutine.create(function()
    local s = goodSelf and goodSelf() or nil
    try(f, s, { 1, 2 }, coroutine.yield)
    try(f, s, function() coroutine.yield() end)
    coroutine.yield()
    try(f, s, 1)
  end)
  coroutine.resume(co)
  coroutine.resume(co)
  collectgarbage("collect")
end

-- Every function reachable from table t (not following into other classes), by name.
local function functionsOf(t, out, prefix, seen)
  seen = seen or {}
  if type(t) ~= "table" or seen[t] then return out end
  seen[t] = true
  for k, v in pairs(t) do
    local name = prefix .. "." .. tostring(k)
    if type(v) == "function" then
      out[#out + 1] = { name = name, fn = v }
    elseif type(v) == "table" and (k == "fvt_hdl" or k == "fvt_ptr" or k == "mt" or k == "mt_w") then
      functionsOf(v, out, name, seen)
    end
  end
  local mt = getmetatable(t)
  if type(mt) == "table" then functionsOf(mt, out, prefix .. "<mt>", seen) end
  return out
end

-- Good selves per class, so that the arguments reach the member call.
local selfMakers = {}
if bound then
  selfMakers.Widget = function() return Widget.new() end
  selfMakers.FancyWidget = function() return FancyWidget.new() end
  selfMakers.Panel = function() return Widget.new().rect end
  selfMakers.Thing = function() return ThingMgr:make(1) end
  selfMakers.ThingMgr = function() return ThingMgr end
  selfMakers.Service = function() return Service end
  selfMakers.Gobj = function() return GobjMgr:newGobj(0) end
  selfMakers.GobjMgr = function() return GobjMgr end
  selfMakers.Widget_W = function() return Widget.new():getweak() end
end

test("every QX function survives hostile arguments", function()
  for _, e in ipairs(functionsOf(QX, {}, "QX")) do
    -- Print and dump show their text in a message box (stderr here): keep it short.
    if e.name ~= "QX.Print" and e.name ~= "QX.dump" then hammer(e.fn) end
  end
  for _, x in ipairs(battery()) do
    try(QX.Print, x.value, 1)
    try(QX.Print, "x", x.value)
    try(QX.dump, x.value)
  end
  hammer(QX_Release)
end)

test("QXInteger and its operators survive hostile operands", function()
  for _, e in ipairs(functionsOf(QXInteger, {}, "QXInteger")) do
    hammer(e.fn, function() return QXInteger(0x80000000) end)
  end
  for _, e in ipairs(functionsOf(QXINT, {}, "QXINT")) do
    hammer(e.fn, function() return QXInteger(0xFFFFFFFF) end)
  end
  local ops = {
    function(a, b) return a + b end, function(a, b) return a - b end, function(a, b) return a * b end,
    function(a, b) return a / b end, function(a, b) return a % b end, function(a, b) return a ^ b end,
    function(a) return -a end, function(a, b) return a == b end, function(a, b) return a < b end,
    function(a, b) return a <= b end, function(a) return QXInteger(a) end,
  }
  for _, x in ipairs(battery()) do
    for _, op in ipairs(ops) do
      for _, q in ipairs { QXInteger(0), QXInteger(0x80000000), QXInteger(0xFFFFFFFF) } do
        try(op, q, x.value)
        try(op, x.value, q)
      end
    end
  end
end)

if bound then
  test("every bound class member survives hostile arguments and selves", function()
    local classes = { "Widget", "FancyWidget", "Panel", "ThingMgr", "Thing", "Service", "GobjMgr", "Gobj",
      "Widget_W", "EffectMgr", "FxData" }
    for _, cname in ipairs(classes) do
      local cls = rawget(_G, cname)
      if type(cls) == "table" then
        for _, e in ipairs(functionsOf(cls, {}, cname)) do
          do
            hammer(e.fn, selfMakers[cname])
            -- Selves of the other classes and the class tables themselves.
            for _, other in ipairs { "Widget", "Panel", "Thing", "Gobj", "GobjMgr", "Service" } do
              if selfMakers[other] then try(e.fn, selfMakers[other](), 1, 2) end
              try(e.fn, rawget(_G, other), 1)
            end
          end
        end
      end
    end
  end)

  test("handle directories survive hostile lookups", function()
    for _, dir in ipairs { QXMGRMT, QXMEMMT } do
      for k, cls in pairs(dir) do
        hammer(function(...) return cls.mt.__index(...) end, selfMakers[cls.name])
        hammer(function(...) return cls.mt.__newindex(...) end, selfMakers[cls.name])
      end
    end
  end)

  test("a field assigned an object that its own __gc releases stays sound", function()
    local t = ThingMgr:make(1)
    for _ = 1, 3 do
      t.keeper = GobjMgr:newGobj(0)
      t.friend = Widget.new()
      collectgarbage("collect")
    end
    t.keeper = nil
    check_error(function() t.keeper = Widget.new() end)
  end)
end

test("the engine is usable afterwards", function()
  collectgarbage("collect")
  print(string.format("%d hostile calls, %d raised", calls, raised))
  check(calls > 10000, "calls made: " .. calls)
  check(raised > 0)
  check_eq(QXInteger(40) + 2, QXInteger(42))
  check_eq(QX.Cmp64Num("2", "10"), -1)
  if bound then
    local w = Widget.new()
    check_eq(w:add(40, 2), 42)
    check(QX.validHdl(w))
    local g = GobjMgr:newGobj(1)
    check(QX.validHdl(g))
    gobjtest.deliver()
    check_eq(Service:ping(1), 2)
  else
    local p = QX.createAux("QxTest.Part", false)
    check(QX.validHdl(p))
    check_eq(QX.GetRefCount(p), 1)
  end
end)
