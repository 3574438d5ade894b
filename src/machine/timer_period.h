#pragma once

// The system timer raised to 1 ms from Raise to Lower, and at the latest
// until the object goes (Windows only): what the precise waits need on
// systems without high-resolution waitable timers, and only there. winmm is
// not one of the known DLLs, so it is loaded at run time from the system
// folder, never imported; without it the timer stays coarse.

#include <optional>

#include "claim/card_access.h"
#include "common/system_library_win32.h"

class TimerPeriod final : public SystemTimer {
 public:
  // needed: whether the waits need the raised timer at all.
  explicit TimerPeriod(bool needed) : needed_(needed) {}
  ~TimerPeriod() override { Lower(); }
  TimerPeriod(const TimerPeriod&) = delete;
  TimerPeriod& operator=(const TimerPeriod&) = delete;

  void Raise() override;
  void Lower() override;

 private:
  using PeriodFunction = unsigned WINAPI(unsigned);

  bool needed_;
  std::optional<SystemLibrary> winmm_;  // loaded when first needed
  PeriodFunction* end_ = nullptr;       // set while the period is raised
};
