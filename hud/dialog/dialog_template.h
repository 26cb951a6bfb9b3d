// Resource-script dialog templates: a header line naming the dialog and its rectangle,
// STYLE, CAPTION and FONT lines, BEGIN, one line per control, END. Lines are recognised
// by whole-line grammars (built once, run in the C locale), so bytes at or above 0x80 are
// no word characters and pass through quoted texts unchanged.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/json/json_value.h"

struct DialogControl {
  std::string type;     // the statement word, e.g. DEFPUSHBUTTON or CONTROL
  std::string id;       // the identifier as written
  std::string caption;  // empty for the forms that capture none
  std::array<int32_t, 4> rect{};
  std::vector<std::string> flags;
};

struct DialogTemplate {
  std::string name;
  std::string caption;
  std::string font;
  std::array<int32_t, 4> rect{};
  int32_t fontW = 0;
  int32_t fontWeight = 0;
  std::vector<DialogControl> controls;
  std::vector<std::string> flags;
};

struct DialogTemplateFile {
  // In file order; a later dialog of an earlier one's name replaces it when stored by name.
  std::vector<DialogTemplate> dialogs;
  // A JSON value found after a block, which ends reading.
  std::optional<JSONValue> trailing;
};

// Longest line read; a longer one matches no grammar.
constexpr size_t kDialogLineMax = 511;

// Reads the templates of a text (without its byte-order mark). Reading stops at the first
// line out of order; dialogs completed before it are kept.
DialogTemplateFile readDialogTemplates(std::string_view text);

// The words of a style text, "DS_SETFONT | WS_POPUP" giving DS_SETFONT and WS_POPUP.
std::vector<std::string> splitFlagWords(std::string_view style);

// Builds the grammars; done once at start-up so no script waits for it.
void prepareDialogGrammars();
