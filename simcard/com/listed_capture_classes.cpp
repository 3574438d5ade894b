#include "simcard/com/listed_capture_classes.h"

#include <dshow.h>
#include <wrl/client.h>

#include "simcard/com/capture_identifiers.h"

namespace simcard::com {

std::vector<CLSID> ListedCaptureClasses() {
  using Microsoft::WRL::ComPtr;
  std::vector<CLSID> classes;
  ComPtr<ICreateDevEnum> devices;
  ComPtr<IEnumMoniker> monikers;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(devices.GetAddressOf()))) ||
      devices->CreateClassEnumerator(kCaptureCategory, monikers.GetAddressOf(), 0) != S_OK) {
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

}  // namespace simcard::com
