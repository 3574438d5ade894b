#include <thread>

#include "common/waiter.h"

namespace {

class MonotonicWaiter final : public PreciseWaiter {
 public:
  void WaitUntil(Clock::time_point deadline) override {
    // Checked again, so that neither interruptions nor rounding can end the
    // wait early.
    while (Clock::now() < deadline) std::this_thread::sleep_until(deadline);
  }
};

}  // namespace

std::unique_ptr<PreciseWaiter> MakePreciseWaiter() {
  return std::make_unique<MonotonicWaiter>();
}
