#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/waiter.h"
#include "simcard/card_clock.h"

namespace simcard {

// Time that passes only when somebody waits: the wait of the transfers under
// test and the card's clock in one, so that 20 ms pacing costs nothing and
// every wait is recorded.
class VirtualClock final : public Waiter, public CardClock {
 public:
  void WaitMilliseconds(std::uint32_t ms) override {
    waits_.push_back(ms);
    now_ += std::uint64_t{ms} * 1000u;
    if (onWait) onWait(ms);
  }
  std::uint64_t NowMicros() override { return now_; }

  void Advance(std::uint64_t micros) { now_ += micros; }
  const std::vector<std::uint32_t>& Waits() const { return waits_; }
  void ClearWaits() { waits_.clear(); }

  // Called in each wait, as a message handled meanwhile would be.
  std::function<void(std::uint32_t ms)> onWait;

 private:
  std::uint64_t now_ = 0;
  std::vector<std::uint32_t> waits_;
};

}  // namespace simcard
