-- The fixture of the tree sync test: the script library, as the program loads it.
require("QXL")
require("QXGobj")
require("COL")
