local E = require("e2e")
local TLS, PLAIN = E.TLS, E.PLAIN
twitest.setUrlOpener(os.getenv("QX_PIN_OPENER"))

local recv = E.receiver()
local function client()
  local c = TwiAPI.new()
  c:setNotify(recv.obj)
  check_eq(c:loadCSKey("consumer.dat"), true)
  return c
end
local api = client()

local function request(name, params, n)
  local id = api:sendRequest(name, params or {})
  return id, recv.await(id, n)
end

local function hostTail(host)
  return "Host: " .. host .. "\r\n\r\n"
end

-- The consumer key from its file, the request token, the authorize page opened through the
-- URL opener (a stand-in browser that reads the PIN off the page), the access token, its
-- file, and a new client that signs with what it loads.
test("the whole PIN road ends in a saved access token that a new client signs with", function()
  check_eq(api:loadAcToken("access.dat"), false)
  local m = recv.await(api:getReqToken())[1]
  check_eq(m.name, "sys_request")
  check_eq(m.result, "succeeded")
  check_eq(m.value, nil)

  check(api:openAuthURI() == api)
  local pin = E.pumpUntil(function() return E.readFile(E.DIR .. "/pin.txt") end)
  check(pin ~= nil)
  check_eq(E.readFile(E.DIR .. "/url.txt"), "https://" .. TLS .. "/oauth/authorize/?oauth_token=reqtok")

  -- A PIN the page did not show is refused and leaves the request token in place.
  m = recv.await(api:inputVeliID("0000"))[1]
  check_eq(m.result, "failed")
  check_eq(m.value.code, 401)
  m = recv.await(api:inputVeliID(pin))[1]
  check_eq(m.name, "sys_access")
  check_eq(m.result, "succeeded")
  check(api:saveAcToken("access.dat") == api)
  api = client()
  check_eq(api:loadAcToken("access.dat"), true)


  for _, name in ipairs({ "rest_home_tl", "rest_mentions" }) do
    local _, r = request(name, { count = 2 })
    local v = r[1].value
    check_eq(v.oauth, "ok")
    check(v.request:find('oauth_token="acctok"', 1, true) ~= nil)
    check(v.request:find("oauth_verifier", 1, true) == nil)
    local path = name == "rest_home_tl" and "home_timeline" or "mentions"
    local head = "GET /1/statuses/" .. path .. ".json?count=2 HTTP/1.1\r\nAuthorization: OAuth "
    check_eq(v.request:sub(1, #head), head)
    check_eq(v.request:sub(-#hostTail(TLS)), hostTail(TLS))
  end
end)

test("requests go out exactly as built: unsigned ones without Authorization, parameters as text", function()
  local cases = {
    { "rest_public_tl", { count = 5 }, "/1/statuses/public_timeline.json?count=5", TLS },
    { "rest_user_lookup", { screen_name = "a b", user_id = 12 }, "/1/users/lookup.json?screen_name=a%20b&user_id=12", TLS },
    -- search travels in plain text; parameters become text by their type
    { "rest_search", { q = "abc", rpp = 10, flag = true, n = 3.7, t = {} }, "/search.json?flag=true&n=3&q=abc&rpp=10&t=",
      PLAIN },
  }
  for _, c in ipairs(cases) do
    local _, m = request(c[1], c[2])
    check_eq(m[1].name, c[1])
    check_eq(m[1].result, "succeeded")
    check_eq(m[1].value.oauth, "none")
    check_eq(m[1].value.request, "GET " .. c[3] .. " HTTP/1.1\r\n" .. hostTail(c[4]))
  end
  local _, m = request("rest_update", { status = "hello world \226\156\147" })
  local v = m[1].value
  check_eq(v.oauth, "ok")
  check_eq(v.method, "POST")
  check_eq(v.params.status, "hello world \226\156\147")
  local body = "status=hello%20world%20%E2%9C%93"
  check(v.request:find("\r\nContent-Length: " .. #body .. "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
    .. hostTail(TLS) .. body, 1, true) ~= nil)
end)

test("a stream posts keep-alive with its header, then one message per chunk", function()
  for _, s in ipairs({ { "stream_filter", "filter", "?track=qx" }, { "stream_sample", "sample", "" },
    { "ustream_user", "user", "" } }) do
    local id = request(s[1], s[3] ~= "" and { track = "qx" } or {}, 5)
    twitest.pump(50)
    local m = recv.got(id)
    check_eq(#m, 5)
    for _, x in ipairs(m) do
      check_eq(x.name, s[1])
      check_eq(x.result, "keep-alive")
    end
    check_eq(m[5].value, nil)  -- the last chunk: the stream's clean end
    check_eq(next(m[1].value), nil)
    for i = 2, 4 do
      check_eq(m[i].value.id, i - 1)
      check_eq(m[i].value.stream, s[2])
    end
    check_eq(m[2].value.oauth, "ok")
    local r = m[2].value.request
    local head = "GET /" .. (s[1] == "ustream_user" and "2/user" or "1/statuses/" .. s[2]) .. ".json" .. s[3]
      .. " HTTP/1.1\r\nAuthorization: OAuth "
    check_eq(r:sub(1, #head), head)
    check(r:find("\r\nConnection: Keep-Alive\r\n" .. hostTail(TLS), 1, true) ~= nil)
  end
end)

-- The messages of one request as text: the result and the value's id ({} for a table without one).
local function sequence(msgs)
  local out = {}
  for _, x in ipairs(msgs) do
    local v = type(x.value) == "table" and "{" .. tostring(x.value.id or "") .. "}" or tostring(x.value)
    out[#out + 1] = x.result .. " " .. v
  end
  return table.concat(out, ", ")
end

test("a stream skips a message that is no JSON and ends once; one whole reply ends it too", function()
  local id = request("stream_filter", { bad = 1 }, 5)
  twitest.pump(100)
  check_eq(sequence(recv.got(id)), "keep-alive {}, keep-alive {1}, keep-alive {2}, keep-alive {3}, keep-alive nil")
  check(E.readFile(E.DIR .. "/http_log.txt"):find('{"id": 1.5, broken\r\n', 1, true) ~= nil)
  id = request("stream_sample", { whole = 1 }, 2)
  twitest.pump(100)
  check_eq(sequence(recv.got(id)), "keep-alive {1}, keep-alive nil")
end)

test("a request sent from recvmsg while a stream is open completes, and cancel ends the stream", function()
  local restId = nil
  recv.onMessage = function(name)
    if name == "stream_sample" and restId == nil then
      restId = api:sendRequest("rest_public_tl", {})
      -- 2 while the request waits in the queue, 1 once a worker took it
      local newer = api:cancelRequest(restId + 1000)
      check(newer == 1 or newer == 2)
    end
  end
  local streamId, m = request("stream_sample", { endless = 1 })
  check_eq(m[1].result, "keep-alive")
  check(restId ~= nil)
  check_eq(recv.await(restId)[1].result, "succeeded")
  -- the stream's worker and the request's: the binding lists both
  check_eq(SSockMgr:nThread(), 2)
  check_eq(#SSockMgr:getThreadStatus(), 2)
  recv.onMessage = nil
  check_eq(api:cancelRequest(streamId), 0)
  twitest.pump(200)
  check_eq(api:cancelRequest(streamId), 1)
  check_eq(#recv.got(streamId), 1)
end)

test("the example of docs/service-client.md gets its timeline, its stream and its stream's end", function()
  local doc = E.readFile(os.getenv("QX_DOCS") .. "/service-client.md")
  local timeline = assert(loadstring(doc:match("```lua tested=[^\n]*\n(.-)```"), "example"))()
  E.pumpUntil(function() return timeline.ended end)
  twitest.pump(50)
  check_eq(timeline.ended, true)
  check_eq(timeline.failure, nil)
  check_eq(#timeline.statuses, 3)
  check_eq(timeline.statuses[3].text, "status 3")
end)

test("hostile arguments raise or go out as text; the client keeps working", function()
  local raising = setmetatable({ a = 1 }, { __index = function() error("hostile") end,
    __newindex = function() error("hostile") end })
  local cases = {
    { nil, nil }, { 42, "x" }, { "rest_public_tl", raising },
    { "rest_public_tl", { [{}] = 1, [true] = false, n = 0 / 0, inf = 1 / 0, [2 ^ 70] = -2 ^ 70, x = print } },
    { string.rep("n", 5000), {} },
  }
  local sent = {}
  for _, c in ipairs(cases) do
    local ok, id = pcall(api.sendRequest, api, c[1], c[2])
    if ok then
      sent[#sent + 1] = id
    end
  end
  check_eq(#sent, #cases)
  check(not pcall(TwiAPI.fvt_hdl.sendRequest, {}, "rest_public_tl", {}))
  check_eq(api:cancelRequest("zz"), 1)
  check(pcall(api.setNotify, api, 12345))
  api:setNotify(recv.obj)
  -- keys and values that have no text are empty, numbers beyond the integers 0
  check_eq(recv.await(sent[4])[1].value.request,
    "GET /1/statuses/public_timeline.json?=1&0=0&inf=0&n=0&true=false&x= HTTP/1.1\r\n" .. hostTail(TLS))
end)

test("newS is refused with the reason: socket threads cannot reach a thread's own object", function()
  local ok, err = pcall(TwiAPI.newS)
  check_eq(ok, false)
  check(tostring(err):find("TwiAPI.newS", 1, true) ~= nil)
  check(tostring(err):find("TwiAPI.new", 1, true) ~= nil)
  local c = client()
  check_eq(recv.await(c:sendRequest("rest_public_tl", {}))[1].result, "succeeded")
end)

twitest.shutdown()
