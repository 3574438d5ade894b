#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace simcard {

// What a device answered to one transfer: acknowledged, or not, with the
// reason for the log.
struct Answer {
  bool acknowledged = true;
  std::string note;
};

inline Answer Acknowledged() {
  return {};
}
inline Answer NotAcknowledged(std::string why) {
  return {false, std::move(why)};
}

// A device on the card's I2C bus. A transfer that is not acknowledged leaves
// the device as it was (a read leaves out untouched too).
class I2cDevice {
 public:
  virtual ~I2cDevice() = default;
  virtual Answer Read(std::span<const std::uint8_t> subaddress, std::span<std::uint8_t> out) = 0;
  virtual Answer Write(std::span<const std::uint8_t> subaddress,
                       std::span<const std::uint8_t> data) = 0;
};

}  // namespace simcard
