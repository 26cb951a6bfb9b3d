// The system clipboard's text, in UTF-8 with LF line ends. The SDL clipboard is reached
// on the UI thread; tests put an in-memory clipboard in its place.
#pragma once
#include <optional>
#include <string>

namespace qxplat {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // False when the text could not be placed (the reason is logged).
  virtual bool setText(const std::string& utf8) = 0;
  // Nothing when the clipboard holds no text or cannot be read.
  virtual std::optional<std::string> getText() = 0;
};

class MemoryClipboard final : public Clipboard {
 public:
  bool setText(const std::string& utf8) override {
    text_ = utf8;
    return true;
  }
  std::optional<std::string> getText() override { return text_; }
  void clear() { text_.reset(); }

 private:
  std::optional<std::string> text_;
};

// The clipboard in use: the one set, else the system's.
Clipboard& clipboard();
// Replaces the clipboard in use (null: the system's again). The caller keeps it alive.
void setClipboard(Clipboard* replacement);

}  // namespace qxplat
