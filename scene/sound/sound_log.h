// Where the sound code reports what it refused or could not do: the engine's debug log.
#pragma once
#include <string>
#include <string_view>

void soundLog(std::string_view message);
// "<path>: <what>" with the path in UTF-8.
void soundLog(const std::u16string& path, std::string_view what);
