// Reading a dialog's initial control data, including damaged data.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resource.h"
#include "ui/dialog_init_data.h"

namespace {

std::vector<std::uint8_t> Entry(std::uint16_t id, std::uint16_t message, std::string_view data,
                                std::uint32_t declaredLength) {
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(id),
                                     static_cast<std::uint8_t>(id >> 8),
                                     static_cast<std::uint8_t>(message),
                                     static_cast<std::uint8_t>(message >> 8),
                                     static_cast<std::uint8_t>(declaredLength),
                                     static_cast<std::uint8_t>(declaredLength >> 8),
                                     static_cast<std::uint8_t>(declaredLength >> 16),
                                     static_cast<std::uint8_t>(declaredLength >> 24)};
  for (const char c : data) bytes.push_back(static_cast<std::uint8_t>(c));
  return bytes;
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::vector<std::uint8_t> kEnd = {0, 0};

TEST(DialogInitData, ReadsEntriesUpToTheZeroIdWithoutTheirTerminators) {
  const auto data = Join({Entry(IDC_EEPROM_LIST, DLGINIT_ADDSTRING, std::string_view("ab\0", 3), 3),
                          Entry(77, 0x0401, std::string_view("xyz\0", 4), 4), kEnd,
                          Entry(9, 9, "after the end", 13)});
  const auto entries = ParseDialogInitData(data);
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].controlId, IDC_EEPROM_LIST);
  EXPECT_EQ((*entries)[0].message, DLGINIT_ADDSTRING);
  EXPECT_EQ((*entries)[0].data, "ab");
  EXPECT_EQ((*entries)[1].controlId, 77);
  EXPECT_EQ((*entries)[1].message, 0x0401);
  EXPECT_EQ((*entries)[1].data, "xyz");
}

TEST(DialogInitData, EmptyListAndUnterminatedStrings) {
  EXPECT_EQ(ParseDialogInitData(kEnd)->size(), 0u);
  const auto entries = ParseDialogInitData(Join({Entry(5, 0x0403, "abc", 3), kEnd}));
  ASSERT_TRUE(entries.has_value());
  EXPECT_EQ((*entries)[0].data, "abc");
}

TEST(DialogInitData, RefusesDataThatIsCutShort) {
  EXPECT_FALSE(ParseDialogInitData({}).has_value());
  // No terminating id.
  EXPECT_FALSE(ParseDialogInitData(Entry(5, 0x0403, "abc", 3)).has_value());
  // Length past the end, including one that would wrap a 32-bit offset.
  EXPECT_FALSE(ParseDialogInitData(Join({Entry(5, 0x0403, "abc", 4), kEnd})).has_value());
  EXPECT_FALSE(ParseDialogInitData(Join({Entry(5, 0x0403, "abc", 0xFFFFFFFFu), kEnd})).has_value());
  // Header cut inside the length.
  const auto cut = Entry(5, 0x0403, "", 0);
  EXPECT_FALSE(ParseDialogInitData(std::span(cut).first(6)).has_value());
}

}  // namespace
