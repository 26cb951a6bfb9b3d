#include "platform/window/dialog_box.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/core/utf.h"
#include "platform/window/message_box.h"
#include "platform/window/dialog_paint.h"
#include "platform/window/dialog_text.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"

namespace qxplat {

namespace {

// A rectangle in dialog units.
struct Box {
  int x, y, w, h;
};

enum class ItemKind : uint8_t { staticText, edit, button, defaultButton };

struct ItemTemplate {
  int id;
  const char* text;
  Box box;
  ItemKind kind;
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
       {{kDialogTextItem, "", {0, 0, 194, 43}, ItemKind::staticText},
        {static_cast<int>(kIdOk), "OK", {67, 47, 50, 14}, ItemKind::defaultButton}}},
      {u"IDD_ASKVALID", 213, 46, "ValidationID入力",
       {{-1, "認証後に表示される確認IDを入力：", {47, 0, 120, 10}, ItemKind::staticText},
        {kDialogTextItem, "", {6, 10, 197, 20}, ItemKind::edit},
        {static_cast<int>(kIdOk), "OK", {111, 32, 50, 14}, ItemKind::defaultButton},
        {static_cast<int>(kIdCancel), "キャンセル", {163, 32, 50, 14}, ItemKind::button}}},
  };
  return all;
}

// Dialog units of "MS Shell Dlg" 8 in pixels: 4 across and 8 down make one base unit.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;
int pixelsX(int du) { return du * kBaseX / 4; }
int pixelsY(int du) { return du * kBaseY / 8; }

// Room kept between a static text and its item's edges.
constexpr int kTextMargin = 4;
// Room for the title bar and frame when the window grows to the display's height.
constexpr int kWindowFrame = 48;
// The display height assumed where SDL knows none.
constexpr int kFallbackDisplayHeight = 768;

constexpr uint32_t kFace = 0xF0F0F0, kInk = 0x000000, kButtonFace = 0xE1E1E1, kButtonEdge = 0xADADAD,
                   kDefaultEdge = 0x0078D7, kEditFace = 0xFFFFFF, kEditEdge = 0x7A7A7A;

struct Item {
  int id;
  std::string text;
  Box box;
  ItemKind kind;
  PixelRect rect;                   // in pixels, as last laid out
  std::vector<std::u32string> lines;  // a static text's lines
  bool cut = false;                   // the layout dropped some of them
};

bool isButton(const Item& i) { return i.kind == ItemKind::button || i.kind == ItemKind::defaultButton; }

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
  bool shown = false;
  int pressedButton = 0;  // the button the left mouse button went down on, 0 for none
  DialogCanvas canvas;
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
  if (windowId == 0) return nullptr;
  for (auto& [id, d] : dialogs().live) {
    if (d->window && SDL_GetWindowID(d->window) == windowId) return d.get();
  }
  return nullptr;
}

int displayUsableHeight() {
  SDL_Rect r{};
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayUsableBounds(0, &r) == 0 && r.h > 0) return r.h;
  return kFallbackDisplayHeight;
}

// Places the items in pixels. The message text (item 1001) keeps its template area
// unless its lines need more: then the window grows (at most to the display's usable
// height) and the items below move down; lines that still do not fit are cut with "…".
// Returns the window's size.
std::pair<int, int> layout(Dialog& d) {
  const int width = pixelsX(d.size.w);
  int height = pixelsY(d.size.h);
  for (Item& i : d.items) i.rect = {pixelsX(i.box.x), pixelsY(i.box.y), pixelsX(i.box.w), pixelsY(i.box.h)};
  const AdvanceFn advance = dialogAdvanceFn();
  const int lineHeight = dialogLineHeight();
  for (Item& i : d.items) {
    if (i.kind != ItemKind::staticText) continue;
    const int textWidthMax = std::max(1, i.rect.w - 2 * kTextMargin);
    i.lines = i.text.empty() ? std::vector<std::u32string>{}
                             : wrapText(qcore::utf8ToUtf32(expandTabs(i.text)), textWidthMax, advance);
    int room = i.rect.h;
    if (i.id == kDialogTextItem && !i.text.empty()) {
      const int need = lineHeight * int(i.lines.size());
      const int extra = std::clamp(need - room, 0, std::max(0, displayUsableHeight() - kWindowFrame - height));
      if (extra > 0) {
        const int bottom = i.rect.y + i.rect.h;
        for (Item& other : d.items) {
          if (other.rect.y >= bottom) other.rect.y += extra;
        }
        i.rect.h += extra;
        height += extra;
        room += extra;
      }
    }
    const size_t fits = size_t(std::max(1, room / lineHeight));
    i.cut = i.lines.size() > fits;
    i.lines = cutLines(std::move(i.lines), fits, textWidthMax, advance);
  }
  return {width, height};
}

void paint(Dialog& d, int width, int height) {
  d.canvas = DialogCanvas(width, height, kFace);
  for (const Item& i : d.items) {
    switch (i.kind) {
      case ItemKind::staticText:
        d.canvas.text(i.lines, {i.rect.x + kTextMargin, i.rect.y, i.rect.w - 2 * kTextMargin, i.rect.h}, kInk);
        break;
      case ItemKind::edit:
        d.canvas.fill(i.rect, kEditFace);
        d.canvas.frame(i.rect, kEditEdge, 1);
        break;
      case ItemKind::button:
      case ItemKind::defaultButton: {
        d.canvas.fill(i.rect, kButtonFace);
        const bool isDefault = i.kind == ItemKind::defaultButton;
        d.canvas.frame(i.rect, isDefault ? kDefaultEdge : kButtonEdge, isDefault ? 2 : 1);
        const std::u32string label = qcore::utf8ToUtf32(i.text);
        d.canvas.text({label}, i.rect, kInk);
        break;
      }
    }
  }
}

// Copies the picture onto the window.
void present(Dialog& d) {
  if (!d.window || d.canvas.pixels().empty()) return;
  SDL_Surface* target = SDL_GetWindowSurface(d.window);
  if (!target) return;
  SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(d.canvas.pixels().data()),
                                                            d.canvas.width(), d.canvas.height(), 32,
                                                            d.canvas.width() * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!picture) return;
  SDL_BlitSurface(picture, nullptr, target, nullptr);
  SDL_FreeSurface(picture);
  SDL_UpdateWindowSurface(d.window);
}

// Lays the dialog out again and shows the new picture (after a text changed).
void refresh(Dialog& d) {
  if (!d.shown) return;
  const auto [width, height] = layout(d);
  if (d.window) {
    int w = 0, h = 0;
    SDL_GetWindowSize(d.window, &w, &h);
    if (w != width || h != height) SDL_SetWindowSize(d.window, width, height);
  }
  paint(d, width, height);
  present(d);
}

void closeWindow(Dialog& d) {
  if (d.window) SDL_DestroyWindow(d.window);
  d.window = nullptr;
}

// The dialog's text for the person: its items' texts under its caption.
std::string bodyText(const Dialog& d) {
  std::string body;
  for (const Item& item : d.items) {
    if (isButton(item) || item.text.empty()) continue;
    if (!body.empty()) body += '\n';
    body += item.text;
  }
  return body;
}

// The id of the button at a point of the window, 0 for none.
int buttonAt(const Dialog& d, int x, int y) {
  for (const Item& i : d.items) {
    const PixelRect& r = i.rect;
    if (isButton(i) && x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return i.id;
  }
  return 0;
}

bool textCut(const Dialog& d) {
  return std::any_of(d.items.begin(), d.items.end(), [](const Item& i) { return i.cut; });
}

int defaultButton(const Dialog& d) {
  for (const Item& i : d.items) {
    if (i.kind == ItemKind::defaultButton) return i.id;
  }
  return 0;
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
  for (const ItemTemplate& i : t->items) d->items.push_back({i.id, i.text, i.box, i.kind, {}, {}});
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
    if (d->window) SDL_SetWindowTitle(d->window, d->caption.c_str());
  }
}

void setDialogItemText(DialogId dialog, int item, std::string_view text) {
  Dialog* d = find(dialog);
  if (!d) return;
  for (Item& i : d->items) {
    if (i.id == item) i.text = text;
  }
  refresh(*d);
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
  if (!d || d->shown) return;
  d->shown = true;
  // Where no one sees the window, the text still reaches a person.
  if (messageBoxesGoToStderr()) showMessageBox(bodyText(*d), d->caption);
  const auto [width, height] = layout(*d);
  paint(*d, width, height);
  uiPinGlLibrary();
  d->window = SDL_CreateWindow(d->caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                               SDL_WINDOW_SHOWN);
  if (!d->window) {
    if (!messageBoxesGoToStderr()) showMessageBox(bodyText(*d), d->caption);
    return;
  }
  // What the window cannot show still reaches a person, as a message box's text does.
  if (textCut(*d) && !messageBoxesGoToStderr()) writeMessageToStderr(bodyText(*d), d->caption);
  present(*d);
}

bool dialogShowsWhole(DialogId dialog) {
  Dialog* d = find(dialog);
  // On stderr the text went whole.
  return !d || !d->window || messageBoxesGoToStderr() || !textCut(*d);
}

bool dialogPicture(DialogId dialog, std::vector<uint32_t>& pixels, int& width, int& height) {
  Dialog* d = find(dialog);
  if (!d || !d->shown) return false;
  pixels = d->canvas.pixels();
  width = d->canvas.width();
  height = d->canvas.height();
  return true;
}

bool dialogItemRect(DialogId dialog, int item, int& x, int& y, int& width, int& height) {
  Dialog* d = find(dialog);
  if (!d || !d->shown) return false;
  for (const Item& i : d->items) {
    if (i.id != item) continue;
    x = i.rect.x;
    y = i.rect.y;
    width = i.rect.w;
    height = i.rect.h;
    return true;
  }
  return false;
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
  Dialog* d = findByWindow(eventWindowId(e));
  if (!d) return false;
  // Everything a dialog's window gets is the dialog's: none of it is the main window's input.
  const DialogId id = d->id;
  switch (e.type) {
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) sendDialogMessage(id, kWmCommand, kIdCancel, 0);
      else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) present(*d);
      return true;
    case SDL_KEYDOWN: {
      if (e.key.repeat) return true;
      const SDL_Scancode key = e.key.keysym.scancode;
      if (key == SDL_SCANCODE_ESCAPE) {
        sendDialogMessage(id, kWmCommand, kIdCancel, 0);
      } else if (key == SDL_SCANCODE_RETURN || key == SDL_SCANCODE_KP_ENTER || key == SDL_SCANCODE_SPACE) {
        // The default button has the focus: Enter and Space press it.
        if (const int button = defaultButton(*d)) sendDialogMessage(id, kWmCommand, uintptr_t(button), 0);
      }
      return true;
    }
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT) d->pressedButton = buttonAt(*d, e.button.x, e.button.y);
      return true;
    case SDL_MOUSEBUTTONUP: {
      if (e.button.button != SDL_BUTTON_LEFT) return true;
      // A button acts on a press and a release both on it.
      const int pressed = std::exchange(d->pressedButton, 0);
      if (pressed != 0 && buttonAt(*d, e.button.x, e.button.y) == pressed) {
        sendDialogMessage(id, kWmCommand, static_cast<uintptr_t>(pressed), 0);
      }
      return true;
    }
    default:
      return true;
  }
}

void destroyAllDialogs() {
  while (!dialogs().live.empty()) destroyDialog(dialogs().live.begin()->first);
}

}  // namespace qxplat
