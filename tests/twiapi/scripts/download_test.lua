local E = require("e2e")
local DIR = E.DIR
local PLAIN = "http://" .. E.PLAIN
local TLS = "https://" .. E.TLS
local PNG = DIR .. "/pic.png"
local readFile = E.readFile

local calls = {}
local function record(id, ok, path)
  calls[#calls + 1] = { id = id, ok = ok, path = path, co = coroutine.running() }
end

-- Queues a download with record as its callback; gives its call once it came.
local function download(mgr, path, url, overwrite)
  local before = #calls
  local id, ok = mgr:getFile_ntf(path, url, overwrite, record)
  check_eq(ok, true)
  local c = E.pumpUntil(function() return calls[before + 1] end)
  check(c.id == id)
  check_eq(c.path, path)
  check_eq(readFile(path .. ".part"), nil)
  return c, id
end

local function sameBytes(a, b)
  return os.execute("cmp -s '" .. a .. "' '" .. b .. "'") == 0
end

test("a PNG arrives byte for byte over plain and TLS, as a new file and over an old one", function()
  for i, case in ipairs({ { SockMgr, PLAIN, false }, { SSockMgr, TLS, false }, { SockMgr, PLAIN, true },
    { SSockMgr, TLS, true } }) do
    local mgr, base, overwrite = case[1], case[2], case[3]
    local path = DIR .. "/got" .. i .. ".png"
    if overwrite then
      E.writeFile(path, "an old file that is longer than the picture" .. string.rep(".", 200))
    end
    local c, id = download(mgr, path, base .. "/files/pic.png", overwrite)
    check_eq(c.ok, true)
    check(c.co ~= nil)
    check_eq(mgr:isCompleted(id), true)
    check(sameBytes(path, PNG))
  end
  check(calls[1].co ~= calls[2].co)
end)

-- Which replies are a file is saveDownload's decision (its unit test); here: no reply at all.
test("downloads without a reply or refused at once write nothing", function()
  local c = download(SockMgr, DIR .. "/bad.png", "http://localhost:1/pic.png", true)  -- nothing listens on port 1
  check_eq(c.ok, false)
  check_eq(readFile(DIR .. "/bad.png"), nil)

  -- replies that hold no file (a 404, a JSON reply): the log says which
  for _, route in ipairs({ "/files/missing", "/1/statuses/public_timeline.json" }) do
    c = download(SSockMgr, DIR .. "/nofile.png", TLS .. route, true)
    check_eq(c.ok, false)
    check_eq(readFile(DIR .. "/nofile.png"), nil)
  end

  local old = DIR .. "/old.png"
  E.writeFile(old, "keep")
  -- refused at once: an existing file without overwrite, unreadable URLs
  local refused = {
    { old, PLAIN .. "/files/pic.png", false },
    { DIR .. "/long.png", PLAIN .. "/files/" .. string.rep("a", 250), true },
  }
  for i, case in ipairs(refused) do
    local id, ok = SockMgr:getFile(case[1], case[2], case[3])
    check_eq(ok, false)
    check_eq(tonumber(tostring(id)) or 0, 0)
    if i > 1 then
      check_eq(readFile(case[1]), nil)
      check_eq(readFile(case[1] .. ".part"), nil)
    end
  end
  check_eq(readFile(old), "keep")
end)

-- The worker resolves (a stub DNS server answers after 3 s); the frame loop never waits for it.
-- The bound is loose so a loaded machine cannot fail it; a lookup on the caller's thread takes 3 s.
local AT_ONCE_MS = 1000
test("a download's lookup runs off the main thread and a name that does not resolve writes nothing", function()
  local cases = {
    { DIR .. "/late.png", "http://late.qx.test:" .. os.getenv("QX_PORT_PLAIN") .. "/files/pic.png", false, true },
    { DIR .. "/miss.png", "http://latemiss.qx.test/files/pic.png", false, false },
    { DIR .. "/miss2.png", "http://latemiss.qx.test/files/pic.png", true, false },
    { DIR .. "/nohost.png", "http://no-such-host.invalid/pic.png", false, false },
  }
  local ids = {}
  for i, c in ipairs(cases) do
    local before = twitest.nowMs()
    local id, ok = SockMgr:getFile_ntf(c[1], c[2], c[3], record)
    check(twitest.nowMs() - before < AT_ONCE_MS)
    check_eq(ok, true)
    ids[i] = id
  end
  local first = #calls
  E.pumpUntil(function() return #calls >= first + #cases end)
  for i, c in ipairs(cases) do
    local call
    for _, x in ipairs(calls) do
      if x.id == ids[i] then
        call = x
      end
    end
    check(call ~= nil)
    check_eq(call.ok, c[4])
    if c[4] then
      check(sameBytes(c[1], PNG))
    else
      check_eq(readFile(c[1]), nil)  -- the file this download created is gone again
      check_eq(readFile(c[1] .. ".part"), nil)
    end
  end
end)

test("getFile returns at once too; the worker fetches after the late answer", function()
  local path = DIR .. "/late2.png"
  local before = twitest.nowMs()
  local id, ok = SockMgr:getFile(path, "http://late.qx.test:" .. os.getenv("QX_PORT_PLAIN") .. "/files/pic.png", true)
  check(twitest.nowMs() - before < AT_ONCE_MS)
  check_eq(ok, true)
  check_eq(SockMgr:isCompleted(id), false)
  E.pumpUntil(function() return SockMgr:isCompleted(id) end)
  check(sameBytes(path, PNG))
end)

test("the manager, not the scheme, decides between TLS and plain; IPv6 literals keep their brackets", function()
  local c = download(SSockMgr, DIR .. "/tls.png", "http://" .. E.TLS .. "/files/pic.png", true)
  check_eq(c.ok, true)
  check(sameBytes(DIR .. "/tls.png", PNG))
  c = download(SockMgr, DIR .. "/plain.png", "https://" .. E.PLAIN .. "/files/pic.png", true)
  check_eq(c.ok, true)
  check(sameBytes(DIR .. "/plain.png", PNG))
  local port6 = os.getenv("QX_PORT_PLAIN6")
  if port6 then  -- where the machine has IPv6 loopback
    c = download(SockMgr, DIR .. "/host6", "http://[::1]:" .. port6 .. "/files/host", true)
    check_eq(c.ok, true)
    check_eq(readFile(DIR .. "/host6"), "[::1]:" .. port6)
  end
end)

test("a callback that raises is reported and the next one still runs", function()
  SockMgr:getFile_ntf(DIR .. "/err.png", PLAIN .. "/files/pic.png", true, function()
    error("callback failure on purpose")
  end)
  local c = download(SockMgr, DIR .. "/after.png", PLAIN .. "/files/pic.png", true)
  check_eq(c.ok, true)
  check(sameBytes(DIR .. "/err.png", PNG))
end)

twitest.shutdown()
