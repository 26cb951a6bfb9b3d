-- Hosts that cannot be reached: a name the (stub) DNS server does not know, a closed port.
-- e2e-env QX_HOST_REST=nowhere.qx.test:{tls}
-- e2e-env QX_HOST_SEARCH=localhost:{refused}
local E = require("e2e")

local recv = E.receiver()
local api = TwiAPI.new()
api:setNotify(recv.obj)

test("an unknown host and a refused port fail with the reason, once", function()
  local cases = {
    { api:getReqToken(), "sys_request", "cannot resolve host", "/oauth/request_token" },
    { api:inputVeliID("1234"), "sys_access", "cannot resolve host", "/oauth/access_token" },
    { api:sendRequest("rest_search", {}), "rest_search", "connection refused", "/search.json" },
  }
  for _, c in ipairs(cases) do
    local m = recv.await(c[1])
    twitest.pump(100)
    check_eq(#recv.got(c[1]), 1)
    m = m[1]
    check_eq(m.name, c[2])
    check_eq(m.result, "failed")
    check_eq(m.value.code, 0)
    check_eq(m.value.response, c[3])
    check_eq(m.value.error, c[3])
    check_eq(m.value.request, c[4])
  end
end)

twitest.shutdown()
