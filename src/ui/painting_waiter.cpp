#include "ui/painting_waiter.h"

void PaintingWaiter::WaitMilliseconds(std::uint32_t ms) {
  const auto deadline = PreciseWaiter::Clock::now() + std::chrono::milliseconds(ms);
  paint_();
  wait_.WaitUntil(deadline);
}
