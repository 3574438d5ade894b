#pragma once

#include <windows.h>
#include <dshow.h>
#include <ks.h>
#include <ksproxy.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "simcard/com/card_session.h"
#include "simcard/com/com_class_warnings.h"
#include "simcard/com/com_object.h"
#include "simcard/com/sim_filter_classes.h"

namespace simcard::com {

SIMCARD_COM_CLASSES_BEGIN

// A capture filter without pins whose control interface is the simulated
// card's driver side. Just enough of a filter for a filter graph to hold it.
class SimCaptureFilter final : public IBaseFilter,
                               public IKsControl,
                               public CountedObject<SimCaptureFilter> {
 public:
  // session is null for the kinds without a control interface.
  SimCaptureFilter(const CLSID& clsid, FilterKind kind, std::unique_ptr<CardSession> session);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

  // IPersist
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;
  // IKsControl
  STDMETHODIMP KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data, ULONG dataLength,
                          ULONG* bytesReturned) override;
  STDMETHODIMP KsMethod(PKSMETHOD method, ULONG methodLength, LPVOID data, ULONG dataLength,
                        ULONG* bytesReturned) override;
  STDMETHODIMP KsEvent(PKSEVENT event, ULONG eventLength, LPVOID data, ULONG dataLength,
                       ULONG* bytesReturned) override;

 private:
  bool HasControl() const { return kind_ == FilterKind::Card; }

  CLSID clsid_;
  FilterKind kind_;
  std::unique_ptr<CardSession> session_;
  FILTER_STATE state_ = State_Stopped;
  // Not a reference: the graph holds the filter, not the other way round.
  IFilterGraph* graph_ = nullptr;
  std::wstring name_;
  Microsoft::WRL::ComPtr<IReferenceClock> clock_;
};

SIMCARD_COM_CLASSES_END

}  // namespace simcard::com
