# Script text goes through the markup converter and the line layout unchecked.
qx_fuzz(text SOURCES ${PROJECT_SOURCE_DIR}/tests/text/text_fuzz.cpp LINKS qx_hud_text)
