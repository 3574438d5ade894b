#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/waiter.h"
#include "ui/paint_schedule.h"
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

// What the dialog's painting rule does to the screen at each moment, on a
// clock the test moves.
TEST(PaintSchedule, PaintsANewStatusAtOnceAndOtherChangesOnlyOnceTheLastPaintIsOldEnough) {
  std::vector<std::string> screen;
  Clock::time_point now = Clock::time_point{} + 1h;
  PaintSchedule painting({[&](std::int32_t p) { screen.push_back("pos " + std::to_string(p)); },
                          [&](std::int32_t n) { screen.push_back("range " + std::to_string(n)); },
                          [&] { screen.push_back("paint"); }, [&] { return now; }});
  painting.StartWithRange(100);
  const auto step = [&](std::chrono::milliseconds later, const std::function<void()>& change) {
    now += later;
    screen.clear();
    change();
    return screen;
  };
  using S = std::vector<std::string>;
  EXPECT_EQ(step(0ms, [&] { painting.PositionChanged(7); }), (S{"pos 7", "paint"})) << "first";
  EXPECT_EQ(step(99ms, [&] { painting.PositionChanged(8); }), S{}) << "held back";
  EXPECT_EQ(step(0ms, [&] { painting.StatusChanged(); }), (S{"pos 8", "paint"}));
  EXPECT_EQ(step(39ms, [&] { painting.Waiting(); }), S{});
  EXPECT_EQ(step(1ms, [&] { painting.Waiting(); }), S{"paint"}) << "nothing new for the bar";
  EXPECT_EQ(step(0ms, [&] { painting.PositionChanged(500); }), S{}) << "clamped to the range";
  EXPECT_EQ(step(0ms, [&] { painting.RangeChanged(-20); }), (S{"pos 100", "range -20"}));
  EXPECT_EQ(step(0ms, [&] { painting.PositionChanged(5); }), S{});
  EXPECT_EQ(step(0ms, [&] { painting.ShowProgressPos(); }), S{"pos 0"}) << "before a box";
  EXPECT_EQ(step(0ms, [&] { painting.ShowProgressPos(); }), S{});
  EXPECT_EQ(step(100ms, [&] { painting.PositionChanged(-3); }), (S{"pos -3", "paint"}));
}

}  // namespace
