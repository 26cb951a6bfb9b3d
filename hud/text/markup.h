// HUD text as 32-bit code points, and its conversion from and to script text with inline
// markup: "%%" a percent sign, "%s", "%w<digits>" and "%c<6 hex digits>" controls, which
// become private-use code points (code | parameter << 21). A "%" that ends the text is
// kept as a visible "%".
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using U32String = std::u32string;

namespace hudtext {

constexpr uint32_t kCtlWidth = 0xE000;
constexpr uint32_t kCtlS = 0xE001;
constexpr uint32_t kCtlRed = 0xE002;
constexpr uint32_t kCtlGreen = 0xE003;
constexpr uint32_t kCtlBlue = 0xE004;
constexpr uint32_t kParamShift = 21;

// A code point made by the markup converter (with or without a parameter).
inline bool isMarkupControl(uint32_t cp) {
  const uint32_t code = cp & ((1u << kParamShift) - 1);
  return code >= kCtlWidth && code <= kCtlBlue;
}

}  // namespace hudtext

// Appends the code points of a zero-terminated UTF-16 text to out; returns (visible,
// control) counts, or (0, 0) for a broken "%w" or "%c" (what came before stays in out).
std::pair<int32_t, int32_t> markupToUtf32(const char16_t* text, U32String& out);
// Appends the UTF-16 form of text: LF as CR LF, controls and private-use code points left out.
void utf32ToWide(std::u16string& out, const U32String& text);
// Appends the length of each line (LF included); a trailing LF adds an empty line.
void countLineLengths(std::vector<int32_t>& rows, const U32String& text);
// Code points up to and including the first LF, or up to the terminator.
int32_t firstLineLength(const char32_t* p);
// 1 for an empty text, else the LFs plus one unless the text ends with LF.
int32_t countLines(const char32_t* p);
