-- Test fixture: the script library the engine expects, reduced to the vector
-- constructors the script values call.
QXL = { vec3 = {}, vec4 = {} }

local vec_meta = { __index = function(v, k) return rawget(v, ({ x = 1, y = 2, z = 3, w = 4 })[k]) end }

function QXL.vec3.new(x, y, z)
  return setmetatable({ x, y, z, dim = 3 }, vec_meta)
end

function QXL.vec4.new(x, y, z, w)
  return setmetatable({ x, y, z, w, dim = 4 }, vec_meta)
end

main_ran = true
