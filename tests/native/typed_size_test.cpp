#include "ui/typed_size.h"

#include <gtest/gtest.h>

TEST(TypedSize, ReadsLeadingDecimalNumber) {
  EXPECT_EQ(ParseTypedSize("12ab"), 12);
  EXPECT_EQ(ParseTypedSize("384"), 384);
  EXPECT_EQ(ParseTypedSize("  -7"), -7);
  EXPECT_EQ(ParseTypedSize("\t\n+42x"), 42);
}

TEST(TypedSize, NoDigitsGiveZero) {
  EXPECT_EQ(ParseTypedSize(""), 0);
  EXPECT_EQ(ParseTypedSize("abc"), 0);
  EXPECT_EQ(ParseTypedSize("-"), 0);
  EXPECT_EQ(ParseTypedSize(" - 5"), 0);
}

TEST(TypedSize, OnlyTheFirstNineCharactersCount) {
  EXPECT_EQ(ParseTypedSize("1234567890"), 123456789);
  EXPECT_EQ(ParseTypedSize("        5"), 5);
  EXPECT_EQ(ParseTypedSize("         5"), 0);
  EXPECT_EQ(ParseTypedSize("-99999999999"), -99999999);
}
