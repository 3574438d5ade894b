#pragma once

#include <chrono>
#include <cstdint>

#include "simcard/card_clock.h"

namespace simcard {

// Real time since the clock was made, for benchmarks and the card under Wine.
class SteadyCardClock final : public CardClock {
 public:
  std::uint64_t NowMicros() override {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace simcard
