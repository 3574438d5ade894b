// Each step of the lookup against a device enumerator that answers as told:
// the failures Wine's own never gives, positive results that are not S_OK,
// and that every enumerator, moniker, property bag and filter is released.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "device/filter_connection.h"
#include "fake_device_enum.h"
#include "simcard/com/com_module.h"
#include "support/recording_view.h"

namespace {

constexpr CLSID kFirst = {0x2B3C4D01, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x01}};
constexpr CLSID kSecond = {0x2B3C4D01, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x02}};
const std::wstring kName = L"713x BDA Analog Capture";

using Texts = std::vector<std::string>;

FakeDevice Named(const std::wstring& name, const CLSID& filterClass) {
  FakeDevice device;
  device.name = name;
  device.filterClass = filterClass;
  return device;
}

struct StepCase {
  const char* what;  // the case's name
  FakeCategory category;
  Texts messages;      // of FindFilterByName
  const CLSID* found;  // nothing: the lookup returns nothing
};

void PrintTo(const StepCase& step, std::ostream* out) {
  *out << step.what;
}

std::vector<StepCase> Cases() {
  std::vector<StepCase> cases;
  {
    FakeDevice unbound = Named(L"Other", kSecond);
    unbound.storage = E_FAIL;
    cases.push_back({"LaterDevicesStorageCannotBeBound",
                     {S_OK, {Named(kName, kFirst), unbound}},
                     {"FindFilterByName: BindToStorage failed!"},
                     nullptr});
  }
  {
    FakeDevice positive = Named(kName, kSecond);
    positive.storage = S_FALSE;
    cases.push_back({"StorageBindingAnswersSFalse",
                     {S_OK, {Named(kName, kFirst), positive}},
                     {"FindFilterByName: BindToStorage failed!"},
                     nullptr});
  }
  {
    FakeDevice positive = Named(kName, kSecond);
    positive.bind = S_FALSE;
    cases.push_back({"FilterBindingAnswersSFalse",
                     {S_OK, {Named(kName, kFirst), positive}},
                     {"FindFilterByName: BindToObject failed!"},
                     nullptr});
  }
  cases.push_back({"ClassEnumeratorAnswersSFalse",
                   {S_FALSE, {Named(kName, kFirst)}},
                   {"FindFilterByName: Couldn't find enumerator!"},
                   nullptr});
  cases.push_back({"NoClassEnumerator",
                   {E_FAIL, {}},
                   {"FindFilterByName: Couldn't find enumerator!"},
                   nullptr});
  {
    FakeDevice positive = Named(kName, kSecond);
    positive.nameRead = S_FALSE;
    cases.push_back({"NameReadWithPositiveResultStillCounts",
                     {S_OK, {Named(kName, kFirst), positive}},
                     {},
                     &kSecond});
  }
  {
    FakeDevice failed = Named(kName, kSecond);
    failed.nameRead = E_FAIL;
    cases.push_back(
        {"FailedNameReadSkipsTheDevice", {S_OK, {Named(kName, kFirst), failed}}, {}, &kFirst});
  }
  {
    FakeDevice number = Named(kName, kSecond);
    number.name.reset();
    cases.push_back(
        {"NameThatIsNoStringSkipsTheDevice", {S_OK, {Named(kName, kFirst), number}}, {}, &kFirst});
  }
  cases.push_back(
      {"EmbeddedNullMakesADifferentName",
       {S_OK, {Named(kName, kFirst), Named(kName + std::wstring(1, L'\0') + L"x", kSecond)}},
       {},
       &kFirst});
  return cases;
}

class FilterLookupSteps : public testing::TestWithParam<StepCase> {};

TEST_P(FilterLookupSteps, ShowsItsMessagesAndReleasesEverything) {
  const StepCase& step = GetParam();
  SCOPED_TRACE(step.what);
  FakeDeviceEnumerator devices(step.category);
  RecordingView view;
  {
    const Microsoft::WRL::ComPtr<IBaseFilter> filter =
        FindFilterByName(KSCATEGORY_CAPTURE, kCaptureFilterName, view);
    if (step.found == nullptr) {
      EXPECT_EQ(filter, nullptr);
    } else {
      CLSID clsid{};
      ASSERT_NE(filter, nullptr);
      ASSERT_EQ(filter->GetClassID(&clsid), S_OK);
      EXPECT_EQ(clsid, *step.found);
    }
  }
  EXPECT_EQ(view.Errors(), step.messages);
  EXPECT_EQ(devices.Alive(), 0);
  EXPECT_EQ(simcard::com::CurrentCounts().objects, 0);
  EXPECT_EQ(simcard::com::CurrentCounts().references, 0);
}

INSTANTIATE_TEST_SUITE_P(, FilterLookupSteps, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<StepCase>& param) {
                           return std::string(param.param.what);
                         });

class FilterLookupFailures : public FilterLookupSteps {};

TEST_F(FilterLookupFailures, WithoutDeviceEnumeratorBothMessagesAreShown) {
  const FailingClass devices(CLSID_SystemDeviceEnum);
  RecordingView view;
  EXPECT_EQ(OpenI2CControl(view), nullptr);
  EXPECT_EQ(view.Errors(), (Texts{"FindFilterByName: Couldn't create device enumerator!",
                                  "Couldn't find AnalogCaptureFilter!"}));
}

TEST_F(FilterLookupFailures, WithoutFilterGraphNoDeviceIsLookedFor) {
  const FailingClass graph(CLSID_FilterGraph);
  FakeDeviceEnumerator devices({S_OK, {Named(kName, kFirst)}});
  RecordingView view;
  EXPECT_EQ(OpenI2CControl(view), nullptr);
  EXPECT_EQ(view.Errors(), Texts{"Couldn't create graph builder instance!"});
  EXPECT_EQ(devices.DeviceEnumeratorsCreated(), 0);
}

}  // namespace
