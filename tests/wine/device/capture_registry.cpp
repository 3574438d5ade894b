#include "capture_registry.h"

#include <dshow.h>
#include <ks.h>
#include <wrl/client.h>

#include <array>
#include <stdexcept>

#include "simcard/com/registration.h"

using Microsoft::WRL::ComPtr;
using simcard::com::GuidText;

namespace {

std::wstring InstanceKey() {
  return L"CLSID\\" + GuidText(KSCATEGORY_CAPTURE) + L"\\Instance";
}

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(what);
}

// An open registry key, closed when it goes.
class Key {
 public:
  Key(HKEY parent, const std::wstring& name, bool create) {
    const LSTATUS status = create ? RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0,
                                                    KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                                  : RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
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
  const Key instances(HKEY_CLASSES_ROOT, InstanceKey(), false);
  if (!instances) return;
  std::array<wchar_t, 256> name{};
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(instances.Get(), i, name.data(), &nameLength, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      break;
    }
    Entry entry{std::wstring(name.data(), nameLength), {}};
    const Key device(instances.Get(), entry.name, false);
    std::array<wchar_t, 256> valueName{};
    for (DWORD v = 0; device; ++v) {
      DWORD valueNameLength = static_cast<DWORD>(valueName.size());
      DWORD type = 0;
      DWORD size = 0;
      if (RegEnumValueW(device.Get(), v, valueName.data(), &valueNameLength, nullptr, &type,
                        nullptr, &size) != ERROR_SUCCESS) {
        break;
      }
      Value value{std::wstring(valueName.data(), valueNameLength), type, std::vector<BYTE>(size)};
      Check(RegQueryValueExW(device.Get(), value.name.c_str(), nullptr, nullptr, value.data.data(),
                             &size),
            "read value");
      entry.values.push_back(std::move(value));
    }
    setAside_.push_back(std::move(entry));
  }
  Check(RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKey().c_str()), "set entries aside");
}

CaptureDevices::~CaptureDevices() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKey().c_str());
  for (const Entry& entry : setAside_) {
    const Key device(HKEY_CLASSES_ROOT, InstanceKey() + L"\\" + entry.name, true);
    for (const Value& value : entry.values) {
      RegSetValueExW(device.Get(), value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                     value.data.data(), static_cast<DWORD>(value.data.size()));
    }
  }
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
  std::vector<CLSID> classes;
  ComPtr<ICreateDevEnum> devices;
  ComPtr<IEnumMoniker> monikers;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(devices.GetAddressOf()))) ||
      devices->CreateClassEnumerator(KSCATEGORY_CAPTURE, monikers.GetAddressOf(), 0) != S_OK) {
    return classes;
  }
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> properties;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(properties.GetAddressOf())))) {
      continue;
    }
    VARIANT value;
    VariantInit(&value);
    CLSID clsid{};
    if (SUCCEEDED(properties->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR &&
        SUCCEEDED(CLSIDFromString(value.bstrVal, &clsid))) {
      classes.push_back(clsid);
    }
    VariantClear(&value);
  }
  return classes;
}
