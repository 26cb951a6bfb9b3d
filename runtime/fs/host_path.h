// Engine paths meet the host file system only here: UTF-16 with '\' or '/' becomes UTF-8
// with '/', and each component is matched case-insensitively (ASCII letters), so that the
// lower-cased resource names find files that keep their case on disk.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// Empty when the text holds a NUL unit, which no host path can.
std::optional<std::string> toHostPath(std::u16string_view enginePath);
// The existing host path that matches, preferring an exact match at every component.
std::optional<std::string> findHostPath(const std::string& hostPath);
// The host path to create: the folders must exist (matched as findHostPath does); the last
// component takes the name of an existing entry that matches, else the name as given.
std::optional<std::string> hostPathForWrite(const std::string& hostPath);
bool isHostDirectory(const std::string& hostPath);
bool isHostRegularFile(const std::string& hostPath);

}  // namespace qx
