// The capture filter lookup against Wine's own device enumerator, with
// simulated filters served from this process.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture_registry.h"
#include "device/filter_connection.h"
#include "device/i2c_request.h"
#include "simcard/com/card_folder.h"
#include "simcard/com/com_module.h"
#include "simcard/com/sim_filter_classes.h"
#include "support/caller_trace.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"

using Microsoft::WRL::ComPtr;
using simcard::com::FilterKind;

namespace {

constexpr wchar_t kName[] = L"713x BDA Analog Capture";

constexpr CLSID kCardA = {0x1A2B3C01, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x0A}};
constexpr CLSID kCardB = {0x1A2B3C01, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x0B}};
// Device entries; the enumerator yields them in an order of its own, which
// the tests look up rather than assume.
constexpr GUID kEntry1 = {0x00000001, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x01}};
constexpr GUID kEntry2 = {0x00000002, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x02}};
constexpr GUID kEntry3 = {0x00000003, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x03}};

std::optional<CLSID> ClassOf(IBaseFilter* filter) {
  CLSID clsid{};
  if (filter == nullptr || FAILED(filter->GetClassID(&clsid))) return std::nullopt;
  return clsid;
}

class FilterLookup : public testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = EmptyCaptureCategory(devices); !why.empty()) GTEST_SKIP() << why;
  }
  void TearDown() override { SetEnvironmentVariableW(simcard::com::kCardFolderVariable, nullptr); }

  // Every object the simulated classes handed out is gone once the test's
  // own references are; only the class objects being served remain.
  static void ExpectOnlyServedClassesAlive(long served, const Here& where = Here::current()) {
    const CallerTrace caller(where);
    const simcard::com::ModuleCounts counts = simcard::com::CurrentCounts();
    EXPECT_EQ(counts.objects, served);
    EXPECT_EQ(counts.references, served);
  }

  std::optional<CaptureDevices> devices;  // the category: the test's own entries only
  RecordingView view;
};

using Texts = std::vector<std::string>;

TEST_F(FilterLookup, OfTwoDevicesWithTheNameTheOneEnumeratedLastIsUsed) {
  const ServedClass cardA(kCardA, FilterKind::Card);
  const ServedClass cardB(kCardB, FilterKind::Card);
  devices->Add(kEntry1, kName, kCardA);
  devices->Add(kEntry2, kName, kCardB);
  const std::vector<CLSID> order = EnumeratedClasses();
  ASSERT_EQ(order.size(), 2u);
  ASSERT_NE(order[0], order[1]);

  {
    const ComPtr<IBaseFilter> filter =
        FindFilterByName(KSCATEGORY_CAPTURE, kCaptureFilterName, view);
    EXPECT_EQ(ClassOf(filter.Get()), order[1]);
    // The earlier match is already released.
    ExpectOnlyServedClassesAlive(2 + 1);
  }
  EXPECT_EQ(view.Errors(), Texts{});
  ExpectOnlyServedClassesAlive(2);
}

TEST_F(FilterLookup, ANameDifferingOnlyInCaseDoesNotMatch) {
  const ServedClass card(kCardA, FilterKind::Card);
  devices->Add(kEntry1, L"713x BDA ANALOG Capture", kCardA);
  devices->Add(kEntry2, L"713X bda analog capture", kCardA);

  EXPECT_EQ(FindFilterByName(KSCATEGORY_CAPTURE, kCaptureFilterName, view), nullptr);
  EXPECT_EQ(view.Errors(), Texts{});
  EXPECT_EQ(OpenI2CControl(view), nullptr);
  EXPECT_EQ(view.Errors(), Texts{"Couldn't find AnalogCaptureFilter!"});
  ExpectOnlyServedClassesAlive(1);
}

TEST_F(FilterLookup, DevicesWithoutAReadableNameAreSkippedSilently) {
  const ServedClass card(kCardA, FilterKind::Card);
  // Binding either of these would fail and show a message.
  const ServedClass unbindable(simcard::com::kClsidSimFailsCreation, FilterKind::FailsCreation);
  devices->AddWithoutName(kEntry1, simcard::com::kClsidSimFailsCreation);
  devices->Add(kEntry2, kName, kCardA);
  devices->AddWithNumberName(kEntry3, 713, simcard::com::kClsidSimFailsCreation);
  ASSERT_EQ(EnumeratedClasses().size(), 3u);

  EXPECT_EQ(ClassOf(FindFilterByName(KSCATEGORY_CAPTURE, kCaptureFilterName, view).Get()), kCardA);
  EXPECT_EQ(view.Errors(), Texts{});
  ExpectOnlyServedClassesAlive(2);
}

TEST_F(FilterLookup, ALaterMatchThatCannotBeBoundEndsTheLookupWithNothing) {
  const ServedClass card(kCardA, FilterKind::Card);
  const ServedClass unbindable(simcard::com::kClsidSimFailsCreation, FilterKind::FailsCreation);
  devices->Add(kEntry1, kName, kCardA);
  devices->Add(kEntry2, kName, simcard::com::kClsidSimFailsCreation);
  devices->Add(kEntry3, kName, kCardA);
  const std::vector<CLSID> order = EnumeratedClasses();
  ASSERT_EQ(order.size(), 3u);
  // Whatever the order, some match comes after the one that can't be bound
  // or before it; the lookup fails either way once it reaches it.
  ASSERT_NE(order.front(), simcard::com::kClsidSimFailsCreation)
      << "the unbindable device should not come first";

  EXPECT_EQ(OpenI2CControl(view), nullptr);
  EXPECT_EQ(view.Errors(), (Texts{"FindFilterByName: BindToObject failed!",
                                  "Couldn't find AnalogCaptureFilter!"}));
  // The match found before it is released too.
  ExpectOnlyServedClassesAlive(2);
}

TEST_F(FilterLookup, WithoutAnyCaptureDeviceNoEnumeratorIsFound) {
  ASSERT_TRUE(EnumeratedClasses().empty());

  EXPECT_EQ(OpenI2CControl(view), nullptr);
  EXPECT_EQ(view.Errors(), (Texts{"FindFilterByName: Couldn't find enumerator!",
                                  "Couldn't find AnalogCaptureFilter!"}));
  ExpectOnlyServedClassesAlive(0);
}

TEST_F(FilterLookup, AFilterWithoutControlInterfaceGivesNoConnection) {
  const ServedClass noControl(simcard::com::kClsidSimNoControl, FilterKind::NoControl);
  devices->Add(kEntry1, kName, simcard::com::kClsidSimNoControl);

  EXPECT_EQ(OpenI2CControl(view), nullptr);
  EXPECT_EQ(view.Errors(), Texts{"Couldn't get interface handle!"});
  // Graph and filter are gone with the failed connection.
  ExpectOnlyServedClassesAlive(1);
}

TEST_F(FilterLookup, AFilterTheGraphCannotTakeGivesNoConnection) {
  const ServedClass refuses(simcard::com::kClsidSimRefusesGraph, FilterKind::RefusesGraph);
  devices->Add(kEntry1, kName, simcard::com::kClsidSimRefusesGraph);

  EXPECT_EQ(OpenI2CControl(view), nullptr);
  EXPECT_EQ(view.Errors(), Texts{"Couldn't add the AnalogCaptureFilter to the graph object!"});
  ExpectOnlyServedClassesAlive(1);
}

TEST_F(FilterLookup, AConnectionKeepsItsFilterUntilItIsClosed) {
  const ServedClass card(kCardA, FilterKind::Card);
  devices->Add(kEntry1, kName, kCardA);
  // The card's folder holds no images yet: the card is erased.
  const TempFolder folder;
  SetEnvironmentVariableW(simcard::com::kCardFolderVariable, folder.path().c_str());

  I2CControl control = OpenI2CControl(view);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(view.Errors(), Texts{});
  // The filter stays alive inside the graph the connection holds, and the
  // requests reach the simulated card (erased: all bytes 0xFF).
  EXPECT_EQ(simcard::com::CurrentCounts().objects, 2);
  const std::uint8_t subaddress[2] = {0x08, 0x00};
  std::uint8_t buffer[8] = {};
  EXPECT_TRUE(I2CGet(*control, 0xA0, subaddress, 2, buffer, 8));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 8), std::vector<std::uint8_t>(8, 0xFF));

  CloseI2CControl(control);
  ExpectOnlyServedClassesAlive(1);
}

}  // namespace
