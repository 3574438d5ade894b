#pragma once

// Reference counting for COM objects, with every object and reference told
// to a tally: the module's own for this module's objects (what
// DllCanUnloadNow and the tests read), another one for the tests' fakes.

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <memory>
#include <utility>

#include "simcard/com/com_class_warnings.h"
#include "simcard/com/com_module.h"

namespace simcard::com {

struct ModuleTally {
  void ObjectCreated() const { ::simcard::com::ObjectCreated(); }
  void ObjectDestroyed() const { ::simcard::com::ObjectDestroyed(); }
  void ReferenceAdded() const { ::simcard::com::ReferenceAdded(); }
  void ReferenceReleased() const { ::simcard::com::ReferenceReleased(); }
};

template <class Derived, class Tally = ModuleTally>
class CountedObject {
 public:
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;

 protected:
  // The creator holds the first reference.
  explicit CountedObject(Tally tally = {}) : tally_(std::move(tally)) {
    tally_.ObjectCreated();
    tally_.ReferenceAdded();
  }
  ~CountedObject() { tally_.ObjectDestroyed(); }

  ULONG AddReference() {
    tally_.ReferenceAdded();
    return static_cast<ULONG>(++references_);
  }

  ULONG ReleaseReference() {
    tally_.ReferenceReleased();
    const long left = --references_;
    // The unavoidable end of a COM object's life: its last reference goes.
    if (left == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(left);
  }

 private:
  Tally tally_;
  std::atomic<long> references_{1};
};

SIMCARD_COM_CLASSES_BEGIN

// An object with one interface besides IUnknown.
template <class Derived, class Interface, class Tally = ModuleTally>
class SingleInterfaceObject : public Interface, public CountedObject<Derived, Tally> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != __uuidof(Interface)) return E_NOINTERFACE;
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return this->AddReference(); }
  STDMETHODIMP_(ULONG) Release() override { return this->ReleaseReference(); }

 protected:
  using CountedObject<Derived, Tally>::CountedObject;
};

SIMCARD_COM_CLASSES_END

// Creates a T, hands out the interface iid on it and drops the creator's
// reference, so that the object lives exactly as long as *out.
template <class T, class... Args>
HRESULT CreateObject(REFIID iid, void** out, Args&&... args) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  T* object = std::make_unique<T>(std::forward<Args>(args)...).release();
  const HRESULT result = object->QueryInterface(iid, out);
  object->Release();
  return result;
}

}  // namespace simcard::com
