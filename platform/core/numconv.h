#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Locale-independent integer text. The strict parsers take the whole text (an optional
// sign, then digits of the base; hexadecimal may carry "0x") and refuse overflow.
namespace qcore {
std::optional<int64_t> parseI64(std::string_view text, int base = 10);
std::optional<uint64_t> parseU64(std::string_view text, int base = 10);
std::optional<int32_t> parseI32(std::string_view text, int base = 10);
std::string formatI64(int64_t value);
std::string formatU64(uint64_t value);
// Shortest decimal text that reads back as the same double ("%.17g" at worst), in the C
// locale; "nan"/"inf" for non-finite values.
std::string formatDouble(double value);
// The whole text read as strtod reads it in the C locale (no leading blanks): a value
// beyond the double range gives +-inf, one below it 0 or a subnormal.
std::optional<double> parseDouble(std::string_view text);
// strtod of NUL-terminated text in the C locale, whatever the process locale.
double strtodC(const char* text, char** end = nullptr);
// The value of a hexadecimal digit, -1 for any other character.
int hexDigitValue(char c);
}  // namespace qcore

// Writes the decimal text of value (as signed or unsigned 64-bit) into buffer and returns
// where it starts; nullptr when the buffer is too small.
char* I64ToStr(char* buffer, size_t capacity, int64_t value, int isSigned);
// The value of leading decimal text (spaces, an optional sign, digits); saturates at the
// int64 range on overflow; 0 when there are no digits. ok, when given, reports whether
// the text was a well-formed number within range.
int64_t StrToI64(const char* text, bool* ok = nullptr);
// The value of four hexadecimal digits; 0 (and ok false) when any of them is not one.
uint16_t StrToHex4(const char* fourChars, bool* ok = nullptr);
// The number written in base (2..36) in text[0..length); leading spaces are skipped and the
// digits stop at the first non-digit. Saturates at the int32 range on overflow, with ok false.
int32_t StrToI32B(const char* text, size_t length, int base, bool* ok = nullptr);
