#pragma once

#include <array>
#include <cstdint>

#include "simcard/i2c_device.h"

namespace simcard {

// The channel decoder's 256 registers: one-byte subaddress, transfers run on
// through the registers and wrap at their end.
class ChannelDecoder final : public I2cDevice {
 public:
  static constexpr std::uint8_t kModeRegister = 0x07;
  static constexpr std::uint8_t kGpioRegisters = 0x3C;  // six, 0x3C..0x41
  static constexpr std::uint8_t kGpio3Register = 0x40;
  static constexpr std::size_t kGpioRegisterCount = 6;

  ChannelDecoder();

  Answer Read(std::span<const std::uint8_t> subaddress, std::span<std::uint8_t> out) override;
  Answer Write(std::span<const std::uint8_t> subaddress,
               std::span<const std::uint8_t> data) override;

  std::uint8_t& Register(std::uint8_t reg) { return registers_[reg]; }
  std::uint8_t Register(std::uint8_t reg) const { return registers_[reg]; }
  std::array<std::uint8_t, 256>& Registers() { return registers_; }
  const std::array<std::uint8_t, 256>& Registers() const { return registers_; }

  // The state in which the DSP EEPROM is connected to the bus.
  bool Switched() const;

 private:
  std::array<std::uint8_t, 256> registers_{};
};

// The DSP EEPROM as the bus sees it: behind the channel decoder, reachable
// only while that is switched.
class SwitchedDevice final : public I2cDevice {
 public:
  SwitchedDevice(I2cDevice& device, const ChannelDecoder& decoder)
      : device_(device), decoder_(decoder) {}

  Answer Read(std::span<const std::uint8_t> subaddress, std::span<std::uint8_t> out) override;
  Answer Write(std::span<const std::uint8_t> subaddress,
               std::span<const std::uint8_t> data) override;

 private:
  I2cDevice& device_;
  const ChannelDecoder& decoder_;
};

}  // namespace simcard
