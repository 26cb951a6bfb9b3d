# Dialog template files are read as they come from the scripts' folders.
qx_fuzz(dialog_template SOURCES ${PROJECT_SOURCE_DIR}/tests/dialog/dialog_fuzz.cpp LINKS qx_hud_dialog)
