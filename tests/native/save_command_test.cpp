#include "commands/save_command.h"

#include <gtest/gtest.h>

#include <functional>

#include "commands/pending_save.h"

#include "support/command_bench.h"

namespace {

using Strings = std::vector<std::string>;

class SaveCommand : public ::testing::Test {
 protected:
  SaveCommand() { bench.host.answer = bench.folder / "saved.bin"; }
  CommandBench bench;
};

TEST_F(SaveCommand, BoardDefaultsStore256BytesAndSayItOnTheStatusLine) {
  bench.card.card.BoardEeprom() = DistinctBytes(256);
  bench.Save();

  EXPECT_EQ(ReadWholeFile(bench.folder / "saved.bin"), DistinctBytes(256));
  EXPECT_EQ(bench.folder.Names(), Strings{"saved.bin"}) << "no temporary file left";
  EXPECT_EQ(bench.view().StatusAndMessages(),
            (Strings{"status: Reading from Board-EEPROM...",
                     "status: Board EEPROM content successfully stored to file!"}));
  const auto& events = bench.view().Events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0].kind, RecordingView::Kind::Pos);
  EXPECT_EQ(events[0].value, 0);
  EXPECT_EQ(events[1].kind, RecordingView::Kind::Enable);
  EXPECT_EQ(events[1].value, 0);
  EXPECT_EQ(events[2].kind, RecordingView::Kind::Range);
  EXPECT_EQ(events[2].value, 256);
  EXPECT_EQ(events.back().kind, RecordingView::Kind::Enable);
  EXPECT_EQ(events.back().value, 1);
  EXPECT_EQ(bench.card.Requests().size(), 32u);
}

TEST_F(SaveCommand, TypedSizeNotAMultipleOf8GivesExactlyThatManyBytes) {
  CommandBench odd(512);
  odd.host.answer = odd.folder / "odd.bin";
  odd.host.settings.selectedSize = 385;
  odd.card.card.BoardEeprom() = DistinctBytes(512);
  odd.Save();
  Bytes expected = DistinctBytes(512);
  expected.resize(385);
  EXPECT_EQ(ReadWholeFile(odd.folder / "odd.bin"), expected);
  EXPECT_EQ(odd.view().range, 385);

  odd.host.settings.selectedSize = 384;
  odd.Save();
  EXPECT_EQ(ReadWholeFile(odd.folder / "odd.bin").size(), 384u);
  EXPECT_EQ(odd.view().range, 384);
}

TEST_F(SaveCommand, ChannelDecoderSavesTheWholeDspEepromWhateverTheSize) {
  bench.host.settings.kind = EepromKind::ChannelDecoder;
  bench.host.settings.selectedSize = -5;  // ignored on this path
  bench.card.card.DspEeprom() = DistinctBytes(32768, 9);
  bench.Save();

  EXPECT_EQ(ReadWholeFile(bench.folder / "saved.bin"), DistinctBytes(32768, 9));
  EXPECT_EQ(bench.view().range, 32768);
  EXPECT_EQ(bench.view().status, "DSP EEPROM content successfully stored to file!");
  EXPECT_TRUE(bench.card.card.ChDecRestored());
}

TEST_F(SaveCommand, CancellingTheFileDialogChangesNothing) {
  bench.host.answer.reset();
  bench.Save();
  EXPECT_EQ(bench.host.saveDialogs, 1);
  EXPECT_TRUE(bench.view().Events().empty());
  EXPECT_TRUE(bench.card.Requests().empty());
}

TEST_F(SaveCommand, BoardSizesTheTransfersCannotAddressAreRefusedBeforeTheDialog) {
  for (std::int32_t size : {0, -7, 65537}) {
    CommandBench refused;
    refused.host.settings.selectedSize = size;
    refused.host.answer = refused.folder / "x.bin";
    refused.Save();
    EXPECT_EQ(refused.host.saveDialogs, 0);
    EXPECT_EQ(refused.view().StatusAndMessages(),
              Strings{"error: Please select a board EEPROM size between 1 and 65536 bytes!"});
    EXPECT_TRUE(refused.folder.Names().empty());
  }
}

TEST_F(SaveCommand, AFailedReadLeavesAnExistingFileByteForByteIntact) {
  const Bytes precious = DistinctBytes(100, 42);
  WriteWholeFile(bench.folder / "saved.bin", precious);
  bench.card.card.FailTransaction(7);
  bench.Save();

  EXPECT_EQ(ReadWholeFile(bench.folder / "saved.bin"), precious);
  EXPECT_EQ(bench.folder.Names(), Strings{"saved.bin"});
  EXPECT_EQ(bench.view().StatusAndMessages(),
            (Strings{"status: Reading from Board-EEPROM...",
                     "error: ReadEEPROM: I2C-read to Board EEPROM failed",
                     "status: Reading out Board EEPROM content failed!!!"}));
  EXPECT_EQ(bench.view().position, 0);
  EXPECT_TRUE(bench.view().commandsEnabled);
}

TEST_F(SaveCommand, AFailedReadToANewNameLeavesNoFileAtAll) {
  bench.host.settings.kind = EepromKind::ChannelDecoder;
  bench.card.card.FailTransaction(40);
  bench.Save();
  EXPECT_TRUE(bench.folder.Names().empty());
  EXPECT_EQ(bench.view().status, "Reading out DSP EEPROM content failed!!!");
  EXPECT_TRUE(bench.card.card.ChDecRestored());
}

TEST_F(SaveCommand, ATargetThatCannotBeWrittenIsReportedBeforeAnyRequest) {
  bench.host.answer = bench.folder / "missing-folder" / "saved.bin";
  bench.Save();
  EXPECT_EQ(bench.view().StatusAndMessages(), Strings{"error: File can't be created"});
  EXPECT_TRUE(bench.card.Requests().empty());
  EXPECT_TRUE(bench.view().commandsEnabled);
}

TEST_F(SaveCommand, FileErrorsFailTheSaveAndKeepTheOldFile) {
  using Op = FaultyFileSystem::Op;
  const Bytes precious = DistinctBytes(256, 77);
  for (Op op : {Op::Write, Op::Flush, Op::Replace, Op::Probe, Op::CreateTemp}) {
    CommandBench faulty;
    faulty.host.answer = faulty.folder / "saved.bin";
    WriteWholeFile(faulty.folder / "saved.bin", precious);
    faulty.files.FailAt(op, 1);
    faulty.Save();
    EXPECT_EQ(ReadWholeFile(faulty.folder / "saved.bin"), precious) << static_cast<int>(op);
    EXPECT_EQ(faulty.folder.Names(), Strings{"saved.bin"}) << static_cast<int>(op);
    EXPECT_TRUE(faulty.view().commandsEnabled);
    const bool beforeTransfer = op == Op::Probe || op == Op::CreateTemp;
    EXPECT_EQ(faulty.view().Messages(), Strings{beforeTransfer ? "error: File can't be created"
                                                               : "error: File can't be written"});
    if (!beforeTransfer) {
      EXPECT_EQ(faulty.view().status, "Reading out Board EEPROM content failed!!!");
      EXPECT_EQ(faulty.view().position, 0);
    }
  }
}

TEST_F(SaveCommand, ACheckOfABusyTargetTriesAgainForAbout2s) {
  for (const std::size_t busy : {2u, 1000u}) {
    CommandBench b;
    b.host.answer = b.folder / "saved.bin";
    b.files.BusyFor(FaultyFileSystem::Op::Probe, busy);
    b.Save();
    const bool saved = busy == 2;
    EXPECT_EQ(b.view().Messages(), saved ? Strings{} : Strings{"error: File can't be created"});
    EXPECT_EQ(b.card.Requests().size(), saved ? 32u : 0u);
    EXPECT_EQ(b.card.clock.Waits(), std::vector<std::uint32_t>(saved ? 2 : 40, 50)) << "< 2 s";
  }
}

TEST_F(SaveCommand, AnAbandonedSaveRemovesOnlyTheEmptyTargetItsCheckCreated) {
  const FilePath target = bench.folder / "saved.bin";
  const std::pair<std::function<void()>, Strings> kMeanwhile[] = {
      {[] {}, Strings{}},
      {[&] { WriteWholeFile(target, {7}); }, Strings{"saved.bin"}},
      {[&] {  // another empty file in its place
         WriteWholeFile(bench.folder / "other.bin", {});
         std::filesystem::rename(bench.folder / "other.bin", target);
       },
       Strings{"saved.bin"}},
  };
  for (const auto& [act, left] : kMeanwhile) {
    std::unique_ptr<PendingSave> save =
        PendingSave::Begin(bench.files, bench.card.clock, bench.machine.access.Undo(), target);
    ASSERT_TRUE(save);
    act();
    EXPECT_TRUE(save->Discard());
    EXPECT_EQ(bench.folder.Names(), left);
    std::filesystem::remove(target);
  }
}

}  // namespace
