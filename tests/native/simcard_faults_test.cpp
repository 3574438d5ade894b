// Injected faults fail exactly the requests they name and change nothing.

#include <gtest/gtest.h>

#include "simcard_requests.h"

namespace {

using simcard::kBoardEepromAddress;
using simcard::kChDecAddress;

constexpr KsResult kSFalse = 1;

TEST(SimCardFaults, NumberedFaultAnswersItsCodeAndTakesNoEffect) {
  CardBench bench;
  CardLine line(bench);
  bench.card.FailTransaction(2, kSFalse);
  bench.card.FailTransaction(3, kSFalse);
  bench.card.ChDecRegister(0x10) = 0x77;

  ASSERT_TRUE(line.Set(kChDecAddress, {0x00}, {0x01}));
  EXPECT_FALSE(line.Set(kChDecAddress, {0x00}, {0x02})) << "S_FALSE is no success";
  EXPECT_FALSE(line.Get(kChDecAddress, {0x10}, 1));
  EXPECT_TRUE(line.Set(kChDecAddress, {0x00}, {0x03}));
  EXPECT_EQ(bench.card.ChDecRegister(0x00), 0x03);

  const auto& log = bench.card.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].result, kSFalse);
  EXPECT_EQ(log[1].note, "injected fault");
  EXPECT_TRUE(log[2].data.empty()) << "a failed read hands nothing back";
}

TEST(SimCardFaults, FailedWriteLeavesTheEepromAsItWas) {
  CardBench bench;
  CardLine line(bench);
  bench.card.FailTransaction(1, kSFalse);
  EXPECT_FALSE(line.Set(kBoardEepromAddress, {0x00}, {0x00}));
  EXPECT_EQ(bench.card.BoardEeprom()[0], 0xFF);
  EXPECT_TRUE(line.Get(kBoardEepromAddress, {0x00, 0x00}, 1)) << "no write cycle was started";
}

TEST(SimCardFaults, NumberingCountsEveryRequestGoesOnFromEarlierConnectionsAndRestartsWithTheLog) {
  CardBench bench;
  CardLine line(bench);
  bench.card.FailTransaction(2);
  std::uint32_t bytesReturned = 0;
  std::uint8_t record[sizeof(I2CRequest)] = {};  // no property set
  std::uint8_t block[sizeof(I2CDataBlock)] = {};
  EXPECT_EQ(bench.card.KsProperty(record, sizeof(record), block, sizeof(block), &bytesReturned),
            kKsFail);                                // 1
  EXPECT_FALSE(line.Get(kChDecAddress, {0x07}, 1));  // 2

  bench.card.ClearLog();
  EXPECT_TRUE(line.Get(kChDecAddress, {0x07}, 1));   // 1
  EXPECT_FALSE(line.Get(kChDecAddress, {0x07}, 1));  // 2 again
  EXPECT_EQ(bench.card.RequestsNumbered(), 2u);

  CardBench next;  // the next connection's card
  next.card.ContinueNumberingAfter(bench.card.RequestsNumbered());
  next.card.FailTransaction(4);
  CardLine nextLine(next);
  EXPECT_TRUE(nextLine.Get(kChDecAddress, {0x07}, 1));   // 3
  EXPECT_FALSE(nextLine.Get(kChDecAddress, {0x07}, 1));  // 4
  EXPECT_EQ(next.card.Log()[1].number, 4u);
}

TEST(SimCardFaults, DeviceFaultHitsEveryRequestToItUntilCleared) {
  CardBench bench;
  CardLine line(bench);
  bench.card.FailDevice(kChDecAddress);
  EXPECT_FALSE(line.Get(kChDecAddress, {0x07}, 1));
  EXPECT_FALSE(line.Set(kChDecAddress, {0x07}, {0x02}));
  EXPECT_EQ(bench.card.ChDecRegister(0x07), 0x00);
  EXPECT_TRUE(line.Get(kBoardEepromAddress, {0x00, 0x00}, 8));
  EXPECT_EQ(bench.card.Log()[0].result, kKsFail);

  bench.card.ClearFaults();
  EXPECT_TRUE(line.Get(kChDecAddress, {0x07}, 1));
}

}  // namespace
