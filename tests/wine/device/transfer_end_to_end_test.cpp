// EEPROM transfers end to end: the real lookup through Wine's device
// enumerator and filter graph to the simulated card's DLL registered in the
// prefix, with the real 20 ms pacing.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capture_registry.h"
#include "eeprom/transfer_context.h"
#include "common/waiter.h"
#include "device/chdec_switch.h"
#include "device/filter_connection.h"
#include "device/i2c_request.h"
#include "eeprom/board_eeprom.h"
#include "eeprom/dsp_eeprom.h"
#include "simcard/com/card_folder.h"
#include "common/guid_text_win32.h"
#include "simcard/com/sim_filter_classes.h"
#include "support/caller_trace.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"
#include "support/test_bytes.h"

namespace {

Bytes BytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class TransferEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = WhyTheSimulatedCardIsNotAlone(); !why.empty()) GTEST_SKIP() << why;
    SetEnvironmentVariableW(simcard::com::kCardFolderVariable, card.path().c_str());
  }
  void TearDown() override { SetEnvironmentVariableW(simcard::com::kCardFolderVariable, nullptr); }

  // The card's DLL served the connection and has nothing left alive.
  static void ExpectDllReleasedEverything(const Here& where = Here::current()) {
    const CallerTrace caller(where);
    const HMODULE dll = GetModuleHandleW(L"simcard_com.dll");
    ASSERT_NE(dll, nullptr) << "the card's DLL was not used";
    using Counts = HRESULT(WINAPI*)(LONG*, LONG*);
    const auto counts =
        reinterpret_cast<Counts>(reinterpret_cast<void*>(GetProcAddress(dll, "SimCardComCounts")));
    ASSERT_NE(counts, nullptr);
    LONG objects = -1;
    LONG references = -1;
    ASSERT_EQ(counts(&objects, &references), S_OK);
    EXPECT_EQ(objects, 0);
    EXPECT_EQ(references, 0);
  }

  std::vector<std::string> Log() const { return ReadLines(card / "log.txt"); }

  TempFolder card;
  RecordingView view;
  FilterConnector connector;
  std::unique_ptr<Waiter> waiter = MakePreciseWaiter();
  UndoSteps undo;
  TransferContext context{view, connector, *waiter, undo};
};

TEST_F(TransferEndToEnd, AReadReturnsTheCardsStoredImage) {
  const Bytes image = DistinctBytes(256);
  WriteWholeFile(card / "board.bin", image);

  Bytes buffer(256);
  ASSERT_TRUE(ReadBoardEEPROM(context, buffer, 256)) << testing::PrintToString(view.Messages());
  EXPECT_EQ(buffer, image);
  EXPECT_EQ(view.Messages(), std::vector<std::string>{});
  EXPECT_EQ(view.position, 256);

  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 32u);
  EXPECT_TRUE(Contains(log[0], " GET dev=A0 sub=0000 len=8 ")) << log[0];
  EXPECT_TRUE(Contains(log[31], " GET dev=A0 sub=F800 len=8 ")) << log[31];
  ExpectDllReleasedEverything();
  const std::vector<std::string> notes = ReadLines(card / "com.log");
  ASSERT_FALSE(notes.empty());
  EXPECT_TRUE(Contains(notes.back(), "released objects=0 references=0")) << notes.back();
}

TEST_F(TransferEndToEnd, AWriteProgramsTheEepromFromTheStartOffsetAndKeepsItInTheFolder) {
  const Bytes data = DistinctBytes(256);
  ASSERT_TRUE(WriteBoardEEPROM(context, data, 256, 256, 16))
      << testing::PrintToString(view.Messages());
  EXPECT_EQ(view.Messages(), std::vector<std::string>{});
  EXPECT_EQ(view.position, 256);

  // The card started erased; the PCI configuration area stays as it was.
  Bytes expected = data;
  std::fill(expected.begin(), expected.begin() + 16, 0xFF);
  EXPECT_EQ(ReadWholeFile(card / "board.bin"), expected);
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 240u);
  EXPECT_TRUE(Contains(log[0], " SET dev=A0 sub=10 len=1 data=70 ")) << log[0];
  for (const std::string& line : log) EXPECT_TRUE(Contains(line, "result=0x00000000")) << line;
  ExpectDllReleasedEverything();
}

TEST_F(TransferEndToEnd, ARequestTheCardFailsEndsTheReadWithItsMessage) {
  WriteWholeFile(card / "card.txt", BytesOf("fail_transaction=3\n"));

  Bytes buffer(256);
  EXPECT_FALSE(ReadBoardEEPROM(context, buffer, 256));
  EXPECT_EQ(view.Messages(),
            std::vector<std::string>{"error: ReadEEPROM: I2C-read to Board EEPROM failed"});
  EXPECT_EQ(view.position, 16);
  EXPECT_EQ(Log().size(), 3u);
  ExpectDllReleasedEverything();
}

TEST_F(TransferEndToEnd, ACardThatCannotBeOpenedIsNotFound) {
  WriteWholeFile(card / "card.txt", BytesOf("no_such_setting=1\n"));

  Bytes buffer(256);
  EXPECT_FALSE(ReadBoardEEPROM(context, buffer, 256));
  EXPECT_EQ(view.Messages(),
            (std::vector<std::string>{"error: FindFilterByName: BindToObject failed!",
                                      "error: Couldn't find AnalogCaptureFilter!"}));
  const std::vector<std::string> notes = ReadLines(card / "com.log");
  ASSERT_FALSE(notes.empty());
  EXPECT_TRUE(Contains(notes.front(), "open failed")) << notes.front();
  ExpectDllReleasedEverything();
}

// A registration left behind must never pass for the real card.
TEST_F(TransferEndToEnd, ACardWithoutAFolderNamedFailsEveryRequest) {
  SetEnvironmentVariableW(simcard::com::kCardFolderVariable, nullptr);

  Bytes buffer(256);
  EXPECT_FALSE(ReadBoardEEPROM(context, buffer, 256));
  EXPECT_EQ(view.Messages(),
            std::vector<std::string>{"error: ReadEEPROM: I2C-read to Board EEPROM failed"});
  EXPECT_EQ(view.position, 0);
  EXPECT_FALSE(std::filesystem::exists(card / "log.txt"));
  ExpectDllReleasedEverything();
}

TEST_F(TransferEndToEnd, ADspReadSwitchesTheChannelDecoderCopiesAllPagesAndRestores) {
  Bytes dsp(32768);
  for (std::size_t i = 0; i < dsp.size(); ++i) dsp[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
  WriteWholeFile(card / "dsp.bin", dsp);

  const std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  FilePath saved;
  {
    std::unique_ptr<File> out = files->CreateTemporaryBeside(card / "copy.bin", saved);
    ASSERT_TRUE(out);
    ASSERT_TRUE(ReadDSPEEPROM(context, *out)) << testing::PrintToString(view.Messages());
  }
  EXPECT_EQ(ReadWholeFile(saved), dsp);
  EXPECT_EQ(view.Messages(), std::vector<std::string>{});
  EXPECT_EQ(view.position, 32768);

  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 3u + 512u + 2u);
  EXPECT_TRUE(Contains(log[0], " GET dev=10 sub=3C len=6 ")) << log[0];
  EXPECT_TRUE(Contains(log[2], " SET dev=10 sub=07 len=1 data=02 ")) << log[2];
  EXPECT_TRUE(Contains(log[3 + 5], " GET dev=A2 sub=0140 len=64 ")) << log[8];
  EXPECT_TRUE(Contains(log[515], " SET dev=10 sub=07 len=1 data=00 ")) << log[515];
  EXPECT_TRUE(Contains(log[516], " SET dev=10 sub=3C len=6 ")) << log[516];
  for (const std::string& line : log) EXPECT_TRUE(Contains(line, "result=0x00000000")) << line;
  ExpectDllReleasedEverything();
}

TEST_F(TransferEndToEnd, TheCardKeepsItsRegistersAndCountsFaultsAcrossConnections) {
  // The 2nd connection's 2nd request; the 1st connection makes 3.
  WriteWholeFile(card / "card.txt", BytesOf("fail_transaction=5\n"));
  const std::uint8_t mode[] = {0x07};
  std::uint8_t value = 0;
  {
    I2CControl control = connector.OpenI2CControl(view);
    ASSERT_TRUE(control);
    ChDecSavedRegs saved{};
    ASSERT_TRUE(PrepareChDecGPIO3(*control, saved, view));
  }  // closed without restoring, as after a failed restore
  EXPECT_EQ(ReadWholeFile(card / "chdec.bin").at(0x07), 0x02);
  {
    I2CControl control = connector.OpenI2CControl(view);
    ASSERT_TRUE(control);
    ASSERT_TRUE(I2CGet(*control, kChannelDecoderAddress, mode, 1, &value, 1));
    EXPECT_EQ(value, 0x02) << "the switched mode was kept";
    EXPECT_FALSE(I2CGet(*control, kChannelDecoderAddress, mode, 1, &value, 1));
  }
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_TRUE(Contains(log[4], "n=5 ")) << log[4];
  EXPECT_TRUE(Contains(log[4], "result=0x80004005")) << log[4];
  ExpectDllReleasedEverything();
}

// Its objects are not made for calls from several threads at once.
TEST_F(TransferEndToEnd, TheRegisteredCardAsksForApartmentThreading) {
  const std::wstring server =
      L"CLSID\\" + GuidText(simcard::com::kClsidSimCard) + L"\\InprocServer32";
  std::array<wchar_t, 32> model{};
  DWORD size = sizeof(model);
  ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, server.c_str(), L"ThreadingModel", RRF_RT_REG_SZ,
                         nullptr, model.data(), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(model.data()), L"Apartment");
}

}  // namespace
