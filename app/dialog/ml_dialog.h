// MLDialog: a script's dialog. Scripts run on the main thread; the dialog and its message
// boxes live on the UI thread, so every window operation is shipped there and, except a
// modeless message box, waited for.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/window/dialog_box.h"

// What a message box shows; a modeless one's record belongs to its message dialog.
struct MsgBoxRequest {
  std::string text;
  std::string caption;
  uint32_t type = 0;
};

class MLDialog {
 public:
  // Window message that asks the dialog for a message box. lParam 1 (modal): wParam is
  // the MsgBoxRequest*. lParam 0 (modeless): wParam is a std::unique_ptr<MsgBoxRequest>*
  // whose record a message dialog takes over when it is made.
  static constexpr uint32_t kMsgBoxMessage = 0x505;

  MLDialog() = default;
  ~MLDialog();
  MLDialog(const MLDialog&) = delete;
  MLDialog& operator=(const MLDialog&) = delete;

  // Creates the dialog of that template, hidden, on the UI thread and keeps its id (0
  // when there is no such template or no UI thread). A dialog kept before is not closed.
  void init(uint32_t initParam, uint32_t parentWindow, const std::u16string& templateName);
  // Closes the dialog, when it still exists, and forgets it.
  void close();
  // Modal: a message box owned by the dialog; returns when it is dismissed, with the
  // dialog's message result (0 whatever the button). Modeless: a message dialog owned by
  // the dialog; returns 0 at once.
  int32_t msgbox(const std::string& text, const std::string& caption, int32_t type, bool modal);

  qxplat::DialogId window() const { return window_; }

  // The UI thread sends the message; the caller waits for it.
  static void sendSync(qxplat::DialogId window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  // The UI thread sends the message box request later; the record goes with it.
  static void postAsync(qxplat::DialogId window, std::unique_ptr<MsgBoxRequest> request, intptr_t lParam);

  static void helperWndProc(qxplat::DialogId dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
  static void pseudoMsgBoxProc(qxplat::DialogId dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

 private:
  qxplat::DialogId window_ = 0;
};
