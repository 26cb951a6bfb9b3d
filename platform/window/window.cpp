#include "platform/window/window.h"

#include <SDL.h>
#include <time.h>

#include <charconv>
#include <climits>
#include <cstdio>

#include "platform/core/utf.h"

namespace qxplat {

namespace {

void appendInt(std::string& out, int value) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

}  // namespace

std::string makeWindowTitle(std::string_view scriptTitle, int year, int month, int day) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string title(scriptTitle);
  title += ":QX v0.03[";
  appendInt(title, year);
  title += ": ";
  if (month >= 1 && month <= 12) title += kMonths[month - 1];
  appendInt(title, day);
  title += "]";
  return title;
}

std::string makeWindowTitle(std::string_view scriptTitle) {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return makeWindowTitle(scriptTitle, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string clampWindowTitle(std::string_view title) {
  std::u16string wide = qcore::utf8ToUtf16(title);
  if (wide.size() <= kMaxTitleUnits) return std::string(title);
  wide.resize(kMaxTitleUnits);
  if (wide.back() >= 0xD800 && wide.back() <= 0xDBFF) wide.pop_back();  // half a pair
  return qcore::utf16ToUtf8(wide);
}

uint32_t eventWindowId(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_TEXTEDITING_EXT: return e.editExt.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPBEGIN:
    case SDL_DROPCOMPLETE: return e.drop.windowID;
    default: return 0;
  }
}

std::unique_ptr<Window> Window::create(const WindowSpec& spec) {
  if (spec.clientWidth > INT_MAX || spec.clientHeight > INT_MAX) return nullptr;
  // The engine thread asks for a 3.3 core context; the surface is chosen now, so the
  // attributes must already say so.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // The device draws the back buffer straight into the window when the window's buffers
  // match it (the back buffer's D24S8 included); otherwise it goes through a copy.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  const std::string title = clampWindowTitle(spec.title);
  // Fixed size: no SDL_WINDOW_RESIZABLE.
  auto create = [&] {
    return SDL_CreateWindow(title.c_str(), kWindowX, kWindowY, static_cast<int>(spec.clientWidth),
                            static_cast<int>(spec.clientHeight), SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  };
  SDL_Window* w = create();
  if (w == nullptr) {
    // A display without such a surface still gets a window, drawn through the copy.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    w = create();
  }
  if (w == nullptr) {
    std::fprintf(stderr, "window: %s\n", SDL_GetError());
    return nullptr;
  }
  return std::unique_ptr<Window>(new Window(w, spec));
}

Window::Window(SDL_Window* window, const WindowSpec& spec)
    : window_(window), id_(SDL_GetWindowID(window)), width_(spec.clientWidth), height_(spec.clientHeight) {
  if (spec.onEvent) addEventHandler(spec.onEvent);
}

Window::~Window() { SDL_DestroyWindow(window_); }

int Window::addEventHandler(WindowEventHandler handler) {
  const int id = nextHandlerId_++;
  handlers_.emplace_back(id, std::make_shared<WindowEventHandler>(std::move(handler)));
  return id;
}

void Window::removeEventHandler(int id) {
  for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
    if (it->first == id) {
      handlers_.erase(it);
      return;
    }
  }
}

void Window::dispatch(const SDL_Event& event) {
  // A dialog's or another window's input is not this window's input.
  const uint32_t owner = eventWindowId(event);
  if (owner != 0 && owner != id_) return;
  // A handler may add or remove handlers: walk a copy.
  const auto snapshot = handlers_;
  for (const auto& h : snapshot) (*h.second)(event);
}

}  // namespace qxplat
