-- Sign-in by PIN against the loopback service: the consumer key from its file, the
-- request token, the authorize page opened through the URL opener (a stand-in browser
-- that reads the PIN off the page), the access token, its file, and a new client that
-- signs with what it loads.

local DIR = os.getenv("QX_SERVICE_DIR")
local TLS_PORT = os.getenv("QX_TLS_PORT")
local PLAIN = "http://localhost:" .. os.getenv("QX_PLAIN_PORT")
twitest.setUrlOpener(os.getenv("QX_PIN_OPENER"))

local Recv = QXL.gobj_class()
local got = {}
function Recv:recvmsg(zero, name, result, id, value)
  got[#got + 1] = { name = name, result = result, id = id, value = value }
end
local obj = Recv.new(0)

local function await(id)
  for _ = 1, 1500 do
    for _, m in ipairs(got) do
      if m.id == id then
        return m
      end
    end
    twitest.pump(10)
  end
  error("no reply")
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

local function client()
  local api = TwiAPI.new()
  api:setNotify(obj)
  check_eq(api:loadCSKey("consumer.dat"), true)
  return api
end

test("the whole PIN road ends in a saved access token that a new client signs with", function()
  local api = client()
  check_eq(api:loadAcToken("access.dat"), false)
  local m = await(api:getReqToken())
  check_eq(m.name, "sys_request")
  check_eq(m.result, "succeeded")

  check(api:openAuthURI() == api)
  local pin
  for _ = 1, 1500 do
    pin = readFile(DIR .. "/pin.txt")
    if pin then
      break
    end
    twitest.pump(10)
  end
  check(pin ~= nil)
  check_eq(readFile(DIR .. "/url.txt"), "https://localhost:" .. TLS_PORT .. "/oauth/authorize/?oauth_token=reqtok")

  -- A PIN the page did not show is refused and leaves the request token in place.
  m = await(api:inputVeliID("0000"))
  check_eq(m.result, "failed")
  check_eq(m.value.code, 401)

  m = await(api:inputVeliID(pin))
  check_eq(m.name, "sys_access")
  check_eq(m.result, "succeeded")
  check(api:saveAcToken("access.dat") == api)

  local again = client()
  check_eq(again:loadAcToken("access.dat"), true)
  m = await(again:sendRequest("rest_home_tl", { count = 1 }))
  check_eq(m.result, "succeeded")
  check_eq(m.value.oauth, "ok")
  check(m.value.request:find('oauth_token="acctok"', 1, true) ~= nil)
  check(m.value.request:find("oauth_verifier", 1, true) == nil)

  -- The service counts the access-token requests that carried the PIN.
  local count = DIR .. "/verifiers.txt"
  local id, ok = SockMgr:getFile(count, PLAIN .. "/test/verifiers", true)
  check_eq(ok, true)
  for _ = 1, 1500 do
    if SockMgr:isCompleted(id) then
      break
    end
    twitest.pump(10)
  end
  check_eq(readFile(count), "1")
end)

twitest.shutdown()
