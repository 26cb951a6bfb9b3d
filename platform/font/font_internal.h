#pragma once
#include <string>

#include "platform/font/font.h"

namespace qxfont {

// Opens face `index` of a file and sizes it for the request; family names the face (the
// face's own name when empty).
FontRef realise(const std::string& path, int index, const LogFont& request, const std::u16string& family,
                std::string* error);

}  // namespace qxfont
