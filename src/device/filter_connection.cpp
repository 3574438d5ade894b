#include "device/filter_connection.h"

#include <ksproxy.h>
#include <oleauto.h>

#include <memory>
#include <utility>

#include "common/transfer_view.h"
#include "common/win32_text.h"

// MinGW's ksproxy.h declares IKsControl without the __uuidof that
// IID_PPV_ARGS needs (its devicetopology.h, when included first, has it).
#if defined(__MINGW32__) && !defined(__devicetopology_h__)
#define OSTREL_UUID_DECL(type, ...) __CRT_UUID_DECL(type, __VA_ARGS__)
OSTREL_UUID_DECL(IKsControl, STATIC_IID_IKsControl)
#undef OSTREL_UUID_DECL
#endif

using Microsoft::WRL::ComPtr;

namespace {

// A VARIANT that is cleared however the scope is left.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* Get() { return &value_; }
  const VARIANT* operator->() const { return &value_; }

 private:
  VARIANT value_;
};

ComPtr<IEnumMoniker> EnumerateCategory(REFGUID category, TransferView& view) {
  ComPtr<ICreateDevEnum> devices;
  if (CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                       IID_PPV_ARGS(devices.GetAddressOf())) != S_OK) {
    view.ShowError("FindFilterByName: Couldn't create device enumerator!");
    return nullptr;
  }
  ComPtr<IEnumMoniker> monikers;
  const HRESULT created = devices->CreateClassEnumerator(category, monikers.GetAddressOf(), 0);
  devices.Reset();
  // An empty category answers S_FALSE without an enumerator.
  if (created != S_OK) {
    view.ShowError("FindFilterByName: Couldn't find enumerator!");
    return nullptr;
  }
  return monikers;
}

enum class NameRead { Matches, Differs, Failed };

NameRead CompareFriendlyName(IMoniker& moniker, const std::string& name, TransferView& view) {
  ComPtr<IPropertyBag> properties;
  if (moniker.BindToStorage(nullptr, nullptr, IID_PPV_ARGS(properties.GetAddressOf())) != S_OK) {
    view.ShowError("FindFilterByName: BindToStorage failed!");
    return NameRead::Failed;
  }
  ScopedVariant friendlyName;
  const HRESULT read = properties->Read(L"FriendlyName", friendlyName.Get(), nullptr);
  properties.Reset();
  // Devices without a readable name are passed over.
  if (FAILED(read) || friendlyName->vt != VT_BSTR) return NameRead::Differs;
  // The whole string, embedded nulls included, in the ANSI code page.
  const std::wstring_view wideName(friendlyName->bstrVal, SysStringLen(friendlyName->bstrVal));
  return ToNarrow(wideName, NarrowEncoding::Ansi) == name ? NameRead::Matches : NameRead::Differs;
}

}  // namespace

ComPtr<IBaseFilter> FindFilterByName(REFGUID category, const std::string& name,
                                     TransferView& view) {
  const ComPtr<IEnumMoniker> monikers = EnumerateCategory(category, view);
  if (!monikers) return nullptr;

  monikers->Reset();
  ComPtr<IBaseFilter> found;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK && moniker) {
    const NameRead compared = CompareFriendlyName(*moniker.Get(), name, view);
    if (compared == NameRead::Failed) return nullptr;
    if (compared == NameRead::Differs) continue;
    ComPtr<IBaseFilter> filter;
    if (moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(filter.GetAddressOf())) != S_OK) {
      view.ShowError("FindFilterByName: BindToObject failed!");
      return nullptr;
    }
    // Several devices may bear the name: the last one enumerated is used.
    found = std::move(filter);
  }
  return found;
}

namespace {

// The control interface together with what keeps it reachable; members go in
// reverse order, the interface first and the graph last.
class FilterControl final : public KsControl {
 public:
  FilterControl(ComPtr<IGraphBuilder> graph, ComPtr<IBaseFilter> filter, ComPtr<IKsControl> control)
      : graph_(std::move(graph)), filter_(std::move(filter)), control_(std::move(control)) {}

  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
    ULONG returned = bytesReturned != nullptr ? *bytesReturned : 0;
    const HRESULT result = control_->KsProperty(static_cast<PKSPROPERTY>(property), propertyLength,
                                                data, dataLength, &returned);
    if (bytesReturned != nullptr) *bytesReturned = returned;
    return result;
  }

 private:
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> filter_;
  ComPtr<IKsControl> control_;
};

constexpr wchar_t kCaptureFilterWideName[] = L"713x BDA Analog Capture";

}  // namespace

I2CControl OpenI2CControl(TransferView& view) {
  // COM is the calling thread's already, from the program's main.
  ComPtr<IGraphBuilder> graph;
  if (CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                       IID_PPV_ARGS(graph.GetAddressOf())) != S_OK) {
    view.ShowError("Couldn't create graph builder instance!");
    return nullptr;
  }
  ComPtr<IBaseFilter> filter = FindFilterByName(KSCATEGORY_CAPTURE, kCaptureFilterName, view);
  if (!filter) {
    view.ShowError("Couldn't find AnalogCaptureFilter!");
    return nullptr;
  }
  if (graph->AddFilter(filter.Get(), kCaptureFilterWideName) != S_OK) {
    view.ShowError("Couldn't add the AnalogCaptureFilter to the graph object!");
    return nullptr;
  }
  ComPtr<IKsControl> control;
  if (filter->QueryInterface(IID_PPV_ARGS(control.GetAddressOf())) != S_OK) {
    view.ShowError("Couldn't get interface handle!");
    return nullptr;
  }
  return std::make_unique<FilterControl>(std::move(graph), std::move(filter), std::move(control));
}

I2CControl FilterConnector::OpenI2CControl(TransferView& view) {
  return ::OpenI2CControl(view);
}
