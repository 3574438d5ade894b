#include "simcard/i2c_bus.h"

namespace simcard {
namespace {

Answer NoDevice() {
  return NotAcknowledged("no device at this address");
}

}  // namespace

void I2cBus::Attach(std::uint8_t address, I2cDevice& device) {
  devices_[address] = &device;
}

Answer I2cBus::Read(std::uint8_t address, std::span<const std::uint8_t> subaddress,
                    std::span<std::uint8_t> out) {
  I2cDevice* device = Find(address);
  return device != nullptr ? device->Read(subaddress, out) : NoDevice();
}

Answer I2cBus::Write(std::uint8_t address, std::span<const std::uint8_t> subaddress,
                     std::span<const std::uint8_t> data) {
  I2cDevice* device = Find(address);
  return device != nullptr ? device->Write(subaddress, data) : NoDevice();
}

I2cDevice* I2cBus::Find(std::uint8_t address) const {
  const auto found = devices_.find(address);
  return found != devices_.end() ? found->second : nullptr;
}

}  // namespace simcard
