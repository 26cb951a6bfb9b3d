-- TwiAPI end to end against the loopback service: REST and streams over TLS, search in
-- plain text. The service echoes each request's exact text and its signature verdict.

local TLS = "localhost:" .. os.getenv("QX_TLS_PORT")
local PLAIN = "localhost:" .. os.getenv("QX_PLAIN_PORT")

local Recv = QXL.gobj_class()
local got = {}
local onMessage = nil

function Recv:recvmsg(zero, name, result, id, value)
  got[#got + 1] = { name = name, result = result, id = id, value = value }
  if onMessage then
    onMessage(self, name, result, id, value)
  end
end

local obj = Recv.new(0)
local api = TwiAPI.new()
api:setNotify(obj)

local function messagesOf(id)
  local out = {}
  for _, m in ipairs(got) do
    if m.id == id then
      out[#out + 1] = m
    end
  end
  return out
end

-- Pumps frames until id has n messages (or 15 s pass); gives its messages.
local function await(id, n)
  for _ = 1, 1500 do
    if #messagesOf(id) >= (n or 1) then
      break
    end
    twitest.pump(10)
  end
  return messagesOf(id)
end

local function request(name, params, n)
  local id = api:sendRequest(name, params or {})
  return id, await(id, n)
end

test("the sign-in steps store the tokens their replies carry", function()
  local id, m = request("sys_request")
  check_eq(#m, 1)
  check_eq(m[1].name, "sys_request")
  check_eq(m[1].result, "succeeded")
  check_eq(m[1].value, nil)
  local id2, m2 = request("sys_access")
  check(id2 ~= id)
  check_eq(m2[1].name, "sys_access")
  check_eq(m2[1].result, "succeeded")
end)

test("signed timelines carry a signature the service accepts, with the access token", function()
  for _, name in ipairs({ "rest_home_tl", "rest_mentions" }) do
    local _, m = request(name, { count = 2 })
    check_eq(m[1].name, name)
    check_eq(m[1].result, "succeeded")
    local v = m[1].value
    check_eq(v.oauth, "ok")
    check_eq(#v.statuses, 2)
    check(v.request:find('oauth_token="acctok"', 1, true) ~= nil)
    check(v.request:find("oauth_verifier", 1, true) == nil)
    local path = name == "rest_home_tl" and "home_timeline" or "mentions"
    local head = "GET /1/statuses/" .. path .. ".json?count=2 HTTP/1.1\r\nAuthorization: OAuth "
    check_eq(v.request:sub(1, #head), head)
    check(v.request:sub(-(#TLS + 10)) == "Host: " .. TLS .. "\r\n\r\n")
  end
end)

test("unsigned requests go out exactly as built, without Authorization", function()
  local _, m = request("rest_public_tl", { count = 5 })
  check_eq(m[1].result, "succeeded")
  check_eq(m[1].value.oauth, "none")
  check_eq(m[1].value.request, "GET /1/statuses/public_timeline.json?count=5 HTTP/1.1\r\nHost: " .. TLS .. "\r\n\r\n")
  _, m = request("rest_user_lookup", { screen_name = "a b", user_id = 12 })
  check_eq(m[1].value.request, "GET /1/users/lookup.json?screen_name=a%20b&user_id=12 HTTP/1.1\r\nHost: " .. TLS .. "\r\n\r\n")
  -- search travels in plain text; parameters become text by their type
  _, m = request("rest_search", { q = "abc", rpp = 10, flag = true, n = 3.7, t = {} })
  check_eq(m[1].name, "rest_search")
  check_eq(m[1].value.request, "GET /search.json?flag=true&n=3&q=abc&rpp=10&t= HTTP/1.1\r\nHost: " .. PLAIN .. "\r\n\r\n")
end)

test("an unknown name is sent as the invalid row and answered under its name", function()
  local _, m = request("no_such_request", { a = 1 })
  check_eq(m[1].name, "invalid")
  check_eq(m[1].result, "failed")
  check_eq(m[1].value.code, 400)
  check_eq(m[1].value.response, "Bad Request")
  check_eq(m[1].value.path, "/invalid")
end)

test("a POST update signs its body pairs", function()
  local _, m = request("rest_update", { status = "hello world \226\156\147" })
  check_eq(m[1].result, "succeeded")
  local v = m[1].value
  check_eq(v.oauth, "ok")
  check_eq(v.method, "POST")
  check_eq(v.params.status, "hello world \226\156\147")
  local body = "status=hello%20world%20%E2%9C%93"
  check(v.request:find("\r\nContent-Length: " .. #body .. "\r\nContent-Type: application/x-www-form-urlencoded\r\nHost: "
    .. TLS .. "\r\n\r\n" .. body, 1, true) ~= nil)
end)

test("error replies fail with the body's fields, code and reason", function()
  local _, m = request("rest_home_tl", { fault = "401" })
  check_eq(m[1].result, "failed")
  check_eq(m[1].value.code, 401)
  check_eq(m[1].value.response, "Unauthorized")
  check_eq(m[1].value.error, "Could not authenticate you")
  _, m = request("rest_public_tl", { fault = "garbage" })
  check_eq(m[1].result, "failed")
  check_eq(m[1].value, "HTTPレスポンス解釈失敗")
end)

test("replies written byte by byte, split at CR LF, with lower-case headers or 300 KiB arrive whole", function()
  for _, fault in ipairs({ "bytes", "splitcrlf", "lower", "big" }) do
    local _, m = request("rest_public_tl", { fault = fault })
    check_eq(#m, 1)
    check_eq(m[1].result, "succeeded")
    check_eq(m[1].value.params.fault, fault)
    if fault == "big" then
      check_eq(#m[1].value.padding, 300 * 1024)
    end
  end
end)

test("a stream posts keep-alive with its header, then one message per chunk", function()
  for _, s in ipairs({ { "stream_filter", "filter", "?track=qx" }, { "stream_sample", "sample", "" },
    { "ustream_user", "user", "" } }) do
    local id, m = request(s[1], s[3] ~= "" and { track = "qx" } or {}, 4)
    twitest.pump(50)
    m = messagesOf(id)
    check_eq(#m, 4)
    for _, x in ipairs(m) do
      check_eq(x.name, s[1])
      check_eq(x.result, "keep-alive")
    end
    check_eq(type(m[1].value), "table")
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
    check(r:find("\r\nConnection: Keep-Alive\r\nHost: " .. TLS .. "\r\n\r\n", 1, true) ~= nil)
  end
end)

test("a request sent from recvmsg while a stream is open completes, and cancel ends the stream", function()
  local restId = nil
  onMessage = function(self, name, result)
    if name == "stream_sample" and restId == nil then
      restId = api:sendRequest("rest_public_tl", {})
      check_eq(api:cancelRequest(restId + 1000), 2)
    end
  end
  local streamId, m = request("stream_sample", { endless = 1 })
  check_eq(m[1].result, "keep-alive")
  check(restId ~= nil)
  local r = await(restId)
  check_eq(#r, 1)
  check_eq(r[1].result, "succeeded")
  onMessage = nil
  check_eq(api:cancelRequest(streamId), 0)
  twitest.pump(200)
  check_eq(api:cancelRequest(streamId), 1)
  check_eq(#messagesOf(streamId), 1)
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
  api:setNotify(obj)
  local m = await(sent[4])
  -- keys and values that have no text are empty, numbers beyond the integers 0
  check_eq(m[1].value.request, "GET /1/statuses/public_timeline.json?=1&0=0&inf=0&n=0&true=false&x= HTTP/1.1\r\nHost: "
    .. TLS .. "\r\n\r\n")
end)

twitest.shutdown()
