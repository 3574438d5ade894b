#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

// Millisecond wait used for pacing the EEPROM requests. The real one never
// returns early; tests use a virtual clock that records each wait.
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void WaitMilliseconds(std::uint32_t ms) = 0;
};

// The real wait (wait_posix.cpp / wait_win32.cpp): it lasts at least the
// time asked for and not much more. A caller that does something at the
// start of a wait takes the deadline first and then waits out only what is
// left of it, so that the wait still ends when it would have.
class PreciseWaiter : public Waiter {
 public:
  using Clock = std::chrono::steady_clock;

  void WaitMilliseconds(std::uint32_t ms) final {
    WaitUntil(Clock::now() + std::chrono::milliseconds(ms));
  }
  // Returns at deadline, not before (at once when it has passed).
  virtual void WaitUntil(Clock::time_point deadline) = 0;
  // Precise only with the system's timer raised to 1 ms (the claim raises it
  // while a command uses the card).
  virtual bool NeedsRaisedSystemTimer() const { return false; }
};

std::unique_ptr<PreciseWaiter> MakePreciseWaiter();
