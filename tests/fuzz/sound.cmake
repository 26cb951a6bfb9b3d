# WAV files come from outside: fuzz the chunk walk and the format checks.
qx_fuzz(sound_wav SOURCES ${PROJECT_SOURCE_DIR}/tests/sound/fuzz_wav.cpp LINKS qx_scene_sound)
