-- Requests whose reply never comes, and how streams end: each posts exactly one message.
-- e2e-env QX_HOST_REST=localhost:{untrusted}
-- e2e-env QX_HOST_SEARCH=localhost:{reset}
-- e2e-env QX_HOST_STREAM=localhost:{othername}
-- e2e-env QX_HOST_USTREAM=localhost:{tls}
local E = require("e2e")

local recv = E.receiver()
local api = TwiAPI.new()
api:setNotify(recv.obj)
check_eq(api:loadCSKey("consumer.dat"), true)

-- The one message a request gets (none more after a while).
local function only(id, n)
  local m = recv.await(id, n)
  twitest.pump(100)
  check_eq(#recv.got(id), n or 1)
  return m
end

local function checkFailed(m, name, reason, path)
  check_eq(m.name, name)
  check_eq(m.result, "failed")
  check_eq(m.value.code, 0)
  check_eq(m.value.response, reason)
  check_eq(m.value.error, reason)
  check_eq(m.value.request, path)
end

test("a request without a reply fails with the reason", function()
  local cases = {
    { api:getReqToken(), "sys_request", "certificate not trusted", "/oauth/request_token" },
    { api:sendRequest("rest_home_tl", {}), "rest_home_tl", "certificate not trusted", "/1/statuses/home_timeline.json" },
    { api:sendRequest("rest_search", { q = "x" }), "rest_search", "connection closed before the reply ended",
      "/search.json" },
    { api:sendRequest("stream_filter", {}), "stream_filter", "certificate name mismatch", "/1/statuses/filter.json" },
  }
  for _, c in ipairs(cases) do
    checkFailed(only(c[1])[1], c[2], c[3], c[4])
  end
end)

test("a stream ends with one final keep-alive, or fails when it is cut off", function()
  local m = only(api:sendRequest("ustream_user", {}), 5)
  for i = 1, 5 do
    check_eq(m[i].result, "keep-alive")
  end
  check_eq(m[5].value, nil)
  check_eq(E.readFile(E.DIR .. "/http_log.txt"), nil)

  m = only(api:sendRequest("ustream_user", { tail = "close" }), 5)
  for i = 1, 4 do
    check_eq(m[i].result, "keep-alive")
  end
  checkFailed(m[5], "ustream_user", "stream ended: connection closed", "/2/user.json")
end)

twitest.shutdown()
