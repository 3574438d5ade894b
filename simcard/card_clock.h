#pragma once

#include <cstdint>

namespace simcard {

// The card's notion of time, for the EEPROM write-cycle timing.
class CardClock {
 public:
  virtual ~CardClock() = default;
  virtual std::uint64_t NowMicros() = 0;
};

}  // namespace simcard
