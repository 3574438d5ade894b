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
#include "simcard/com/registration.h"
#include "simcard/com/registry_key.h"

using Microsoft::WRL::ComPtr;
using simcard::com::GuidText;

namespace {

// The machine's own classes, not HKCR's merged view: what is set aside there
// is put back there, never turned into a registration of this user's own.
const HKEY kMachine = HKEY_LOCAL_MACHINE;

std::wstring InstanceKey() {
  return L"Software\\Classes\\CLSID\\" + GuidText(KSCATEGORY_CAPTURE) + L"\\Instance";
}

// Outside the category, so that the entries survive a test that dies while
// it holds them aside.
constexpr wchar_t kTestsKey[] = L"Software\\Ostrel tests";
constexpr wchar_t kSetAsideKey[] = L"Software\\Ostrel tests\\Capture devices set aside";

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(what);
}

// An open registry key with every right, closed when it goes.
class Key : public simcard::com::RegistryKey {
 public:
  Key(HKEY parent, const std::wstring& name, bool create)
      : RegistryKey(parent, name, KEY_ALL_ACCESS, create) {}
};

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  Check(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), "set value");
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
  SetValue(key, name, REG_SZ, text.c_str(),
           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The category's devices as the system device enumerator lists them.
std::vector<simcard::com::ListedCaptureDevice> ListedDevices() {
  // COM for this call, whether or not the caller's thread has it already.
  const HRESULT com = CoInitialize(nullptr);
  const std::unique_ptr<const HRESULT, void (*)(const HRESULT*)> uninitialize(
      SUCCEEDED(com) ? &com : nullptr, [](const HRESULT*) { CoUninitialize(); });
  return simcard::com::ListedCaptureDevices();
}

bool RegisteredForThisUserOnly() {
  // Set by the self-test kit to how it registered the simulated card.
  std::wstring value(8, L'\0');
  return GetEnvironmentVariableW(L"OSTREL_SELFTEST_REGISTRATION", value.data(), 8) == 4 &&
         value.compare(0, 4, L"user") == 0;
}

}  // namespace

CaptureDevices::CaptureDevices() {
  PutBackSetAsideCaptureDevices();
  const Key aside(HKEY_CURRENT_USER, kSetAsideKey, true);
  if (!aside) throw std::runtime_error("cannot make the set-aside key");
  if (const Key instances(kMachine, InstanceKey(), false); instances) {
    Check(RegCopyTreeW(instances.Get(), nullptr, aside.Get()), "set entries aside");
  }
  Check(RegDeleteTreeW(kMachine, InstanceKey().c_str()), "remove the entries");
}

CaptureDevices::~CaptureDevices() {
  PutBackSetAsideCaptureDevices();
}

void CaptureDevices::Add(const GUID& entry, const std::wstring& friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  const Key device(kMachine, InstanceKey() + L"\\" + GuidText(entry), true);
  SetString(device.Get(), L"FriendlyName", friendlyName);
}

void CaptureDevices::AddWithoutName(const GUID& entry, const CLSID& clsid) {
  const Key device(kMachine, InstanceKey() + L"\\" + GuidText(entry), true);
  if (!device) throw std::runtime_error("cannot create a device entry");
  SetString(device.Get(), L"CLSID", GuidText(clsid));
}

void CaptureDevices::AddWithNumberName(const GUID& entry, DWORD friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  const Key device(kMachine, InstanceKey() + L"\\" + GuidText(entry), true);
  SetValue(device.Get(), L"FriendlyName", REG_DWORD, &friendlyName, sizeof(friendlyName));
}

void PutBackSetAsideCaptureDevices() {
  const Key aside(HKEY_CURRENT_USER, kSetAsideKey, false);
  if (!aside) return;
  RegDeleteTreeW(kMachine, InstanceKey().c_str());
  const Key instances(kMachine, InstanceKey(), true);
  Check(RegCopyTreeW(aside.Get(), nullptr, instances.Get()), "put the entries back");
  Check(RegDeleteTreeW(HKEY_CURRENT_USER, kSetAsideKey), "remove the set-aside key");
  // Its parent too, which nothing else uses: the tests leave no key behind.
  RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);
}

std::string EmptyCaptureCategory(std::optional<CaptureDevices>& devices) {
  if (RegisteredForThisUserOnly()) {
    return "the card is registered for this user only; this test rewrites the machine's "
           "capture category";
  }
  devices.emplace();
  if (const std::size_t listed = ListedDevices().size(); listed != 0) {
    devices.reset();
    return "the test needs an empty capture category, but the system also lists " +
           std::to_string(listed) + " device(s) of this PC from their drivers";
  }
  return {};
}

std::string WhyTheSimulatedCardIsNotAlone() {
  std::vector<std::optional<CLSID>> named;
  for (const simcard::com::ListedCaptureDevice& device : ListedDevices()) {
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
  void SetUp() override { PutBackSetAsideCaptureDevices(); }
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
