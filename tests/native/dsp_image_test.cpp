#include "eeprom/dsp_image.h"

#include <gtest/gtest.h>

#include "support/faulty_file_system.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"
#include "support/test_bytes.h"

namespace {

class DspImageCheck : public ::testing::Test {
 protected:
  std::int32_t Check(const Bytes& bytes) {
    WriteWholeFile(folder / "image.bin", bytes);
    file = files->OpenForReading(folder / "image.bin");
    return CheckDSPImage(view, *file);
  }

  // After a successful check the file reads again from its start.
  Bytes Remaining() {
    Bytes first(4);
    first.resize(ReadFully(*file, first).value());
    return first;
  }

  TempFolder folder;
  std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  std::unique_ptr<File> file;
  RecordingView view;
};

TEST_F(DspImageCheck, AcceptsAndMeasuresImagesUpToTheEepromSize) {
  EXPECT_EQ(Check({0, 0, 0, 0, 0, 0x41, 0x80, 0, 0}), 11);
  EXPECT_EQ(Remaining(), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Check(DspImage(100, 28)), 2 * 100 + 2 * 28 + 11);
  const Bytes largest = DspImage(10000, 6378);
  EXPECT_EQ(Check(largest), 32767);
  EXPECT_EQ(Remaining(), Bytes(largest.begin(), largest.begin() + 4));
  EXPECT_TRUE(view.Messages().empty());
}

TEST_F(DspImageCheck, AHeaderAnnouncingMoreThanTheFileHoldsStillPasses) {
  EXPECT_EQ(Check(DspImage(2, 500, 13)), 2 * 2 + 2 * 500 + 11);
}

TEST_F(DspImageCheck, RefusesWithThePlainMessageAndItsCaption) {
  struct Case {
    Bytes bytes;
    const char* caption;
  };
  Bytes swapped = DspImage(1, 1);
  std::swap(swapped[5], swapped[6]);
  const Case cases[] = {
      {swapped, "Bad bytes"},
      {DspImage(10000, 6379), "Bad length"},  // 32769
      {DspImage(0xFFFF, 0), "Bad length"},
      {{}, "Bad bytes"},
      {{0x00}, "Bad bytes"},
      {{0, 0, 0, 0, 0, 0x41}, "Bad bytes"},
      {DspImage(3, 0, 7 + 6 + 1), "Bad bytes"},  // no room for N2
      {DspImage(0xFFFF, 0, 100), "Bad bytes"},
  };
  for (const Case& c : cases) {
    view = RecordingView();
    EXPECT_EQ(Check(c.bytes), 0) << c.caption << " for " << c.bytes.size() << " bytes";
    EXPECT_EQ(view.Messages(), std::vector<std::string>{std::string("plain[") + c.caption +
                                                        "]: The file format is not valid"});
  }
}

TEST_F(DspImageCheck, FileErrorsAreReportedAsSuch) {
  WriteWholeFile(folder / "image.bin", DspImage(1, 1));
  for (FaultyFileSystem::Op op : {FaultyFileSystem::Op::Read, FaultyFileSystem::Op::Seek}) {
    for (std::size_t n = 1; n <= 2; ++n) {
      FaultyFileSystem faulty(*files);
      faulty.FailAt(op, n);
      view = RecordingView();
      auto image = faulty.OpenForReading(folder / "image.bin");
      EXPECT_EQ(CheckDSPImage(view, *image), kDspImageFileError);
      EXPECT_EQ(view.Messages(), std::vector<std::string>{"error: File can't be read"});
    }
  }
}

}  // namespace
