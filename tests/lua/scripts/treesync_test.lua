-- Tree sync as collision units use it, run through qxlua.

test("removed children are filled from the surviving tail, the last one first", function()
  local src = {}
  for i = 1, 6 do src[i] = COL.Circle.new(QXL.vec2(i * 10, 0), 1) end
  local u = ColMgr:newCUC(2, nil, 0, ColMgr:cuid(false, { 0, { 3 } }))
  u:set_source(src)
  rawset(src, "cnv_tbl", function() end)
  rawset(src, "_remlist", { 2, 6, 3 })
  u:refresh(1)
  check_eq(#src, 3)
  -- Holes 2 and 3 take blocks 5 and 4; paths count from 0.
  for path, x in pairs { [0] = 10, [1] = 50, [2] = 40 } do
    check_eq(u:getcif({ path }).center.x, x, "child " .. path)
  end
  check_eq(u:getcif({ 3 }), nil)
end)

test("a removed subtree is filled by the last one", function()
  local src = {}
  for i = 1, 4 do src[i] = { COL.Circle.new(QXL.vec2(i, 0), 1) } end
  local u = ColMgr:newCUC(2, nil, 0, ColMgr:cuid(false, { 0, { 0, { 3 } } }))
  u:set_source(src)
  src:remove(3)
  u:refresh(1)
  check_eq(u:getcif({ 2, 0 }).center.x, 4)
  check_eq(u:getcif({ 3, 0 }), nil)
end)
