# Token files are read from the program's folder, where anything may have been put.
qx_fuzz(token_file SOURCES ${PROJECT_SOURCE_DIR}/tests/twiapi/token_fuzz.cpp ${PROJECT_SOURCE_DIR}/net/twiapi/token_file.cpp
  LINKS qx_runtime_fs qx_platform_core)
