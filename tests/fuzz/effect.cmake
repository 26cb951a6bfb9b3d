# Effect files come from resource packs: fuzz the reader and the building of effects.
qx_fuzz(effect SOURCES ${PROJECT_SOURCE_DIR}/tests/gfx/fuzz_effect.cpp LINKS qx_platform_effect)
