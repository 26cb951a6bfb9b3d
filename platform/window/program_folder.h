#pragma once
#include <string>

namespace qxplat {

// The folder holding the running executable, with '/' separators and no trailing one
// ("/" for the root); empty when /proc/self/exe cannot be read.
std::string programFolder();

}  // namespace qxplat
