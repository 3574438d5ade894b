// "Write to EEPROM..." end to end: the real program programs the simulated
// card from an image file through the real lookup, with the real pacing.

#include <gtest/gtest.h>

#include <algorithm>

#include "command_end_to_end.h"

namespace ostrel_commands {
namespace {

using ostrel_ui::BoxIcon;

class WriteCommand : public CommandEndToEnd {};

TEST_F(WriteCommand, BoardWithTheDefaultsWritesVerifiesAndAsksForAReboot) {
  card_.SetBoard(Bytes(256, 0xFF));
  const Bytes image = DistinctBytes(256, 41);
  const auto source = files_ / "board.bin";
  WriteWholeFile(source, image);
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  Timing timing;
  ASSERT_NO_FATAL_FAILURE(FollowTransfer(
      WriteFrom(source), L"Programming the Board-EEPROM...",
      L"Board-EEPROM content successfully written to EEPROM!",
      [&] {
        EXPECT_TRUE(CommandsDisabled());
        ASSERT_TRUE(WaitForStatus(L"Verifying written data..."))
            << testing::PrintToString(Status());
        EXPECT_TRUE(CommandsDisabled());
      },
      timing));
  PrintDuration("board write+verify 256 bytes", timing, 256 * 0.020 + 1.0);

  // The buttons are back before the notice shows.
  const std::optional<ostrel_ui::MessageBoxSeen> notice =
      ostrel_ui::WaitForMessageBox(*program_, L"Ostrel");
  ASSERT_TRUE(notice);
  EXPECT_TRUE(CommandsEnabled());
  EXPECT_EQ(notice->text, L"Please reboot the system to apply the new settings!");
  EXPECT_EQ(ostrel_ui::MessageBoxIcon(notice->window), BoxIcon::Exclamation);
  ASSERT_TRUE(ostrel_ui::AnswerMessageBox(notice->window));
  ExpectNoOtherWindow();

  EXPECT_EQ(card_.Board(), image);
  const std::vector<LoggedTransaction> log = card_.Log();
  EXPECT_EQ(log.size(), 256u + 32u);
  EXPECT_EQ(CountOf(log, "SET", "A0"), 256u);
  EXPECT_EQ(CountOf(log, "GET", "A0"), 32u);
  for (const LoggedTransaction& t : log) EXPECT_EQ(t.result, "0x00000000");
  // The write and the read-back each open a connection of their own.
  ExpectCardReleasedEverything(2);
}

TEST_F(WriteCommand, DspImageIsProgrammedAndTheChannelDecoderToldToReboot) {
  const Bytes before = DistinctBytes(32768, 9);
  card_.SetDsp(before);
  // The longest image the check accepts: 2*100 + 2*16278 + 11 = 32767 bytes.
  const Bytes image = DspImage(100, 16278);
  ASSERT_EQ(image.size(), 32767u);
  const auto source = files_ / "dsp-image.bin";
  WriteWholeFile(source, image);
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());

  Timing timing;
  ASSERT_NO_FATAL_FAILURE(FollowTransfer(
      WriteFrom(source), L"Programming the EEPROM...",
      L"EEPROM content successfully written to EEPROM!",
      [&] { EXPECT_EQ(ostrel_ui::ProgressRange(Item(IDC_PROGRESS)), std::make_pair(0, 32767)); },
      timing));
  PrintDuration("DSP write 32767 bytes", timing, 512 * 0.020);
  AnswerBox(L"Ostrel",
            L"Please reboot the system to feed the new settings into the channel decoder!",
            BoxIcon::Exclamation);
  ExpectNoOtherWindow();
  EXPECT_TRUE(CommandsEnabled());

  // Whole pages are programmed; the last one is filled up with erased bytes.
  Bytes expected = image;
  expected.push_back(0xFF);
  const Bytes programmed = card_.Dsp();
  ASSERT_EQ(programmed.size(), expected.size());
  const auto differs = std::mismatch(programmed.begin(), programmed.end(), expected.begin());
  EXPECT_EQ(differs.first, programmed.end())
      << "first difference at byte " << (differs.first - programmed.begin());
  const std::vector<LoggedTransaction> log = card_.Log();
  EXPECT_EQ(log.size(), 3u + 512u + 2u);
  EXPECT_EQ(CountOf(log, "SET", "A2"), 512u);
  for (const LoggedTransaction& t : log) EXPECT_EQ(t.result, "0x00000000");
  ExpectCardReleasedEverything(1);
}

}  // namespace
}  // namespace ostrel_commands
