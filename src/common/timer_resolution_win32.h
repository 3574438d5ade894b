#pragma once

// The system timer raised to 1 ms from RaiseToOneMillisecond to Lower, and
// at the latest until the object goes (Windows only): what the waits need on
// systems without high-resolution waitable timers. winmm is not one of the
// known DLLs, so it is loaded at run time from the system folder, never
// imported; without it the timer stays coarse.

#include <optional>

#include "common/system_library_win32.h"

class TimerResolution {
 public:
  TimerResolution() = default;
  ~TimerResolution() { Lower(); }
  TimerResolution(const TimerResolution&) = delete;
  TimerResolution& operator=(const TimerResolution&) = delete;

  void RaiseToOneMillisecond();
  void Lower();

 private:
  using PeriodFunction = unsigned WINAPI(unsigned);

  std::optional<SystemLibrary> winmm_;  // loaded when first needed
  PeriodFunction* end_ = nullptr;       // set while the period is raised
};
