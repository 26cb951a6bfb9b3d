-- SockMgr/SSockMgr downloads against the loopback service: files compared with cmp, the
-- callback's arguments and thread, and the replies that must write nothing.

local DIR = os.getenv("QX_SERVICE_DIR")
local PLAIN = "http://localhost:" .. os.getenv("QX_PLAIN_PORT")
local TLS = "https://localhost:" .. os.getenv("QX_TLS_PORT")
local PNG = DIR .. "/pic.png"

local calls = {}
local function record(id, ok, path)
  calls[#calls + 1] = { id = id, ok = ok, path = path, co = coroutine.running() }
end

local function awaitCalls(n)
  for _ = 1, 1500 do
    if #calls >= n then
      return calls[n]
    end
    twitest.pump(10)
  end
  error("no callback")
end

local function readFile(path)
  local f = io.open(path, "rb")
  if not f then
    return nil
  end
  local data = f:read("*a")
  f:close()
  return data
end

local function writeFile(path, data)
  local f = io.open(path, "wb")
  f:write(data)
  f:close()
end

local function sameBytes(a, b)
  return os.execute("cmp -s '" .. a .. "' '" .. b .. "'") == 0
end

test("a PNG arrives byte for byte over plain and TLS, as a new file and over an old one", function()
  local cases = {
    { SockMgr, PLAIN, false },
    { SSockMgr, TLS, false },
    { SockMgr, PLAIN, true },
    { SSockMgr, TLS, true },
  }
  for i, case in ipairs(cases) do
    local mgr, base, overwrite = case[1], case[2], case[3]
    local path = DIR .. "/got" .. i .. ".png"
    if overwrite then
      writeFile(path, "an old file that is longer than the picture" .. string.rep(".", 200))
    end
    local id, ok = mgr:getFile_ntf(path, base .. "/files/pic.png", overwrite, record)
    check_eq(ok, true)
    local c = awaitCalls(#calls + 1)
    check(c.id == id)
    check_eq(c.ok, true)
    check_eq(c.path, path)
    check(c.co ~= nil)
    check_eq(mgr:isCompleted(id), true)
    check(sameBytes(path, PNG))
    check_eq(readFile(path .. ".part"), nil)
  end
  check(calls[1].co ~= calls[2].co)
end)

test("getFile without a callback writes the file", function()
  local path = DIR .. "/plain.png"
  local id, ok = SockMgr:getFile(path, PLAIN .. "/files/pic.png", false)
  check_eq(ok, true)
  for _ = 1, 1500 do
    if SockMgr:isCompleted(id) then
      break
    end
    twitest.pump(10)
  end
  check(sameBytes(path, PNG))
end)

test("replies that are not a file write nothing and the callback hears false", function()
  local old = DIR .. "/old.png"
  local cases = {
    -- url, overwrite, existing content, content afterwards
    { "/files/missing.png", true, "old bytes", "old bytes" },
    { "/files/missing.png", false, nil, "" },
    { "/files/note.json", false, nil, "" },
  }
  for i, case in ipairs(cases) do
    local path = DIR .. "/bad" .. i .. ".png"
    if case[3] then
      writeFile(path, case[3])
    end
    local id, ok = SSockMgr:getFile_ntf(path, TLS .. case[1], case[2], record)
    check_eq(ok, true)
    local c = awaitCalls(#calls + 1)
    check(c.id == id)
    check_eq(c.ok, false)
    check_eq(readFile(path), case[4])
    check_eq(readFile(path .. ".part"), nil)
  end
  -- no reply at all: nothing listens on port 1
  local id, ok = SockMgr:getFile_ntf(DIR .. "/refused.png", "http://localhost:1/pic.png", true, record)
  check_eq(ok, true)
  local c = awaitCalls(#calls + 1)
  check(c.id == id)
  check_eq(c.ok, false)
  check_eq(readFile(DIR .. "/refused.png"), nil)
  check_eq(readFile(DIR .. "/refused.png.part"), nil)

  writeFile(old, "keep")
  -- refused at once: an existing file without overwrite, an unknown host, unreadable URLs
  local refused = {
    { old, PLAIN .. "/files/pic.png", false },
    { DIR .. "/nohost.png", "http://no-such-host.invalid/pic.png", true },
    { DIR .. "/ctl.png", PLAIN .. "/files/pic\n.png", true },
    { DIR .. "/long.png", PLAIN .. "/files/" .. string.rep("a", 250), true },
    { DIR .. "/ftp.png", "ftp://localhost/pic.png", true },
  }
  for _, case in ipairs(refused) do
    local id, ok = SockMgr:getFile(case[1], case[2], case[3])
    check_eq(ok, false)
    check_eq(tonumber(tostring(id)) or 0, 0)
  end
  check_eq(readFile(old), "keep")
  for _, name in ipairs({ "nohost", "ctl", "long", "ftp" }) do
    check_eq(readFile(DIR .. "/" .. name .. ".png"), nil)
    check_eq(readFile(DIR .. "/" .. name .. ".png.part"), nil)
  end
end)

test("a callback that raises is reported and the next one still runs", function()
  local before = #calls
  SockMgr:getFile_ntf(DIR .. "/err.png", PLAIN .. "/files/pic.png", true, function()
    error("callback failure on purpose")
  end)
  SockMgr:getFile_ntf(DIR .. "/after.png", PLAIN .. "/files/pic.png", true, record)
  local c = awaitCalls(before + 1)
  check_eq(c.ok, true)
  check_eq(c.path, DIR .. "/after.png")
  check(sameBytes(DIR .. "/err.png", PNG))
end)

test("the managers report their workers", function()
  for _, mgr in ipairs({ SockMgr, SSockMgr }) do
    local n = mgr:nThread()
    check(n >= 1)
    local status = mgr:getThreadStatus()
    check_eq(#status, n)
    for _, s in ipairs(status) do
      check(s == "idle" or s == "sending" or s == "recving" or s == "closed")
    end
  end
end)

twitest.shutdown()
