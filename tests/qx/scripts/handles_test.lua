-- Handles, memory items, the debug log and the profiler as scripts see them. Runs in
-- qxlua_qx, which provides the classes "QxTest.Part" and "QxTest.Whole" and "qxext".

QXMEMMT = {}
for _, name in ipairs { "QxTest.Part", "QxTest.Whole" } do
  QXMEMMT[name] = {
    mt = { __index = { class = name }, __gc = QX_Release },
    mt_w = { __index = { weak_class = name } },
  }
end

test("a strong handle holds one reference until it is collected", function()
  local p = QX.createAux("QxTest.Part", false)
  check_eq(p.class, "QxTest.Part")
  check_eq(QX.GetRefCount(p), 1)
  local extra = QX.getStrong(p)
  check_eq(QX.GetRefCount(p), 2)
  extra = nil
  collectgarbage()
  check_eq(QX.GetRefCount(p), 1)
  local weak = QX.getWeak(p)
  check_eq(weak.weak_class, "QxTest.Part")
  check_eq(QX.GetRefCount(p), 1)
  p = nil
  collectgarbage()
  check(not QX.validHdl(weak), "the last strong handle went with the collector")
end)

test("the strong userdata is 16 bytes and the weak one 4", function()
  local p = QX.createAux("QxTest.Part", false)
  check_eq(qxext.objlen(p), 16)
  check_eq(qxext.objlen(QX.getWeak(p)), 4)
  check_eq(qxext.handle_of(QX.getWeak(p)), qxext.handle_of(p))
end)

test("a constructor that makes another object gets both handles right", function()
  local w = QX.createAux("QxTest.Whole", false)
  check_eq(w.class, "QxTest.Whole")
  check_eq(qxext.self_of(w), qxext.handle_of(w))
  local part = qxext.part_of(w)
  check_eq(part.class, "QxTest.Part")
  check(qxext.handle_of(part) ~= qxext.handle_of(w))
  check_eq(qxext.self_of(part), qxext.handle_of(part))
  check_eq(QX.GetRefCount(w), 1)
  check_eq(QX.GetRefCount(part), 2, "the whole's reference and this userdata's")
  check_eq(qxext.constructing(), 0)
end)

test("an unknown class name gives nil and leaves nothing behind", function()
  collectgarbage()
  local before = qxext.items()
  check_eq(QX.createAux("QxTest.Nope", false), nil)
  check_eq(QX.createAux("QxTest.Nope", true), nil)
  check_eq(QX.createAux(nil), nil)
  check_eq(qxext.items(), before)
  check_eq(qxext.constructing(), 0)
end)

test("QX.log writes stamped lines to log.txt in the program's folder", function()
  QX.log("first line")
  QX.log("second")
  local path = qxext.log_path()
  check(path:find("log.txt", 1, true) ~= nil, path)
  local f = assert(io.open(path, "rb"))
  local text = f:read("*a")
  f:close()
  check(text:find("%[%d+%]: first line\n%[%d+%]: second\n$") ~= nil, text)
end)

test("the profiler is reachable from scripts", function()
  qxext.frame(function()
    QX.profBegin("scripted")
    QX.profEnd("scripted")
  end)
  local report = QX.profStr()
  check(report:find("Profile Name", 1, true) ~= nil, report)
  check(report:find("scripted", 1, true) ~= nil, report)
end)
