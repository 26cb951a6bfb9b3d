// The floor: the row's quads drawn from one prebuilt static buffer, one draw call per
// texture, by a bare loop over the GL device into a window of the engine's size (nothing
// else per frame but a clear and Present). What no engine drawing these quads through
// llvmpipe into a window can beat.
#pragma once
#include <string>

#include "bench/peers/peer_scene.h"

namespace peer {

// Frames per second, or a negative value with the reason in why.
double runFloor(const Row& row, std::string& why);

}  // namespace peer
