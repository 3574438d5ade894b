#include "capture_registry.h"

#include <dshow.h>
#include <ks.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "simcard/com/capture_identifiers.h"
#include "simcard/com/listed_capture_devices.h"
#include "simcard/com/guid_text.h"
#include "simcard/com/registration.h"
#include "simcard/com/set_aside_capture_entries.h"

using Microsoft::WRL::ComPtr;
using simcard::com::GuidText;
using simcard::com::RegistryKey;

namespace {

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(what);
}

// The machine's own capture entries, not HKCR's merged view: what the tests
// set aside there is put back there.
RegistryKey MachineCaptureEntry(const GUID& entry) {
  const RegistryKey classes =
      simcard::com::OpenClasses(simcard::com::RegistrationScope::kMachine, KEY_ALL_ACCESS);
  const std::wstring name =
      L"CLSID\\" + GuidText(KSCATEGORY_CAPTURE) + L"\\Instance\\" + GuidText(entry);
  RegistryKey key = RegistryKey::Create(classes.Get(), name);
  if (!key) throw std::runtime_error("cannot create a device entry");
  return key;
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  Check(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), "set value");
}

bool RegisteredForThisUserOnly() {
  // Set by the self-test kit to how it registered the simulated card.
  std::wstring value(8, L'\0');
  return GetEnvironmentVariableW(L"OSTREL_SELFTEST_REGISTRATION", value.data(), 8) == 4 &&
         value.compare(0, 4, L"user") == 0;
}

}  // namespace

CaptureDevices::CaptureDevices() {
  if (!simcard::com::SetAsideCaptureEntries()) {
    throw std::runtime_error("cannot set the capture category's entries aside");
  }
}

CaptureDevices::~CaptureDevices() {
  simcard::com::PutBackSetAsideCaptureEntries();
}

void CaptureDevices::Add(const GUID& entry, const std::wstring& friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  Check(MachineCaptureEntry(entry).SetString(L"FriendlyName", friendlyName), "set the name");
}

void CaptureDevices::AddWithoutName(const GUID& entry, const CLSID& clsid) {
  Check(MachineCaptureEntry(entry).SetString(L"CLSID", GuidText(clsid)), "set the class");
}

void CaptureDevices::AddWithNumberName(const GUID& entry, DWORD friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  SetValue(MachineCaptureEntry(entry).Get(), L"FriendlyName", REG_DWORD, &friendlyName,
           sizeof(friendlyName));
}

std::string EmptyCaptureCategory(std::optional<CaptureDevices>& devices) {
  if (RegisteredForThisUserOnly()) {
    return "the card is registered for this user only; this test rewrites the machine's "
           "capture category";
  }
  devices.emplace();
  if (const std::size_t listed = simcard::com::ListedCaptureDevices().size(); listed != 0) {
    devices.reset();
    return "the test needs an empty capture category, but the system also lists " +
           std::to_string(listed) + " device(s) of this PC from their drivers";
  }
  return {};
}

std::string WhyTheSimulatedCardIsNotAlone() {
  std::vector<std::optional<CLSID>> named;
  for (const simcard::com::ListedCaptureDevice& device : simcard::com::ListedCaptureDevices()) {
    if (device.name == simcard::com::kCaptureFilterName) named.push_back(device.clsid);
  }
  if (named == std::vector<std::optional<CLSID>>{simcard::com::kClsidSimCard}) return {};
  return "the system lists " + std::to_string(named.size()) +
         " capture device(s) named as the card, not just the virtual card: the program "
         "could reach another (a real card?)";
}

namespace {

// Every program that sets entries aside puts back, before its first test,
// what an earlier run that died left aside.
class PutBackFirst : public testing::Environment {
 public:
  void SetUp() override { simcard::com::PutBackSetAsideCaptureEntries(); }
};

[[maybe_unused]] testing::Environment* const kPutBackFirst =
    testing::AddGlobalTestEnvironment(std::make_unique<PutBackFirst>().release());

}  // namespace

ServedClass::ServedClass(const CLSID& clsid, simcard::com::FilterKind kind) {
  ComPtr<IUnknown> factory;
  if (FAILED(simcard::com::CreateFilterFactory(clsid, kind, IID_IUnknown,
                                               reinterpret_cast<void**>(factory.GetAddressOf()))) ||
      FAILED(CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                   &cookie_))) {
    throw std::runtime_error("cannot serve a test class");
  }
}

ServedClass::~ServedClass() {
  CoRevokeClassObject(cookie_);
}

std::vector<CLSID> EnumeratedClasses() {
  return simcard::com::ListedCaptureClasses();
}
