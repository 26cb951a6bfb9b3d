# Edit sequences from scripts reach a HUDText's line bookkeeping in any order.
qx_fuzz(hud_text_edit SOURCES ${PROJECT_SOURCE_DIR}/tests/widget/text_edit_fuzz.cpp LINKS qx_hud_widget)
