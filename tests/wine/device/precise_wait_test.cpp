// The real wait never ends early (how much it overshoots is for the benchmark).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "common/waiter.h"

namespace {

std::int64_t Counter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double ElapsedMs(std::int64_t from, std::int64_t to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

TEST(PreciseWait, NoWaitEndsBeforeTheTimeAskedFor) {
  const std::unique_ptr<Waiter> waiter = MakePreciseWaiter();
  for (const std::uint32_t ms : {20u, 20u, 20u, 20u, 20u, 1u, 1u, 1u, 3u}) {
    const std::int64_t start = Counter();
    waiter->WaitMilliseconds(ms);
    EXPECT_GE(ElapsedMs(start, Counter()), static_cast<double>(ms)) << "a wait of " << ms << " ms";
  }
}

}  // namespace
