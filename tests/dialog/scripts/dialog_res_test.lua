-- QX.DialogRes reads resource-script dialog templates; QX.GetFontInfo measures fonts.

-- A dialog or control as one line: its fields in a fixed order, lists joined.
local function line(t)
  local parts = {}
  for _, k in ipairs({ "name", "type", "id", "caption", "font", "fontW", "fontWeight" }) do
    if t[k] ~= nil then parts[#parts + 1] = k .. "=" .. tostring(t[k]) end
  end
  return table.concat(parts, " ") .. " rect=" .. table.concat(t.rect, ",") .. " flag=" .. table.concat(t.flag, "|")
end

test("dialogs of a template file with their controls and flags", function()
  local d, json = QX.DialogRes("dialogs.rc")
  -- A later dialog of the same name replaces the earlier one.
  check_eq(line(d.IDD_MAIN), "name=IDD_MAIN caption= font= fontW=0 fontWeight=0 rect=0,0,300,200 flag=")
  check_eq(#d.IDD_MAIN.item, 1)
  check_eq(line(d.IDD_MAIN.item[1]), "type=DEFPUSHBUTTON id=IDOK caption=OK rect=10,20,30,40 flag=")
  check_eq(line(d.IDD_SUB),
    "name=IDD_SUB caption=Sub font=MS Gothic fontW=9 fontWeight=700 rect=1,2,3,4 flag=WS_POPUP|WS_VISIBLE")
  check_eq(#d.IDD_SUB.item, 1)
  check_eq(line(d.IDD_SUB.item[1]), "type=EDITTEXT id=IDC_E caption= rect=5,6,7,8 flag=ES_AUTOHSCROLL|WS_BORDER")
  -- The JSON after the last dialog is the second result.
  check_eq(json.layout.gap, 4)
  check_eq(json.order[2], "IDD_SUB")
end)

test("a caption with a comma ends reading; LF-only text and missing files", function()
  local d = QX.DialogRes("comma.rc")
  check_eq(next(d) .. tostring(next(d, "IDD_OK")), "IDD_OKnil")
  check_eq(next(QX.DialogRes("dialogs_lf.rc")), nil)
  check_eq(select("#", QX.DialogRes("no_such.rc")), 0)
end)
test("font information of known and substituted faces", function()
  local f = QX.GetFontInfo(0, 16, 700, "DejaVu Sans Mono")
  check_eq(f.name .. " " .. f.height .. " " .. f.weight, "DejaVu Sans Mono 16 700")
  -- A face that is not installed gives the font text is drawn with then: the default one,
  -- as HUDText:initFont takes it. The width comes first.
  local unknown = QX.GetFontInfo(0, 16, 400, "No Such Face Anywhere")
  local drawn = HUDText.new():initFont(0, 16, 400, "No Such Face Anywhere")
  check_eq(unknown.name .. " " .. unknown.height, "IPAGothic " .. drawn:getFontHeight())
  check_eq(QX.GetFontInfo(0, 16, 400, "MS Gothic").name, "IPAGothic")
  check_eq(QX.GetFontInfo(12, 16, 400, "DejaVu Sans Mono").aveWidth, 12)
end)

test("MLDialog is bound; without a UI thread a dialog gets no window", function()
  local dlg = QX.createAux("MLDialog", false)
  check_eq(dlg:init(0, 0, "IDD_PSEUDOMB"), dlg)
  check_eq(dlg:msgbox("text", "caption", 0, true), 0)
  check_eq(dlg:msgbox("text", "caption", 0, false), 0)
  check_eq(dlg:close(), dlg)
end)
