-- QXL: the script library that the engine's generated class definitions and its value
-- conversions rely on. require("QXL") once, before any engine class is bound.
--
--   QXL.join(dst, src)      copies every field of src into dst; gives dst
--   derived_fromC(C)        a script class over the engine class C (also QXL.derived_fromC)
--   QXL.vec2/vec3/vec4/quat vector values: QXL.vec3.new(1, 2, 3), or QXL.vec3(1, 2, 3)
--
-- Engine objects are reached through tables that hold the object's strong handle in
-- their field "udata"; derived_fromC and QXL.bridge give such tables the methods and
-- fields of the engine class.

QXL = QXL or {}

function QXL.join(dst, src)
  for k, v in pairs(src) do
    dst[k] = v
  end
  return dst
end

-- Makes cls the metatable of instances over the engine class C: keys resolve to cls's
-- own fields first, then to C's methods, then to C's fields (read with the instance),
-- and writes to C's fields reach the engine object; other writes stay in the instance.
function QXL.bridge(cls, C)
  local fvt_hdl, fvt_b = C.fvt_hdl, C.fvt_b
  cls.__index = function(inst, key)
    local v = cls[key]
    if v ~= nil then
      return v
    end
    local f = fvt_hdl[key]
    if f ~= nil and fvt_b[key] then
      return f(inst)
    end
    return f
  end
  cls.__newindex = function(inst, key, value)
    if fvt_b[key] then
      local f = fvt_hdl[key]
      if f ~= nil then
        f(inst, value)
        return
      end
    end
    rawset(inst, key, value)
  end
  cls.__tostring = function(inst)
    return tostring(rawget(cls, "name") or C.name) .. ": " .. tostring(rawget(inst, "udata"))
  end
  return cls
end

-- The class that a generated definition installs in place of the engine class C
-- (whose fields, all but "new", are then copied onto it). Its new makes the engine
-- object and wraps it in an instance table, then runs the instance's init (or load).
function derived_fromC(C)
  local cls = QXL.bridge({}, C)
  cls.new = function(...)
    local inst = setmetatable({}, cls)
    rawset(inst, "udata", QX.createAux(cls.name, false))
    local init = inst.init or inst.load
    if init then
      init(inst, ...)
    end
    return inst
  end
  return cls
end
QXL.derived_fromC = derived_fromC

-- Vectors: tables holding their components at 1..dim, with the numeric field "dim"
-- (read through the class), so the engine takes them as vectors; x, y, z and w name the
-- components.
local function vectorClass(dim, names)
  local V = { dim = dim }
  local index = {}
  for i, n in ipairs(names) do
    index[n] = i
  end
  V.__index = function(v, k)
    local i = index[k]
    if i then
      return rawget(v, i)
    end
    return V[k]
  end
  V.__newindex = function(v, k, x)
    local i = index[k]
    rawset(v, i or k, x)
  end
  V.new = function(...)
    local v = { ... }
    for i = 1, dim do
      v[i] = tonumber(v[i]) or 0
    end
    for i = dim + 1, #v do
      v[i] = nil
    end
    return setmetatable(v, V)
  end
  V.__tostring = function(v)
    local parts = {}
    for i = 1, dim do
      parts[i] = tostring(v[i])
    end
    return "(" .. table.concat(parts, ", ") .. ")"
  end
  V.__eq = function(a, b)
    for i = 1, dim do
      if a[i] ~= b[i] then
        return false
      end
    end
    return true
  end
  setmetatable(V, { __call = function(_, ...) return V.new(...) end })
  return V
end

local function addArithmetic(V)
  local dim = V.dim
  local function map2(a, b, f)
    local r = {}
    for i = 1, dim do
      r[i] = f(a[i], b[i])
    end
    return setmetatable(r, V)
  end
  local function scale(v, s)
    local r = {}
    for i = 1, dim do
      r[i] = v[i] * s
    end
    return setmetatable(r, V)
  end
  V.__add = function(a, b) return map2(a, b, function(x, y) return x + y end) end
  V.__sub = function(a, b) return map2(a, b, function(x, y) return x - y end) end
  V.__mul = function(a, b)
    if type(a) == "number" then
      return scale(b, a)
    end
    return scale(a, b)
  end
  V.__div = function(a, s) return scale(a, 1 / s) end
  V.__unm = function(a) return scale(a, -1) end
  V.dot = function(a, b)
    local s = 0
    for i = 1, dim do
      s = s + a[i] * b[i]
    end
    return s
  end
  V.len = function(a) return math.sqrt(V.dot(a, a)) end
  V.normalize = function(a)
    local l = V.len(a)
    if l == 0 or l ~= l then
      return scale(a, 0)
    end
    return scale(a, 1 / l)
  end
end

QXL.vec2 = vectorClass(2, { "x", "y" })
QXL.vec3 = vectorClass(3, { "x", "y", "z" })
QXL.vec4 = vectorClass(4, { "x", "y", "z", "w" })
QXL.quat = vectorClass(4, { "x", "y", "z", "w" })
addArithmetic(QXL.vec2)
addArithmetic(QXL.vec3)
addArithmetic(QXL.vec4)

QXL.vec3.cross = function(a, b)
  return QXL.vec3.new(a[2] * b[3] - a[3] * b[2], a[3] * b[1] - a[1] * b[3], a[1] * b[2] - a[2] * b[1])
end

-- The identity rotation when called without components.
QXL.quat.identity = function() return QXL.quat.new(0, 0, 0, 1) end

return QXL
