#include "net/twiapi/http_log.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>

#include "net/twiapi/twiapi.h"
#include "runtime/fs/host_path.h"
#include "runtime/fs/path_stack.h"

namespace fs = std::filesystem;

bool appendHttpLog(const std::string& hostPath, const char* data, uint32_t length) {
  const size_t kept = length < kHttpLogEntryMax ? length : kHttpLogEntryMax;
  std::string tail = "\r\n";
  if (kept < length) tail = "\r\n[cut to " + std::to_string(kept) + " of " + std::to_string(length) + " bytes]\r\n";
  const uint64_t entry = kept + tail.size();
  std::error_code ec;
  const uintmax_t size = fs::file_size(hostPath, ec);
  if (!ec && size > 0 && size + entry > kHttpLogFileMax) {
    fs::rename(hostPath, hostPath + ".1", ec);
    if (ec) return false;
  }
  std::ofstream f(hostPath, std::ios::app | std::ios::binary);
  if (data) f.write(data, static_cast<std::streamsize>(kept));
  f.write(tail.data(), static_cast<std::streamsize>(tail.size()));
  return static_cast<bool>(f);
}

bool writeHttpLog(const char* data, uint32_t length) {
  static std::mutex lock;
  std::lock_guard<std::mutex> g(lock);
  if (programPath().empty()) return false;
  try {
    PathStack p = programPath();
    p.push(u"http_log.txt");
    std::optional<std::string> host = qx::toHostPath(p.str());
    if (host) host = qx::hostPathForWrite(*host);
    return host && appendHttpLog(*host, data, length);
  } catch (const std::exception&) {
    return false;
  }
}
