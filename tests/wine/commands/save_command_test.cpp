// "Save to file..." end to end: the real program reads the simulated card
// through the real lookup, with the real pacing, and stores what it read.

#include <gtest/gtest.h>

#include "command_end_to_end.h"
#include "operator_input.h"

namespace ostrel_commands {
namespace {

using ostrel_ui::BoxIcon;

constexpr wchar_t kBoardStored[] = L"Board EEPROM content successfully stored to file!";
constexpr wchar_t kBoardFailed[] = L"Reading out Board EEPROM content failed!!!";

class SaveCommand : public CommandEndToEnd {};

TEST_F(SaveCommand, BoardWithTheDefaultsStoresTheWholeEepromWithoutABox) {
  const Bytes board = DistinctBytes(256, 11);
  card_.SetBoard(board);
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  const auto target = files_ / "board.bin";
  ASSERT_TRUE(SaveTo(target));
  ASSERT_TRUE(WaitForStatus(kBoardStored)) << testing::PrintToString(Status());
  ExpectNoOtherWindow();
  EXPECT_TRUE(WaitForCommandsEnabled());
  EXPECT_EQ(ReadWholeFile(target), board);
  EXPECT_EQ(files_.Names(), std::vector<std::string>{"board.bin"});
  EXPECT_TRUE(WaitForProgress(256)) << Progress();

  const std::vector<LoggedTransaction> log = card_.Log();
  EXPECT_EQ(log.size(), 32u);
  EXPECT_EQ(CountOf(log, "GET", "A0"), 32u);
  ExpectCardReleasedEverything(1);
}

TEST_F(SaveCommand, DspSwitchesTheChannelDecoderCopiesTheWholeEepromAndRestores) {
  const Bytes dsp = DistinctBytes(32768, 5);
  card_.SetDsp(dsp);
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());

  const auto target = files_ / "dsp.bin";
  Timing timing;
  ASSERT_NO_FATAL_FAILURE(FollowTransfer(
      SaveTo(target), L"Reading from DSP-EEPROM...",
      L"DSP EEPROM content successfully stored to file!",
      [&] {
        // Watched while it runs: the buttons stay disabled until the end.
        ASSERT_TRUE(ostrel_ui::WaitUntil([&] { return Progress() > 0; }, kTransferTimeoutMs));
        EXPECT_TRUE(CommandsDisabled());
        EXPECT_EQ(ostrel_ui::ProgressRange(Item(IDC_PROGRESS)), std::make_pair(0, 32768));
      },
      timing));
  PrintDuration("DSP save 32768 bytes", timing, 512 * 0.020);
  ExpectNoOtherWindow();
  EXPECT_TRUE(WaitForCommandsEnabled());
  EXPECT_EQ(ReadWholeFile(target), dsp);

  const std::vector<LoggedTransaction> log = card_.Log();
  ASSERT_EQ(log.size(), 3u + 512u + 2u);
  EXPECT_EQ(CountOf(log, "GET", "A2"), 512u);
  // Switched: the GPIO registers read, changed, then the mode register.
  EXPECT_EQ(log[0].kind, "GET");
  EXPECT_EQ(log[0].device, "10");
  EXPECT_EQ(log[0].subaddress, "3C");
  EXPECT_EQ(log[1].kind, "SET");
  EXPECT_EQ(log[1].subaddress, "3C");
  EXPECT_EQ(log[2].kind, "SET");
  EXPECT_EQ(log[2].subaddress, "07");
  EXPECT_EQ(log[2].data, "02");
  // Restored: the mode register first, then the GPIO registers as read.
  EXPECT_EQ(log[515].kind, "SET");
  EXPECT_EQ(log[515].device, "10");
  EXPECT_EQ(log[515].subaddress, "07");
  EXPECT_EQ(log[515].data, "00");
  EXPECT_EQ(log[516].kind, "SET");
  EXPECT_EQ(log[516].device, "10");
  EXPECT_EQ(log[516].subaddress, "3C");
  EXPECT_EQ(log[516].data, log[0].data);
  for (const LoggedTransaction& t : log) EXPECT_EQ(t.result, "0x00000000");
  ExpectCardReleasedEverything(1);
}

// The typed size is taken when the edit loses the focus to the button the
// operator clicks, before the click itself is handled.
TEST_F(SaveCommand, TypedSizeIsTakenWhenTheEditLosesTheFocusToTheButton) {
  card_.SetConfig("board_size=512\n");
  const Bytes board = DistinctBytes(512, 23);
  card_.SetBoard(board);
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  // An empty edit: choosing the typed size makes it 0 for now.
  ostrel_ui::PostMouseClick(Item(IDC_SIZE_TYPED));
  ASSERT_TRUE(ostrel_ui::WaitUntil([&] { return IsWindowEnabled(Item(IDC_TYPED_SIZE)); }));
  HWND edit = Item(IDC_TYPED_SIZE);
  ostrel_ui::PostMouseClick(edit);
  TypeText(edit, L"384");
  ASSERT_TRUE(ostrel_ui::WaitUntil([&] { return ostrel_ui::Text(edit) == L"384"; }));
  ASSERT_EQ(ostrel_ui::FocusedWindow(Dialog()), edit);

  ostrel_ui::PostMouseClick(Item(IDC_SAVE_TO_FILE));
  const auto target = files_ / "board384.bin";
  ASSERT_TRUE(ostrel_ui::AnswerFileDialog(*program_, target.wstring()));
  ASSERT_TRUE(WaitForStatus(kBoardStored)) << testing::PrintToString(Status());
  EXPECT_EQ(ReadWholeFile(target), Bytes(board.begin(), board.begin() + 384));
  EXPECT_EQ(ostrel_ui::ProgressRange(Item(IDC_PROGRESS)), std::make_pair(0, 384));
  EXPECT_TRUE(WaitForProgress(384)) << Progress();
  EXPECT_EQ(CountOf(card_.Log(), "GET", "A0"), 384u / 8u);
  ExpectCardReleasedEverything(1);
}

TEST_F(SaveCommand, IntoAFolderWithUmlautsInItsName) {
  const Bytes board = DistinctBytes(256, 99);
  card_.SetBoard(board);
  const auto folder = files_.path() / L"Pr\u00fcfstand" / L"\u00dcberspielung";
  std::filesystem::create_directories(folder);
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  const auto target = folder / L"Karte 1.bin";
  ASSERT_TRUE(SaveTo(target));
  ASSERT_TRUE(WaitForStatus(kBoardStored)) << testing::PrintToString(Status());
  EXPECT_EQ(ReadWholeFile(target), board);
  std::vector<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().wstring());
  }
  EXPECT_EQ(names, std::vector<std::wstring>{L"Karte 1.bin"});
  ExpectCardReleasedEverything(1);
}

TEST_F(SaveCommand, AFailedReadLeavesTheExistingFileAsItWasAndNothingBeside) {
  card_.SetConfig("fail_transaction=5\n");
  card_.SetBoard(DistinctBytes(256, 3));
  const Bytes previous = DistinctBytes(256, 200);
  const auto target = files_ / "kept.bin";
  WriteWholeFile(target, previous);
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  ASSERT_TRUE(SaveTo(target));
  // The transfer's own box comes first; the status line changes after it.
  const std::optional<ostrel_ui::MessageBoxSeen> box =
      ostrel_ui::WaitForMessageBox(*program_, L"Ostrel", kTransferTimeoutMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"ReadEEPROM: I2C-read to Board EEPROM failed");
  EXPECT_EQ(ostrel_ui::MessageBoxIcon(box->window), BoxIcon::Stop);
  EXPECT_EQ(Status(), L"Reading from Board-EEPROM...");
  ASSERT_TRUE(ostrel_ui::AnswerMessageBox(box->window));

  ASSERT_TRUE(WaitForStatus(kBoardFailed)) << testing::PrintToString(Status());
  EXPECT_TRUE(WaitForProgress(0)) << Progress();
  EXPECT_TRUE(WaitForCommandsEnabled());
  ExpectNoOtherWindow();
  EXPECT_EQ(ReadWholeFile(target), previous);
  EXPECT_EQ(files_.Names(), std::vector<std::string>{"kept.bin"});

  const std::vector<LoggedTransaction> log = card_.Log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[3].result, "0x00000000");
  EXPECT_NE(log[4].result, "0x00000000");
  ExpectCardReleasedEverything(1);
}

}  // namespace
}  // namespace ostrel_commands
