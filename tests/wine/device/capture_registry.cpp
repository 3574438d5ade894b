#include "capture_registry.h"

#include <ks.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/guid_text_win32.h"
#include "common/registry_key_win32.h"
#include "selftest/common/listed_capture_devices.h"
#include "simcard/com/capture_identifiers.h"

using Microsoft::WRL::ComPtr;
using selftest::RegistryPlace;

namespace {

// The name the Instance key has while it is set aside; the value on an
// Instance key made only so that there is something to set aside.
constexpr wchar_t kSetAsideName[] = L"Instance (set aside by Ostrel's tests)";
constexpr wchar_t kMadeForTests[] = L"Made by Ostrel's tests";

// The machine's own capture entries, not HKCR's merged view: what the tests
// set aside there is put back there.
const RegistryPlace kCategory{selftest::kMachineHive, KEY_WOW64_32KEY,
                              L"Software\\Classes\\CLSID\\" + GuidText(KSCATEGORY_CAPTURE)};
const RegistryPlace kInstances = kCategory.Below(L"Instance");

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(what);
}

bool RegisteredForThisUserOnly() {
  // Set by the self-test kit to how it registered the simulated card.
  std::wstring value(8, L'\0');
  return GetEnvironmentVariableW(L"OSTREL_SELFTEST_REGISTRATION", value.data(), 8) == 4 &&
         value.compare(0, 4, L"user") == 0;
}

std::string Refusal(LSTATUS status) {
  const std::string set = "the capture category's entries cannot be set aside on this PC: ";
  if (status == ERROR_ACCESS_DENIED) {
    return set +
           "renaming them was refused, or one of them cannot be read (a device's entry "
           "may deny it)";
  }
  return set + "renaming them failed (error " + std::to_string(status) + ")";
}

// What a test that died left aside, put back as the next test program
// starts, where no kit's runner does it from its journal.
void PutBackWhatADeadTestLeftAside() {
  const RegistryKey category =
      RegistryKey::Open(HKEY_LOCAL_MACHINE, kCategory.path, KEY_ALL_ACCESS);
  if (!RegistryKey::Open(category.Get(), kSetAsideName, KEY_READ)) return;
  if (category.DeleteTree(L"Instance") != ERROR_SUCCESS ||
      selftest::RenameKeyInPlace(kCategory.Below(kSetAsideName), L"Instance") != ERROR_SUCCESS) {
    return;
  }
  if (RegistryKey::Open(category.Get(), L"Instance", KEY_QUERY_VALUE).String(kMadeForTests)) {
    category.DeleteTree(L"Instance");
  }
}

class PutBackFirst : public testing::Environment {
 public:
  void SetUp() override {
    if (!selftest::RegistryJournal::OfThisRun().File()) PutBackWhatADeadTestLeftAside();
  }
};

[[maybe_unused]] testing::Environment* const kPutBackFirst =
    testing::AddGlobalTestEnvironment(std::make_unique<PutBackFirst>().release());

}  // namespace

CaptureDevices::CaptureDevices() : registry_(selftest::RegistryJournal::OfThisRun()) {
  // A test's entries never land among the PC's: with none there, an empty
  // Instance key is made to be set aside.
  if (selftest::StateOf(kInstances) == selftest::KeyState::kAbsent) {
    Check(registry_.CreateKey(kInstances), "make the Instance key");
    Check(registry_.SetString(kInstances, kMadeForTests, L""), "mark the Instance key");
  }
  if (const LSTATUS renamed = registry_.RenameKey(kInstances, kSetAsideName);
      renamed != ERROR_SUCCESS) {
    throw SetAsideRefused(Refusal(renamed));
  }
  Check(registry_.CreateKey(kInstances), "make an empty Instance key");
}

RegistryPlace CaptureDevices::Entry(const GUID& entry) {
  const RegistryPlace key = kInstances.Below(GuidText(entry));
  Check(registry_.CreateKey(key), "create a device entry");
  return key;
}

void CaptureDevices::Add(const GUID& entry, const std::wstring& friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  Check(registry_.SetString(Entry(entry), L"FriendlyName", friendlyName), "set the name");
}

void CaptureDevices::AddWithoutName(const GUID& entry, const CLSID& clsid) {
  Check(registry_.SetString(Entry(entry), L"CLSID", GuidText(clsid)), "set the class");
}

void CaptureDevices::AddWithNumberName(const GUID& entry, DWORD friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  const auto* bytes = reinterpret_cast<const BYTE*>(&friendlyName);
  Check(registry_.SetValue(Entry(entry), L"FriendlyName",
                           {REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof friendlyName)}),
        "set the name");
}

std::string EmptyCaptureCategory(std::optional<CaptureDevices>& devices) {
  if (RegisteredForThisUserOnly()) {
    return "the card is registered for this user only; this test rewrites the machine's "
           "capture category";
  }
  try {
    devices.emplace();
  } catch (const SetAsideRefused& refused) {
    return refused.what();
  }
  if (const std::size_t listed = selftest::ListedCaptureDevices().size(); listed != 0) {
    devices.reset();
    return "the test needs an empty capture category, but the system also lists " +
           std::to_string(listed) + " device(s) of this PC from their drivers";
  }
  return {};
}

std::string WhyTheSimulatedCardIsNotAlone() {
  std::vector<std::optional<CLSID>> named;
  for (const selftest::ListedCaptureDevice& device : selftest::ListedCaptureDevices()) {
    if (device.name == simcard::com::kCaptureFilterName) named.push_back(device.clsid);
  }
  if (named == std::vector<std::optional<CLSID>>{simcard::com::kClsidSimCard}) return {};
  return "the system lists " + std::to_string(named.size()) +
         " capture device(s) named as the card, not just the virtual card: the program "
         "could reach another (a real card?)";
}

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
  return selftest::ListedCaptureClasses();
}
