// How the script bridge reads its chunks: through the mounted read sources, the first
// source that holds the name winning.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/fs/file_data.h"

// flag is 1 for modules and 0 for "QXMain.lua"; the sources pass it through.
FileData scriptReadFile(const std::u16string& name, uint32_t flag);
