-- Hostile arguments, selves, source trees and node lists: raising is fine, a crash or a wedged unit is not.

local V2 = QXL.vec2
local function circle(x, y, r) return COL.Circle.new(V2(x, y), r) end
local function boom() error("hostile", 0) end
local raising = { __index = boom, __newindex = boom, __len = boom }

local function unit(flags)
  local u = ColMgr:newCUC(flags, nil, 1, ColMgr:cuid(false, { 3, { 1 } }))
  u:set_source({ COL.Rect.new(0, 0, 1, 1), COL.Rect.new(2, 2, 3, 3) })
  return u
end

local function values()
  local loop = {}
  loop[1], loop[2] = 1, loop
  return { true, -1, 2 ^ 40, 0 / 0, "ffffffff", loop, setmetatable({}, raising), { 5, "x", {} },
    { -1, 99, 0.5 }, ColPipeMgr:create(true), unit(3), QXInteger(7), print }
end

local calls, raised = 0, 0
local function try(...)
  calls = calls + 1
  if not pcall(...) then raised = raised + 1 end
end

test("every collision method survives hostile arguments and selves", function()
  local vs = values()
  local u, pipe = unit(3), ColPipeMgr:create(true)
  pipe:add(u):add(unit(0))
  local all = { "create", "newCUC", "cuid", "collision", "collision_scp", "collision_pair" }
  for self, names in pairs { [ColMgr] = all,
    [u] = { "set_source", "get_source", "refresh", "getcif", "get_gobj", "get_id" },
    [pipe] = { "add", "has", "remove", "get", "size" } } do
    for _, name in ipairs(names) do
      for i = 1, #vs + 1 do
        try(self[name], ColPipeMgr, vs[i])
        for j = 1, #vs + 1 do
          try(self[name], self, vs[i], vs[j], vs[i], vs[j], 1)
          try(self[name], self, pipe, vs[i], vs[j], 9, 1)
        end
      end
    end
  end
end)

test("hostile trees and node lists leave units usable", function()
  local probe = ColMgr:newCUC(0, nil, 0, ColMgr:cuid(false, { 4 }))
  probe:set_source(COL.Point.new(V2(0.5, 0.5)))
  local u = ColMgr:newCUC(3, nil, 0, ColMgr:cuid(false, { 0, { 3 } }))
  u:set_source({ circle(0.5, 0.5, 1) })
  local src = u:get_source()
  check(not pcall(u.set_source, u, setmetatable({ circle(0, 0, 1) }, raising)))
  local lists = {
    { "_remlist", { 0 / 0, -1, 1e308, "x", 1, 1, 7 } },
    { "_addlist", { 5 } },
    { "_chglist", { 0 / 0, 2 ^ 40, -3, "y" } },
    { "_tf", { pos = "x", rot = {}, scale = setmetatable({}, raising) } },
    { "cnv_tbl", boom },
    { "do_addchild", boom },
  }
  local time = 0
  for _, l in ipairs(lists) do
    rawset(src, l[1], l[2])
    time = time + 1
    try(u.refresh, u, time)
    rawset(src, l[1], nil)
    rawset(src, "_addlist", nil)
    rawset(src, "_remlist", nil)
  end
  check_eq(ColMgr:collision(u, probe, 0, 2, 0, time + 1), #src > 0)
  check(calls > 1000)

  -- Two nodes written as each other's child and parent: a mark still ends.
  local a, b = setmetatable({}, COL.CUC.meta), setmetatable({}, COL.CUC.meta)
  a[1], b[1], a._parent, b._parent = b, a, b, a
  a:changed(1)
  check_eq(table.concat(b._chglist, ","), "1")
end)
