#include "commands/write_command.h"

#include <gtest/gtest.h>

#include "support/command_bench.h"

namespace {

using Strings = std::vector<std::string>;
using simcard::TransactionKind;

std::size_t CountKind(const std::vector<simcard::Transaction>& log, TransactionKind kind) {
  return static_cast<std::size_t>(std::count_if(
      log.begin(), log.end(), [kind](const simcard::Transaction& t) { return t.kind == kind; }));
}

class WriteCommand : public ::testing::Test {
 protected:
  void Offer(const Bytes& image) {
    WriteWholeFile(bench.folder / "image.bin", image);
    bench.host.answer = bench.folder / "image.bin";
  }
  CommandBench bench;
};

TEST_F(WriteCommand, BoardDefaultsWriteAllBytesVerifyAndAskForAReboot) {
  const Bytes image = DistinctBytes(256);
  Offer(image);
  bench.Write();

  const auto log = bench.card.Requests();
  EXPECT_EQ(CountKind(log, TransactionKind::Set), 256u);
  EXPECT_EQ(CountKind(log, TransactionKind::Get), 32u);
  EXPECT_EQ(bench.card.card.BoardEeprom(), image);
  EXPECT_EQ(bench.view().StatusAndMessages(),
            (Strings{"status: Programming the Board-EEPROM...", "status: Verifying written data...",
                     "status: Board-EEPROM content successfully written to EEPROM!",
                     "notice: Please reboot the system to apply the new settings!"}));
  // 256 paced writes, then one settling wait before the comparison.
  std::vector<std::uint32_t> waits(256, 20);
  waits.push_back(1000);
  EXPECT_EQ(bench.card.clock.Waits(), waits);
  EXPECT_EQ(bench.view().range, 256);
  EXPECT_TRUE(bench.view().commandsEnabled);
}

TEST_F(WriteCommand, WithoutOverrideTheConfigurationSpaceIsNeitherWrittenNorCompared) {
  bench.host.settings.startOffset = 16;
  Bytes image = DistinctBytes(256);
  Offer(image);
  bench.card.card.BoardEeprom()[3] = static_cast<std::uint8_t>(~image[3]);
  bench.Write();

  const auto log = bench.card.Requests();
  EXPECT_EQ(CountKind(log, TransactionKind::Set), 240u);
  EXPECT_EQ(log.front().subaddress, Bytes{16});
  EXPECT_EQ(bench.view().status, "Board-EEPROM content successfully written to EEPROM!")
      << "a difference in byte 3 goes unnoticed";
}

TEST_F(WriteCommand, AShortImageWritesAndComparesOnlyItsOwnBytes) {
  bench.host.settings.verify = true;
  Offer(DistinctBytes(100));
  bench.Write();
  const auto log = bench.card.Requests();
  EXPECT_EQ(CountKind(log, TransactionKind::Set), 100u);
  EXPECT_EQ(CountKind(log, TransactionKind::Get), 13u);
  EXPECT_EQ(bench.view().range, 256);
  EXPECT_EQ(bench.view().status, "Board-EEPROM content successfully written to EEPROM!");
}

TEST_F(WriteCommand, AReadBackDifferenceIsReportedAfterTheStatusLine) {
  // The operator chose 256 for a 128-byte part: the upper half of the image
  // lands on the lower half, and the read-back shows it.
  CommandBench small(128);
  WriteWholeFile(small.folder / "image.bin", DistinctBytes(256));
  small.host.answer = small.folder / "image.bin";
  small.Write();
  EXPECT_EQ(small.view().StatusAndMessages(),
            (Strings{"status: Programming the Board-EEPROM...", "status: Verifying written data...",
                     "status: Verifying written data failed!", "error: Verifying failed!"}));
  EXPECT_EQ(small.view().position, 256) << "left where the read-back left it";
  EXPECT_TRUE(small.view().commandsEnabled);
  EXPECT_EQ(small.card.clock.Waits().back(), 1000u);
}

TEST_F(WriteCommand, WithoutVerifyTheRebootNoticeFollowsTheLastWrite) {
  bench.host.settings.verify = false;
  Offer(DistinctBytes(256));
  bench.Write();
  EXPECT_EQ(CountKind(bench.card.Requests(), TransactionKind::Get), 0u);
  EXPECT_EQ(bench.card.clock.Waits().back(), 20u);
  EXPECT_EQ(bench.view().Messages(),
            Strings{"notice: Please reboot the system to apply the new settings!"});
}

TEST_F(WriteCommand, BoardWriteAndReadBackFailuresEndWithTheFailureStatus) {
  for (std::size_t failing :
       {std::size_t{1}, std::size_t{256}, std::size_t{257}, std::size_t{288}}) {
    CommandBench local;
    WriteWholeFile(local.folder / "image.bin", DistinctBytes(256));
    local.host.answer = local.folder / "image.bin";
    local.card.card.FailTransaction(failing, 1);
    local.Write();
    const Strings shown = local.view().StatusAndMessages();
    EXPECT_EQ(shown.back(), "status: Writing to Board-EEPROM failed!!!") << failing;
    EXPECT_EQ(shown[shown.size() - 2], failing <= 256
                                           ? "error: ReadEEPROM: I2C-write to Board-EEPROM failed"
                                           : "error: ReadEEPROM: I2C-read to Board EEPROM failed");
    EXPECT_EQ(local.view().position, 0);
    EXPECT_TRUE(local.view().commandsEnabled);
  }
}

TEST_F(WriteCommand, BoardImagesTheEepromCannotTakeAreRefusedBeforeAnyRequest) {
  struct Case {
    std::size_t length;
    std::int32_t startOffset;
    const char* message;
  };
  for (const Case& c : {Case{257, 0, "error: The file is larger than the selected EEPROM size!"},
                        Case{0, 0, "error: The file holds no data to write!"},
                        Case{16, 16, "error: The file holds no data to write!"}}) {
    CommandBench local;
    local.host.settings.startOffset = c.startOffset;
    WriteWholeFile(local.folder / "image.bin", DistinctBytes(c.length));
    local.host.answer = local.folder / "image.bin";
    local.Write();
    EXPECT_EQ(local.view().StatusAndMessages(), Strings{c.message});
    EXPECT_TRUE(local.card.Requests().empty());
    EXPECT_EQ(local.view().Events().size(), 1u) << "status, progress and buttons untouched";
  }
}

TEST_F(WriteCommand, ANameThatDoesNotExistCannotBeOpened) {
  bench.host.answer = bench.folder / "nothing-here.bin";
  bench.Write();
  EXPECT_EQ(bench.view().StatusAndMessages(), Strings{"error: File can't be opened"});
  bench.host.answer.reset();
  bench.Write();
  EXPECT_EQ(bench.view().Events().size(), 1u) << "a cancelled dialog changes nothing";
}

TEST_F(WriteCommand, DspImageIsCheckedProgrammedAndFollowedByTheRebootNotice) {
  bench.host.settings.kind = EepromKind::ChannelDecoder;
  const Bytes image = DspImage(16378, 0);
  Offer(image);
  bench.Write();

  EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.card.card.DspEeprom().begin()));
  EXPECT_EQ(bench.view().range, 32767);
  EXPECT_EQ(bench.view().StatusAndMessages(),
            (Strings{"status: Programming the EEPROM...",
                     "status: EEPROM content successfully written to EEPROM!",
                     "notice: Please reboot the system to feed the new settings into the channel "
                     "decoder!"}));
  EXPECT_TRUE(bench.card.card.ChDecRestored());
  EXPECT_TRUE(bench.view().commandsEnabled);
}

TEST_F(WriteCommand, RefusedDspImagesLeaveEverythingAsItWas) {
  bench.host.settings.kind = EepromKind::ChannelDecoder;
  Bytes badBytes = DspImage(45, 0);
  badBytes[5] = 0x80;
  Offer(badBytes);
  bench.Write();
  EXPECT_EQ(bench.view().StatusAndMessages(),
            Strings{"plain[Bad bytes]: The file format is not valid"});

  Bytes badLength = DspImage(45, 0);
  badLength[97] = 0x7F;  // N2 announces far more than the EEPROM holds
  Offer(badLength);
  bench.Write();
  EXPECT_EQ(bench.view().Messages().back(), "plain[Bad length]: The file format is not valid");
  EXPECT_EQ(bench.view().Events().size(), 2u);
  EXPECT_TRUE(bench.card.Requests().empty());
}

TEST_F(WriteCommand, AFailedDspWriteRestoresAndReportsTheFailure) {
  bench.host.settings.kind = EepromKind::ChannelDecoder;
  Offer(DspImage(495, 0));
  bench.card.card.FailTransaction(3 + 5);
  bench.Write();
  EXPECT_EQ(bench.view().StatusAndMessages(),
            (Strings{"status: Programming the EEPROM...",
                     "error: ReadEEPROM: I2C-write to DSP EEPROM failed (page 4)!",
                     "status: Writing to EEPROM failed!!!"}));
  EXPECT_EQ(bench.view().position, 0);
  EXPECT_TRUE(bench.card.card.ChDecRestored());
}

TEST_F(WriteCommand, FileErrorsEndWithTheFailureStatusAndEnabledButtons) {
  using Op = FaultyFileSystem::Op;
  struct Case {
    EepromKind kind;
    Op op;
    std::size_t number;
    const char* status;
  };
  for (const Case& c :
       {Case{EepromKind::Board, Op::Length, 1, "Writing to Board-EEPROM failed!!!"},
        Case{EepromKind::Board, Op::Read, 1, "Writing to Board-EEPROM failed!!!"},
        Case{EepromKind::ChannelDecoder, Op::Read, 1, "Writing to EEPROM failed!!!"},
        Case{EepromKind::ChannelDecoder, Op::Read, 4, "Writing to EEPROM failed!!!"}}) {
    CommandBench local;
    local.host.settings.kind = c.kind;
    WriteWholeFile(local.folder / "image.bin",
                   c.kind == EepromKind::Board ? DistinctBytes(256) : DspImage(145, 0));
    local.host.answer = local.folder / "image.bin";
    local.files.FailAt(c.op, c.number);
    local.Write();
    EXPECT_EQ(local.view().Messages(), Strings{"error: File can't be read"}) << c.number;
    EXPECT_EQ(local.view().status, c.status);
    EXPECT_EQ(local.view().position, 0);
    EXPECT_TRUE(local.view().commandsEnabled);
    EXPECT_TRUE(local.card.card.ChDecRestored());
  }
}

}  // namespace
