#include <gtest/gtest.h>

#include <string>

#include "hud/dialog/dialog_template.h"

namespace {

const char* const kTwoDialogs =
    "IDD_PSEUDOMB DIALOGEX 0, 0, 196, 62\r\n"
    "STYLE DS_SETFONT | WS_POPUP\r\n"
    "CAPTION \"Dialog\"\r\n"
    "FONT 8, \"MS Shell Dlg\", 400, 0, 0x1\r\n"
    "BEGIN\r\n"
    "    CTEXT           \"x\",1001,0,0,194,43\r\n"
    "    DEFPUSHBUTTON   \"OK\",IDOK,67,47,50,14, WS_GROUP | WS_TABSTOP\r\n"
    "END\r\n"
    "\r\n"
    "IDD_ASKVALID DIALOG 5, 6, 213, 46\r\n"
    "BEGIN\r\n"
    "    EDITTEXT        1001,6,10,197,20,ES_AUTOHSCROLL\r\n"
    "    CONTROL         \"Go\",IDC_GO,\"Button\",BS_AUTOCHECKBOX | WS_TABSTOP,7,8,50,10, WS_EX_RIGHT\r\n"
    "END\r\n";

using Strings = std::vector<std::string>;

std::string join(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : "|") + w;
  return out;
}

std::string rectOf(const std::array<int32_t, 4>& r) {
  return std::to_string(r[0]) + "," + std::to_string(r[1]) + "," + std::to_string(r[2]) + "," + std::to_string(r[3]);
}

// A dialog as lines: its own fields, then one line per control.
Strings describe(const DialogTemplate& d) {
  Strings out = {d.name + " " + rectOf(d.rect) + " [" + join(d.flags) + "] '" + d.caption + "' " + d.font + " " +
                 std::to_string(d.fontW) + " " + std::to_string(d.fontWeight)};
  for (const DialogControl& c : d.controls)
    out.push_back(c.type + " " + c.id + " '" + c.caption + "' " + rectOf(c.rect) + " [" + join(c.flags) + "]");
  return out;
}

TEST(DialogTemplate, TwoDialogsWithTheirControlsAndFlags) {
  const DialogTemplateFile f = readDialogTemplates(kTwoDialogs);
  ASSERT_EQ(f.dialogs.size(), 2u);
  EXPECT_FALSE(f.trailing);
  EXPECT_EQ(describe(f.dialogs[0]), (Strings{"IDD_PSEUDOMB 0,0,196,62 [DS_SETFONT|WS_POPUP] 'Dialog' MS Shell Dlg 8 400",
                                             "CTEXT 1001 'x' 0,0,194,43 []",
                                             "DEFPUSHBUTTON IDOK 'OK' 67,47,50,14 [WS_GROUP|WS_TABSTOP]"}));
  // The class form keeps neither caption nor class; its flags are style then extended style.
  EXPECT_EQ(describe(f.dialogs[1]), (Strings{"IDD_ASKVALID 5,6,213,46 [] ''  0 0",
                                             "EDITTEXT 1001 '' 6,10,197,20 [ES_AUTOHSCROLL]",
                                             "CONTROL IDC_GO '' 7,8,50,10 [BS_AUTOCHECKBOX|WS_TABSTOP|WS_EX_RIGHT]"}));
}

std::string withLf(std::string s) {
  std::erase(s, '\r');
  return s;
}

// Each case: a text, the names of the dialogs it gives and the size of the JSON value
// after them (-1: none).
TEST(DialogTemplate, OrderBreaksDroppedBlocksAndTrailingJson) {
  const std::string head = "D1 DIALOG 0, 0, 10, 10\r\nBEGIN\r\nEND\r\n";
  const struct {
    const char* what;
    std::string text;
    Strings names;
    int trailing;
  } cases[] = {
      {"LF-only lines match no header", withLf(kTwoDialogs), {}, -1},
      {"caption with a comma ends reading",
       head + "D2 DIALOG 0, 0, 1, 1\r\nCAPTION \"a, b\"\r\nBEGIN\r\nEND\r\n" + head, {"D1"}, -1},
      {"FONT with two values ends reading", head + "D2 DIALOG 0, 0, 1, 1\r\nFONT 8, \"X\"\r\nBEGIN\r\nEND\r\n", {"D1"}, -1},
      {"EXSTYLE line ends reading", head + "D2 DIALOG 0, 0, 1, 1\r\nEXSTYLE 1\r\nBEGIN\r\nEND\r\n", {"D1"}, -1},
      {"block at the end of the text is dropped", head + "D2 DIALOG 0, 0, 1, 1\r\nBEGIN\r\n", {"D1"}, -1},
      {"block ended by another line is dropped, reading stops",
       "D2 DIALOG 0, 0, 1, 1\r\nBEGIN\r\nxyz\r\nEND\r\n" + head, {}, -1},
      {"a header needs four numbers", "D2 DIALOG 0, 0, 1\r\nBEGIN\r\nEND\r\n", {}, -1},
      {"indented header is none", " " + head, {}, -1},
      {"over-long line refused", head + "D2 DIALOG 0, 0, 1, 1\r\nCAPTION \"" + std::string(520, 'c') + "\"\r\nBEGIN\r\nEND\r\n",
       {"D1"}, -1},
      {"longest line kept", head + "D2 DIALOG 0, 0, 1, 1\r\nCAPTION \"" + std::string(500, 'c') + "\"\r\nBEGIN\r\nEND\r\n",
       {"D1", "D2"}, -1},
      {"JSON after the last dialog", head + "{\"w\": 3}\r\n", {"D1"}, 1},
      {"a value with text after it is no JSON document", head + "[1, 2]\r\n" + head, {"D1"}, -1},
      {"blank lines are none either", head + "\r\n\r\n" + head, {"D1", "D1"}, -1},
  };
  for (const auto& c : cases) {
    const DialogTemplateFile f = readDialogTemplates(c.text);
    Strings names;
    for (const DialogTemplate& d : f.dialogs) names.push_back(d.name);
    EXPECT_EQ(names, c.names) << c.what;
    EXPECT_EQ(f.trailing ? int(f.trailing->size()) : -1, c.trailing) << c.what;
  }
}

TEST(DialogTemplate, CaptionBytesAndNumbers) {
  const std::string text =
      "D1 DIALOG 0, 0, 99999999999, 7\r\n"
      "CAPTION \"ValidationID\xE5\x85\xA5\xE5\x8A\x9B\"\r\n"
      "FONT 9, Arial, 700, 0, 0x1\r\n"
      "BEGIN\r\n"
      "  LTEXT Name,IDC_N,1,2,3,4\r\n"
      "\tLTEXT \"\xE8\xAA\x8D\xE8\xA8\xBC\",-1,47,0,120,10\r\n"
      "END\r\n";
  const DialogTemplateFile f = readDialogTemplates(text);
  ASSERT_EQ(f.dialogs.size(), 1u);
  EXPECT_EQ(describe(f.dialogs[0]), (Strings{"D1 0,0,2147483647,7 [] 'ValidationID\xE5\x85\xA5\xE5\x8A\x9B' Arial 9 700",
                                             "LTEXT IDC_N 'Name' 1,2,3,4 []",
                                             "LTEXT -1 '\xE8\xAA\x8D\xE8\xA8\xBC' 47,0,120,10 []"}));
}

}  // namespace
