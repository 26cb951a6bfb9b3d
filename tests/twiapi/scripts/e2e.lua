local E = {}
E.DIR = os.getenv("QX_SERVICE_DIR")
E.TLS = "localhost:" .. os.getenv("QX_TLS_PORT")
E.PLAIN = "localhost:" .. os.getenv("QX_PLAIN_PORT")

function E.readFile(path)
  local f = io.open(path, "rb")
  if not f then
    return nil
  end
  local data = f:read("*a")
  f:close()
  return data
end

function E.writeFile(path, data)
  local f = io.open(path, "wb")
  f:write(data)
  f:close()
end

-- Pumps frames until done() gives a value (at most 15 s); gives that value.
function E.pumpUntil(done)
  for _ = 1, 1500 do
    local v = done()
    if v then
      return v
    end
    twitest.pump(10)
  end
end

-- A game object that records its messages; got(id) lists the messages of one request.
function E.receiver()
  local Recv = QXL.gobj_class()
  local r = { all = {} }
  function Recv:recvmsg(zero, name, result, id, value)
    r.all[#r.all + 1] = { name = name, result = result, id = id, value = value }
    if r.onMessage then
      r.onMessage(name, result)
    end
  end
  r.obj = Recv.new(0)
  function r.got(id)
    local out = {}
    for _, m in ipairs(r.all) do
      if m.id == id then
        out[#out + 1] = m
      end
    end
    return out
  end
  -- Waits until request id has n messages (default 1); gives its messages.
  function r.await(id, n)
    E.pumpUntil(function() return #r.got(id) >= (n or 1) end)
    return r.got(id)
  end
  return r
end

return E
