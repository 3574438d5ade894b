#pragma once

// The capture filter lookup and the control connection on it (Windows only).

#include <windows.h>
#include <dshow.h>
#include <ks.h>
#include <wrl/client.h>

#include <string>

#include "common/i2c_control.h"

class TransferView;

// The friendly name of the card's capture filter, compared in the ANSI code page.
inline constexpr char kCaptureFilterName[] = "713x BDA Analog Capture";

// The last device of category (the card is a KSCATEGORY_CAPTURE device) whose friendly name equals
// name exactly, bound to its filter; nothing (after showing why, where there is a reason) when
// there is none or the lookup fails.
Microsoft::WRL::ComPtr<IBaseFilter> FindFilterByName(REFGUID category, const std::string& name,
                                                     TransferView& view);

// Puts the card's capture filter into a new filter graph and returns its
// control interface; the connection keeps graph and filter alive until it is
// closed. Nothing, after showing every failure, when that can't be done. The
// calling thread has COM already (a ComApartment in the program's main).
I2CControl OpenI2CControl(TransferView& view);

// Opens connections on the real capture filter.
class FilterConnector final : public I2CConnector {
 public:
  I2CControl OpenI2CControl(TransferView& view) override;
};
