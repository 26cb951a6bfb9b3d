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
  local w, h = r:get_size()
  check_eq(w, 16)
  check_eq(h, 16)
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

  -- Back to a fixed texture, sized and placed through its record.
  check(rawequal(r:setUV(0, 0, 1, 1):set_size(30, 10):set_depth(0.5):set_flip(true, false):set_scale(2, 2), r))
  check_eq(r.rect.width, 30)
  check_eq(r.rect.depth, 0.5)
  check_eq(r.rect.alpha, 1)
  r.rect.ofsX = 4
  check_eq(r.rect.ofsX, 4)
  local none = HUDUnit_rect.new()
  check(rawequal(none:init_animator("none.spr", 1):add("x", 0):start():update(1), none))
  check_eq(none:get_size(), 0)
end)

test("wire and meter units chain their setters", function()
  local w = HUDUnit_wire.new()
  check(rawequal(w:set_type(2), w))
  check_eq(w.rect.depth, 1)
  check_eq(QXInteger.num(w.rect.color) % 2 ^ 32, 0xFFFFFFFF)
  local m = HUDUnit_meter.new()
  check(rawequal(m:setPos(1, 2):setRange(50):setHeight(8):setDivision(4, 2):setType(1):setDepth(0.5)
    :setColor(V3(1, 0, 0), 1), m))
end)

test("a panel places, sizes and reports its parts", function()
  local p = HUDBG.new()
  check_eq(p:get_visible(), 0)
  check(rawequal(p:set_visible(7):set_pos(10.7, 20):set_size(100, 20):set_depth(0.25):set_alpha(0.5), p))
  check_eq(p:get_visible(), 7)
  local x, y = p:get_pos()
  check(math.abs(x - 10.7) < 1e-5)
  check_eq(y, 20)
  local w, h = p:get_size()
  check_eq(w, 100)
  check_eq(h, 20)
  local l, t, tw, th = p.text:getTextRect()
  check_eq(l, 10)
  p:set_color(V3(1, 0.5, 0))
  local c = p:get_color()
  check_eq(c.x, 1)
  check(math.abs(c.y - 127 / 255) < 1e-6)
  check_eq(p:set_text("ab", false):set_text("c", true):get_text(), "abc")
  local fw, fh = p:get_fontsize()
  check(fh > 0 and fw > 0)
  local sw, sh = p:set_rectmode(0):set_textflag(0):get_textsize()
  check(sw > 0 and sh > 0)
  p.rect:set_depth(3)
  check_eq(p.rect.rect.depth, 3)
  p.wire:set_type(1)
  p.wire.rect.alpha = 0.25
  check_eq(p.wire.rect.alpha, 0.25)
end)

test("a bar meter copies another meter only", function()
  local a = HUDMeter.new()
  local b = HUDMeter.new()
  check(rawequal(a:set_value(10):set_range(0, 20):set_pos(1, 2):set_size(30, 4):set_colormt(1, 2, 3)
    :set_colorbdr(4, 5, 6), a))
  check(rawequal(b:copy_from(a), b))
  check(rawequal(b:copy_from(b), b))
  b:copy_from(HUDBG.new())
  b:copy_from(nil)
end)

test("the console takes lines and options from scripts", function()
  local c = GUIConsole.new()
  check(rawequal(c:send("a\nb"):cls():set_row(5, 3, 200):set_fontsize(10):set_alpha(0.5)
    :set_id(3):set_notify(Recv.new(0)):set_externalcs(false):set_fileout(""), c))
end)

test("a panel's part records are each their own", function()
  local p = HUDBG.new()
  p.wire.rect.alpha = 0.25
  p.rect.rect.alpha = 0.75
  check_eq(p.wire.rect.alpha, 0.25)
  check_eq(p.rect.rect.alpha, 0.75)
  check_eq(p.wire.rect.depth, 1)
  check_eq(p.text.rect, nil)
end)
