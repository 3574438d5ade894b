#pragma once

#include <windows.h>
#include <dshow.h>

#include "simcard/com/com_class_warnings.h"
#include "simcard/com/com_object.h"

namespace simcard::com {

SIMCARD_COM_CLASSES_BEGIN

// The pins of a filter that has none: the control interface is all the
// simulated card offers.
class EmptyPinEnum final : public SingleInterfaceObject<EmptyPinEnum, IEnumPins> {
 public:
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** copy) override;
};

SIMCARD_COM_CLASSES_END

}  // namespace simcard::com
