#pragma once

// Reference counting for this module's COM objects, with every object and
// reference counted in the module.

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <memory>
#include <utility>

#include "simcard/com/com_module.h"

namespace simcard::com {

template <class Derived>
class CountedObject {
 public:
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;

 protected:
  // The creator holds the first reference.
  CountedObject() {
    ObjectCreated();
    ReferenceAdded();
  }
  ~CountedObject() { ObjectDestroyed(); }

  ULONG AddReference() {
    ReferenceAdded();
    return static_cast<ULONG>(++references_);
  }

  ULONG ReleaseReference() {
    ReferenceReleased();
    const long left = --references_;
    // The unavoidable end of a COM object's life: its last reference goes.
    if (left == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(left);
  }

 private:
  std::atomic<long> references_{1};
};

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
