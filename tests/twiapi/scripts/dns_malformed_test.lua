-- A QX_DNS_SERVER that is no server list is logged once and left out: the system's resolver answers.
-- e2e-env QX_DNS_SERVER=not-a-server
local E = require("e2e")

test("localhost still downloads", function()
  local got
  local _, ok = SSockMgr:getFile_ntf(E.DIR .. "/dns.png", "https://" .. E.TLS .. "/files/pic.png", true,
    function(_, written) got = written end)
  check_eq(ok, true)
  E.pumpUntil(function() return got ~= nil end)
  check_eq(got, true)
end)

twitest.shutdown()
