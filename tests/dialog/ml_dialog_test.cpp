// MLDialog on a headless UI thread: its dialog records, message dialogs and their records.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/dialog/ml_dialog.h"
#include "platform/window/ui_thread.h"
#include "../window/window_test_env.h"

namespace {

using namespace qxplat;

class MLDialogTest : public testing::Test {
 protected:
  void SetUp() override { qxtest::useHeadlessVideo(); }
};

template <class F>
auto onUi(F f) {
  decltype(f()) out{};
  uiRunWaiting([&] { out = f(); });
  return out;
}

bool exists(DialogId d) {
  return onUi([d] { return dialogExists(d); });
}

void press(DialogId d, uintptr_t button) {
  uiRunWaiting([&] { sendDialogMessage(d, kWmCommand, button, 0); });
}

// The message dialogs are made after the init dialog: their ids follow it.
TEST_F(MLDialogTest, DialogsMessageDialogsAndTheirRecords) {
  runUiThread([](uint32_t) {
    MLDialog d;
    d.init(7, 0, u"IDD_NOSUCH");
    EXPECT_EQ(d.window(), 0u);
    EXPECT_EQ(d.msgbox("t", "c", 0, true), 0);
    d.msgbox("lost", "c", 0, false);  // no dialog: the record is freed (leak check)
    d.close();
    EXPECT_EQ(onUi(dialogCount), 0u);

    d.init(7, 12345, u"IDD_ASKVALID");
    const DialogId w = d.window();
    ASSERT_NE(w, 0u);
    EXPECT_EQ(onUi([w] { return dialogUserData(w); }), 7u);
    EXPECT_EQ(onUi([w] { return dialogParentWindow(w); }), 0u);  // not one of the program's windows

    testing::internal::CaptureStderr();
    EXPECT_EQ(d.msgbox("modal text", "Modal", 0x30, true), 0);
    d.msgbox("first", "One", 0, false);
    d.msgbox("second", "Two", 0, false);
    EXPECT_EQ(onUi(dialogCount), 3u);
    const std::string shown = testing::internal::GetCapturedStderr();
    for (const char* line : {"Modal: modal text\n", "One: first\n", "Two: second\n"})
      EXPECT_NE(shown.find(line), std::string::npos) << shown;
    EXPECT_EQ(onUi([w] { return dialogItemText(w + 2, kDialogTextItem); }), "second");
    press(w + 1, kIdCancel);  // Escape and the close box leave it open
    EXPECT_TRUE(exists(w + 1));
    press(w + 1, kIdOk);
    EXPECT_FALSE(exists(w + 1));
    EXPECT_TRUE(exists(w + 2));

    // A second init keeps the first dialog open; close closes the kept one with what it owns.
    MLDialog other;
    other.init(0, 0, u"IDD_PSEUDOMB");
    other.msgbox("owned", "O", 0, false);
    EXPECT_EQ(onUi(dialogCount), 4u);
    d.init(0, 0, u"IDD_PSEUDOMB");
    const DialogId second = d.window();
    d.close();
    EXPECT_EQ(d.window(), 0u);
    EXPECT_FALSE(exists(second));
    EXPECT_TRUE(exists(w));
    other.close();
    EXPECT_EQ(onUi(dialogCount), 2u);  // w and its message dialog, ended with the pump
  });
  EXPECT_EQ(dialogCount(), 0u);
}

TEST_F(MLDialogTest, CloseOfAGoneWindowKeepsTheHandleAndParentsAreTheProgramsWindows) {
  runUiThread([](uint32_t) {
    Window* main = uiCreateWindow({64, 64, "main", {}});
    ASSERT_NE(main, nullptr);
    MLDialog d;
    d.init(0, main->sdlWindowId(), u"IDD_PSEUDOMB");
    const DialogId w = d.window();
    EXPECT_EQ(onUi([w] { return dialogParentWindow(w); }), main->sdlWindowId());
    press(w, kIdOk);  // the helper dialog does not close on OK
    EXPECT_TRUE(exists(w));
    uiRunWaiting([&] { destroyDialog(w); });
    d.close();
    EXPECT_EQ(d.window(), w);
    // Destroying the object closes its dialog.
    auto owned = std::make_unique<MLDialog>();
    owned->init(0, 0, u"IDD_PSEUDOMB");
    EXPECT_EQ(onUi(dialogCount), 1u);
    owned.reset();
    EXPECT_EQ(onUi(dialogCount), 0u);
  });
}

}  // namespace
