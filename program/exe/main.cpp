// The program: the first thread becomes the UI thread, which runs the engine's main thread
// until the script ends or the window is closed.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "program/main/main_thread.h"
#include "platform/core/utf.h"
#include "platform/window/message_box.h"
#include "platform/window/program_folder.h"
#include "platform/window/ui_thread.h"
#include "runtime/fs/path_stack.h"
#include "script/qx/qx_log.h"

namespace {

// A folder, or a file: a pack.
bool hasResourceRoot(const std::string& folder) {
  std::error_code ec;
  const auto root = std::filesystem::path(folder) / "resource";
  return std::filesystem::is_directory(root, ec) || std::filesystem::is_regular_file(root, ec);
}

}  // namespace

int main() {
  const std::string folder = qxplat::programFolder();
  if (folder.empty()) {
    std::fputs("qx: the program's folder cannot be found\n", stderr);
    return 1;
  }
  try {
    programPath().set(qcore::utf8ToUtf16(folder));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qx: the program's folder cannot be used (%s)\n", e.what());
    return 1;
  }
  if (!hasResourceRoot(folder)) {
    qxplat::showMessageBox("There is no \"resource\" folder or pack beside the program in " + folder, "qx",
                           qxplat::kMbIconError);
    return 1;
  }
  int code = 0;
  const int uiCode = qxplat::runUiThread([&code](uint32_t uiThreadId) { code = mainThreadProc(uiThreadId); },
                                         [](const std::string& why) {
                                           writeQXLog(why);
                                           closeQXLog();
                                         });
  return uiCode != 0 ? uiCode : code;
}
