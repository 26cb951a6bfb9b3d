# Animation files come from resource packs: fuzz the ".spr" reader and every lookup of
# the slots it builds.
qx_fuzz(anim SOURCES ${PROJECT_SOURCE_DIR}/tests/anim/fuzz_anim.cpp LINKS qx_scene_anim)
