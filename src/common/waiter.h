#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Millisecond wait used for pacing the EEPROM requests. The real one never
// returns early; tests use a virtual clock that records each wait.
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void WaitMilliseconds(std::uint32_t ms) = 0;
};

// A wait that lasts at least the time asked for and not much more
// (wait_posix.cpp / wait_win32.cpp). whileWaiting, when given, runs at the
// start of every wait and within it: the wait still ends when it would have
// without it (later only if whileWaiting itself takes longer). The dialog
// paints there, so that its painting costs the pacing nothing.
std::unique_ptr<Waiter> MakePreciseWaiter(std::function<void()> whileWaiting = {});
