#include "eeprom/board_eeprom.h"

#include <gtest/gtest.h>

#include "support/card_bench.h"

namespace {

using simcard::TransactionKind;

TEST(BoardRead, ReadsIn8BytePiecesWithTwoByteSubaddressesAndNoWaits) {
  CardBench bench;
  bench.card.BoardEeprom() = DistinctBytes(256);
  Bytes buffer(256);
  ASSERT_TRUE(ReadBoardEEPROM(bench.context, buffer, 256));

  EXPECT_EQ(buffer, DistinctBytes(256));
  const auto log = bench.Requests();
  ASSERT_EQ(log.size(), 32u);
  for (std::size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].kind, TransactionKind::Get);
    EXPECT_EQ(log[i].device, 0xA0);
    EXPECT_EQ(log[i].length, 8u);
    EXPECT_EQ(log[i].subaddress, (Bytes{static_cast<std::uint8_t>(i * 8), 0x00}));
  }
  std::vector<std::int64_t> expected;
  for (int p = 8; p <= 256; p += 8) expected.push_back(p);
  EXPECT_EQ(bench.view.Positions(), expected);
  EXPECT_TRUE(bench.clock.Waits().empty());
  EXPECT_EQ(bench.connector.OpenConnections(), 0);
  EXPECT_EQ(bench.connector.TimesOpened(), 1);
}

TEST(BoardRead, HighOffsetsCarryTheirHighByteSecond) {
  CardBench bench(512);
  Bytes buffer(512);
  ASSERT_TRUE(ReadBoardEEPROM(bench.context, buffer, 512));
  EXPECT_EQ(bench.Requests().at(33).subaddress, (Bytes{0x08, 0x01}));
}

TEST(BoardRead, LengthNotAMultipleOf8EndsAfterThePieceThatPassesIt) {
  CardBench bench(512);
  Bytes buffer(BoardReadBufferSize(385));
  ASSERT_EQ(buffer.size(), 392u);
  ASSERT_TRUE(ReadBoardEEPROM(bench.context, buffer, 385));
  EXPECT_EQ(bench.Requests().size(), 49u);
  EXPECT_EQ(bench.view.position, 392);
}

TEST(BoardWrite, OneBytePerRequestEachAfterA20msWait) {
  CardBench bench;
  const Bytes image = DistinctBytes(256);
  ASSERT_TRUE(WriteBoardEEPROM(bench.context, image, 256, 256, 0));

  EXPECT_EQ(bench.card.BoardEeprom(), image);
  const auto log = bench.Requests();
  ASSERT_EQ(log.size(), 256u);
  EXPECT_EQ(log[5].kind, TransactionKind::Set);
  EXPECT_EQ(log[5].subaddress, Bytes{0x05}) << "one subaddress byte up to 256 bytes";
  EXPECT_EQ(log[5].data, Bytes{image[5]});
  EXPECT_EQ(bench.clock.Waits(), std::vector<std::uint32_t>(256, 20));
  EXPECT_EQ(bench.view.position, 256);
  EXPECT_EQ(bench.connector.OpenConnections(), 0);
}

TEST(BoardWrite, FromStartOffset16OnlyTheBytesAfterTheConfigurationSpace) {
  CardBench bench;
  const Bytes before = bench.card.BoardEeprom();
  const Bytes image = DistinctBytes(256);
  ASSERT_TRUE(WriteBoardEEPROM(bench.context, image, 256, 256, 16));

  const auto log = bench.Requests();
  ASSERT_EQ(log.size(), 240u);
  EXPECT_EQ(log.front().subaddress, Bytes{16});
  EXPECT_EQ(bench.view.Positions().front(), 17);
  EXPECT_EQ(bench.view.position, 256);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 16, bench.card.BoardEeprom().begin()));
  EXPECT_TRUE(std::equal(image.begin() + 16, image.end(), bench.card.BoardEeprom().begin() + 16));
}

TEST(BoardWrite, LargerEepromsTakeTwoSubaddressBytesLowFirst) {
  CardBench bench(512);
  const Bytes image = DistinctBytes(512);
  ASSERT_TRUE(WriteBoardEEPROM(bench.context, image, 512, 512, 0));
  EXPECT_EQ(bench.Requests().at(5).subaddress, (Bytes{0x05, 0x00}));
  EXPECT_EQ(bench.Requests().at(0x1FF).subaddress, (Bytes{0xFF, 0x01}));
  EXPECT_EQ(bench.card.BoardEeprom(), image);
}

TEST(BoardTransfers, TheFirstFailedRequestEndsWithItsMessageAndAClosedConnection) {
  for (KsResult code : {kKsFail, KsResult{1}}) {
    CardBench reader;
    reader.card.FailTransaction(3, code);
    Bytes buffer(256);
    EXPECT_FALSE(ReadBoardEEPROM(reader.context, buffer, 256));
    EXPECT_EQ(reader.Requests().size(), 3u);
    EXPECT_EQ(reader.view.Messages(),
              std::vector<std::string>{"error: ReadEEPROM: I2C-read to Board EEPROM failed"});
    EXPECT_EQ(reader.view.position, 16);
    EXPECT_EQ(reader.connector.OpenConnections(), 0);

    CardBench writer;
    writer.card.FailTransaction(10, code);
    const Bytes image = DistinctBytes(256);
    EXPECT_FALSE(WriteBoardEEPROM(writer.context, image, 256, 256, 0));
    EXPECT_EQ(writer.Requests().size(), 10u);
    EXPECT_EQ(writer.view.Messages(),
              std::vector<std::string>{"error: ReadEEPROM: I2C-write to Board-EEPROM failed"});
    EXPECT_EQ(writer.view.position, 9);
    EXPECT_EQ(writer.connector.OpenConnections(), 0);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 9, writer.card.BoardEeprom().begin()))
        << "the bytes written before stay written";
  }
}

TEST(BoardTransfers, NoCardMeansNoRequest) {
  CardBench bench;
  bench.connector.SetCardPresent(false);
  Bytes buffer(256);
  EXPECT_FALSE(ReadBoardEEPROM(bench.context, buffer, 256));
  EXPECT_FALSE(WriteBoardEEPROM(bench.context, buffer, 256, 256, 0));
  EXPECT_TRUE(bench.Requests().empty());
  EXPECT_EQ(bench.view.Messages().size(), 4u);
}

TEST(BoardTransfers, SizesOutsideTheBuffersFailBeforeAnyRequest) {
  CardBench bench(512);
  Bytes buffer(256);
  EXPECT_FALSE(ReadBoardEEPROM(bench.context, buffer, 0));
  EXPECT_FALSE(ReadBoardEEPROM(bench.context, buffer, -8));
  EXPECT_FALSE(ReadBoardEEPROM(bench.context, buffer, 257)) << "the last piece has no room";
  EXPECT_FALSE(ReadBoardEEPROM(bench.context, std::span(buffer).first(250), 250));
  Bytes huge(70000);
  EXPECT_FALSE(ReadBoardEEPROM(bench.context, huge, 65537));
  EXPECT_FALSE(WriteBoardEEPROM(bench.context, buffer, 16, 256, 16)) << "nothing after offset 16";
  EXPECT_FALSE(WriteBoardEEPROM(bench.context, buffer, 257, 512, 0)) << "past the image";
  EXPECT_FALSE(WriteBoardEEPROM(bench.context, buffer, 256, 200, 0)) << "past the EEPROM";
  EXPECT_FALSE(WriteBoardEEPROM(bench.context, huge, 65537, 65537, 0));
  EXPECT_TRUE(bench.Requests().empty());
  EXPECT_EQ(bench.connector.TimesOpened(), 0);
  EXPECT_EQ(bench.view.Messages().size(), 9u);
}

}  // namespace
