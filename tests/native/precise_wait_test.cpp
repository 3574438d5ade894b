#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/waiter.h"
#include "ui/painting_waiter.h"

namespace {

using namespace std::chrono_literals;
using Clock = PreciseWaiter::Clock;

// Short waits only: this checks the contract, the benchmark the precision.
TEST(PreciseWait, NeverEndsBeforeItsDeadline) {
  const auto waiter = MakePreciseWaiter();
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    waiter->WaitMilliseconds(3);
    EXPECT_GE(Clock::now() - start, 3ms);
    const auto deadline = Clock::now() + 2ms;
    waiter->WaitUntil(deadline);
    EXPECT_GE(Clock::now(), deadline);
  }
  const auto start = Clock::now();
  waiter->WaitUntil(start - 1ms);
  EXPECT_LT(Clock::now() - start, 1s) << "a deadline that has passed is no wait";
}

class RecordingWait final : public PreciseWaiter {
 public:
  void WaitUntil(Clock::time_point until) override {
    steps.push_back("wait");
    deadline = until;
  }
  std::vector<std::string> steps;
  Clock::time_point deadline{};
};

TEST(PaintingWaiter, PaintsFirstThenWaitsOnlyToTheDeadlineTakenAtTheCall) {
  RecordingWait wait;
  Clock::time_point paintStarted{};
  PaintingWaiter waiter(wait, [&] {
    wait.steps.push_back("paint");
    paintStarted = Clock::now();
    std::this_thread::sleep_for(1ms);  // painting takes time
  });
  const auto called = Clock::now();
  waiter.WaitMilliseconds(20);
  EXPECT_EQ(wait.steps, (std::vector<std::string>{"paint", "wait"}));
  EXPECT_GE(wait.deadline, called + 20ms);
  // Painting took its time out of the wait instead of adding to it.
  EXPECT_LE(wait.deadline, paintStarted + 20ms);
}

}  // namespace
