-- The script base of the engine class Qeldrin: the engine binds Qeldrin over what this
-- module leaves in the global Qeldrin, so script-side methods of the application object
-- belong here. Qeldrin.new(width, height, title) makes the object and opens its window.
Qeldrin = Qeldrin or {}
return Qeldrin
