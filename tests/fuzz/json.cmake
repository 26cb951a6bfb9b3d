# The JSON reader reads every network response: fuzz the reader, the unescaping and the
# writer's round trip.
qx_fuzz(json SOURCES ${PROJECT_SOURCE_DIR}/tests/json/json_fuzz.cpp LINKS qx_runtime_json)
