-- QXInteger: construction, bit operations, arithmetic and comparisons, run through qxlua.

local function int(v) return QXInteger(v) end
local function num(q) return QXInteger.num(q) end

-- Each row: a QXInteger result (or a plain value) and the number it must give.
local function check_rows(rows)
  for i, row in ipairs(rows) do
    local got = type(row[1]) == "userdata" and num(row[1]) or row[1]
    check_eq(got, row[2], "row " .. i)
  end
end

test("construction from numbers, hexadecimal text and light userdata", function()
  check_rows {
    { int("ff"), 255 }, { int("0xff"), 255 }, { int(255.9), 255 }, { QXInteger.new(-1.9), -1 },
    { int("not hex"), 0 }, { int("FFFFFFFFFF"), -1 }, -- parsing saturates at 0xFFFFFFFF
    { int(4294967295), -1 }, { int(4294967296), 0 }, -- numbers keep their low 32 bits
    { int(int(12)), 12 }, { int(nil), 0 }, { type(int(1)), "userdata" },
    { type(QXLS:num()), "number" }, -- every light userdata is a QXInteger
  }
end)

test("bit operations", function()
  local v = int("f0")
  check_rows {
    { v:iand(0x3c), 0x30 }, { v:ior("0f"), 0xff }, { v:ixor(0xff), 0x0f }, { v:inot(), -0xf1 },
    { v:check(0x10), true }, { v:check(0x0f), false }, { v:clear(0x30), 0xc0 },
    { v:topbit(), 0x80 }, { v:lowbit(), 0x10 }, { int(0):topbit(), 0 }, { int(0):lowbit(), 0 },
    { int(0):topindex(), 0 }, { int(1):topindex(), 0 }, { int("80000000"):topindex(), 31 },
    { int(0):lowindex(), 31 }, { int("80000000"):lowindex(), 31 }, { int(12):lowindex(), 2 },
  }
end)

test("a number on the left gives a number", function()
  local four = int(4)
  check_eq(type(3 + four), "number")
  check_rows {
    { 3 + four, 7 }, { 10 - four, 6 }, { 3 * four, 12 }, { 10 / four, 2.5 },
    { -7 % int(2), -1 }, -- floating remainder takes the sign of the left side
    { 2 ^ int(3), 8 }, { 1 + int(-1), 0 }, -- the right side is read as signed
  }
end)

test("a QXInteger on the left gives a wrapping QXInteger that never traps", function()
  check_eq(type(int(4) + 3.7), "userdata")
  local min = int("80000000")
  check_rows {
    { int(4) + 3.7, 7 }, { int(4) - int(6), -2 }, { int(0) - 1, -1 },
    { int(0x10000) * 0x10000, 0 }, { int("7fffffff") + 1, -2147483648 }, { -min, -2147483648 },
    { int(-7) / int(2), -3 }, { int(-7) % int(2), -1 }, { int(7) % -2, 1 }, { int(5) % -1, 0 },
    { int(7) / 0, 0 }, { int(7) % int(0), 0 }, { int(7) / 0.5, 0 }, -- a divisor truncating to zero
    { min / -1, -2147483648 }, { min % -1, 0 },
    { int(2) ^ 10, 1024 }, { int(-2) ^ int(3), -8 }, { int(2) ^ -1, 0 }, { int(2) ^ 40, 0 },
    { int(0) ^ -1, -1 }, -- +inf saturates to INT64_MAX, whose low word is all ones
    { -int(5), -5 },
  }
end)

test("comparisons are signed and equal values are the same light userdata", function()
  check_rows {
    { int(-1) < int(1), true }, { int(1) <= int(1), true }, { int(1) < int(1), false },
    { int(2) < int(1), false }, { int("ffffffff") < int(0), true },
    { int(5) == int(5), true }, { int(5) ~= int(6), true }, { int(5) == 5, false },
  }
end)
