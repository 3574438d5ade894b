// Files the write command refuses before it touches the card: each gets its
// message, and the card sees no request and hands out no object.

#include <gtest/gtest.h>

#include "command_end_to_end.h"

namespace ostrel_commands {
namespace {

using ostrel_ui::BoxIcon;

constexpr wchar_t kInvalidFormat[] = L"The file format is not valid";
constexpr wchar_t kStartStatus[] = L"Read/write status";

struct RefusedImage {
  const char* name;
  Bytes bytes;
  const wchar_t* caption;
  const wchar_t* text;
  BoxIcon icon;
};

class RefusedFile : public CommandEndToEnd {
 protected:
  // Each image in turn, in one program as an operator would try them.
  void ExpectEachRefused(const std::vector<RefusedImage>& images,
                         const Here& where = Here::current()) {
    const CallerTrace caller(where);
    for (const RefusedImage& image : images) {
      SCOPED_TRACE(image.name);
      const auto source = files_ / (std::string(image.name) + ".bin");
      WriteWholeFile(source, image.bytes);
      ASSERT_TRUE(WriteFrom(source));
      ASSERT_NO_FATAL_FAILURE(AnswerBox(image.caption, image.text, image.icon));
      ExpectUntouchedDialog();
    }
    ExpectNoOtherWindow();
    ExpectCardUntouched();
  }

  void ExpectUntouchedDialog(const Here& where = Here::current()) const {
    const CallerTrace caller(where);
    EXPECT_EQ(Status(), kStartStatus);
    EXPECT_TRUE(WaitForProgress(0)) << Progress();
    EXPECT_TRUE(WaitForCommandsEnabled());
  }
};

TEST_F(RefusedFile, DspImageWithAWrongMarkerIsBadBytes) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
  Bytes swapped = DspImage(4, 4);
  std::swap(swapped[5], swapped[6]);
  ExpectEachRefused({{"swapped-marker", swapped, L"Bad bytes", kInvalidFormat, BoxIcon::None}});
}

TEST_F(RefusedFile, MalformedDspImagesGetTheirMessages) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
  ExpectEachRefused({
      {"empty", {}, L"Bad bytes", kInvalidFormat, BoxIcon::None},
      {"six-bytes", DspImage(0, 0, 6), L"Bad bytes", kInvalidFormat, BoxIcon::None},
      // N2 would be at 7 + 2*0xFFFF, far past the file's end.
      {"n1-ffff-no-n2", DspImage(0xFFFF, 0, 7), L"Bad bytes", kInvalidFormat, BoxIcon::None},
      {"n1-ffff-with-n2", DspImage(0xFFFF, 0, 7 + 2 * 0xFFFF + 2), L"Bad length", kInvalidFormat,
       BoxIcon::None},
      // 2*0 + 2*16379 + 11 = 32769, only the header and N2 in the file.
      {"announces-32769", DspImage(0, 16379, 9), L"Bad length", kInvalidFormat, BoxIcon::None},
  });
}

TEST_F(RefusedFile, BoardImagesLargerThanTheSizeOrEmpty) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ExpectEachRefused({
      {"board-257", DistinctBytes(257, 1), L"Ostrel",
       L"The file is larger than the selected EEPROM size!", BoxIcon::Stop},
      {"board-empty", {}, L"Ostrel", L"The file holds no data to write!", BoxIcon::Stop},
  });
}

// The open dialog has no options of its own, so it hands the name on.
TEST_F(RefusedFile, ANameWithoutAFileCannotBeOpened) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_TRUE(WriteFrom(files_ / "no-such-image.bin"));
  ASSERT_NO_FATAL_FAILURE(AnswerBox(L"Ostrel", L"File can't be opened", BoxIcon::Stop));
  ExpectUntouchedDialog();
  ExpectNoOtherWindow();
  ExpectCardUntouched();
}

}  // namespace
}  // namespace ostrel_commands
