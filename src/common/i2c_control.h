#pragma once

#include <cstdint>
#include <memory>

class TransferView;

// Result codes as the driver returns them (HRESULT values).
using KsResult = std::int32_t;
inline constexpr KsResult kKsOk = 0;                                     // S_OK
inline constexpr KsResult kKsFail = static_cast<KsResult>(0x80004005u);  // E_FAIL

// The one operation of the capture filter's control interface that Ostrel
// uses, shaped like IKsControl::KsProperty. In the Windows build it wraps the
// filter's real interface; in native tests it is the simulated card's driver.
class KsControl {
 public:
  virtual ~KsControl() = default;
  virtual KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                              std::uint32_t dataLength, std::uint32_t* bytesReturned) = 0;
};

// An open control connection; releasing it closes the connection (and, in the
// Windows build, everything that kept it reachable).
using I2CControl = std::unique_ptr<KsControl>;

inline void CloseI2CControl(I2CControl& control) {
  control.reset();
}

// The way a transfer opens its connection. OpenI2CControl shows every failure
// through the view before it returns an empty connection.
class I2CConnector {
 public:
  virtual ~I2CConnector() = default;
  virtual I2CControl OpenI2CControl(TransferView& view) = 0;
};
