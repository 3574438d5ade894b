#include "simcard/com/empty_pin_enum.h"

namespace simcard::com {

STDMETHODIMP EmptyPinEnum::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (pins == nullptr || (count != 1 && fetched == nullptr)) return E_POINTER;
  if (fetched != nullptr) *fetched = 0;
  return count == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP EmptyPinEnum::Skip(ULONG count) {
  return count == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP EmptyPinEnum::Reset() {
  return S_OK;
}

STDMETHODIMP EmptyPinEnum::Clone(IEnumPins** copy) {
  return CreateObject<EmptyPinEnum>(IID_IEnumPins, reinterpret_cast<void**>(copy));
}

}  // namespace simcard::com
