// Dialogs of the program's own templates, on the UI thread. A dialog is a record with an
// id (never 0, never reused in a run), its template's items, user data and a procedure
// that gets the Windows dialog messages the scripts' dialogs are written against. A shown
// dialog is a small window of its own (with a display) or a line on stderr (headless).
// Everything here runs on the UI thread; other threads go through the request queue.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

union SDL_Event;

namespace qxplat {

using DialogId = uint32_t;

// The messages a dialog procedure gets (Windows values).
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmInitDialog = 0x0110;
constexpr uint32_t kWmCommand = 0x0111;
constexpr uintptr_t kIdOk = 1;
constexpr uintptr_t kIdCancel = 2;
// The static text and the edit box of the templates.
constexpr int kDialogTextItem = 1001;

// WM_INITDIALOG carries the init parameter as lParam; WM_COMMAND the button id as wParam.
using DialogProc = void (*)(DialogId dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Creates a dialog from the template of that name ("IDD_PSEUDOMB", "IDD_ASKVALID"),
// hidden, owned by the dialog `owner` (0: none; it goes with its owner), with the parent
// window `parentWindow` (a program window's SDL id; any other id means none), and sends
// it WM_INITDIALOG. 0 for an unknown template.
DialogId createDialog(std::u16string_view templateName, DialogId owner, uint32_t parentWindow, DialogProc proc,
                      uintptr_t initParam);
// The parent window it was given, 0 when none.
uint32_t dialogParentWindow(DialogId dialog);
bool dialogExists(DialogId dialog);
// Hands a message to the dialog's procedure; nothing when there is no such dialog.
void sendDialogMessage(DialogId dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Destroys the dialogs it owns, then sends it WM_DESTROY and drops its record.
void destroyDialog(DialogId dialog);
// The window text (the caption) and an item's text.
void setDialogText(DialogId dialog, std::string_view text);
void setDialogItemText(DialogId dialog, int item, std::string_view text);
std::string dialogItemText(DialogId dialog, int item);
void setDialogUserData(DialogId dialog, uintptr_t value);
uintptr_t dialogUserData(DialogId dialog);
// Shows it as a window of its own: the caption as its title, its texts and labelled
// buttons drawn in it (a long static text may make it taller, and is cut with "…" where
// the display ends); headless, or when its window cuts a text, its text also goes to
// stderr.
void showDialog(DialogId dialog);
// False while its window shows a text cut (as messageBoxShowsWhole, true on stderr).
bool dialogShowsWhole(DialogId dialog);
// The picture a shown dialog draws (0xAARRGGBB, rows top-down); false before it is shown.
bool dialogPicture(DialogId dialog, std::vector<uint32_t>& pixels, int& width, int& height);
// An item's place in that picture, in pixels; false before the dialog is shown.
bool dialogItemRect(DialogId dialog, int item, int& x, int& y, int& width, int& height);
// The SDL id of its window, 0 while it has none.
uint32_t dialogWindowId(DialogId dialog);
// A message box owned by the dialog (none when the dialog does not exist); the dialog's
// window, if any, is its parent.
void showDialogMessageBox(DialogId owner, std::string_view text, std::string_view caption, uint32_t type);
size_t dialogCount();

// The pump's share: true when the event belonged to a dialog window, which then takes
// all of it. A click on a button (the left button pressed and released on it), and
// Enter or Space for the default button, become WM_COMMAND with the button's id; Escape
// and the close box send IDCANCEL.
bool handleDialogEvent(const SDL_Event& event);
// Destroys every dialog (the pump ends).
void destroyAllDialogs();

}  // namespace qxplat
