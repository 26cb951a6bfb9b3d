// Token files: two words (a token and its secret, or a consumer key and its secret)
// separated by CR LF, every byte XOR-ed with a one-byte key. No header, so files written
// by earlier versions still load.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

constexpr uint8_t kAccessTokenKey = 0x5D;
constexpr uint8_t kConsumerKeyKey = 0x2E;
// Larger files are no token files: they are not read.
constexpr size_t kTokenFileMax = 4096;

std::string encodeTokenFile(std::string_view first, std::string_view second, uint8_t key);
// The two whitespace-separated words of the decoded bytes; false (outputs untouched) when
// there are fewer than two.
bool decodeTokenFile(std::string_view bytes, uint8_t key, std::string& first, std::string& second);

// The host path of a token file: the program's folder joined with the script's name;
// empty when it cannot be made.
std::string tokenFilePath(std::u16string_view name);
// The file's bytes; false, with the reason in why, when it is no regular file (it is
// opened without waiting: a FIFO never blocks), cannot be read or holds more than
// kTokenFileMax.
bool readTokenFile(const std::string& path, std::string& bytes, std::string& why);
// Writes a temporary file beside path with mode 0600 and renames it over path; false,
// with the reason in why, when any step fails (the old file is then untouched).
bool writeTokenFile(const std::string& path, std::string_view bytes, std::string& why);
