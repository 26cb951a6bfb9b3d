-- The script library's vectors (QXL.join and the value conversions are exercised by every
-- bound class and glue_test.cpp; its game objects by engine_boot_test.lua and gobj_test.cpp).

test("vectors are tables with dim and named components", function()
  local v = QXL.vec3.new(1, 2, 3)
  check_eq(v.z, 3)
  v.y = 7
  check_eq(v[2], 7)
  local w = QXL.vec3(1, 1, 1) + v * 2
  check_eq(w.y, 15)
  check_eq(QXL.quat.identity().w, 1)
  check_eq(QXL.vec3.new("x", nil, 2).x, 0)
  check_near(QXL.vec3(3, 4, 0):len(), 5)
  check_eq(QXL.vec3(1, 0, 0):cross(QXL.vec3(0, 1, 0)).z, 1)
  check(QXL.vec3(1, 2, 3) == QXL.vec3(1, 2, 3))
end)
