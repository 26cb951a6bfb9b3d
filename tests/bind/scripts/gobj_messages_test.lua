-- Game objects and their messages, posted the way engine threads post them.

local Recv = QXL.gobj_class()
local got = {}

function Recv:recvmsg(zero, name, ...)
  got[#got + 1] = { self = self, zero = zero, name = name, n = select("#", ...), ... }
end

local function reset()
  gobjtest.deliver()
  got = {}
end

test("a message from a worker thread reaches recvmsg with self, 0, name and values", function()
  reset()
  local obj = Recv.new(5)
  gobjtest.post_from_thread(obj, "status", QXL.vec3(1, 2, 3), { text = "hi", list = { 10, 20 } }, 7)
  gobjtest.post_from_thread(obj, "second")
  check_eq(#got, 0)
  check_eq(gobjtest.queued(), 2)
  gobjtest.deliver()
  check_eq(#got, 2)
  local m = got[1]
  check(rawequal(m.self, obj))
  check_eq(m.zero, 0)
  check_eq(m.name, "status")
  check_eq(m.n, 3)
  check_eq(getmetatable(m[1]), QXL.vec3)
  check_eq(m[1].y, 2)
  check_eq(m[2].text, "hi")
  check_eq(m[2].list[2], 20)
  check_eq(m[3], 7)
  check_eq(got[2].name, "second")
end)

test("a handler posting to its own object sees it on the next delivery", function()
  reset()
  local obj = Recv.new(0)
  function obj:recvmsg(_, name)
    got[#got + 1] = { name = name }
    if name == "first" then
      gobjtest.post(self, "echo")
    end
  end
  gobjtest.post(obj, "first")
  gobjtest.deliver()
  check_eq(#got, 1)
  gobjtest.deliver()
  check_eq(#got, 2)
  check_eq(got[2].name, "echo")
end)

test("a message to a released object is dropped", function()
  reset()
  local obj = Recv.new(0)
  gobjtest.post(obj, "never")
  obj = nil
  collectgarbage("collect")
  collectgarbage("collect")
  gobjtest.deliver()
  check_eq(#got, 0)
  check_eq(gobjtest.queued(), 0)
end)

test("delete_gobj runs once when the last reference goes", function()
  reset()
  local calls = 0
  local engineDelete = delete_gobj
  delete_gobj = function(w)
    calls = calls + 1
    engineDelete(w)
  end
  local obj = Recv.new(0)
  -- An engine object's counted field holds a second reference.
  local holder = ThingMgr:make(0)
  holder.keeper = obj
  obj = nil
  collectgarbage("collect")
  collectgarbage("collect")
  check_eq(calls, 0)
  holder.keeper = nil
  check_eq(calls, 1)
  collectgarbage("collect")
  delete_gobj = engineDelete
  check_eq(calls, 1)
end)

test("game-object fields through the script object", function()
  local obj = Recv.new(3)
  check_eq(obj.upriority, 3)
  obj._pos = QXL.vec3(4, 5, 6)
  obj._dir = obj._pos
  obj._upd_level = 2
  check_eq(obj._upd_level, 2)
  check_eq(type(obj._dir), "userdata")
  check_error(function() obj._pos = 12 end, "vec3")
end)
