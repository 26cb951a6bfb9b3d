-- Run by the plain qxlua over the shipped scripts: the runner boots the managers and runs
-- the bind order the program does, so game objects and effects are there without help.
test("the program's managers are booted and their classes bound", function()
  check(type(GobjMgr) == "table" or type(GobjMgr) == "userdata", "GobjMgr bound")
  check(EffectMgr ~= nil, "EffectMgr bound")
  local obj = QXL.attach_gobj({}, 0)
  check(obj.udata ~= nil)
  delete_gobj(QX.getWeak(obj.udata))
  check_eq(ref_gobj(QX.getWeak(obj.udata)), nil)
end)
