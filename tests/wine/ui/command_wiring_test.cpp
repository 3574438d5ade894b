// The buttons run their commands on the simulated card, with the settings
// the dialog holds at the moment of the click, and the dialog behaves while
// a command holds it.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "capture_registry.h"
#include "card_folder.h"
#include "ostrel_driver.h"
#include "resource.h"

namespace ostrel_ui {
namespace {

namespace fs = std::filesystem;
using ostrel_commands::CardFolder;

class MainDialogCommands : public testing::Test {
 protected:
  MainDialogCommands() : process_({card_.EnvironmentEntry()}) {}
  void SetUp() override {
    if (const std::string why = WhyTheSimulatedCardIsNotAlone(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_NE(Dialog(), nullptr) << "ostrel.exe showed no main window";
  }
  HWND Dialog() const { return process_.MainWindow(); }
  HWND Item(int id) const { return GetDlgItem(Dialog(), id); }

  bool WaitForStatus(const std::wstring& status, DWORD timeoutMs = kTimeoutMs) const {
    return WaitUntil([&] { return Text(Item(IDC_STATUS)) == status; }, timeoutMs);
  }

  // A card of its own for each test, with a 512-byte board EEPROM.
  CardFolder card_{"board_size=512\n"};
  OstrelProcess process_;
};

TEST_F(MainDialogCommands, SaveUsesTheSizeTypedJustBeforeTheClick) {
  Click(Item(IDC_SIZE_TYPED));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(IDC_TYPED_SIZE)) != FALSE; }));
  ASSERT_TRUE(TypeInto(Item(IDC_TYPED_SIZE), L"384"));
  // The click takes the focus from the edit first, which reads the size.
  Click(Item(IDC_SAVE_TO_FILE));
  const fs::path file = card_.Path() / "saved.bin";
  ASSERT_TRUE(AnswerFileDialog(process_, file.wstring()));
  ASSERT_TRUE(WaitForStatus(L"Board EEPROM content successfully stored to file!"));
  EXPECT_EQ(fs::file_size(file), 384u);
  EXPECT_EQ(ProgressRange(Item(IDC_PROGRESS)), (std::pair{0, 384}));
  // The bar shows its position once the dialog paints; the command enables
  // the buttons just after it sets its final status.
  EXPECT_TRUE(WaitUntil([&] { return ProgressPos(Item(IDC_PROGRESS)) == 384; }));
  EXPECT_TRUE(WaitUntil([&] {
    return IsWindowEnabled(Item(IDOK)) && IsWindowEnabled(Item(IDC_WRITE_EEPROM)) &&
           IsWindowEnabled(Item(IDC_SAVE_TO_FILE));
  }));
}

TEST_F(MainDialogCommands, CancelledSaveLeavesEverythingAsItWas) {
  Click(Item(IDC_SAVE_TO_FILE));
  ASSERT_TRUE(CancelFileDialog(process_));
  EXPECT_EQ(Text(Item(IDC_STATUS)), L"Read/write status");
  EXPECT_EQ(ProgressPos(Item(IDC_PROGRESS)), 0);
  for (const int id : {IDOK, IDC_WRITE_EEPROM, IDC_SAVE_TO_FILE})
    EXPECT_TRUE(IsWindowEnabled(Item(id))) << "id " << id;
}

TEST_F(MainDialogCommands, ExitClickedDuringALongSaveIsDroppedAndTheWindowNeverHangs) {
  SelectListIndex(Dialog(), IDC_EEPROM_LIST, 1);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(IDC_OVERRIDE_PCI)) == FALSE; }));
  Click(Item(IDC_SAVE_TO_FILE));
  const fs::path file = card_.Path() / "dsp.saved.bin";
  ASSERT_TRUE(AnswerFileDialog(process_, file.wstring()));
  ASSERT_TRUE(WaitForStatus(L"Reading from DSP-EEPROM..."));
  EXPECT_FALSE(IsWindowEnabled(Item(IDOK)));
  PostMouseClick(Item(IDOK));
  PressKey(Item(IDOK), VK_ESCAPE);

  bool everHung = false;
  int positionsSeen = 0;
  int lastPosition = -1;
  ASSERT_TRUE(WaitUntil(
      [&] {
        everHung = everHung || IsHung(Dialog());
        if (const int p = ProgressPos(Item(IDC_PROGRESS)); p != lastPosition) {
          lastPosition = p;
          ++positionsSeen;
        }
        return process_.HasExited() ||
               Text(Item(IDC_STATUS)) == L"DSP EEPROM content successfully stored to file!";
      },
      120000));
  ASSERT_FALSE(process_.HasExited()) << "the click or key queued during the save ended Ostrel";
  EXPECT_FALSE(everHung);
  EXPECT_GT(positionsSeen, 2) << "the progress bar was not seen moving";
  EXPECT_EQ(fs::file_size(file), 32768u);
  // The click and the key reached no one: the program goes on.
  Sleep(500);
  EXPECT_FALSE(process_.HasExited());
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(IDOK)) != FALSE; }));
}

}  // namespace
}  // namespace ostrel_ui
