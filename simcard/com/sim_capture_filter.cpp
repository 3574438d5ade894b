#include "simcard/com/sim_capture_filter.h"

#include <algorithm>
#include <iterator>

#include "simcard/com/capture_identifiers.h"
#include "simcard/com/empty_pin_enum.h"

namespace simcard::com {

SimCaptureFilter::SimCaptureFilter(const CLSID& clsid, FilterKind kind,
                                   std::unique_ptr<CardSession> session)
    : clsid_(clsid), kind_(kind), session_(std::move(session)) {}

STDMETHODIMP SimCaptureFilter::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter ||
      iid == kIidBaseFilter) {
    *out = static_cast<IBaseFilter*>(this);
  } else if (iid == kIidKsControl && HasControl()) {
    *out = static_cast<IKsControl*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::Stop() {
  state_ = State_Stopped;
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::Pause() {
  state_ = State_Paused;
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::Run(REFERENCE_TIME) {
  state_ = State_Running;
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::GetState(DWORD, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = state_;
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::SetSyncSource(IReferenceClock* clock) {
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  *clock = clock_.Get();
  if (*clock != nullptr) (*clock)->AddRef();
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::EnumPins(IEnumPins** pins) {
  return CreateObject<EmptyPinEnum>(IID_IEnumPins, reinterpret_cast<void**>(pins));
}

STDMETHODIMP SimCaptureFilter::FindPin(LPCWSTR, IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP SimCaptureFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  const std::size_t length = std::min(name_.size(), std::size(info->achName) - 1);
  std::copy_n(name_.begin(), length, info->achName);
  info->achName[length] = L'\0';
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  if (graph != nullptr && kind_ == FilterKind::RefusesGraph) return E_FAIL;
  graph_ = graph;
  name_ = graph != nullptr && name != nullptr ? name : L"";
  return S_OK;
}

STDMETHODIMP SimCaptureFilter::QueryVendorInfo(LPWSTR* info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP SimCaptureFilter::KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data,
                                          ULONG dataLength, ULONG* bytesReturned) {
  if (bytesReturned == nullptr) return E_POINTER;
  std::uint32_t returned = 0;
  const KsResult result =
      session_->KsProperty(property, propertyLength, data, dataLength, &returned);
  *bytesReturned = returned;
  return result;
}

STDMETHODIMP SimCaptureFilter::KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  return HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

STDMETHODIMP SimCaptureFilter::KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  return HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

}  // namespace simcard::com
