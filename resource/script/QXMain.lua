-- The program's first script. The engine starts main as a coroutine and resumes it for
-- every 1/60 s update step with (1, dt, update ms, draw ms, fps) and for every draw with
-- (2, 0); yielding true asks for more. Closing the window ends the program.
require("QXL")     -- the engine's classes are bound over it once this file has run
require("QXGobj")
require("COL")     -- collision shapes and the node methods of collision trees

local clearColour = 0xFF204060  -- ARGB

local function log(text)
  if QX and QX.log then QX.log(text) end
end

function main()
  local app = Qeldrin.new(640, 480, "QX")
  if not app:has_window() then
    -- Raised: the engine shows and logs it, and the program exits 1 (the log also says
    -- whether the window or its device could not be made).
    error("QXMain: no window could be made", 0)
  end
  log("QXMain: window open")
  local draws = 0
  while true do
    local phase = coroutine.yield(true)
    if phase == 2 then
      app:beginDraw()
      app:clearColorBuffer(clearColour)
      app:endDraw()
      draws = draws + 1
      if draws == 1 then log("QXMain: first frame drawn") end
    end
  end
end
