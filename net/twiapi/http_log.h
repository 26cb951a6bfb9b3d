// "http_log.txt": the bytes of replies that could not be read, for whoever looks into a
// failure later. Bounded: an entry keeps its first kHttpLogEntryMax bytes and notes its
// full length; a write that would take the file past kHttpLogFileMax first moves it to
// "http_log.txt.1" (replacing the older one) and starts a new file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kHttpLogEntryMax = 64u << 10;
constexpr uint64_t kHttpLogFileMax = 1u << 20;

// Appends one entry to the log file at hostPath; false when it cannot be written.
bool appendHttpLog(const std::string& hostPath, const char* data, uint32_t length);
