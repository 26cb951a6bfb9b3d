-- Script objects of game objects. The engine asks "ref_gobj" for the script object of a
-- game object (to deliver its messages to recvmsg) and calls "delete_gobj" when a game
-- object dies. require("QXGobj") after require("QXL").
--
--   local Ship = QXL.gobj_class()
--   function Ship:init(name) self.name = name end
--   function Ship:recvmsg(_, msg, ...) ... end
--   local s = Ship.new(10, "Nimbus")   -- update priority 10
--   s._pos = QXL.vec3(1, 2, 3)          -- the game object's fields
--
-- The registry holds its objects weakly: a script object that nobody keeps is collected
-- with its game object.

local objects = setmetatable({}, { __mode = "v" })

-- Handle ids are slot indices; a slot is reused only after its object died, and the
-- death removes the entry first.
function ref_gobj(w)
  return objects[QX.GetHdlID(w)]
end

function delete_gobj(w)
  objects[QX.GetHdlID(w)] = nil
end

-- Makes obj the script object of a new game object with that update priority.
function QXL.attach_gobj(obj, priority)
  local g = GobjMgr:newGobj(priority or 0)
  rawset(obj, "udata", g)
  objects[QX.GetHdlID(g)] = obj
  return obj
end

-- A class whose instances are game objects; new(priority, ...) runs the instance's init
-- with the remaining arguments.
function QXL.gobj_class()
  local cls = QXL.bridge({ name = "Gobj" }, Gobj)
  cls.new = function(priority, ...)
    local inst = QXL.attach_gobj(setmetatable({}, cls), priority)
    if inst.init then
      inst:init(...)
    end
    return inst
  end
  return cls
end

return true
