-- All its runner (qxlua_qx or qxlua_bind) binds, under hostile values: raising is fine, a crash is not.

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

local function boom() error("hostile", 0) end
local hostileMt = {}
for _, k in ipairs { "__index", "__newindex", "__len", "__tostring", "__call", "__eq", "__lt", "__le", "__concat",
  "__unm", "__add" } do
  hostileMt[k] = boom
end

-- A fresh set for each walk, since calls may release them.
local function objects()
  if bound then
    return { Widget.new(), FancyWidget.new(), ThingMgr:make(3), GobjMgr:newGobj(0), Widget.new().rect }
  end
  return { QX.createAux("QxTest.Part", false), QX.createAux("QxTest.Whole", false), QX.createAux("QxTest.Part", true) }
end

local longString = string.rep("\255x\0", 40000)

local function pack(...) return { n = select("#", ...), ... } end

-- The values, nil first (b.n counts them).
local function battery()
  local selfish = {}
  selfish[1], selfish.self, selfish.udata = selfish, selfish, selfish
  local deadCo = coroutine.create(function() end)
  coroutine.resume(deadCo)
  local hp = newproxy(true)
  for k, f in pairs(hostileMt) do getmetatable(hp)[k] = f end
  local b = pack(nil, true, -1, 0.5, 2 ^ 32 + 1, -2 ^ 63, 1 / 0, 0 / 0, "", "a\0b", "0xFFFFFFFFFFFF", "%s%n%d",
    "Widget", "QxTest.Part", "..\\..\\etc\\passwd", longString, {}, setmetatable({}, hostileMt),
    { udata = setmetatable({}, hostileMt) }, { udata = "x" }, selfish, setmetatable({ dim = 4 }, hostileMt), boom,
    deadCo, QXInteger(0xFFFFFFFF), newproxy(false), hp, QX)
  local function add(x) b.n = b.n + 1 b[b.n] = x end
  for _, x in ipairs(objects()) do
    add(x)
    add(QX.getWeak(x))
    add({ udata = x })
    add(qxtest.luavar(x))  -- a forged byte copy
  end
  -- A strong handle to an object that is gone, its weak twin and byte copies of both.
  local dead = bound and Widget.new() or QX.createAux("QxTest.Part", false)
  local weakOfDead = QX.getWeak(dead)
  add(weakOfDead)
  add(qxtest.luavar(dead))
  add(qxtest.luavar(weakOfDead))
  QX_Release(dead)
  QX_Release(dead)
  add(dead)
  add({ udata = dead })
  if bound then
    for _, x in ipairs { Widget, Panel, GobjMgr, Service, Widget_W, Widget.new().pos } do add(x) end
  end
  return b
end

local calls, raised = 0, 0

local function try(f, ...)
  calls = calls + 1
  if not pcall(f, ...) then raised = raised + 1 end
end

-- f with each value alone, repeated, as self, and after a good self.
local function hammer(f, goodSelf)
  local b = battery()
  try(f)
  for i = 1, b.n do
    local x = b[i]
    try(f, x)
    try(f, x, x, x)
    try(f, x, 1, "a", b[(i % b.n) + 1])
    if goodSelf then
      local s = goodSelf()
      try(f, s, x, x)
      try(f, s, 1, x)
    end
  end
  -- Another lua_State of the same universe, and a yield that cannot cross.
  coroutine.resume(coroutine.create(function() try(f, goodSelf and goodSelf(), function() coroutine.yield() end) end))
  collectgarbage("collect")
end

-- Every function reachable from t, not following into other classes.
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
  selfMakers = {
    Widget = Widget.new, FancyWidget = FancyWidget.new, Panel = function() return Widget.new().rect end,
    Thing = function() return ThingMgr:make(1) end, ThingMgr = function() return ThingMgr end,
    Service = function() return Service end, Gobj = function() return GobjMgr:newGobj(0) end,
    GobjMgr = function() return GobjMgr end, Widget_W = function() return Widget.new():getweak() end,
  }
end

test("every QX function survives hostile arguments", function()
  for _, e in ipairs(functionsOf(QX, {}, "QX")) do
    -- Print and dump show their text in a message box (stderr here): keep it short.
    if e.name ~= "QX.Print" and e.name ~= "QX.dump" then hammer(e.fn) end
  end
  local b = battery()
  for i = 1, b.n do
    try(QX.Print, b[i], 1)
    try(QX.Print, "x", b[i])
    try(QX.dump, b[i])
  end
  hammer(QX_Release)
end)

if bound then
  test("every bound class member survives hostile arguments and selves", function()
    for _, cname in ipairs { "Widget", "FancyWidget", "Panel", "ThingMgr", "Thing", "Service", "GobjMgr", "Gobj",
      "Widget_W", "EffectMgr", "FxData" } do
      for _, e in ipairs(functionsOf(rawget(_G, cname), {}, cname)) do
        hammer(e.fn, selfMakers[cname])
      end
    end
  end)
end

test("the engine is usable afterwards", function()
  collectgarbage("collect")
  print(string.format("%d hostile calls, %d raised", calls, raised))
  check(calls > 3000, "calls made: " .. calls)
  check(raised > 0)
  check_eq(QXInteger(40) + 2, QXInteger(42))
  if bound then
    local w = Widget.new()
    check_eq(w:add(40, 2), 42)
    check(QX.validHdl(w))
    check(QX.validHdl(GobjMgr:newGobj(1)))
    gobjtest.deliver()
    check_eq(Service:ping(1), 2)
  else
    local p = QX.createAux("QxTest.Part", false)
    check(QX.validHdl(p))
    check_eq(QX.GetRefCount(p), 1)
  end
end)
