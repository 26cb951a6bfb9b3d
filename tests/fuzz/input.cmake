# Input logs are files a user may hand the program: fuzz the reader and the replay.
qx_fuzz(input_log SOURCES ${PROJECT_SOURCE_DIR}/tests/input/log_fuzz.cpp LINKS qx_app_input)
