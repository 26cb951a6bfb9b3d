-- QX.DialogRes reads resource-script dialog templates; QX.GetFontInfo measures fonts.

test("dialogs of a template file with their controls and flags", function()
  local d, json = QX.DialogRes("dialogs.rc")
  local main = d.IDD_MAIN
  -- A later dialog of the same name replaces the earlier one.
  check_eq(main.rect[3], 300)
  check_eq(#main.item, 1)
  check_eq(main.item[1].type, "DEFPUSHBUTTON")
  check_eq(main.item[1].id, "IDOK")
  check_eq(main.item[1].caption, "OK")
  check_eq(table.concat(main.item[1].rect, ","), "10,20,30,40")
  check_eq(#main.flag, 0)
  local sub = d.IDD_SUB
  check_eq(sub.name, "IDD_SUB")
  check_eq(sub.caption, "Sub")
  check_eq(table.concat(sub.rect, ","), "1,2,3,4")
  check_eq(table.concat(sub.flag, ","), "WS_POPUP,WS_VISIBLE")
  check_eq(sub.font, "MS Gothic")
  check_eq(sub.fontW, 9)
  check_eq(sub.fontWeight, 700)
  check_eq(#sub.item, 1)
  local e = sub.item[1]
  check_eq(e.type, "EDITTEXT")
  check_eq(e.id, "IDC_E")
  check_eq(e.caption, "")
  check_eq(table.concat(e.rect, ","), "5,6,7,8")
  check_eq(table.concat(e.flag, ","), "ES_AUTOHSCROLL,WS_BORDER")
  -- The JSON after the last dialog is the second result.
  check_eq(json.layout.gap, 4)
  check_eq(json.order[2], "IDD_SUB")
end)

test("properties, fonts and controls of one dialog", function()
  local d = QX.DialogRes("comma.rc")
  check_eq(d.IDD_OK.name, "IDD_OK")
  -- A caption with a comma ends reading; the dialog before it stays.
  check_eq(d.IDD_BAD, nil)
  local n = 0
  for _ in pairs(d) do n = n + 1 end
  check_eq(n, 1)
  check_eq(select("#", QX.DialogRes("comma.rc")), 1)
end)

test("LF-only text and missing files", function()
  local d = QX.DialogRes("dialogs_lf.rc")
  check_eq(type(d), "table")
  check_eq(next(d), nil)
  check_eq(select("#", QX.DialogRes("no_such.rc")), 0)
  check_eq(select("#", QX.DialogRes()), 0)
end)

test("font information of known and substituted faces", function()
  local f = QX.GetFontInfo(0, 16, 400, "DejaVu Sans Mono")
  check_eq(f.name, "DejaVu Sans Mono")
  check_eq(f.height, 16)
  check_eq(f.weight, 400)
  check(f.aveWidth > 0 and f.aveWidth <= f.maxWidth, "average within maximum")
  local bold = QX.GetFontInfo(0, 16, 700, "DejaVu Sans Mono")
  check_eq(bold.weight, 700)
  -- A face that is not installed gives the substitute's metrics and name.
  local g = QX.GetFontInfo(0, 16, 400, "No Such Face Anywhere")
  check(type(g.name) == "string" and g.name ~= "" and g.name ~= "No Such Face Anywhere", g.name)
  check_eq(g.height, 16)
  -- The width comes first, as in Windows' font creation.
  local wide = QX.GetFontInfo(12, 16, 400, "DejaVu Sans Mono")
  check_eq(wide.aveWidth, 12)
end)

test("MLDialog is bound; without a UI thread a dialog gets no window", function()
  local dlg = QX.createAux("MLDialog", false)
  check(dlg ~= nil, "created")
  check_eq(dlg:init(0, 0, "IDD_PSEUDOMB"), dlg)
  check_eq(dlg:msgbox("text", "caption", 0, true), 0)
  check_eq(dlg:msgbox("text", "caption", 0, false), 0)
  check_eq(dlg:close(), dlg)
end)
