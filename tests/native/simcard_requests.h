#pragma once

// I2C transactions on a bench's simulated card, sent through Ostrel's own
// I2CGet/I2CSet, so that the card's tests also check that both sides agree
// on the record.

#include <cstdint>
#include <optional>
#include <vector>

#include "device/i2c_request.h"
#include "support/card_bench.h"

class CardLine {
 public:
  explicit CardLine(CardBench& bench) : control_(bench.connector.OpenI2CControl(bench.view)) {}

  // The bytes read, or nothing when the request failed.
  std::optional<std::vector<std::uint8_t>> Get(std::uint8_t device,
                                               const std::vector<std::uint8_t>& subaddress,
                                               std::uint32_t length) {
    std::vector<std::uint8_t> buffer(length);
    if (!I2CGet(*control_, device, subaddress.data(), static_cast<std::uint32_t>(subaddress.size()),
                buffer.data(), length)) {
      return std::nullopt;
    }
    return buffer;
  }

  bool Set(std::uint8_t device, const std::vector<std::uint8_t>& subaddress,
           const std::vector<std::uint8_t>& data) {
    return I2CSet(*control_, device, subaddress.data(),
                  static_cast<std::uint32_t>(subaddress.size()), data.data(),
                  static_cast<std::uint32_t>(data.size()));
  }

  // What PrepareChDecGPIO3 leaves behind: 0xA2 reachable.
  bool SwitchChDec() {
    return Set(simcard::kChDecAddress, {0x40}, {0xFF}) &&
           Set(simcard::kChDecAddress, {0x07}, {0x02});
  }

 private:
  I2CControl control_;
};
