-- Collision shapes and collision-tree nodes. require("COL") after require("QXL").
--
-- A collision unit's source is a tree of tables: a leaf is a shape made by one of the
-- constructors below; a node with children holds them in its array part (1..n) and gets
-- the metatable COL.CUC.meta when the unit takes the tree. Change a tree through the
-- node methods, then let the unit's refresh apply the lists:
--
--   node:add(child)       appends child on the next refresh ("_addlist"), marked changed
--                         so that the same refresh maps it through the transforms
--   node:remove(i)        removes child i on the next refresh ("_remlist"); the removed
--                         slots are filled from the end, the last survivors first; an
--                         index that names no child then is dropped
--   node:changed(i)       child i's values or its "_tf" changed ("_chglist"); a group
--                         child has its whole subtree marked
--   node:chg_all()        marks every child of the subtree changed
--
-- Marks reach the node from the root: the change pass starts there and follows the lists,
-- so every ancestor lists the child on the way down as well.
--
-- Shapes (2D / 3D; vectors are QXL.vec2 / QXL.vec3):
--   COL.Rect.new(left, top, right, bottom)      COL.Rect.new(center, radius) (a sphere)
--   COL.Line2D.new(from, to)                    COL.Line.new(from, to)
--   COL.Circle.new(center, radius)              COL.Capsule.new(from, to, radius)
--   COL.Point.new(point)                        COL.Cylinder.new(from, to, radius)
--                                               COL.Polygon.new(pt0, pt1, pt2)

COL = COL or {}

local function shapeClass(fields)
  local C = {}
  C.__index = C
  C.new = function(...)
    local s = {}
    for i, name in ipairs(fields) do
      s[name] = select(i, ...)
    end
    return setmetatable(s, C)
  end
  return C
end

COL.Rect = shapeClass({ "left", "top", "right", "bottom" })
local newRect = COL.Rect.new
function COL.Rect.new(a, ...)
  if type(a) == "table" then
    return setmetatable({ center = a, radius = (...) }, COL.Rect)
  end
  return newRect(a, ...)
end
COL.Line2D = shapeClass({ "from", "to" })
COL.Circle = shapeClass({ "center", "radius" })
COL.Point = shapeClass({ "point" })
COL.Line = shapeClass({ "from", "to" })
COL.Capsule = shapeClass({ "from", "to", "radius" })
COL.Cylinder = shapeClass({ "from", "to", "radius" })
COL.Polygon = shapeClass({ "pt0", "pt1", "pt2" })

local Node = {}
COL.CUC = { methods = Node, meta = { __index = Node } }

local function append(node, name, value)
  local list = rawget(node, name)
  if type(list) ~= "table" then
    list = {}
    rawset(node, name, list)
  end
  list[#list + 1] = value
end

-- Where a node was last seen in its parent's array part; checked before it is trusted.
local slotOf = setmetatable({}, { __mode = "k" })

local function slotIn(parent, node)
  local i = slotOf[node]
  if i and rawget(parent, i) == node then
    return i
  end
  -- One pass notes every sibling, so marks under many of them stay cheap.
  for j = 1, #parent do
    local child = rawget(parent, j)
    if type(child) == "table" then
      slotOf[child] = j
    end
  end
  i = slotOf[node]
  if i and rawget(parent, i) == node then
    return i
  end
end

-- A unit's tree has at most this many levels, so a path up from a node is shorter; the
-- bound also ends a "_parent" chain written by hand that loops.
local MAX_LEVELS = 8

-- Lists the node in its parent's "_chglist", the parent in its own, and so on up to the
-- root. Every ancestor is visited: a list that already names the way may have been written
-- by hand below a node that does not list it.
local function markPath(node)
  local parent = rawget(node, "_parent")
  for _ = 1, MAX_LEVELS do
    if type(parent) ~= "table" then
      return
    end
    local i = slotIn(parent, node)
    if not i then
      return
    end
    local list = rawget(parent, "_chglist")
    if type(list) ~= "table" or list[#list] ~= i then
      append(parent, "_chglist", i)
    end
    node, parent = parent, rawget(parent, "_parent")
  end
end

-- Each node once: children written by hand may loop or repeat.
local function markAll(node, seen)
  seen = seen or {}
  seen[node] = true
  local list = {}
  for i = 1, #node do
    list[i] = i
    local child = rawget(node, i)
    if type(child) == "table" and not seen[child] and getmetatable(child) == COL.CUC.meta then
      markAll(child, seen)
    end
  end
  rawset(node, "_chglist", list)
end

function Node:add(child)
  append(self, "_addlist", child)
end

function Node:remove(i)
  append(self, "_remlist", i)
end

function Node:changed(i)
  append(self, "_chglist", i)
  -- A group's "_tf" reaches its shapes only through marks on every node below it.
  local child = rawget(self, i)
  if type(child) == "table" and getmetatable(child) == COL.CUC.meta then
    markAll(child)
  end
  markPath(self)
end

-- Index lists may be arrays ({2, 5}) or sets ({[2] = true}); the engine reads them as
-- ascending arrays without repeats.
local function indices(list)
  local seen, out = {}, {}
  for k, v in pairs(list) do
    local i = (v == true) and k or v
    if type(i) == "number" and i == i and not seen[i] then
      seen[i] = true
      out[#out + 1] = i
    end
  end
  table.sort(out)
  return out
end

function Node:cnv_tbl(name)
  local list = rawget(self, name)
  if name == "_addlist" or type(list) ~= "table" then
    return
  end
  rawset(self, name, indices(list))
end

function Node:do_addchild()
  local list = rawget(self, "_addlist")
  rawset(self, "_addlist", nil)
  if type(list) ~= "table" then
    return
  end
  for _, child in ipairs(list) do
    local i = #self + 1
    rawset(self, i, child)
    -- The change pass after this one then maps the new child (and its subtree).
    append(self, "_chglist", i)
    if type(child) == "table" then
      slotOf[child] = i
      if getmetatable(child) == COL.CUC.meta then
        markAll(child)
      end
    end
  end
  if #list > 0 then
    markPath(self)
  end
end

-- Moves the children the way the engine moved their blocks.
function Node:do_remchild()
  local list = rawget(self, "_remlist")
  rawset(self, "_remlist", nil)
  if type(list) ~= "table" then
    return
  end
  local n = #self
  local gone, kept = {}, n
  for _, k in ipairs(list) do
    if type(k) == "number" and k >= 1 and k <= n and k % 1 == 0 and not gone[k] then
      gone[k] = true
      kept = kept - 1
    end
  end
  local filler, moved = n, {}
  for hole = 1, kept do
    if gone[hole] then
      while gone[filler] do
        filler = filler - 1
      end
      rawset(self, hole, rawget(self, filler))
      moved[filler] = hole
      gone[filler] = true
      filler = filler - 1
    end
  end
  for i = n, kept + 1, -1 do
    rawset(self, i, nil)
  end
  -- The change pass of this refresh reads "_chglist" after the move: marks go with the
  -- children they name, and a removed child's mark goes with it.
  local marks = rawget(self, "_chglist")
  if type(marks) == "table" then
    local out = {}
    for _, i in ipairs(indices(marks)) do
      local to = moved[i] or (not gone[i] and i)
      if to then
        out[#out + 1] = to
      end
    end
    table.sort(out)
    rawset(self, "_chglist", out)
  end
end

function Node:chg_all()
  markAll(self)
  markPath(self)
end
