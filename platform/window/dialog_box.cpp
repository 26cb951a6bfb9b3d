#include "platform/window/dialog_box.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "platform/core/utf.h"
#include "platform/window/message_box.h"
#include "platform/window/ui_thread.h"

namespace qxplat {

namespace {

// A rectangle in dialog units.
struct Box {
  int x, y, w, h;
};

struct ItemTemplate {
  int id;
  const char* text;
  Box box;
  bool button;
};

struct DialogTemplate {
  const char16_t* name;
  int width, height;
  const char* caption;
  std::vector<ItemTemplate> items;
};

const std::vector<DialogTemplate>& templates() {
  static const std::vector<DialogTemplate> all = {
      {u"IDD_PSEUDOMB", 196, 62, "Dialog",
       {{kDialogTextItem, "", {0, 0, 194, 43}, false}, {static_cast<int>(kIdOk), "OK", {67, 47, 50, 14}, true}}},
      {u"IDD_ASKVALID", 213, 46, "ValidationID入力",
       {{-1, "認証後に表示される確認IDを入力：", {47, 0, 120, 10}, false},
        {kDialogTextItem, "", {6, 10, 197, 20}, false},
        {static_cast<int>(kIdOk), "OK", {111, 32, 50, 14}, true},
        {static_cast<int>(kIdCancel), "キャンセル", {163, 32, 50, 14}, true}}},
  };
  return all;
}

// Dialog units of "MS Shell Dlg" 8 in pixels: 4 across and 8 down make one base unit.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;
int pixelsX(int du) { return du * kBaseX / 4; }
int pixelsY(int du) { return du * kBaseY / 8; }

struct Item {
  int id;
  std::string text;
  Box box;
  bool button;
};

struct Dialog {
  DialogId id = 0;
  DialogId owner = 0;
  uint32_t parentWindow = 0;
  DialogProc proc = nullptr;
  uintptr_t userData = 0;
  std::string caption;
  Box size{};
  std::vector<Item> items;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
};

struct Dialogs {
  std::map<DialogId, std::unique_ptr<Dialog>> live;
  DialogId next = 1;
};

Dialogs& dialogs() {
  static Dialogs d;
  return d;
}

Dialog* find(DialogId id) {
  auto it = dialogs().live.find(id);
  return it == dialogs().live.end() ? nullptr : it->second.get();
}

Dialog* findByWindow(uint32_t windowId) {
  for (auto& [id, d] : dialogs().live) {
    if (d->window && SDL_GetWindowID(d->window) == windowId) return d.get();
  }
  return nullptr;
}

void paint(Dialog& d) {
  if (!d.renderer) return;
  SDL_SetRenderDrawColor(d.renderer, 0xF0, 0xF0, 0xF0, 0xFF);
  SDL_RenderClear(d.renderer);
  for (const Item& item : d.items) {
    if (!item.button) continue;
    const SDL_Rect r{pixelsX(item.box.x), pixelsY(item.box.y), pixelsX(item.box.w), pixelsY(item.box.h)};
    SDL_SetRenderDrawColor(d.renderer, 0xE1, 0xE1, 0xE1, 0xFF);
    SDL_RenderFillRect(d.renderer, &r);
    SDL_SetRenderDrawColor(d.renderer, 0x00, 0x78, 0xD7, 0xFF);
    SDL_RenderDrawRect(d.renderer, &r);
  }
  SDL_RenderPresent(d.renderer);
}

void closeWindow(Dialog& d) {
  if (d.renderer) SDL_DestroyRenderer(d.renderer);
  if (d.window) SDL_DestroyWindow(d.window);
  d.renderer = nullptr;
  d.window = nullptr;
}

// The dialog's text for the person: its items' texts under its caption.
std::string bodyText(const Dialog& d) {
  std::string body;
  for (const Item& item : d.items) {
    if (item.button || item.text.empty()) continue;
    if (!body.empty()) body += '\n';
    body += item.text;
  }
  return body;
}

// The window draws no glyphs: its title carries the caption and the text.
void retitle(Dialog& d) {
  if (!d.window) return;
  const std::string body = bodyText(d);
  const std::string title = body.empty() ? d.caption : d.caption + ": " + body;
  SDL_SetWindowTitle(d.window, title.c_str());
}

}  // namespace

DialogId createDialog(std::u16string_view templateName, DialogId owner, uint32_t parentWindow, DialogProc proc,
                      uintptr_t initParam) {
  const auto& all = templates();
  auto t = std::find_if(all.begin(), all.end(), [&](const DialogTemplate& x) { return templateName == x.name; });
  if (t == all.end()) return 0;
  auto d = std::make_unique<Dialog>();
  d->id = dialogs().next++;
  d->owner = find(owner) ? owner : 0;
  // A parent is one of the program's own windows, never a guess.
  d->parentWindow = uiIsProgramWindow(parentWindow) ? parentWindow : 0;
  d->proc = proc;
  d->caption = t->caption;
  d->size = {0, 0, t->width, t->height};
  for (const ItemTemplate& i : t->items) d->items.push_back({i.id, i.text, i.box, i.button});
  const DialogId id = d->id;
  dialogs().live.emplace(id, std::move(d));
  sendDialogMessage(id, kWmInitDialog, 0, static_cast<intptr_t>(initParam));
  return id;
}

bool dialogExists(DialogId dialog) { return find(dialog) != nullptr; }

uint32_t dialogParentWindow(DialogId dialog) {
  Dialog* d = find(dialog);
  return d ? d->parentWindow : 0;
}

void sendDialogMessage(DialogId dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Dialog* d = find(dialog);
  if (d && d->proc) d->proc(dialog, message, wParam, lParam);
}

void destroyDialog(DialogId dialog) {
  if (!find(dialog)) return;
  std::vector<DialogId> owned;
  for (auto& [id, d] : dialogs().live) {
    if (d->owner == dialog) owned.push_back(id);
  }
  for (DialogId id : owned) destroyDialog(id);
  Dialog* d = find(dialog);
  if (!d) return;
  closeWindow(*d);
  sendDialogMessage(dialog, kWmDestroy, 0, 0);
  dialogs().live.erase(dialog);
}

void setDialogText(DialogId dialog, std::string_view text) {
  if (Dialog* d = find(dialog)) {
    d->caption = text;
    retitle(*d);
  }
}

void setDialogItemText(DialogId dialog, int item, std::string_view text) {
  Dialog* d = find(dialog);
  if (!d) return;
  for (Item& i : d->items) {
    if (i.id == item) i.text = text;
  }
  retitle(*d);
}

std::string dialogItemText(DialogId dialog, int item) {
  if (Dialog* d = find(dialog)) {
    for (const Item& i : d->items) {
      if (i.id == item) return i.text;
    }
  }
  return {};
}

void setDialogUserData(DialogId dialog, uintptr_t value) {
  if (Dialog* d = find(dialog)) d->userData = value;
}

uintptr_t dialogUserData(DialogId dialog) {
  Dialog* d = find(dialog);
  return d ? d->userData : 0;
}

void showDialog(DialogId dialog) {
  Dialog* d = find(dialog);
  if (!d || d->window) return;
  // Where no one sees the window, the text still reaches a person.
  if (messageBoxesGoToStderr()) showMessageBox(bodyText(*d), d->caption);
  uiPinGlLibrary();
  d->window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               pixelsX(d->size.w), pixelsY(d->size.h), SDL_WINDOW_SHOWN);
  if (!d->window) {
    if (!messageBoxesGoToStderr()) showMessageBox(bodyText(*d), d->caption);
    return;
  }
  d->renderer = SDL_CreateRenderer(d->window, -1, SDL_RENDERER_SOFTWARE);
  retitle(*d);
  paint(*d);
}

void showDialogMessageBox(DialogId owner, std::string_view text, std::string_view caption, uint32_t type) {
  if (!find(owner)) return;
  showMessageBox(text, caption, type);
}

uint32_t dialogWindowId(DialogId dialog) {
  Dialog* d = find(dialog);
  return d && d->window ? SDL_GetWindowID(d->window) : 0;
}

size_t dialogCount() { return dialogs().live.size(); }

bool handleDialogEvent(const SDL_Event& e) {
  if (e.type != SDL_WINDOWEVENT && e.type != SDL_MOUSEBUTTONUP) return false;
  const uint32_t windowId = e.type == SDL_WINDOWEVENT ? e.window.windowID : e.button.windowID;
  Dialog* d = findByWindow(windowId);
  if (!d) return false;
  const DialogId id = d->id;
  if (e.type == SDL_WINDOWEVENT) {
    if (e.window.event == SDL_WINDOWEVENT_CLOSE) sendDialogMessage(id, kWmCommand, kIdCancel, 0);
    if (e.window.event == SDL_WINDOWEVENT_EXPOSED) paint(*d);
    return true;
  }
  if (e.button.button != SDL_BUTTON_LEFT) return true;
  for (const Item& i : d->items) {
    if (!i.button) continue;
    const int x = pixelsX(i.box.x), y = pixelsY(i.box.y);
    if (e.button.x >= x && e.button.x < x + pixelsX(i.box.w) && e.button.y >= y && e.button.y < y + pixelsY(i.box.h)) {
      sendDialogMessage(id, kWmCommand, static_cast<uintptr_t>(i.id), 0);
      break;
    }
  }
  return true;
}

void destroyAllDialogs() {
  while (!dialogs().live.empty()) destroyDialog(dialogs().live.begin()->first);
}

}  // namespace qxplat
