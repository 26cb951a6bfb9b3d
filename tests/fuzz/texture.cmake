# Texture images, sprite descriptions and materials come from resource folders and packs.
qx_fuzz(dds SOURCES ${PROJECT_SOURCE_DIR}/tests/texture/fuzz_dds.cpp LINKS qx_render_texture)
qx_fuzz(sprite_desc SOURCES ${PROJECT_SOURCE_DIR}/tests/texture/fuzz_sprite_desc.cpp LINKS qx_render_texture)
qx_fuzz(material SOURCES ${PROJECT_SOURCE_DIR}/tests/texture/fuzz_material.cpp LINKS qx_render_material)
