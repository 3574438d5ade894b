#include <cerrno>
#include <ctime>
#include <utility>

#include "common/waiter.h"

namespace {

// Sleeps until an absolute point on the monotonic clock, so that neither
// interruptions nor rounding can end the wait early.
class MonotonicWaiter final : public Waiter {
 public:
  explicit MonotonicWaiter(std::function<void()> whileWaiting)
      : whileWaiting_(std::move(whileWaiting)) {}

  void WaitMilliseconds(std::uint32_t ms) override {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(ms / 1000u);
    deadline.tv_nsec += static_cast<long>(ms % 1000u) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    if (whileWaiting_) whileWaiting_();
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
  }

 private:
  std::function<void()> whileWaiting_;
};

}  // namespace

std::unique_ptr<Waiter> MakePreciseWaiter(std::function<void()> whileWaiting) {
  return std::make_unique<MonotonicWaiter>(std::move(whileWaiting));
}
