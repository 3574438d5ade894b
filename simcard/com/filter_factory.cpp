#include <memory>
#include <utility>

#include "simcard/com/card_session.h"
#include "simcard/com/com_class_warnings.h"
#include "simcard/com/com_object.h"
#include "simcard/com/sim_capture_filter.h"
#include "simcard/com/sim_filter_classes.h"

namespace simcard::com {

SIMCARD_COM_CLASSES_BEGIN

namespace {

class FilterFactory final : public SingleInterfaceObject<FilterFactory, IClassFactory> {
 public:
  FilterFactory(const CLSID& clsid, FilterKind kind) : clsid_(clsid), kind_(kind) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    std::unique_ptr<CardSession> session;
    switch (kind_) {
      case FilterKind::FailsCreation:
        return E_FAIL;
      case FilterKind::Card:
        session = CardSession::Open();
        if (!session) return E_FAIL;  // the card's folder can't be read
        break;
      case FilterKind::NoControl:
      case FilterKind::RefusesGraph:
        break;
    }
    return CreateObject<SimCaptureFilter>(iid, out, clsid_, kind_, std::move(session));
  }

  STDMETHODIMP LockServer(BOOL lock) override {
    LockModule(lock != FALSE);
    return S_OK;
  }

 private:
  CLSID clsid_;
  FilterKind kind_;
};

}  // namespace

SIMCARD_COM_CLASSES_END

HRESULT CreateFilterFactory(REFCLSID clsid, FilterKind kind, REFIID iid, void** out) {
  return CreateObject<FilterFactory>(iid, out, clsid, kind);
}

HRESULT GetFilterClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (const FilterClass& filterClass : kFilterClasses) {
    if (filterClass.clsid == clsid) return CreateFilterFactory(clsid, filterClass.kind, iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace simcard::com
