// Text layout of the program's own dialogs and message boxes: tabs as spaces, lines
// broken to a width, and a cut with an ellipsis where the lines do not fit.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qxplat {

// Every tab becomes spaces up to the next multiple of four columns of its line.
std::string expandTabs(std::string_view text);

// The advance of one character in pixels.
using AdvanceFn = std::function<int(char32_t)>;

// Breaks text into lines no wider than maxWidth: at line breaks (LF, CR LF, CR), at
// spaces, before and after CJK characters, and anywhere inside a word longer than a line.
// Spaces at a break are dropped; a line holds at least one character.
std::vector<std::u32string> wrapText(std::u32string_view text, int maxWidth, const AdvanceFn& advance);

// Keeps at most maxLines lines; when some are dropped, the last kept line ends with "…",
// shortened until it fits maxWidth.
std::vector<std::u32string> cutLines(std::vector<std::u32string> lines, size_t maxLines, int maxWidth,
                                     const AdvanceFn& advance);

int textWidth(std::u32string_view text, const AdvanceFn& advance);

// Characters between which a line may break without a space.
bool isCjk(char32_t c);

}  // namespace qxplat
