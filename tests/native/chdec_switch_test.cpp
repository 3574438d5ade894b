#include "device/chdec_switch.h"

#include <gtest/gtest.h>

#include "support/card_bench.h"

namespace {

using simcard::TransactionKind;

class ChDecSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    const Bytes registers = {0xFF, 0xFF, 0x12, 0x34, 0x56, 0x00};
    for (std::size_t i = 0; i < registers.size(); ++i) {
      bench.card.ChDecRegister(static_cast<std::uint8_t>(0x3C + i)) = registers[i];
    }
    bench.card.SnapshotChDec();
    control = bench.connector.OpenI2CControl(bench.view);
    ASSERT_TRUE(control);
  }

  CardBench bench;
  I2CControl control;
  ChDecSavedRegs saved{};
};

TEST_F(ChDecSwitch, PreparationRewritesTheSixRegistersThenSetsRegister07) {
  ASSERT_TRUE(PrepareChDecGPIO3(*control, saved, bench.view));

  EXPECT_EQ(saved, (ChDecSavedRegs{0xFF, 0xFF, 0x12, 0x34, 0x56, 0x00})) << "kept as read";
  const auto log = bench.Requests();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].kind, TransactionKind::Get);
  EXPECT_EQ(log[0].subaddress, Bytes{0x3C});
  EXPECT_EQ(log[0].length, 6u);
  EXPECT_EQ(log[1].kind, TransactionKind::Set);
  EXPECT_EQ(log[1].subaddress, Bytes{0x3C});
  EXPECT_EQ(log[1].data, (Bytes{0x3F, 0xF7, 0x12, 0x34, 0xFF, 0xC0}));
  EXPECT_EQ(log[2].subaddress, Bytes{0x07});
  EXPECT_EQ(log[2].data, Bytes{0x02});
  for (const auto& t : log) EXPECT_EQ(t.device, 0x10);
  EXPECT_TRUE(bench.card.ChDecSwitched());
  EXPECT_TRUE(bench.view.Messages().empty());
}

TEST_F(ChDecSwitch, RestoreWritesRegister07BeforeTheSixRegisters) {
  ASSERT_TRUE(PrepareChDecGPIO3(*control, saved, bench.view));
  bench.card.ClearLog();
  ASSERT_TRUE(RestoreChDecSettings(*control, saved, bench.view));

  const auto log = bench.Requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].subaddress, Bytes{0x07});
  EXPECT_EQ(log[0].data, Bytes{0x00});
  EXPECT_EQ(log[1].subaddress, Bytes{0x3C});
  EXPECT_EQ(log[1].data, (Bytes{0xFF, 0xFF, 0x12, 0x34, 0x56, 0x00}));
  EXPECT_TRUE(bench.card.ChDecRestored());
}

TEST_F(ChDecSwitch, EachFailedStepShowsItsMessageAndSendsNothingAfter) {
  struct Case {
    std::size_t failing;
    std::size_t requests;
    const char* message;
  };
  for (const Case& c :
       {Case{1, 1, "error: PrepareChDecGPIO3: I2C-read from channel decoder failed!"},
        Case{2, 2, "error: PrepareChDecGPIO3: I2C-write to channel decoder failed!"},
        Case{3, 3, "error: PrepareChDecGPIO3: I2C-write to channel decoder failed!"}}) {
    CardBench local;
    auto connection = local.connector.OpenI2CControl(local.view);
    local.card.FailTransaction(c.failing, 1);  // a success code other than S_OK fails too
    EXPECT_FALSE(PrepareChDecGPIO3(*connection, saved, local.view)) << c.failing;
    EXPECT_EQ(local.Requests().size(), c.requests);
    EXPECT_EQ(local.view.Messages(), std::vector<std::string>{c.message});
  }
  for (std::size_t failing : {1u, 2u}) {
    CardBench local;
    auto connection = local.connector.OpenI2CControl(local.view);
    local.card.FailTransaction(failing);
    EXPECT_FALSE(RestoreChDecSettings(*connection, saved, local.view));
    EXPECT_EQ(local.Requests().size(), failing);
    EXPECT_EQ(local.view.Messages(),
              std::vector<std::string>{"error: RestoreChDecSettings: I2C-write to channel "
                                       "decoder failed!"});
  }
}

}  // namespace
