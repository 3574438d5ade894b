// The card's I2C bus and its devices behave like the real parts.

#include <gtest/gtest.h>

#include "simcard_requests.h"

namespace {

using simcard::kBoardEepromAddress;
using simcard::kChDecAddress;
using simcard::kDspEepromAddress;
using simcard::kWriteCycleMicros;

TEST(SimCardBus, BoardEepromTakesOneOrTwoSubaddressBytesLowFirstAndWraps) {
  CardBench bench(512);
  CardLine line(bench);
  ASSERT_TRUE(line.Set(kBoardEepromAddress, {0x05}, {0x01}));
  bench.clock.Advance(kWriteCycleMicros);
  ASSERT_TRUE(line.Set(kBoardEepromAddress, {0x05, 0x01}, {0x02}));
  bench.clock.Advance(kWriteCycleMicros);
  ASSERT_TRUE(line.Set(kBoardEepromAddress, {0xFF, 0x01}, {0x03, 0x04}));  // runs past the end
  bench.clock.Advance(kWriteCycleMicros);

  const Bytes& board = bench.card.BoardEeprom();
  EXPECT_EQ(board[0x005], 0x01);
  EXPECT_EQ(board[0x105], 0x02);
  EXPECT_EQ(board[0x1FF], 0x03);
  EXPECT_EQ(board[0x000], 0x04);
  EXPECT_EQ(line.Get(kBoardEepromAddress, {0xFE, 0x01}, 4), (Bytes{0xFF, 0x03, 0x04, 0xFF}));
}

TEST(SimCardBus, ChannelDecoderStartsWithItsPowerOnValuesAndTakesOneSubaddressByte) {
  CardBench bench;
  CardLine line(bench);
  EXPECT_EQ(line.Get(kChDecAddress, {0x3C}, 6), (Bytes{0x5A, 0x0C, 0x12, 0x34, 0x00, 0x01}));
  EXPECT_EQ(line.Get(kChDecAddress, {0x07}, 1), Bytes{0x00});
  EXPECT_FALSE(line.Get(kChDecAddress, {0x3C, 0x00}, 6));
  EXPECT_FALSE(line.Set(kChDecAddress, {0x07, 0x00}, {0x02}));
  EXPECT_EQ(bench.card.ChDecRegister(0x07), 0x00);

  ASSERT_TRUE(line.Set(kChDecAddress, {0x3C}, {1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(bench.card.ChDecRegister(0x41), 6);
}

TEST(SimCardBus, AbsentDeviceIsNotAcknowledged) {
  CardBench bench;
  CardLine line(bench);
  EXPECT_FALSE(line.Get(0x50, {0x00}, 1));
  EXPECT_TRUE(bench.card.Log().at(0).wellFormed);
  EXPECT_NE(bench.card.Log().at(0).note.find("not acknowledged"), std::string::npos);
}

TEST(SimCardBus, DspEepromAnswersOnlyWhileTheChannelDecoderIsSwitched) {
  CardBench bench;
  CardLine line(bench);
  EXPECT_FALSE(line.Get(kDspEepromAddress, {0x00, 0x00}, 64));
  EXPECT_FALSE(line.Set(kDspEepromAddress, {0x00, 0x00}, {0x00}));

  ASSERT_TRUE(line.Set(kChDecAddress, {0x07}, {0x02}));  // GPIO3 not yet routed
  EXPECT_FALSE(bench.card.ChDecSwitched());
  EXPECT_FALSE(line.Get(kDspEepromAddress, {0x00, 0x00}, 64));

  ASSERT_TRUE(line.Set(kChDecAddress, {0x40}, {0xFF}));
  EXPECT_TRUE(bench.card.ChDecSwitched());
  EXPECT_EQ(line.Get(kDspEepromAddress, {0x00, 0x00}, 64), Bytes(64, 0xFF));
  EXPECT_EQ(bench.card.DspEeprom().at(0), 0xFF) << "nothing was written meanwhile";

  ASSERT_TRUE(line.Set(kChDecAddress, {0x07}, {0x00}));
  EXPECT_FALSE(line.Get(kDspEepromAddress, {0x00, 0x00}, 64));
}

TEST(SimCardBus, DspEepromTakesTwoSubaddressBytesHighFirst) {
  CardBench bench;
  CardLine line(bench);
  ASSERT_TRUE(line.SwitchChDec());
  EXPECT_FALSE(line.Set(kDspEepromAddress, {0x40}, {0xAB}));
  ASSERT_TRUE(line.Set(kDspEepromAddress, {0x01, 0x40}, {0xAB}));
  EXPECT_EQ(bench.card.DspEeprom()[0x0140], 0xAB);
}

TEST(SimCardBus, DspPageWriteWrapsWithinItsPageAndReadsWrapAtTheEnd) {
  CardBench bench;
  CardLine line(bench);
  ASSERT_TRUE(line.SwitchChDec());
  const Bytes twenty = DistinctBytes(20, 1);
  ASSERT_TRUE(line.Set(kDspEepromAddress, {0x01, 0x30}, twenty));  // 16 bytes left in the page

  const Bytes& dsp = bench.card.DspEeprom();
  EXPECT_EQ(Bytes(dsp.begin() + 0x130, dsp.begin() + 0x140),
            Bytes(twenty.begin(), twenty.begin() + 16));
  EXPECT_EQ(Bytes(dsp.begin() + 0x100, dsp.begin() + 0x104),
            Bytes(twenty.begin() + 16, twenty.end()));
  EXPECT_EQ(dsp[0x104], 0xFF);
  EXPECT_EQ(dsp[0x140], 0xFF) << "the next page stays untouched";

  bench.card.DspEeprom()[0x7FFF] = 0x7F;
  bench.card.DspEeprom()[0x0000] = 0x00;
  bench.clock.Advance(kWriteCycleMicros);
  EXPECT_EQ(line.Get(kDspEepromAddress, {0x7F, 0xFF}, 2), (Bytes{0x7F, 0x00}));
  const auto acrossPages = line.Get(kDspEepromAddress, {0x01, 0x30}, 20);
  ASSERT_TRUE(acrossPages);
  EXPECT_EQ(Bytes(acrossPages->begin(), acrossPages->begin() + 16),
            Bytes(dsp.begin() + 0x130, dsp.begin() + 0x140));
}

TEST(SimCardBus, EepromTakesNoWriteDuringItsWriteCycle) {
  CardBench bench;
  CardLine line(bench);
  ASSERT_TRUE(line.Set(kBoardEepromAddress, {0x00}, {0x42}));
  EXPECT_FALSE(line.Set(kBoardEepromAddress, {0x01}, {0x43}));
  EXPECT_EQ(bench.card.BoardEeprom()[1], 0xFF);
  EXPECT_NE(bench.card.Log().back().note.find("busy"), std::string::npos);
  EXPECT_EQ(line.Get(kBoardEepromAddress, {0x00, 0x00}, 1), Bytes{0x42})
      << "a read-back may follow the last write at once";
  EXPECT_TRUE(line.Get(kChDecAddress, {0x07}, 1)) << "other devices still answer";

  bench.clock.Advance(kWriteCycleMicros - 1);
  EXPECT_FALSE(line.Set(kBoardEepromAddress, {0x01}, {0x43}));
  bench.clock.Advance(1);  // refused requests did not prolong the cycle
  EXPECT_TRUE(line.Set(kBoardEepromAddress, {0x01}, {0x43}));

  ASSERT_TRUE(line.SwitchChDec());
  ASSERT_TRUE(line.Set(kDspEepromAddress, {0x00, 0x00}, Bytes(64, 0x00)));
  EXPECT_FALSE(line.Set(kDspEepromAddress, {0x00, 0x40}, Bytes(64, 0x00)));
  bench.clock.WaitMilliseconds(20);  // the transfers' pacing
  EXPECT_TRUE(line.Set(kDspEepromAddress, {0x00, 0x40}, Bytes(64, 0x00)));
}

TEST(SimCardBus, ChDecRestoredComparesTheSixRegistersAndTheModeRegister) {
  CardBench bench;
  EXPECT_TRUE(bench.card.ChDecRestored()) << "the power-on state is the first snapshot";
  bench.card.ChDecRegister(0x42) = 0x99;
  EXPECT_TRUE(bench.card.ChDecRestored());
  bench.card.ChDecRegister(0x41) = 0x00;
  EXPECT_FALSE(bench.card.ChDecRestored());
  bench.card.ChDecRegister(0x41) = 0x01;
  bench.card.ChDecRegister(0x07) = 0x02;
  EXPECT_FALSE(bench.card.ChDecRestored());
  bench.card.SnapshotChDec();
  EXPECT_TRUE(bench.card.ChDecRestored());
}

}  // namespace
