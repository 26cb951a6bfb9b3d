// How animations reach their textures: through the texture manager, by name, as counted
// handles, and the size that pixel coordinates are normalised by.
#pragma once
#include <cstdint>
#include <string>

#include "render/texture/texture_mgr.h"

using AnimTexHandle = TextureMgr::TexHandle;

// The named texture (loaded with usage 0 and the managed pool, or shared); null when no
// read source holds it or there is no texture manager.
AnimTexHandle loadAnimTexture(const std::u16string& name);
// The texture's width and height, or 1 for a missing texture or an empty side, so such
// slots keep their pixel units.
void animTextureScale(const AnimTexHandle& texture, int32_t& width, int32_t& height);
