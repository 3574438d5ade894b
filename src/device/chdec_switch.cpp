#include "device/chdec_switch.h"

#include "device/i2c_request.h"

namespace {

constexpr std::uint8_t kModeSwitched = 0x02;
constexpr std::uint8_t kModeNormal = 0x00;

// Four of the six registers change: GPIO3 is routed to the DSP EEPROM.
ChDecSavedRegs SwitchedRegisters(const ChDecSavedRegs& saved) {
  return {static_cast<std::uint8_t>(saved[0] & 0x3F),
          static_cast<std::uint8_t>(saved[1] & 0xF7),
          saved[2],
          saved[3],
          0xFF,
          static_cast<std::uint8_t>(saved[5] | 0xC0)};
}

bool WriteRegisters(KsControl& control, std::uint8_t first, const std::uint8_t* values,
                    std::uint32_t count) {
  return I2CSet(control, kChannelDecoderAddress, &first, 1, values, count);
}

}  // namespace

bool PrepareChDecGPIO3(KsControl& control, ChDecSavedRegs& saved, TransferView& view) {
  const std::uint8_t gpio = kChDecGpioRegisters;
  if (!I2CGet(control, kChannelDecoderAddress, &gpio, 1, saved.data(),
              static_cast<std::uint32_t>(saved.size()))) {
    view.ShowError("PrepareChDecGPIO3: I2C-read from channel decoder failed!");
    return false;
  }
  // Built apart from saved, which must keep the values as read.
  const ChDecSavedRegs switched = SwitchedRegisters(saved);
  if (!WriteRegisters(control, kChDecGpioRegisters, switched.data(),
                      static_cast<std::uint32_t>(switched.size())) ||
      !WriteRegisters(control, kChDecModeRegister, &kModeSwitched, 1)) {
    view.ShowError("PrepareChDecGPIO3: I2C-write to channel decoder failed!");
    return false;
  }
  return true;
}

bool RestoreChDecSettings(KsControl& control, const ChDecSavedRegs& saved, TransferView& view) {
  // Register 0x07 first, then the six registers: never the other way round.
  if (!WriteRegisters(control, kChDecModeRegister, &kModeNormal, 1) ||
      !WriteRegisters(control, kChDecGpioRegisters, saved.data(),
                      static_cast<std::uint32_t>(saved.size()))) {
    view.ShowError("RestoreChDecSettings: I2C-write to channel decoder failed!");
    return false;
  }
  return true;
}
