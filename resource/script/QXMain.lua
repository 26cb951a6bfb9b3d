-- The program's first script. The engine starts main as a coroutine and resumes it for
-- every 1/60 s update step with (1, dt, update ms, draw ms, fps) and for every draw with
-- (2, 0); yielding true asks for more, returning ends the program.
require("QXL")     -- the engine's classes are bound over it once this file has run
require("QXGobj")
require("COL")     -- collision shapes and the node methods of collision trees

local runSeconds = 3

local function log(text)
  if QX and QX.log then QX.log(text) end
end

function main()
  log("QXMain: running for " .. runSeconds .. " seconds")
  local elapsed, nextReport, draws = 0, 1, 0
  while elapsed < runSeconds do
    local phase, dt, updateMs, drawMs, fps = coroutine.yield(true)
    if phase == 1 then
      elapsed = elapsed + dt
      if elapsed >= nextReport then
        log(string.format("QXMain: %d s, %d fps, update %.3f ms, draw %.3f ms", nextReport, fps, updateMs, drawMs))
        nextReport = nextReport + 1
      end
    else
      draws = draws + 1
    end
  end
  log("QXMain: done after " .. draws .. " draws")
end
