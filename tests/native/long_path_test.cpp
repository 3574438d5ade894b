// The names of Windows files beyond MAX_PATH, made on any system.
#include "common/long_path.h"

#include <gtest/gtest.h>

namespace {

using Name = std::optional<std::wstring>;

TEST(LongPath, OnlyALongDriveOrNetworkPathGetsTheExtendedFormAndNeverTwice) {
  const std::wstring n(250, L'n');
  const std::pair<std::wstring, Name> kCases[] = {
      {L"C:\\saves\\board.bin", std::nullopt},
      {L"\\\\server\\share\\board.bin", std::nullopt},
      {L"C:\\" + n, L"\\\\?\\C:\\" + n},
      {L"\\\\server\\s\\" + n, L"\\\\?\\UNC\\server\\s\\" + n},
      {L"\\\\?\\C:\\" + n, std::nullopt},
      {L"\\\\?\\UNC\\server\\s\\" + n, std::nullopt},
      {L"\\\\.\\C:\\" + n, std::nullopt},
  };
  for (const auto& [full, extended] : kCases) EXPECT_EQ(ExtendedLengthForm(full), extended);

  // A target short enough as it is, whose temporary file's name is not.
  const std::wstring target = L"C:\\" + std::wstring(230, L'd') + L"\\b.bin";
  EXPECT_EQ(ExtendedLengthForm(target), std::nullopt);
  EXPECT_EQ(TemporaryNameBeside(target, 4242, 7), target + L".4242-7.tmp");
  EXPECT_EQ(ExtendedLengthForm(target + L".4242-7.tmp"), L"\\\\?\\" + target + L".4242-7.tmp");
}

}  // namespace
