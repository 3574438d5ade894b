#include "eeprom/dsp_eeprom.h"

#include <gtest/gtest.h>

#include "support/caller_trace.h"
#include "support/card_bench.h"
#include "support/faulty_file_system.h"
#include "support/temp_folder.h"

namespace {

using simcard::TransactionKind;

class DspTransfer : public ::testing::Test {
 protected:
  void SetUp() override { bench.card.SnapshotChDec(); }

  // Writes bytes to a file and programs count bytes of it.
  bool Program(const Bytes& bytes, std::int32_t count) {
    WriteWholeFile(folder / "image.bin", bytes);
    std::unique_ptr<File> file = files->OpenForReading(folder / "image.bin");
    return WriteDSPEEPROM(bench.context, *file, count);
  }

  bool ReadInto(const std::string& name, const Here& where = Here::current()) {
    const CallerTrace caller(where);
    std::optional<FileIdentity> created;
    EXPECT_EQ(files->ProbeWritable(folder / name, created), FileOutcome::Done);
    FilePath ignored;
    std::unique_ptr<File> file = files->CreateTemporaryBeside(folder / name, ignored);
    const bool ok = ReadDSPEEPROM(bench.context, *file);
    file.reset();
    std::filesystem::rename(ignored, folder / name);
    return ok;
  }

  std::vector<simcard::Transaction> PageRequests() const { return bench.Requests(0xA2); }

  CardBench bench;
  TempFolder folder;
  std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
};

TEST_F(DspTransfer, FullReadRoundTripIn512PacedPages) {
  bench.card.DspEeprom() = DistinctBytes(32768, 3);
  ASSERT_TRUE(ReadInto("dsp.bin"));

  EXPECT_EQ(ReadWholeFile(folder / "dsp.bin"), DistinctBytes(32768, 3));
  const auto pages = PageRequests();
  ASSERT_EQ(pages.size(), 512u);
  EXPECT_EQ(pages[5].subaddress, (Bytes{0x01, 0x40})) << "offset 0x140, high byte first";
  EXPECT_EQ(pages[5].length, 64u);
  EXPECT_EQ(bench.view.position, 32768);
  EXPECT_EQ(bench.clock.Waits(), std::vector<std::uint32_t>(512, 20));
  // Switched before the first page, restored after the last, connection closed.
  const auto all = bench.Requests();
  EXPECT_EQ(all.size(), 3u + 512u + 2u);
  EXPECT_EQ(all[2].device, 0x10);
  EXPECT_EQ(all[515].device, 0x10);
  EXPECT_TRUE(bench.card.ChDecRestored());
  EXPECT_EQ(bench.connector.OpenConnections(), 0);
}

TEST_F(DspTransfer, FullWriteRoundTripOverDifferentContent) {
  const Bytes image = DistinctBytes(32767, 1);
  Bytes before(32768);
  for (std::size_t i = 0; i < before.size(); ++i) {
    before[i] = static_cast<std::uint8_t>(~(i < image.size() ? image[i] : 0x00));
  }
  bench.card.DspEeprom() = before;
  ASSERT_TRUE(Program(image, 32767));

  const Bytes& after = bench.card.DspEeprom();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), after.begin()));
  EXPECT_EQ(after[32767], 0xFF) << "the byte the image doesn't hold is sent erased";
  EXPECT_EQ(PageRequests().size(), 512u);
  EXPECT_EQ(bench.view.position, 32768);
  EXPECT_EQ(bench.clock.Waits(), std::vector<std::uint32_t>(512, 20));
  EXPECT_TRUE(bench.card.ChDecRestored());
}

TEST_F(DspTransfer, CountsRoundUpToWholePagesWithErasedFill) {
  ASSERT_TRUE(Program(DistinctBytes(11), 11));
  ASSERT_EQ(PageRequests().size(), 1u);
  EXPECT_EQ(bench.view.Positions(), std::vector<std::int64_t>{64});
  Bytes firstPage = DistinctBytes(11);
  firstPage.resize(64, 0xFF);
  EXPECT_EQ(PageRequests()[0].data, firstPage);

  bench.card.ClearLog();
  bench.clock.Advance(5000);
  ASSERT_TRUE(Program(DistinctBytes(100), 65));
  ASSERT_EQ(PageRequests().size(), 2u) << "65 bytes take two pages";
  EXPECT_EQ(bench.view.position, 128);

  bench.card.ClearLog();
  bench.clock.Advance(5000);
  // The header may announce more than the file holds: whole erased pages follow.
  ASSERT_TRUE(Program(DistinctBytes(65), 200));
  const auto pages = PageRequests();
  ASSERT_EQ(pages.size(), 4u);
  Bytes secondPage(64, 0xFF);
  secondPage[0] = DistinctBytes(65)[64];
  EXPECT_EQ(pages[1].data, secondPage) << "63 bytes past the image's end are erased";
  EXPECT_EQ(pages[2].data, Bytes(64, 0xFF));
  EXPECT_EQ(pages[3].subaddress, (Bytes{0x00, 0xC0}));
}

TEST_F(DspTransfer, AFailedPageNamesItsNumberAndStillRestores) {
  // Transactions: 3 of the preparation, then the pages.
  struct Case {
    bool write;
    std::size_t failing;
    const char* message;
  };
  for (const Case& c :
       {Case{false, 4, "error: ReadEEPROM: I2C-read to DSP EEPROM failed (page 0)!"},
        Case{false, 5, "error: ReadEEPROM: I2C-read to DSP EEPROM failed (page 1)!"},
        Case{true, 4, "error: ReadEEPROM: I2C-write to DSP EEPROM failed (page 0)!"},
        Case{true, 5, "error: ReadEEPROM: I2C-write to DSP EEPROM failed (page 1)!"}}) {
    CardBench local;
    local.card.SnapshotChDec();
    local.card.FailTransaction(c.failing, 1);
    TempFolder scratch;
    bool ok = true;
    if (c.write) {
      WriteWholeFile(scratch / "in.bin", DistinctBytes(200));
      auto file = files->OpenForReading(scratch / "in.bin");
      ok = WriteDSPEEPROM(local.context, *file, 200);
    } else {
      FilePath temp;
      auto file = files->CreateTemporaryBeside(scratch / "out.bin", temp);
      ok = ReadDSPEEPROM(local.context, *file);
      file.reset();
      EXPECT_EQ(ReadWholeFile(temp).size(), (c.failing - 4) * 64) << "pages read before stay";
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(local.view.Messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(local.Requests().size(), c.failing + 2) << "then the two restore writes";
    EXPECT_TRUE(local.card.ChDecRestored());
    EXPECT_EQ(local.connector.OpenConnections(), 0);
  }
}

TEST_F(DspTransfer, AFailedPreparationIsNotFollowedByARestore) {
  bench.card.FailTransaction(2);
  EXPECT_FALSE(Program(DistinctBytes(64), 64));
  EXPECT_EQ(bench.Requests().size(), 2u);
  EXPECT_EQ(bench.view.Messages(),
            std::vector<std::string>{"error: PrepareChDecGPIO3: I2C-write to channel decoder "
                                     "failed!"});
  EXPECT_EQ(bench.connector.OpenConnections(), 0);
}

TEST_F(DspTransfer, AFailedRestoreLeavesTheTransfersResult) {
  bench.card.FailTransaction(3 + 1 + 1);  // the first restore write after one page
  EXPECT_TRUE(Program(DistinctBytes(11), 11));
  EXPECT_EQ(bench.view.Messages(),
            std::vector<std::string>{"error: RestoreChDecSettings: I2C-write to channel "
                                     "decoder failed!"});
  EXPECT_EQ(bench.Requests().size(), 5u) << "the second restore write is not sent";
}

TEST_F(DspTransfer, FileErrorsEndTheTransferAfterTheRestore) {
  FaultyFileSystem faulty(*files);
  WriteWholeFile(folder / "in.bin", DistinctBytes(300));
  faulty.FailAt(FaultyFileSystem::Op::Read, 2);
  {
    auto file = faulty.OpenForReading(folder / "in.bin");
    EXPECT_FALSE(WriteDSPEEPROM(bench.context, *file, 300));
  }
  EXPECT_EQ(bench.view.Messages(), std::vector<std::string>{"error: File can't be read"});
  EXPECT_EQ(PageRequests().size(), 1u) << "nothing is sent for the page the file failed";
  EXPECT_TRUE(bench.card.ChDecRestored());

  CardBench reader;
  faulty.FailAt(FaultyFileSystem::Op::Write, 3);
  FilePath temp;
  auto out = faulty.CreateTemporaryBeside(folder / "out.bin", temp);
  EXPECT_FALSE(ReadDSPEEPROM(reader.context, *out));
  EXPECT_EQ(reader.view.Messages(), std::vector<std::string>{"error: File can't be written"});
  EXPECT_EQ(reader.Requests(0xA2).size(), 3u);
  EXPECT_EQ(reader.connector.OpenConnections(), 0);
}

}  // namespace
