-- QX.CountChara counts what a text shows, not its markup.

test("visible characters of markup text", function()
  local cases = {
    { "a%%b", 2 },
    { "%cFF8000red%s", 3 },
    { "x%w12y", 2 },
    { "line\r\nnext", 9 },
    { "世界%", 3 },  -- a last "%" shows
    { "\240\159\152\128", 1 },
  }
  for _, c in ipairs(cases) do
    check_eq(QX.CountChara(c[1]), c[2], c[1])
  end
  check_eq(QX.CountChara(), 0)
end)
