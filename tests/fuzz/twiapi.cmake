# Replies and streams framed and handed to the service client as deliveries.
qx_fuzz(twiapi SOURCES ${PROJECT_SOURCE_DIR}/tests/twiapi/fuzz_twiapi.cpp LINKS qx_net_twiapi)
