// A card's folder (images, card.txt), its log file, and the connector.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "simcard/card_config.h"
#include "simcard/transaction_log_file.h"
#include "simcard_requests.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"

namespace {

using simcard::kBoardEepromAddress;

std::string ReadText(const std::filesystem::path& path) {
  const Bytes bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  WriteWholeFile(path, Bytes(text.begin(), text.end()));
}

TEST(SimCardFolder, MemoriesAndRegistersSurviveASaveAndLoad) {
  TempFolder temp;
  const auto folder = temp / "card";
  simcard::VirtualClock clock;
  simcard::SimCard saved(clock, 512);
  saved.BoardEeprom() = DistinctBytes(512, 3);
  saved.DspEeprom() = DistinctBytes(simcard::kDspEepromSize, 9);
  saved.ChDecRegister(0x07) = 0x02;  // left switched, as by a failed restore
  saved.ChDecRegister(0x40) = 0xFF;
  ASSERT_TRUE(saved.SaveTo(folder));
  EXPECT_EQ(ReadWholeFile(folder / "board.bin").size(), 512u);
  EXPECT_EQ(ReadWholeFile(folder / "dsp.bin").size(), simcard::kDspEepromSize);
  EXPECT_EQ(ReadWholeFile(folder / "chdec.bin").size(), 256u);

  simcard::SimCard loaded(clock, 512);
  ASSERT_TRUE(loaded.LoadFrom(folder));
  EXPECT_EQ(loaded.BoardEeprom(), saved.BoardEeprom());
  EXPECT_EQ(loaded.DspEeprom(), saved.DspEeprom());
  EXPECT_TRUE(std::ranges::equal(loaded.ChDecRegisters(), saved.ChDecRegisters()));
  EXPECT_TRUE(loaded.ChDecSwitched());
  EXPECT_TRUE(loaded.ChDecRestored()) << "the loaded registers are the new snapshot";
}

TEST(SimCardFolder, MissingImagesLeaveTheCardErasedAndWrongSizesFail) {
  TempFolder temp;
  simcard::VirtualClock clock;
  simcard::SimCard card(clock);
  ASSERT_TRUE(card.LoadFrom(temp.path()));
  EXPECT_EQ(card.BoardEeprom(), Bytes(256, 0xFF));
  EXPECT_EQ(card.DspEeprom(), Bytes(simcard::kDspEepromSize, 0xFF));

  WriteWholeFile(temp / "dsp.bin", Bytes(simcard::kDspEepromSize, 0x00));
  WriteWholeFile(temp / "board.bin", Bytes(512, 0x00));  // not this card's size
  EXPECT_FALSE(card.LoadFrom(temp.path()));
  EXPECT_EQ(card.DspEeprom(), Bytes(simcard::kDspEepromSize, 0xFF)) << "all or nothing";
}

TEST(SimCardFolder, CardTxtSetsSizeAndFaults) {
  TempFolder temp;
  WriteText(temp / "card.txt",
            "# a card whose DSP EEPROM never answers\n"
            "board_size=512\n"
            "\n"
            " fail_transaction = 2\r\n"
            "fail_device=0xA2\n"
            "fail_code=1\n");
  simcard::VirtualClock clock;
  std::string error;
  auto card = simcard::OpenCardFolder(clock, temp.path(), error);
  ASSERT_TRUE(card) << error;
  EXPECT_EQ(card->BoardSize(), 512u);

  RecordingView view;
  simcard::SimConnector connector(*card);
  auto control = connector.OpenI2CControl(view);
  std::uint8_t sub[2] = {0, 0};
  std::uint8_t byte = 0;
  EXPECT_TRUE(I2CGet(*control, kBoardEepromAddress, sub, 2, &byte, 1));
  EXPECT_FALSE(I2CGet(*control, kBoardEepromAddress, sub, 2, &byte, 1));
  EXPECT_FALSE(I2CGet(*control, simcard::kDspEepromAddress, sub, 2, &byte, 1));
  EXPECT_EQ(card->Log()[1].result, 1);
  EXPECT_EQ(card->Log()[2].result, 1);
}

TEST(SimCardFolder, BadCardTxtNamesItsLine) {
  std::string error;
  EXPECT_FALSE(simcard::ParseCardConfig("board_size=256\nboard_sise=512\n", error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(simcard::ParseCardConfig("board_size=0\n", error));
  EXPECT_FALSE(simcard::ParseCardConfig("fail_device=0x1A2\n", error));
  EXPECT_FALSE(simcard::ParseCardConfig("fail_transaction=two\n", error));
  const auto config = simcard::ParseCardConfig("fail_code=0x80004005\n", error);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->failCode, kKsFail);
  EXPECT_FALSE(simcard::ParseCardConfig("hold_request=40\n", error)) << "no event to wait for";
  EXPECT_FALSE(simcard::ParseCardConfig("hold_event=\n", error));
  const auto holds = simcard::ParseCardConfig(
      "hold_request=40\nhold_event=Test.Hold\nhold_request=0x101\n", error);
  ASSERT_TRUE(holds) << error;
  EXPECT_EQ(holds->holdRequests, (std::vector<std::size_t>{40, 257}));
  EXPECT_EQ(holds->holdEvent, "Test.Hold");
}

TEST(SimCardFolder, LogIsAppendedAsOneLinePerTransaction) {
  TempFolder temp;
  CardBench bench;
  CardLine line(bench);
  ASSERT_TRUE(line.Set(kBoardEepromAddress, {0x05}, {0x5A}));
  bench.clock.Advance(1000);
  EXPECT_FALSE(line.Set(kBoardEepromAddress, {0x06}, {0xA5}));
  ASSERT_TRUE(simcard::AppendLog(bench.card.Log(), temp / "log.txt"));

  bench.card.ChDecRegister(0x3C) = 0xC3;
  ASSERT_TRUE(line.Get(simcard::kChDecAddress, {0x3C}, 1));
  ASSERT_TRUE(simcard::AppendLog(bench.card.Log(), temp / "log.txt", 2));

  EXPECT_EQ(ReadText(temp / "log.txt"),
            "n=1 t=0 pid=0 own=0 SET dev=A0 sub=05 len=1 data=5A result=0x00000000 note=\n"
            "n=2 t=1000 pid=0 own=0 SET dev=A0 sub=06 len=1 data=A5 result=0x80004005 note=not "
            "acknowledged: "
            "EEPROM busy: write cycle running (1000 us since the last write)\n"
            "n=3 t=1000 pid=0 own=0 GET dev=10 sub=3C len=1 data=C3 result=0x00000000 note=\n");
}

TEST(SimCardConnector, CountsConnectionsAndFailsLikeTheLookupWithoutACard) {
  CardBench bench;
  {
    I2CControl first = bench.connector.OpenI2CControl(bench.view);
    I2CControl second = bench.connector.OpenI2CControl(bench.view);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(bench.connector.OpenConnections(), 2);
    CloseI2CControl(first);
    EXPECT_EQ(bench.connector.OpenConnections(), 1);
  }
  EXPECT_EQ(bench.connector.OpenConnections(), 0);
  EXPECT_EQ(bench.connector.TimesOpened(), 2);

  bench.connector.SetCardPresent(false);
  EXPECT_FALSE(bench.connector.OpenI2CControl(bench.view));
  bench.connector.SetCardPresent(true);
  bench.connector.SetControlInterfacePresent(false);
  EXPECT_FALSE(bench.connector.OpenI2CControl(bench.view));
  EXPECT_EQ(bench.view.Messages(),
            (std::vector<std::string>{"error: FindFilterByName: Couldn't find enumerator!",
                                      "error: Couldn't find AnalogCaptureFilter!",
                                      "error: Couldn't get interface handle!"}));
  EXPECT_EQ(bench.connector.TimesOpened(), 2);
}

}  // namespace
