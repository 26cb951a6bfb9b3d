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
using Rect = std::array<int32_t, 4>;

TEST(DialogTemplate, TwoDialogsWithTheirControlsAndFlags) {
  const DialogTemplateFile f = readDialogTemplates(kTwoDialogs);
  ASSERT_EQ(f.dialogs.size(), 2u);
  EXPECT_FALSE(f.trailing);
  const DialogTemplate& a = f.dialogs[0];
  EXPECT_EQ(a.name, "IDD_PSEUDOMB");
  EXPECT_EQ(a.rect, (Rect{0, 0, 196, 62}));
  EXPECT_EQ(a.flags, (Strings{"DS_SETFONT", "WS_POPUP"}));
  EXPECT_EQ(a.caption, "Dialog");
  EXPECT_EQ(a.font, "MS Shell Dlg");
  EXPECT_EQ(a.fontW, 8);
  EXPECT_EQ(a.fontWeight, 400);
  ASSERT_EQ(a.controls.size(), 2u);
  EXPECT_EQ(a.controls[0].type, "CTEXT");
  EXPECT_EQ(a.controls[0].caption, "x");
  EXPECT_EQ(a.controls[0].id, "1001");
  EXPECT_EQ(a.controls[0].rect, (Rect{0, 0, 194, 43}));
  EXPECT_TRUE(a.controls[0].flags.empty());
  EXPECT_EQ(a.controls[1].type, "DEFPUSHBUTTON");
  EXPECT_EQ(a.controls[1].id, "IDOK");
  EXPECT_EQ(a.controls[1].rect, (Rect{67, 47, 50, 14}));
  EXPECT_EQ(a.controls[1].flags, (Strings{"WS_GROUP", "WS_TABSTOP"}));

  const DialogTemplate& b = f.dialogs[1];
  EXPECT_EQ(b.name, "IDD_ASKVALID");
  EXPECT_EQ(b.rect, (Rect{5, 6, 213, 46}));
  ASSERT_EQ(b.controls.size(), 2u);
  EXPECT_EQ(b.controls[0].type, "EDITTEXT");
  EXPECT_EQ(b.controls[0].id, "1001");
  EXPECT_EQ(b.controls[0].caption, "");
  EXPECT_EQ(b.controls[0].rect, (Rect{6, 10, 197, 20}));
  EXPECT_EQ(b.controls[0].flags, (Strings{"ES_AUTOHSCROLL"}));
  // The class form keeps neither caption nor class; its flags are style then extended style.
  EXPECT_EQ(b.controls[1].type, "CONTROL");
  EXPECT_EQ(b.controls[1].id, "IDC_GO");
  EXPECT_EQ(b.controls[1].caption, "");
  EXPECT_EQ(b.controls[1].rect, (Rect{7, 8, 50, 10}));
  EXPECT_EQ(b.controls[1].flags, (Strings{"BS_AUTOCHECKBOX", "WS_TABSTOP", "WS_EX_RIGHT"}));
}

std::string withLf(std::string s) {
  std::string out;
  for (char c : s) {
    if (c != '\r') out += c;
  }
  return out;
}

// Each case: a text and the names of the dialogs it gives.
TEST(DialogTemplate, OrderBreaksAndDroppedBlocks) {
  const std::string head = "D1 DIALOG 0, 0, 10, 10\r\nBEGIN\r\nEND\r\n";
  const struct {
    const char* what;
    std::string text;
    Strings names;
  } cases[] = {
      {"LF-only lines match no header", withLf(kTwoDialogs), {}},
      {"caption with a comma ends reading",
       head + "D2 DIALOG 0, 0, 1, 1\r\nCAPTION \"a, b\"\r\nBEGIN\r\nEND\r\n" + head, {"D1"}},
      {"FONT with two values ends reading", head + "D2 DIALOG 0, 0, 1, 1\r\nFONT 8, \"X\"\r\nBEGIN\r\nEND\r\n", {"D1"}},
      {"EXSTYLE line ends reading", head + "D2 DIALOG 0, 0, 1, 1\r\nEXSTYLE 1\r\nBEGIN\r\nEND\r\n", {"D1"}},
      {"block at the end of the text is dropped", head + "D2 DIALOG 0, 0, 1, 1\r\nBEGIN\r\n", {"D1"}},
      {"block ended by another line is dropped, reading stops",
       "D2 DIALOG 0, 0, 1, 1\r\nBEGIN\r\nxyz\r\nEND\r\n" + head, {}},
      {"a header needs four numbers", "D2 DIALOG 0, 0, 1\r\nBEGIN\r\nEND\r\n", {}},
      {"indented header is none", " " + head, {}},
      {"over-long line refused", head + "D2 DIALOG 0, 0, 1, 1\r\nCAPTION \"" + std::string(520, 'c') + "\"\r\nBEGIN\r\nEND\r\n",
       {"D1"}},
      {"longest line kept", head + "D2 DIALOG 0, 0, 1, 1\r\nCAPTION \"" + std::string(500, 'c') + "\"\r\nBEGIN\r\nEND\r\n",
       {"D1", "D2"}},
  };
  for (const auto& c : cases) {
    const DialogTemplateFile f = readDialogTemplates(c.text);
    Strings names;
    for (const DialogTemplate& d : f.dialogs) names.push_back(d.name);
    EXPECT_EQ(names, c.names) << c.what;
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
      "END\r\n"
      "D2 DIALOG 0, 0, 1, 1\r\n"
      "CAPTION Plain words\r\n"
      "BEGIN\r\n"
      "END\r\n";
  const DialogTemplateFile f = readDialogTemplates(text);
  ASSERT_EQ(f.dialogs.size(), 2u);
  EXPECT_EQ(f.dialogs[1].caption, "Plain words");
  EXPECT_EQ(f.dialogs[0].caption, "ValidationID\xE5\x85\xA5\xE5\x8A\x9B");
  EXPECT_EQ(f.dialogs[0].rect, (Rect{0, 0, 2147483647, 7}));
  EXPECT_EQ(f.dialogs[0].font, "Arial");
  EXPECT_EQ(f.dialogs[0].fontWeight, 700);
  ASSERT_EQ(f.dialogs[0].controls.size(), 2u);
  EXPECT_EQ(f.dialogs[0].controls[0].caption, "Name");
  EXPECT_EQ(f.dialogs[0].controls[0].id, "IDC_N");
  EXPECT_EQ(f.dialogs[0].controls[1].caption, "\xE8\xAA\x8D\xE8\xA8\xBC");
  EXPECT_EQ(f.dialogs[0].controls[1].id, "-1");
}

TEST(DialogTemplate, TrailingJsonEndsReading) {
  const std::string head = "D1 DIALOG 0, 0, 10, 10\r\nBEGIN\r\nEND\r\n";
  DialogTemplateFile f = readDialogTemplates(head + "{\"w\": 3}\r\n");
  ASSERT_EQ(f.dialogs.size(), 1u);
  ASSERT_TRUE(f.trailing);
  EXPECT_EQ(f.trailing->size(), 1u);
  // A value with text after it is no JSON document: reading stops at its line.
  f = readDialogTemplates(head + "[1, 2]\r\n" + head);
  EXPECT_EQ(f.dialogs.size(), 1u);
  EXPECT_FALSE(f.trailing);
  // Blanks after the last dialog are none either.
  f = readDialogTemplates(head + "\r\n\r\n" + head);
  EXPECT_EQ(f.dialogs.size(), 2u);
  EXPECT_FALSE(f.trailing);
}

TEST(DialogTemplate, FlagWords) {
  EXPECT_EQ(splitFlagWords("DS_SETFONT | WS_POPUP"), (Strings{"DS_SETFONT", "WS_POPUP"}));
  EXPECT_EQ(splitFlagWords(" A|B  |C "), (Strings{"A", "B", "C"}));
  EXPECT_TRUE(splitFlagWords("  | ").empty());
}

}  // namespace
