-- The panel widgets as scripts see them, booted as the program boots.

local V3 = QXL.vec3

local Recv = QXL.gobj_class()
function Recv:recvmsg(_, name, id, tag)
  self.got[#self.got + 1] = name .. ":" .. tostring(id) .. (tag and (":" .. tag) or "")
  if self.onmsg then self.onmsg(name, tag) end
end

test("a rectangle plays its animation and tells its callback", function()
  local r = HUDUnit_rect.new()
  local o = Recv.new(0)
  o.got = {}
  check(rawequal(r:init_animator("walk.spr", 7), r))
  r:set_callback(o)
  check(rawequal(r:add("four", 0):start(), r))
  check_eq(r:is_active(), true)
  check_eq(table.concat({ r:get_size() }, ","), "16,16")
  for _ = 1, 7 do r:update(1 / 60) end
  check_eq(table.concat(o.got, " "), "ANIM_TAG:7:t2")
  r:update(1 / 60)
  check_eq(table.concat(o.got, " "), "ANIM_TAG:7:t2 ANIM_END:7")
  check_eq(r:is_active(), false)

  -- A handler may clear the animator it hears from.
  o.got = {}
  o.onmsg = function(name) if name == "ANIM_TAG" then r:clear():stop() end end
  r:add("four", -1):start()
  for _ = 1, 20 do r:update(1 / 60) end
  check_eq(table.concat(o.got, " "), "ANIM_TAG:7:t2")
  check_eq(r:is_active(), false)

  local none = HUDUnit_rect.new()
  check(rawequal(none:init_animator("none.spr", 1):add("x", 0):start():update(1), none))
  check_eq(none:get_size(), 0)
end)

test("a panel places, sizes and reports its parts, each with its own record", function()
  local p = HUDBG.new()
  check(rawequal(p:set_visible(7):set_pos(10.7, 20):set_size(100, 20):set_alpha(0.5), p))
  check_eq(p:get_visible(), 7)
  check_eq(p.text:getTextRect(), 10)
  check_eq(p:set_text("ab", false):set_text("c", true):get_text(), "abc")
  p.wire.rect.alpha = 0.25
  p.rect.rect.alpha = 0.75
  check_eq(p.wire.rect.alpha .. " " .. p.rect.rect.alpha, "0.25 0.75")
end)
