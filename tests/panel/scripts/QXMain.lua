-- The fixture of the panel widget tests: the script library, as the program's own QXMain.lua loads it.
require("QXL")
require("QXGobj")
