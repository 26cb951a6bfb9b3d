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

-- Makes obj the script object of a new game object; level is the error level of the
-- script's call.
local function attach(obj, priority, level)
  local g = GobjMgr:newGobj(priority or 0)
  if g == nil then
    -- Filed under id 0 it would take over another object's messages.
    error("no game object could be made: all 4096 are alive (see log.txt)", level + 1)
  end
  rawset(obj, "udata", g)
  objects[QX.GetHdlID(g)] = obj
  return obj
end

-- Makes obj the script object of a new game object with that update priority.
function QXL.attach_gobj(obj, priority)
  return attach(obj, priority, 2)
end

-- A class whose instances are game objects; new(priority, ...) runs the instance's init
-- with the remaining arguments.
function QXL.gobj_class()
  local cls = QXL.bridge({ name = "Gobj" }, Gobj)
  cls.new = function(priority, ...)
    local inst = attach(setmetatable({}, cls), priority, 2)
    if inst.init then
      inst:init(...)
    end
    return inst
  end
  return cls
end

return true
