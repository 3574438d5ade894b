#include "eeprom/dsp_image.h"

#include <gtest/gtest.h>

#include "support/faulty_file_system.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An image with the given block word counts; the blocks themselves are
// filled with a pattern, and the file may be cut short.
Bytes Image(std::uint16_t n1, std::uint16_t n2, std::size_t keep = SIZE_MAX) {
  Bytes bytes = {
      0x01, 0x02, 0x03, static_cast<std::uint8_t>(n1 >> 8), static_cast<std::uint8_t>(n1 & 0xFF),
      0x41, 0x80};
  bytes.resize(bytes.size() + 2u * n1, 0x5A);
  bytes.push_back(static_cast<std::uint8_t>(n2 >> 8));
  bytes.push_back(static_cast<std::uint8_t>(n2 & 0xFF));
  bytes.resize(bytes.size() + 2u * n2 + 2u, 0xA5);
  if (keep < bytes.size()) bytes.resize(keep);
  return bytes;
}

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
  EXPECT_EQ(Check(Image(100, 28)), 2 * 100 + 2 * 28 + 11);
  EXPECT_EQ(Check(Image(10000, 6378)), 32767);
  EXPECT_EQ(Remaining(), (Bytes{0x01, 0x02, 0x03, 0x27}));
  EXPECT_TRUE(view.Messages().empty());
}

TEST_F(DspImageCheck, AHeaderAnnouncingMoreThanTheFileHoldsStillPasses) {
  EXPECT_EQ(Check(Image(2, 500, 13)), 2 * 2 + 2 * 500 + 11);
}

TEST_F(DspImageCheck, RefusesWithThePlainMessageAndItsCaption) {
  struct Case {
    Bytes bytes;
    const char* caption;
  };
  Bytes swapped = Image(1, 1);
  std::swap(swapped[5], swapped[6]);
  const Case cases[] = {
      {swapped, "Bad bytes"},
      {Image(10000, 6379), "Bad length"},  // 32769
      {Image(0xFFFF, 0), "Bad length"},
      {{}, "Bad bytes"},
      {{0x00}, "Bad bytes"},
      {{0, 0, 0, 0, 0, 0x41}, "Bad bytes"},
      {Image(3, 0, 7 + 6 + 1), "Bad bytes"},  // no room for N2
      {Image(0xFFFF, 0, 100), "Bad bytes"},
  };
  for (const Case& c : cases) {
    view = RecordingView();
    EXPECT_EQ(Check(c.bytes), 0) << c.caption << " for " << c.bytes.size() << " bytes";
    EXPECT_EQ(view.Messages(), std::vector<std::string>{std::string("plain[") + c.caption +
                                                        "]: The file format is not valid"});
  }
}

TEST_F(DspImageCheck, FileErrorsAreReportedAsSuch) {
  WriteWholeFile(folder / "image.bin", Image(1, 1));
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
