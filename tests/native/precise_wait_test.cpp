#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "common/waiter.h"

namespace {

using Clock = std::chrono::steady_clock;

// Short waits only: this checks the contract, the benchmark the precision.
TEST(PreciseWait, WorkDoneWhileWaitingCountsTowardsTheWaitWhichNeverEndsEarly) {
  int calls = 0;
  const auto waiter = MakePreciseWaiter([&calls] {
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    waiter->WaitMilliseconds(3);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(3));
  }
  EXPECT_EQ(calls, 3);
}

}  // namespace
