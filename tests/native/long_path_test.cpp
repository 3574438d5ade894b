// The names of Windows files beyond MAX_PATH, made on any system.
#include "common/long_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

const std::wstring kLongName(250, L'n');

TEST(LongPath, OnlyALongDriveOrNetworkPathGetsTheExtendedFormAndNeverTwice) {
  const struct {
    std::wstring full;
    std::optional<std::wstring> extended;
  } kCases[] = {
      {L"C:\\saves\\board.bin", std::nullopt},
      {L"\\\\server\\share\\board.bin", std::nullopt},
      {L"C:\\" + kLongName, L"\\\\?\\C:\\" + kLongName},
      {L"\\\\server\\share\\" + kLongName, L"\\\\?\\UNC\\server\\share\\" + kLongName},
      {L"\\\\?\\C:\\" + kLongName, std::nullopt},
      {L"\\\\?\\UNC\\server\\share\\" + kLongName, std::nullopt},
      {L"\\\\.\\C:\\" + kLongName, std::nullopt},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ExtendedLengthForm(c.full), c.extended) << c.full.size();
  }
}

TEST(LongPath, TheTemporaryNameOfATargetJustBelowTheLimitNeedsTheExtendedForm) {
  const std::wstring target = L"C:\\" + std::wstring(230, L'd') + L"\\b.bin";
  ASSERT_LT(target.size(), 260u - 12u);
  EXPECT_EQ(ExtendedLengthForm(target), std::nullopt);
  const std::wstring temp = TemporaryNameBeside(target, 4242, 7);
  EXPECT_EQ(temp, target + L".4242-7.tmp");
  EXPECT_EQ(ExtendedLengthForm(temp), L"\\\\?\\" + temp);
}

}  // namespace
