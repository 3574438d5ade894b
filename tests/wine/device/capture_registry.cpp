#include "capture_registry.h"

#include <dshow.h>
#include <ks.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "simcard/com/listed_capture_classes.h"
#include "simcard/com/registration.h"
#include "simcard/com/registry_key.h"

using Microsoft::WRL::ComPtr;
using simcard::com::GuidText;

namespace {

std::wstring InstanceKey() {
  return L"CLSID\\" + GuidText(KSCATEGORY_CAPTURE) + L"\\Instance";
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

}  // namespace

CaptureDevices::CaptureDevices() {
  PutBackSetAsideCaptureDevices();
  const Key aside(HKEY_CURRENT_USER, kSetAsideKey, true);
  if (!aside) throw std::runtime_error("cannot make the set-aside key");
  if (const Key instances(HKEY_CLASSES_ROOT, InstanceKey(), false); instances) {
    Check(RegCopyTreeW(instances.Get(), nullptr, aside.Get()), "set entries aside");
  }
  Check(RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKey().c_str()), "remove the entries");
}

CaptureDevices::~CaptureDevices() {
  PutBackSetAsideCaptureDevices();
}

void CaptureDevices::Add(const GUID& entry, const std::wstring& friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  const Key device(HKEY_CLASSES_ROOT, InstanceKey() + L"\\" + GuidText(entry), true);
  SetString(device.Get(), L"FriendlyName", friendlyName);
}

void CaptureDevices::AddWithoutName(const GUID& entry, const CLSID& clsid) {
  const Key device(HKEY_CLASSES_ROOT, InstanceKey() + L"\\" + GuidText(entry), true);
  if (!device) throw std::runtime_error("cannot create a device entry");
  SetString(device.Get(), L"CLSID", GuidText(clsid));
}

void CaptureDevices::AddWithNumberName(const GUID& entry, DWORD friendlyName, const CLSID& clsid) {
  AddWithoutName(entry, clsid);
  const Key device(HKEY_CLASSES_ROOT, InstanceKey() + L"\\" + GuidText(entry), true);
  SetValue(device.Get(), L"FriendlyName", REG_DWORD, &friendlyName, sizeof(friendlyName));
}

void PutBackSetAsideCaptureDevices() {
  const Key aside(HKEY_CURRENT_USER, kSetAsideKey, false);
  if (!aside) return;
  RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKey().c_str());
  const Key instances(HKEY_CLASSES_ROOT, InstanceKey(), true);
  Check(RegCopyTreeW(aside.Get(), nullptr, instances.Get()), "put the entries back");
  Check(RegDeleteTreeW(HKEY_CURRENT_USER, kSetAsideKey), "remove the set-aside key");
  // Its parent too, which nothing else uses: the tests leave no key behind.
  RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);
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
