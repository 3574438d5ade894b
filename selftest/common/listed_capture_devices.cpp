#include "selftest/common/listed_capture_devices.h"

#include <dshow.h>
#include <wrl/client.h>

#include "simcard/com/capture_identifiers.h"

namespace selftest {

namespace {

std::optional<std::wstring> ReadString(IPropertyBag& properties, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::optional<std::wstring> text;
  if (SUCCEEDED(properties.Read(name, &value, nullptr)) && value.vt == VT_BSTR) {
    text.emplace(value.bstrVal, SysStringLen(value.bstrVal));
  }
  VariantClear(&value);
  return text;
}

}  // namespace

std::vector<ListedCaptureDevice> ListedCaptureDevices() {
  using Microsoft::WRL::ComPtr;
  std::vector<ListedCaptureDevice> listed;
  ComPtr<ICreateDevEnum> devices;
  ComPtr<IEnumMoniker> monikers;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(devices.GetAddressOf()))) ||
      devices->CreateClassEnumerator(simcard::com::kCaptureCategory, monikers.GetAddressOf(), 0) !=
          S_OK) {
    return listed;
  }
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> properties;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(properties.GetAddressOf())))) {
      continue;
    }
    ListedCaptureDevice device;
    device.name = ReadString(*properties.Get(), L"FriendlyName").value_or(L"");
    CLSID clsid{};
    if (const auto text = ReadString(*properties.Get(), L"CLSID");
        text && SUCCEEDED(CLSIDFromString(text->c_str(), &clsid))) {
      device.clsid = clsid;
    }
    listed.push_back(device);
  }
  return listed;
}

std::vector<CLSID> ListedCaptureClasses() {
  std::vector<CLSID> classes;
  for (const ListedCaptureDevice& device : ListedCaptureDevices()) {
    if (device.clsid) classes.push_back(*device.clsid);
  }
  return classes;
}

}  // namespace selftest
