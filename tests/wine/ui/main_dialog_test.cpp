// The main dialog's start state and how its options react to the operator,
// each test on a program of its own.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "ostrel_driver.h"

namespace ostrel_ui {
namespace {

constexpr int kBoardOptions[] = {1010, 1011, 1006, 1007, 1008};

class MainDialog : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(Dialog(), nullptr) << "ostrel.exe showed no main window"; }

  HWND Dialog() const { return process_.MainWindow(); }
  HWND Item(int id) const { return GetDlgItem(Dialog(), id); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

  // Posted input is handled some time later; each step waits for the last
  // effect of its handler.
  static bool Eventually(const std::function<bool()>& done) { return WaitUntil(done, 5000); }
  bool BoardOptionsEnabled(bool on) const {
    for (const int id : kBoardOptions) {
      if (Enabled(id) != on) return false;
    }
    return true;
  }
  void ChooseTypedSize() const {
    Click(Item(1008));
    ASSERT_TRUE(Eventually([&] { return Enabled(1009); }));
  }

  OstrelProcess process_;
};

TEST_F(MainDialog, StartsWithBoardConfigurationSize256AndBothOptionsChecked) {
  EXPECT_EQ(ListSelection(Item(1005)), 0);
  EXPECT_EQ(Text(Item(1005)), L"Board Configuration");
  EXPECT_TRUE(IsChecked(Item(1010)));
  EXPECT_TRUE(IsChecked(Item(1011)));
  EXPECT_TRUE(IsChecked(Item(1006)));
  EXPECT_FALSE(IsChecked(Item(1007)));
  EXPECT_FALSE(IsChecked(Item(1008)));
  EXPECT_FALSE(Enabled(1009));
  EXPECT_EQ(Text(Item(1009)), L"");
  EXPECT_EQ(Text(Item(1004)), L"Read/write status");
  EXPECT_EQ(ProgressPos(Item(1003)), 0);
  for (const int id : {1, 1000, 1002, 1005, 1006, 1007, 1008, 1010, 1011}) {
    EXPECT_TRUE(Enabled(id)) << "id " << id;
  }
  EXPECT_EQ(DefaultButtonId(Dialog()), 1);
  EXPECT_EQ(FocusedWindow(Dialog()), Item(1));
}

TEST_F(MainDialog, ChannelDecoderDisablesTheBoardOptionsButNotTheEdit) {
  SelectListIndex(Dialog(), 1005, 1);
  ASSERT_TRUE(Eventually([&] { return BoardOptionsEnabled(false); }));
  EXPECT_EQ(Text(Item(1005)), L"Channel Decoder");
  EXPECT_FALSE(Enabled(1009));
  for (const int id : {1, 1000, 1002, 1005}) EXPECT_TRUE(Enabled(id)) << "id " << id;

  SelectListIndex(Dialog(), 1005, 0);
  EXPECT_TRUE(Eventually([&] { return BoardOptionsEnabled(true); }));
  EXPECT_FALSE(Enabled(1009));
}

TEST_F(MainDialog, AnEnabledEditStaysEnabledWhateverTheList) {
  ChooseTypedSize();
  SelectListIndex(Dialog(), 1005, 1);
  ASSERT_TRUE(Eventually([&] { return BoardOptionsEnabled(false); }));
  EXPECT_TRUE(Enabled(1009));
  SelectListIndex(Dialog(), 1005, 0);
  ASSERT_TRUE(Eventually([&] { return BoardOptionsEnabled(true); }));
  EXPECT_TRUE(Enabled(1009));
}

TEST_F(MainDialog, TypedSizeRadioEnablesTheEditAndItJoinsTheTabOrder) {
  ChooseTypedSize();
  EXPECT_TRUE(IsChecked(Item(1008)));
  EXPECT_FALSE(IsChecked(Item(1006)));
  EXPECT_TRUE(Enabled(1009));
  // After the list come the checked size button, then the edit.
  EXPECT_EQ(GetNextDlgTabItem(Dialog(), Item(1005), FALSE), Item(1008));
  EXPECT_EQ(GetNextDlgTabItem(Dialog(), Item(1008), FALSE), Item(1009));
  EXPECT_EQ(GetNextDlgTabItem(Dialog(), Item(1009), FALSE), Item(1010));
}

TEST_F(MainDialog, ReselectingAFixedSizeDisablesTheEditAndKeepsTheTypedText) {
  ChooseTypedSize();
  SetText(Item(1009), L"384");
  Click(Item(1006));
  ASSERT_TRUE(Eventually([&] { return !Enabled(1009); }));
  EXPECT_TRUE(IsChecked(Item(1006)));
  EXPECT_FALSE(IsChecked(Item(1008)));
  EXPECT_FALSE(Enabled(1009));
  EXPECT_EQ(Text(Item(1009)), L"384");

  ChooseTypedSize();
  Click(Item(1007));
  EXPECT_TRUE(Eventually([&] { return !Enabled(1009); }));
  EXPECT_TRUE(IsChecked(Item(1007)));
}

TEST_F(MainDialog, OptionsToggleAsAutoCheckBoxes) {
  Click(Item(1010));
  EXPECT_TRUE(Eventually([&] { return !IsChecked(Item(1010)); }));
  Click(Item(1011));
  EXPECT_TRUE(Eventually([&] { return !IsChecked(Item(1011)); }));
  Click(Item(1010));
  EXPECT_TRUE(Eventually([&] { return IsChecked(Item(1010)); }));
}

// Ending the dialog ends the program, by each of the operator's ways.
class MainDialogEnd : public MainDialog {
 protected:
  void ExpectProgramEnds() const {
    ASSERT_TRUE(process_.WaitForExit()) << "ostrel.exe is still running";
    EXPECT_EQ(process_.ExitCode(), 0u);
  }
};

TEST_F(MainDialogEnd, ExitButton) {
  Click(Item(1));
  ExpectProgramEnds();
}

TEST_F(MainDialogEnd, EnterWhileTypingASize) {
  ChooseTypedSize();
  SetText(Item(1009), L"384");
  PressKey(Item(1009), VK_RETURN);
  ExpectProgramEnds();
}

TEST_F(MainDialogEnd, Escape) {
  PressKey(FocusedWindow(Dialog()), VK_ESCAPE);
  ExpectProgramEnds();
}

TEST_F(MainDialogEnd, CloseEntryOfTheSystemMenu) {
  PostSysCommand(Dialog(), SC_CLOSE);
  ExpectProgramEnds();
}

}  // namespace
}  // namespace ostrel_ui
