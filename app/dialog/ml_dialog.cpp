#include "app/dialog/ml_dialog.h"

#include <cstdio>

#include "platform/window/message_box.h"
#include "platform/window/ui_thread.h"
#include "script/lua/script_report.h"

using namespace qxplat;

namespace {

// Template names longer than this are cut, as the request record holds no more.
constexpr size_t kTemplateNameMax = 63;

// A box or message dialog shows what fits a screen; the log keeps the rest.
void logCutText(const MsgBoxRequest& request) {
  scriptDebugLog("message box \"" + request.caption + "\" cut to the screen; its text: " + request.text);
}

}  // namespace

MLDialog::~MLDialog() { close(); }

void MLDialog::init(uint32_t initParam, uint32_t parentWindow, const std::u16string& templateName) {
  const std::u16string name = templateName.substr(0, kTemplateNameMax);
  DialogId made = 0;
  uiRunWaiting([&] { made = createDialog(name, 0, parentWindow, &MLDialog::helperWndProc, initParam); });
  window_ = made;
}

void MLDialog::close() {
  if (window_ == 0) return;
  bool existed = false;
  const DialogId w = window_;
  uiRunWaiting([&] {
    existed = dialogExists(w);
    if (existed) sendDialogMessage(w, kWmClose, 0, 0);
  });
  if (existed) window_ = 0;
}

int32_t MLDialog::msgbox(const std::string& text, const std::string& caption, int32_t type, bool modal) {
  if (modal) {
    MsgBoxRequest request{text, caption, static_cast<uint32_t>(type)};
    sendSync(window_, kMsgBoxMessage, reinterpret_cast<uintptr_t>(&request), 1);
    return 0;  // the dialog's message result, which these dialogs never set
  }
  postAsync(window_, std::make_unique<MsgBoxRequest>(MsgBoxRequest{text, caption, static_cast<uint32_t>(type)}), 0);
  return 0;
}

void MLDialog::sendSync(DialogId window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  uiRunWaiting([&] { sendDialogMessage(window, message, wParam, lParam); });
}

void MLDialog::postAsync(DialogId window, std::unique_ptr<MsgBoxRequest> request, intptr_t lParam) {
  // Held by the task until a message dialog takes it; freed with the task otherwise
  // (no such dialog, or a queue that closed first).
  auto held = std::make_shared<std::unique_ptr<MsgBoxRequest>>(std::move(request));
  uiPost([window, held, lParam] { sendDialogMessage(window, kMsgBoxMessage, reinterpret_cast<uintptr_t>(held.get()), lParam); });
}

void MLDialog::helperWndProc(DialogId dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kWmClose) {
    destroyDialog(dialog);
  } else if (message == kWmInitDialog) {
    setDialogUserData(dialog, static_cast<uintptr_t>(lParam));
  } else if (message == kMsgBoxMessage && wParam != 0) {
    if (lParam != 0) {
      const auto* request = reinterpret_cast<const MsgBoxRequest*>(wParam);
      if (!messageBoxShowsWhole(request->text)) logCutText(*request);
      showDialogMessageBox(dialog, request->text, request->caption, request->type);
      return;
    }
    auto& request = *reinterpret_cast<std::unique_ptr<MsgBoxRequest>*>(wParam);
    if (!request) return;
    const DialogId box =
        createDialog(u"IDD_PSEUDOMB", dialog, 0, &MLDialog::pseudoMsgBoxProc, reinterpret_cast<uintptr_t>(request.get()));
    if (box == 0) return;
    const MsgBoxRequest* shown = request.release();  // the message dialog frees it when destroyed
    showDialog(box);
    if (!dialogShowsWhole(box)) logCutText(*shown);
  }
}

void MLDialog::pseudoMsgBoxProc(DialogId dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kWmInitDialog) {
    const auto* request = reinterpret_cast<const MsgBoxRequest*>(lParam);
    setDialogUserData(dialog, static_cast<uintptr_t>(lParam));
    setDialogText(dialog, request->caption);
    setDialogItemText(dialog, kDialogTextItem, request->text);
  } else if (message == kWmCommand && wParam == kIdOk) {
    destroyDialog(dialog);
  } else if (message == kWmDestroy) {
    delete reinterpret_cast<MsgBoxRequest*>(dialogUserData(dialog));
    setDialogUserData(dialog, 0);
  }
}
