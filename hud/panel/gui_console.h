// GUIConsole: the widget scripts log through. It keeps the last lines sent to it, shows
// the newest as a block of rows over a black background in the top-left corner, and can
// copy every line to a log file and to the process's standard output.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "hud/panel/hud_units.h"
#include "hud/widget/hud_text.h"

class TP_Vert;
class TP_Index;

namespace hudpanel {

class GUIConsole {
 public:
  static constexpr size_t kLineChars = 255;
  static constexpr int32_t kMaxRows = 4096;

  GUIConsole();
  ~GUIConsole();
  GUIConsole(const GUIConsole&) = delete;
  GUIConsole& operator=(const GUIConsole&) = delete;

  void send(const std::u16string& text);
  void cls();
  void set_row(int32_t kept, int32_t shown, float width);
  void set_fontsize(int32_t size);
  void set_alpha(float alpha) { bg_.rect.alpha = alpha; }
  void set_fileout(const std::string& path);
  void set_externalcs(bool on) { mirror_ = on && !mirror_; }
  void set_notify(qxbind::ObjectRef target) { notify_ = target.handle; }
  void set_id(int32_t id) { id_ = id; }

  // The rows shown, newest at the bottom, "%" escaped for the text markup.
  std::u16string viewText() const;
  int32_t lineCount() const { return count_; }
  int32_t firstShown() const { return first_; }
  const std::u16string& line(int32_t i) const { return lines_[size_t(i)]; }
  bool mirroring() const { return mirror_; }
  HUDUnitRect& background() { return bg_; }
  hudwidget::HUDText& text() { return text_; }

  void collect(IDTagQ* queue);
  void draw(uint32_t passWord, Qeldrin& q);

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void drawCallback(void* obj, void* args, void* app);

 private:
  void appendLine(std::u16string_view line);
  // The background goes through buffers of its own and an immediate draw, so it lands
  // before the text it lies under (a batched quad would be drawn after the text).
  void drawBackground(Qeldrin& q);

  uint32_t self_ = 0;
  HUDUnitRect bg_;
  hudwidget::HUDText text_;
  int32_t id_ = int32_t(0xBAADF00Du);
  int32_t fontSize_ = 8;
  uint32_t notify_ = 0;
  int32_t shown_ = 10, kept_ = 20, width_ = 320;
  bool mirror_ = false;
  std::vector<std::u16string> lines_;
  int32_t count_ = 0, first_ = 0;
  std::FILE* log_ = nullptr;
  std::unique_ptr<TP_Vert> bgPos_, bgUV_;
  std::unique_ptr<TP_Index> bgIndices_;
};

}  // namespace hudpanel
