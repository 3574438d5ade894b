#pragma once

#include <cstdint>
#include <map>

#include "simcard/i2c_device.h"

namespace simcard {

// The card's I2C bus: devices by their 8-bit write-form address. A transfer
// to an address where no device listens is not acknowledged.
class I2cBus {
 public:
  // The device must outlive the bus.
  void Attach(std::uint8_t address, I2cDevice& device);

  Answer Read(std::uint8_t address, std::span<const std::uint8_t> subaddress,
              std::span<std::uint8_t> out);
  Answer Write(std::uint8_t address, std::span<const std::uint8_t> subaddress,
               std::span<const std::uint8_t> data);

 private:
  I2cDevice* Find(std::uint8_t address) const;

  std::map<std::uint8_t, I2cDevice*> devices_;
};

}  // namespace simcard
