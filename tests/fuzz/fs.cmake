# Pack files come from outside: fuzz the part directory reader and the entry decoder
# (Huffman trees, coded bits, seeks).
qx_fuzz(fs_pack SOURCES ${PROJECT_SOURCE_DIR}/tests/fs/fuzz_pack.cpp LINKS qx_runtime_fs)
