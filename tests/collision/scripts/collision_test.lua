-- Collision units, pipes, tree sync and queries as scripts use them.

local V2, V3 = QXL.vec2, QXL.vec3
local num = QXInteger.num

local function circle(x, y, r) return COL.Circle.new(V2(x, y), r) end
local function point(x, y) return COL.Point.new(V2(x, y)) end

local function unit(desc, source, flags, owner, id, is3D)
  local u = ColMgr:newCUC(flags or 0, owner, id or 0, ColMgr:cuid(is3D or false, desc))
  if source then u:set_source(source) end
  return u
end

-- collision with a = 0 (no notifications) and b = 2: whether anything hit.
local function hits(a, b, time) return ColMgr:collision(a, b, 0, 2, 0, time or 0) end

test("cuid packs descriptions into unit codes", function()
  local cases = {
    { false, { 3, { 1 } }, 0x13 },
    { true, { 1 }, num(QXInteger("80000001")) },
    { false, { 3, 1 }, 0x1B },
    { false, { 4, "skipped", { 2, { 3 } } }, 0x324 },
    { false, 5, 0 },
    -- Numbers past any integer go through the shared reader: NaN reads 0, huge saturates.
    { false, { 0 / 0, { 1e300 } }, 0x70 },
    { false, { -1e300 }, 0 },
  }
  for _, c in ipairs(cases) do
    check_eq(num(ColMgr:cuid(c[1], c[2])), c[3])
  end
  check_error(function() ColMgr:cuid(false, { 1, 1, 1, 1, 1, 1, 1, 1 }) end)
end)

test("touching circles hit, separated ones and 2D against 3D do not", function()
  local a = unit({ 3 }, circle(0, 0, 1))
  check_eq(a:getcif({}).radius, 1, "a one-level unit's shape takes an empty path")
  check_eq(hits(a, unit({ 3 }, circle(2, 0, 1))), true)
  local sphere = unit({ 1 }, COL.Rect.new(V3(0, 0, 0), 1), 0, nil, 0, true)
  check_eq(hits(sphere, unit({ 1 }, COL.Rect.new(V3(0, 1.5, 0), 0.5), 0, nil, 0, true)), true)
  check_eq(hits(a, sphere), false)
  check_eq(hits(a, ColMgr:create(true)), false, "an empty unit never hits")
  local miss = unit({ 3 }, circle(5, 0, 1))
  check_eq(#ColMgr:collision(a, miss, 0, 0, 0, 0)[1], 0)
  check_eq(ColMgr:collision(a, miss, 0, 1, 0, 0), 0)
  check_error(function() ColMgr:collision(a, {}, 0, 0, 0, 0) end)
  -- Neither an empty unit nor a 3D one stops a walk over a pipe.
  local pipe = ColPipeMgr:create(true)
  pipe:add(ColMgr:create(true)):add(sphere):add(unit({ 3 }, circle(1, 0, 1)))
  check_eq(hits(a, pipe), true)
  check_eq(ColMgr:collision(a, pipe, 9, 2, 0, 0), true, "b below 3 notifies")
end)

test("a circle over rectangles reports the children that hold the point", function()
  local rects = { COL.Rect.new(0, 0, 1, 1), COL.Rect.new(2, 0, 3, 1), COL.Rect.new(2, 0, 4, 1) }
  local a = unit({ 3, { 1 } }, rects)
  local inside = unit({ 4 }, point(2.5, 0.5))
  local first = ColMgr:collision(a, inside, 0, 0, 0, 0)
  check_eq(first[1][1], 1, "the walk stops at the first child that hits")
  check_eq(#first[2], 0)
  check_eq(ColMgr:collision(a, inside, 0, 1, 0, 0), 2)
  check_eq(ColMgr:collision(a, unit({ 4 }, point(9, 9)), 0, 1, 0, 0), 0)
  -- The bounding circle covers far children, also when it is built on the second copy.
  for flags = 0, 1 do
    local far = unit({ 3, { 1 } }, { COL.Rect.new(0, 0, 1, 1), COL.Rect.new(100, 0, 101, 1), COL.Rect.new(200, 0, 201, 1) }, flags)
    far:refresh(1)
    check_eq(ColMgr:collision(far, unit({ 4 }, point(200.5, 0.5)), 0, 0, 0, 1)[1][1], 2)
  end
  check_eq(a:getcif({ 3 }), nil)
end)

test("collision_scp with a = 9 and b = 9 gives positions of partners", function()
  local pipe = ColPipeMgr:create(true)
  pipe:add(unit({ 3 }, circle(0, 0, 1))):add(unit({ 3 }, circle(10, 0, 1))):add(unit({ 3 }, circle(1, 0, 1)))
  local r = ColMgr:collision_scp(pipe, 9, 9, 0, 0)
  check_eq(r[1], 1)
  check_eq(table.concat(r[2], ","), "3")
  -- A pipe against a unit lists the pipe's positions in one list.
  local many = ColPipeMgr:create(true)
  many:add(unit({ 3 }, circle(50, 0, 1))):add(unit({ 3 }, circle(1, 0, 1))):add(unit({ 3 }, circle(-1, 0, 1)))
  local r2 = ColMgr:collision(many, unit({ 3 }, circle(0, 0, 1)), 9, 9, 0, 0)
  check_eq(table.concat(r2[1], ","), "2,3")
  check_eq(r2[2], 1)
  local r3 = ColMgr:collision(unit({ 3 }, circle(0, 0, 1)), many, 9, 9, 0, 0)
  check_eq(r3[1], 1)
  check_eq(table.concat(r3[2], ","), "2,3")
  -- Paths on one side and positions on the other: the walk goes on to every child that hits.
  local kids = unit({ 0, { 3 } }, { circle(0, 0, 1), circle(0.5, 0, 1), circle(50, 0, 1) })
  local r5 = ColMgr:collision(kids, unit({ 3 }, circle(0, 0, 1)), 10, 9, 0, 0)
  check_eq(r5[1][1], 0)
  check_eq(r5[3][1], 1)
  check_eq(r5[5], nil)
  -- A hit in a later row: the partner's position still counts from the pipe's start.
  local late = ColPipeMgr:create(true)
  late:add(unit({ 3 }, circle(0, 0, 1))):add(unit({ 3 }, circle(10, 0, 1))):add(unit({ 3 }, circle(11, 0, 1)))
  local r4 = ColMgr:collision_scp(late, 9, 9, 0, 0)
  check_eq(r4[1], 2)
  check_eq(table.concat(r4[2], ","), "3")
end)

test("collision_pair with a = 9 and b = 9 gives the positions that hit", function()
  local pa, pb = ColPipeMgr:create(true), ColPipeMgr:create(true)
  for i = 1, 3 do
    pa:add(unit({ 3 }, circle(i * 10, 0, 1)))
    pb:add(unit({ 3 }, circle(i * 10 + (i == 2 and 5 or 1), 0, 1)))
  end
  check_eq(table.concat(ColMgr:collision_pair(pa, pb, 9, 9, 0, 0), ","), "1,1,3,3")
end)

local Owner = QXL.gobj_class()
function Owner:recvmsg(_, name, ...)
  self.got[#self.got + 1] = { name = name, ... }
  if self.answer then return self.answer(self, ...) end
end
local function owner(answer)
  local o = Owner.new(0)
  o.got, o.answer = {}, answer
  return o
end

test("CUC_NOTIFY: choice 0 is mirrored, an odd one swaps once, no handler goes on", function()
  local oa = owner(function() return 0, true end)
  local ob = owner(function() return 1, true end)
  local a = unit({ 3 }, circle(0, 0, 1), 0, oa, 11)
  local b = unit({ 3 }, circle(1, 0, 1), 0, ob, 12)
  check_eq(ColMgr:collision(a, b, 1, 2, 7, 0), true)
  check_eq(#oa.got, 1)
  check_eq(#ob.got, 1)
  local m = ob.got[1]
  check_eq(m.name .. m[1]:get_id() .. tostring(m[2]) .. m[3], "CUC_NOTIFY11false7", "the other unit, not first")
  check_eq(oa.got[1][2], true)
  -- Choices that are no integer: NaN reads 0 (mirrored), a huge one saturates (swapped once).
  for _, c in ipairs { { 0 / 0, false }, { 1e300, true }, { -1e300, false } } do
    oa.answer, oa.got, ob.got = function() return c[1], true end, {}, {}
    ColMgr:collision(a, b, 1, 2, 0, 0)
    check_eq(#ob.got, 1, tostring(c[1]))
    check_eq(ob.got[1][2], c[2], tostring(c[1]))
  end
  -- An odd choice swaps the owners once.
  oa.answer, ob.answer, oa.got, ob.got = function() return 5, true end, function() return 5, true end, {}, {}
  ColMgr:collision(a, b, 1, 2, 0, 0)
  check_eq(#oa.got, 1)
  check_eq(#ob.got, 1)
  -- A unit without a handler does not stop the walk.
  local seen = 0
  local o = owner(function() seen = seen + 1 return 1, false end)
  local pipe = ColPipeMgr:create(true)
  pipe:add(unit({ 3 }, circle(0, 0, 1))):add(unit({ 3 }, circle(0, 0, 1), 0, o))
  check_eq(ColMgr:collision(pipe, unit({ 3 }, circle(0, 0, 1)), 1, 2, 0, 0), true)
  check_eq(seen, 1)
end)

test("CUC_NOTIFY_TOP and CUC_NOTIFY_LOW report each turn's hits to the A unit's owner", function()
  for a = 2, 3 do
    local oa, ob = owner(), owner()
    local pipe = ColPipeMgr:create(true)
    pipe:add(unit({ 0, { 3 } }, { circle(50, 0, 1), circle(0, 0, 1) }, 0, oa))
    pipe:add(unit({ 0, { 3 } }, { circle(90, 0, 1) }, 0, oa))
    check_eq(ColMgr:collision(pipe, unit({ 4 }, point(0, 0), 0, ob), a, 1, 5, 0), 1)
    check_eq(#oa.got, 1, "a turn without hits is not reported")
    local m = oa.got[1]
    check_eq(m.name, a == 2 and "CUC_NOTIFY_TOP" or "CUC_NOTIFY_LOW")
    check_eq(m[1], 5)
    check_eq(#m[2], 1)
    if a == 3 then
      check_eq(#m[3], 1)
      check_eq(m[3][1][1], 1, "A's path")
      check_eq(#m[4][1], 0, "B's path")
    end
    check_eq(#ob.got, 0)
  end
end)

test("transforms move children; spheres over spheres keep their bound", function()
  local function ball(x, r) return COL.Rect.new(V3(x, 0, 0), r) end
  local src = { ball(0, 1), ball(4, 1), _tf = { pos = V3(100, 0, 0) } }
  local u = unit({ 1, { 1 } }, src, 1, nil, 0, true)
  local probe = unit({ 1 }, ball(104, 0.5), 0, nil, 0, true)
  check_eq(ColMgr:collision(u, probe, 0, 0, 0, 1)[1][1], 1)
  check_eq(ColMgr:collision(u, unit({ 1 }, ball(4, 0.5), 0, nil, 0, true), 0, 1, 0, 1), 0)
  check_eq(u:getcif({ 1 }).center.x, 104)

  -- A turned or mirrored rectangle is tested by the bounds of its four corners.
  local function r2(v) return math.floor(v * 100 + 0.5) / 100 end
  for _, r in ipairs {
    -- the square 0..10's transform, its bounds, a point inside them, one outside, the
    -- square's corners when not 0, 0, 10, 10
    { { rot = math.pi / 2 }, "-10,0,0,10", V2(-5, 5), V2(5, 5) },
    { { rot = math.pi }, "-10,-10,0,0", V2(-5, -5), V2(5, 5) },
    { { rot = math.pi / 4 }, "-7.07,0,7.07,14.14", V2(-5, 7), V2(9, 7) },
    { { scale = V2(-1, 1) }, "-10,0,0,10", V2(-5, 5), V2(5, 5) },
    { { scale = V2(1, -2), pos = V2(100, 0) }, "100,-20,110,0", V2(105, -15), V2(105, 5) },
    -- Written right to left or bottom to top: the same bounds hit with no transform and with one
    -- that changes nothing.
    { nil, "10,0,0,10", V2(5, 5), V2(15, 5), { 10, 0, 0, 10 } },
    { {}, "0,0,10,10", V2(5, 5), V2(-5, 5), { 10, 0, 0, 10 } },
    { nil, "10,10,0,0", V2(5, 5), V2(5, 15), { 10, 10, 0, 0 } },
  } do
    for flags = 1, 3, 2 do
      local t = unit({ 0, { 1 } }, { COL.Rect.new(unpack(r[5] or { 0, 0, 10, 10 })), _tf = r[1] }, flags)
      t:refresh(1)
      local b = t:getcif({ 0 })
      check_eq(table.concat({ r2(b.left), r2(b.top), r2(b.right), r2(b.bottom) }, ","), r[2], r[2])
      check_eq(hits(t, unit({ 4 }, COL.Point.new(r[3])), 1), true, r[2])
      check_eq(hits(t, unit({ 4 }, COL.Point.new(r[4])), 1), false, r[2])
    end
  end
end)

test("a handler that empties the pipe during a query ends nothing early", function()
  local pipe = ColPipeMgr:create(true)
  local seen = 0
  local o = owner(function()
    seen = seen + 1
    while pipe:size() > 0 do pipe:remove(pipe:get(0)) end
    return 1, false
  end)
  for i = 1, 4 do pipe:add(unit({ 3 }, circle(i * 0.1, 0, 1), 0, o)) end
  check_eq(ColMgr:collision(pipe, unit({ 3 }, circle(0, 0, 1)), 1, 1, 0, 0), 4)
  check_eq(seen, 4)
  check_eq(pipe:get(0), nil)
end)

test("a unit a handler moves during a query is tested where it now is", function()
  -- A unit moved after a later row's copy was taken is read afresh there.
  local d = unit({ 3 }, circle(0.5, 0, 1))
  local mover = owner(function()
    d:set_source(circle(100, 0, 1))
    return 1, false
  end)
  local rows = ColPipeMgr:create(true)
  rows:add(unit({ 3 }, circle(0, 0, 1), 0, mover)):add(unit({ 3 }, circle(100, 0, 1)))
  rows:add(unit({ 3 }, circle(200, 0, 1))):add(d)
  check_eq(ColMgr:collision_scp(rows, 1, 1, 0, 0), 2)
end)

local function xsOf(u, n)
  local xs = {}
  for i = 0, n - 1 do xs[#xs + 1] = u:getcif({ i }).center.x end
  return table.concat(xs, ",")
end

test("removals fill from the end and additions append", function()
  local src = {}
  for i = 1, 5 do src[i] = circle(i * 10, 0, 1) end
  local u = unit({ 0, { 3 } }, src, 2)
  local told = 0
  function src:do_remchild()
    told = told + 1
    COL.CUC.methods.do_remchild(self)
  end
  src:remove(2)
  src:remove(99)
  u:refresh(1)
  check_eq(xsOf(u, 4), "10,50,30,40")
  check_eq(u:getcif({ 4 }), nil)
  src:remove(3)
  u:refresh(1.5)
  check_eq(xsOf(u, 3), "10,50,40", "the last hole takes the last block")
  src:add(circle(30, 0, 1))
  src:add(circle(60, 0, 1))
  check_eq(hits(u, unit({ 4 }, point(60, 0)), 3), true, "the query refreshes the unit")
  check_eq(hits(u, unit({ 4 }, point(20, 0)), 3), false)
  check_eq(told, 2, "told of each refresh with a removal list, and only then")
end)

test("refresh runs once per later time", function()
  local calls = 0
  local src = { circle(0, 0, 1) }
  function src:cnv_tbl(name)
    calls = calls + 1
    COL.CUC.methods.cnv_tbl(self, name)
  end
  local u = unit({ 0, { 3 } }, src, 1)
  u:refresh(1)
  check_eq(calls, 1)
  src:changed(1)
  u:refresh(1)
  u:refresh(0.5)
  check_eq(calls, 1)
  u:refresh(2)
  check_eq(calls, 2)
end)

test("a refresh that fails leaves the unit usable, even at the same time", function()
  local src = { circle(10, 0, 1), circle(20, 0, 1), circle(30, 0, 1) }
  local u = unit({ 0, { 3 } }, src, 2)
  src:remove(1)
  src:add(circle(40, 0, 1))
  src:add(5)
  check_error(function() u:refresh(1) end)
  check_eq(#src, 2, "do_remchild ran before the bad entry")
  rawset(src, "_addlist", { circle(40, 0, 1) })
  u:refresh(1)
  check_eq(xsOf(u, 3), "30,20,40")
  check_eq(hits(u, unit({ 4 }, point(40, 0)), 1), true)
  check_eq(hits(u, unit({ 4 }, point(10, 0)), 1), false)

  -- A bad node in another subtree: no tree holds until the script mends it.
  local deep = { { circle(0, 0, 1) }, { circle(50, 0, 1), circle(60, 0, 1) } }
  local d = unit({ 0, { 0, { 3 } } }, deep, 2)
  deep[2]:remove(1)
  rawset(deep[1], 1, 5)
  check_error(function() d:refresh(1) end)
  check_eq(d:getcif({ 1, 0 }), nil)
  rawset(deep[1], 1, circle(0, 0, 1))
  d:refresh(1)
  check_eq(d:getcif({ 1, 0 }).center.x, 60)
  check_eq(hits(d, unit({ 4 }, point(0, 0)), 1), true)
end)

test("an added child is transformed at the first refresh; a quiet refresh or one moved group allocates nothing", function()
  local src = { circle(0, 0, 1), _tf = { pos = V2(100, 0) } }
  local u = unit({ 0, { 3 } }, src, 3)
  u:refresh(1)
  src:add(circle(5, 0, 1))
  u:refresh(2)
  check_eq(u:getcif({ 1 }).center.x, 105)
  check_eq(hits(u, unit({ 4 }, point(105, 0)), 2), true)
  for flags = 1, 3 do
    local tsrc = { { circle(0, 0, 1) }, { circle(5, 0, 1), circle(6, 0, 1) } }
    local t = unit({ 0, { 0, { 3 } } }, tsrc, flags)
    t:refresh(1)
    local before = coltest.treeAllocs()
    t:refresh(2)
    tsrc[2]._tf = { pos = V2(9, 0) }
    tsrc[2]:chg_all()
    t:refresh(3)
    check_eq(coltest.treeAllocs(), before, "flags " .. flags)
    check_eq(t:getcif({ 1, 1 }).center.x, flags == 2 and 6 or 15, "flags " .. flags)
  end
end)

test("a handler that refreshes the unit being walked leaves the walk its old tree", function()
  local src = { circle(0, 0, 1), circle(0, 0, 1), circle(0, 0, 1) }
  local u
  local seen = 0
  local o = owner(function()
    seen = seen + 1
    for i = 1, 3 do src:remove(i) end
    u:refresh(seen + 10)
    return 1, false
  end)
  u = unit({ 0, { 3 } }, src, 2, o)
  check_eq(ColMgr:collision(u, unit({ 4 }, point(0, 0)), 1, 1, 0, 0), 1)
  check_eq(seen, 1)
  check_eq(u:getcif({ 0 }), nil)
end)

test("removed subtrees are filled by the last one", function()
  local src = {}
  for i = 1, 4 do src[i] = { circle(i, 0, 1) } end
  local u = unit({ 0, { 0, { 3 } } }, src, 2)
  src:remove(3)
  u:refresh(1)
  check_eq(u:getcif({ 2, 0 }).center.x, 4)
  check_eq(u:getcif({ 3, 0 }), nil)
end)

test("bounds follow children that moved unlisted, also behind another shape", function()
  local r = COL.Rect.new(0, 0, 1, 1)
  local u = unit({ 3, { 1 } }, { r, COL.Rect.new(2, 0, 3, 1) }, 2)
  r.left, r.right = 50, 51
  u:refresh(1)
  check_eq(hits(u, unit({ 4 }, point(50.5, 0.5)), 1), true)
  -- A node with a segment (left at the origin) before its bounding circle: the bound is
  -- its last shape.
  local two = unit({ 2, 3, { 4 } }, { point(5, 0), point(7, 0) })
  check_eq(hits(two, unit({ 3 }, circle(3, 0, 3.5))), true)
end)

test("a malformed tree leaves the unit as it was", function()
  local src = { circle(0, 0, 1) }
  local u = unit({ 0, { 3 } }, src, 2)
  src:add(5)
  check_error(function() u:refresh(1) end)
  check_eq(hits(u, unit({ 4 }, point(0, 0)), 2), true)
  check_error(function() u:set_source({ 5 }) end)
  check_eq(u:getcif({ 0 }).radius, 1)
end)


test("every change reaches the tested copy through the transforms above it", function()
  local tf = { pos = V2(100, 0) }
  -- The second group under a transformed root moves its child and takes a transform too:
  -- flags bit 0 maps through the transforms, bit 1 rereads the shapes.
  local function moved(flags, mark)
    local src = { { circle(0, 0, 1) }, { circle(50, 0, 1) }, _tf = tf }
    local u = unit({ 0, { 0, { 3 } } }, src, flags)
    u:refresh(1)
    src[2][1].center, src[2]._tf = V2(7, 0), { pos = V2(1000, 0) }
    mark(src)
    u:refresh(2)
    local x = ({ 1150, 7, 1107 })[flags]
    check_eq(u:getcif({ 1, 0 }).center.x, x, "flags " .. flags)
    check_eq(hits(u, unit({ 4 }, point(x, 0)), 2), true, "flags " .. flags)
    return src, u
  end
  for flags = 1, 3 do
    moved(flags, function(src)  -- lists given as sets
      rawset(src, "_chglist", { [2] = true })
      rawset(src[2], "_chglist", { [1] = true })
    end)
    moved(flags, function(src) src:changed(2) end)  -- the group marked by its parent
    local src, u = moved(flags, function(src) src[2]:changed(1) end)  -- marked in the group alone
    if flags == 3 then
      src[2]:add(circle(5, 0, 1))
      u:refresh(3)
      check_eq(u:getcif({ 1, 1 }).center.x, 1105, "an added child")
      check_eq(hits(u, unit({ 4 }, point(1105, 0)), 3), true, "an added child")
    end
  end
  -- A unit left by a failed refresh is tested where its transforms put it, until one gets through.
  local src = { circle(10, 0, 1), circle(20, 0, 1), _tf = tf }
  local u = unit({ 0, { 3 } }, src, 3)
  src:add(5)
  check_error(function() u:refresh(1) end)
  check_eq(xsOf(u, 2), "110,120", "after a failed refresh")
  check_eq(hits(u, unit({ 4 }, point(110, 0)), 1), true, "after a failed refresh")
  check_eq(hits(u, unit({ 4 }, point(10, 0)), 1), false, "after a failed refresh")
  rawset(src, "_addlist", { circle(30, 0, 1) })
  u:refresh(2)
  check_eq(xsOf(u, 3), "110,120,130")

  -- Marks made in the refresh of a removal, before or after it, go with the children they
  -- name; a removed child's mark goes with it. For leaves and for groups of one leaf.
  for _, group in ipairs { false, true } do
    local function kid(x) return group and { circle(x, 0, 1) } or circle(x, 0, 1) end
    local function move(s, i, x) (group and s[i][1] or s[i]).center = V2(x, 0) end
    local function mark(s, i) if group then s[i]:changed(1) else s:changed(i) end end
    local rows = {
      -- what, the script's changes, the tested centres of the children left (on flags 2
      -- when they differ)
      { "marked before the remove", function(s) move(s, 4, 33) mark(s, 4) s:remove(2) end, "10,33,30" },
      { "marked after the remove", function(s) move(s, 4, 33) s:remove(2) mark(s, 4) end, "10,33,30" },
      { "two into two holes", function(s)
          move(s, 3, 35) move(s, 4, 45) mark(s, 4) s:remove(1) mark(s, 3) s:remove(2)
        end, "45,35" },
      { "marked by hand as sets", function(s)
          move(s, 4, 33) s:remove(2)
          rawset(s, "_chglist", { [4] = true })
          if group then rawset(s[4], "_chglist", { [1] = true }) end
        end, "10,33,30" },
      -- The child moved into its slot keeps waiting for a mark of its own (flags 3).
      { "the removed child marked", function(s) move(s, 2, 25) mark(s, 2) move(s, 4, 45) s:remove(2) end,
        "10,40,30", "10,45,30" },
      { "a child that stays marked", function(s) move(s, 3, 35) mark(s, 3) s:remove(2) end, "10,40,35" },
      -- An index past the end is used up by its refresh, not kept for a child added later.
      { "a remove past the end, then an add", function(s, u)
          s:remove(4) u:refresh(1.2) s:remove(4) u:refresh(1.4) s:add(kid(50)) u:refresh(1.6)
        end, "10,20,30,50" },
    }
    for _, r in ipairs(rows) do
      for flags = 2, 3 do
        local s = {}
        for i = 1, 4 do s[i] = kid(i * 10) end
        local u = unit(group and { 0, { 0, { 3 } } } or { 0, { 3 } }, s, flags)
        u:refresh(1)
        r[2](s, u)
        u:refresh(2)
        local xs = {}
        for i = 0, #s - 1 do xs[#xs + 1] = u:getcif(group and { i, 0 } or { i }).center.x end
        local what = r[1] .. (group and " in a group" or "") .. ", flags " .. flags
        check_eq(table.concat(xs, ","), flags == 2 and r[4] or r[3], what)
        for _, x in ipairs(xs) do check_eq(hits(u, unit({ 4 }, point(x, 0)), 3), true, what .. " at " .. x) end
      end
    end
  end

  -- A list written by hand below the root, which the root does not list, stops no later mark.
  for flags = 1, 3, 2 do
    local leaf = circle(0, 0, 1)
    local inner = { leaf }
    local outer = { inner }
    local u = unit({ 0, { 0, { 0, { 3 } } } }, { outer }, flags)
    u:refresh(1)
    rawset(outer, "_chglist", { 1 })
    u:refresh(2)
    leaf.center, inner._tf = V2(7, 0), { pos = V2(50, 0) }
    inner:changed(1)
    u:refresh(3)
    check_eq(u:getcif({ 0, 0, 0 }).center.x, flags == 1 and 50 or 57, "flags " .. flags)
  end
end)
