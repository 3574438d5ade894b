// The main dialog's start state and how its options react to the operator,
// each test on a program of its own.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "ostrel_driver.h"
#include "resource.h"
#include "support/caller_trace.h"

namespace ostrel_ui {
namespace {

constexpr int kBoardOptions[] = {IDC_OVERRIDE_PCI, IDC_VERIFY, IDC_SIZE_256, IDC_SIZE_512,
                                 IDC_SIZE_TYPED};

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
  void ChooseTypedSize(const Here& where = Here::current()) const {
    const CallerTrace caller(where);
    Click(Item(IDC_SIZE_TYPED));
    ASSERT_TRUE(Eventually([&] { return Enabled(IDC_TYPED_SIZE); }));
  }

  OstrelProcess process_;
};

TEST_F(MainDialog, StartsWithBoardConfigurationSize256AndBothOptionsChecked) {
  EXPECT_EQ(ListSelection(Item(IDC_EEPROM_LIST)), 0);
  EXPECT_EQ(Text(Item(IDC_EEPROM_LIST)), L"Board Configuration");
  EXPECT_TRUE(IsChecked(Item(IDC_OVERRIDE_PCI)));
  EXPECT_TRUE(IsChecked(Item(IDC_VERIFY)));
  EXPECT_TRUE(IsChecked(Item(IDC_SIZE_256)));
  EXPECT_FALSE(IsChecked(Item(IDC_SIZE_512)));
  EXPECT_FALSE(IsChecked(Item(IDC_SIZE_TYPED)));
  EXPECT_FALSE(Enabled(IDC_TYPED_SIZE));
  EXPECT_EQ(Text(Item(IDC_TYPED_SIZE)), L"");
  EXPECT_EQ(Text(Item(IDC_STATUS)), L"Read/write status");
  EXPECT_EQ(ProgressPos(Item(IDC_PROGRESS)), 0);
  for (const int id : {IDOK, IDC_WRITE_EEPROM, IDC_SAVE_TO_FILE, IDC_EEPROM_LIST, IDC_SIZE_256,
                       IDC_SIZE_512, IDC_SIZE_TYPED, IDC_OVERRIDE_PCI, IDC_VERIFY}) {
    EXPECT_TRUE(Enabled(id)) << "id " << id;
  }
  EXPECT_EQ(DefaultButtonId(Dialog()), IDOK);
  EXPECT_EQ(FocusedWindow(Dialog()), Item(IDOK));
}

TEST_F(MainDialog, ChannelDecoderDisablesTheBoardOptionsButNotTheEdit) {
  SelectListIndex(Dialog(), IDC_EEPROM_LIST, 1);
  ASSERT_TRUE(Eventually([&] { return BoardOptionsEnabled(false); }));
  EXPECT_EQ(Text(Item(IDC_EEPROM_LIST)), L"Channel Decoder");
  EXPECT_FALSE(Enabled(IDC_TYPED_SIZE));
  for (const int id : {IDOK, IDC_WRITE_EEPROM, IDC_SAVE_TO_FILE, IDC_EEPROM_LIST})
    EXPECT_TRUE(Enabled(id)) << "id " << id;

  SelectListIndex(Dialog(), IDC_EEPROM_LIST, 0);
  EXPECT_TRUE(Eventually([&] { return BoardOptionsEnabled(true); }));
  EXPECT_FALSE(Enabled(IDC_TYPED_SIZE));
}

TEST_F(MainDialog, AnEnabledEditStaysEnabledWhateverTheList) {
  ASSERT_NO_FATAL_FAILURE(ChooseTypedSize());
  SelectListIndex(Dialog(), IDC_EEPROM_LIST, 1);
  ASSERT_TRUE(Eventually([&] { return BoardOptionsEnabled(false); }));
  EXPECT_TRUE(Enabled(IDC_TYPED_SIZE));
  SelectListIndex(Dialog(), IDC_EEPROM_LIST, 0);
  ASSERT_TRUE(Eventually([&] { return BoardOptionsEnabled(true); }));
  EXPECT_TRUE(Enabled(IDC_TYPED_SIZE));
}

TEST_F(MainDialog, TypedSizeRadioEnablesTheEditAndItJoinsTheTabOrder) {
  ASSERT_NO_FATAL_FAILURE(ChooseTypedSize());
  EXPECT_TRUE(IsChecked(Item(IDC_SIZE_TYPED)));
  EXPECT_FALSE(IsChecked(Item(IDC_SIZE_256)));
  EXPECT_TRUE(Enabled(IDC_TYPED_SIZE));
  // After the list come the checked size button, then the edit.
  EXPECT_EQ(GetNextDlgTabItem(Dialog(), Item(IDC_EEPROM_LIST), FALSE), Item(IDC_SIZE_TYPED));
  EXPECT_EQ(GetNextDlgTabItem(Dialog(), Item(IDC_SIZE_TYPED), FALSE), Item(IDC_TYPED_SIZE));
  EXPECT_EQ(GetNextDlgTabItem(Dialog(), Item(IDC_TYPED_SIZE), FALSE), Item(IDC_OVERRIDE_PCI));
}

TEST_F(MainDialog, ReselectingAFixedSizeDisablesTheEditAndKeepsTheTypedText) {
  ASSERT_NO_FATAL_FAILURE(ChooseTypedSize());
  SetText(Item(IDC_TYPED_SIZE), L"384");
  Click(Item(IDC_SIZE_256));
  ASSERT_TRUE(Eventually([&] { return !Enabled(IDC_TYPED_SIZE); }));
  EXPECT_TRUE(IsChecked(Item(IDC_SIZE_256)));
  EXPECT_FALSE(IsChecked(Item(IDC_SIZE_TYPED)));
  EXPECT_FALSE(Enabled(IDC_TYPED_SIZE));
  EXPECT_EQ(Text(Item(IDC_TYPED_SIZE)), L"384");

  ASSERT_NO_FATAL_FAILURE(ChooseTypedSize());
  Click(Item(IDC_SIZE_512));
  EXPECT_TRUE(Eventually([&] { return !Enabled(IDC_TYPED_SIZE); }));
  EXPECT_TRUE(IsChecked(Item(IDC_SIZE_512)));
}

TEST_F(MainDialog, OptionsToggleAsAutoCheckBoxes) {
  Click(Item(IDC_OVERRIDE_PCI));
  EXPECT_TRUE(Eventually([&] { return !IsChecked(Item(IDC_OVERRIDE_PCI)); }));
  Click(Item(IDC_VERIFY));
  EXPECT_TRUE(Eventually([&] { return !IsChecked(Item(IDC_VERIFY)); }));
  Click(Item(IDC_OVERRIDE_PCI));
  EXPECT_TRUE(Eventually([&] { return IsChecked(Item(IDC_OVERRIDE_PCI)); }));
}

// Ending the dialog ends the program, by each of the operator's ways.
class MainDialogEnd : public MainDialog {
 protected:
  void ExpectProgramEnds(const Here& where = Here::current()) const {
    const CallerTrace caller(where);
    ASSERT_TRUE(process_.WaitForExit()) << "ostrel.exe is still running";
    EXPECT_EQ(process_.ExitCode(), 0u);
  }
};

TEST_F(MainDialogEnd, ExitButton) {
  Click(Item(IDOK));
  ExpectProgramEnds();
}

TEST_F(MainDialogEnd, EnterWhileTypingASize) {
  ASSERT_NO_FATAL_FAILURE(ChooseTypedSize());
  SetText(Item(IDC_TYPED_SIZE), L"384");
  PressKey(Item(IDC_TYPED_SIZE), VK_RETURN);
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

// As an installer's restart manager ends it while a command's save dialog
// waits (asked, told that the session ends, then WM_CLOSE for a program
// still there): the dialog closes and the program ends by itself. A
// cancelled end, and sleep while idle, change nothing before.
TEST_F(MainDialogEnd, TheSessionsEndWhileASaveDialogWaits) {
  const auto send = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    EXPECT_TRUE(
        SendMessageTimeoutW(Dialog(), message, wParam, lParam, SMTO_NORMAL, kTimeoutMs, &answer));
    return answer;
  };
  send(WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP);
  for (const WPARAM power : {PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND}) {
    send(WM_POWERBROADCAST, power, 0);
  }
  Click(Item(IDC_SAVE_TO_FILE));
  ASSERT_NE(process_.WaitForDialog(), nullptr);
  EXPECT_EQ(process_.OtherWindows().size(), 1u) << "no box about sleep";
  EXPECT_NE(send(WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), 0u);
  send(WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  PostMessageW(Dialog(), WM_CLOSE, 0, 0);
  ExpectProgramEnds();
}

}  // namespace
}  // namespace ostrel_ui
