# HTTP framers (whole against cut feeding) and the response, header and body parsers.
qx_fuzz(http_framer SOURCES ${PROJECT_SOURCE_DIR}/tests/http/fuzz_framer.cpp LINKS qx_net_http)
qx_fuzz(http_response SOURCES ${PROJECT_SOURCE_DIR}/tests/http/fuzz_response.cpp LINKS qx_net_http)
# The value counter against the JSON reader: it never counts fewer values than are built.
qx_fuzz(reply_cost SOURCES ${PROJECT_SOURCE_DIR}/tests/http/fuzz_reply_cost.cpp LINKS qx_net_http)
