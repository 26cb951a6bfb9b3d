// luahostile::script(selves, dead, extras): a Lua chunk calling, in pcall, every function of each class in selves
// (Lua: { Class = function() return a good self end }) with wrong, huge, broken and dead values; sets hostile_calls.
#pragma once
#include <string>

namespace luahostile {

// dead: a Lua expression making an object the battery releases (dead handles); extras: more battery values,
// a Lua expression list (may be empty). Raising is fine; a crash, a sanitizer report or a wedge is the fault.
inline std::string script(const std::string& selves, const std::string& dead, const std::string& extras = "") {
  return R"lua(
local selves = )lua" + selves + R"lua(
local boom = function() error("hostile", 0) end
local hostileMt = { __index = boom, __newindex = boom, __len = boom, __tostring = boom, __eq = boom,
  __call = boom, __concat = boom }
local function pack(...) return { n = select("#", ...), ... } end
local function battery()
  local dead = )lua" + dead + R"lua(
  local weakOfDead = QX.getWeak(dead)
  QX_Release(dead)
  local hp = newproxy(true)
  getmetatable(hp).__index = boom
  local b = pack(nil, true, 0, -1, 255, 256, 2 ^ 31, -2 ^ 31, 2 ^ 32 + 1, -2 ^ 63, 1 / 0, -1 / 0, 0 / 0, "",
    "a\0b", string.rep("\255x\0", 40000), "..\\..\\x", {}, { 1, 2 }, { udata = hp }, setmetatable({}, hostileMt),
    boom, print, coroutine.create(boom), QXInteger(0xFFFFFFFF), hp, dead, weakOfDead, { udata = dead }, )lua" +
         (extras.empty() ? "nil" : extras) + R"lua()
  for _, makeSelf in pairs(selves) do
    local live = makeSelf()
    b[b.n + 1], b[b.n + 2], b.n = live, select(2, pcall(QX.getWeak, live)), b.n + 2
  end
  return b
end
local calls = 0
local function try(f, ...) calls = calls + 1 pcall(f, ...) end
local function walk(t, out)
  for k, v in pairs(t) do
    if type(v) == "function" then out[#out + 1] = v end
    if type(v) == "table" and (k == "fvt_hdl" or k == "fvt_ptr" or k == "mt" or k == "mt_w") then walk(v, out) end
  end
  return out
end
for cname, makeSelf in pairs(selves) do
  for _, f in ipairs(walk(_G[cname], {})) do
    local b = battery()
    try(f)
    for i = 1, b.n do
      local x = b[i]
      try(f, x)
      try(f, x, x, x)
      try(f, makeSelf(), x)
      try(f, makeSelf(), x, x)
      try(f, makeSelf(), x, x, x, x)
    end
    collectgarbage("collect")
  end
end
hostile_calls = calls
)lua";
}

}  // namespace luahostile
