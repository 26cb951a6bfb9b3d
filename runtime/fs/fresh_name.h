// Names nobody can guess, for files made beside another and renamed or removed later.
#pragma once
#include <string>
#include <string_view>

namespace qx {

// "<name>.XXXXXX<suffix>", X a random lower-case letter or digit (names match ignoring case).
std::u16string freshName(std::u16string_view name, std::u16string_view suffix);

}  // namespace qx
