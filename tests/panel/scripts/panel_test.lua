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

  -- Back to a fixed texture, sized through its record.
  check(rawequal(r:setUV(0, 0, 1, 1):set_size(30, 10):set_depth(0.5):set_flip(true, false):set_scale(2, 2), r))
  check_eq(r.rect.width, 30)
  check_eq(r.rect.depth, 0.5)
  local none = HUDUnit_rect.new()
  check(rawequal(none:init_animator("none.spr", 1):add("x", 0):start():update(1), none))
  check_eq(none:get_size(), 0)
end)

test("a panel places, sizes and reports its parts, each with its own record", function()
  local p = HUDBG.new()
  check_eq(p:get_visible(), 0)
  check(rawequal(p:set_visible(7):set_pos(10.7, 20):set_size(100, 20):set_depth(0.25):set_alpha(0.5), p))
  check_eq(p:get_visible(), 7)
  local x, y = p:get_pos()
  check(math.abs(x - 10.7) < 1e-5)
  check_eq(y, 20)
  check_eq(table.concat({ p:get_size() }, ","), "100,20")
  check_eq(p.text:getTextRect(), 10)
  p:set_color(V3(1, 0.5, 0))
  check(math.abs(p:get_color().y - 127 / 255) < 1e-6)
  check_eq(p:set_text("ab", false):set_text("c", true):get_text(), "abc")
  local sw, sh = p:set_rectmode(0):set_textflag(0):get_textsize()
  check(sw > 0 and sh > 0)
  p.wire.rect.alpha = 0.25
  p.rect.rect.alpha = 0.75
  check_eq(p.wire.rect.alpha, 0.25)
  check_eq(p.rect.rect.alpha, 0.75)
  check_eq(p.wire.rect.depth, 1)
  check_eq(p.text.rect, nil)
  local m = HUDUnit_meter.new()
  check(rawequal(m:setPos(1, 2):setRange(50):setHeight(8):setDivision(4, 2):setType(1):setColor(V3(1, 0, 0), 1), m))
  local c = GUIConsole.new()
  check(rawequal(c:send("a\nb"):cls():set_row(5, 3, 200):set_fontsize(10):set_notify(Recv.new(0)):set_fileout(""), c))
end)
