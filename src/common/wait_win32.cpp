#include <windows.h>

#include <cstdint>

#include "common/waiter.h"
#include "common/win32_handle.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

using std::chrono::microseconds;

// Sleeps on a waitable timer for most of the time and spins through the
// rest against the performance counter (the clock's source on Windows):
// Sleep alone overshoots by up to a scheduler tick and a timer alone may
// fire a little early.
class TimerWaiter final : public PreciseWaiter {
 public:
  TimerWaiter() {
    timer_ = Win32Handle(CreateWaitableTimerExW(
        nullptr, nullptr,
        CREATE_WAITABLE_TIMER_MANUAL_RESET | CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
        TIMER_ALL_ACCESS));
    if (!timer_) {
      // Older systems: a normal timer, precise enough only while the
      // system timer is raised to 1 ms.
      coarse_ = true;
      timer_ = Win32Handle(CreateWaitableTimerExW(
          nullptr, nullptr, CREATE_WAITABLE_TIMER_MANUAL_RESET, TIMER_ALL_ACCESS));
      spin_ = kCoarseSpin;
    }
  }
  TimerWaiter(const TimerWaiter&) = delete;
  TimerWaiter& operator=(const TimerWaiter&) = delete;

  bool NeedsRaisedSystemTimer() const override { return coarse_; }

  void WaitUntil(Clock::time_point deadline) override {
    SleepUntilShortlyBefore(deadline);
    while (Clock::now() < deadline) YieldProcessor();
  }

 private:
  static constexpr microseconds kFineSpin{1000};
  static constexpr microseconds kCoarseSpin{2000};

  // Waits for the timer while answering messages that other threads and
  // processes send to this one (a window's text asked for, the session
  // ending): they would otherwise wait with their sender for the whole wait.
  // Posted messages and input stay queued.
  bool AwaitTimer() {
    HANDLE timer = timer_.Get();
    for (;;) {
      const DWORD woke = MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_SENDMESSAGE, 0);
      if (woke == WAIT_OBJECT_0) return true;
      if (woke != WAIT_OBJECT_0 + 1) return false;
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }

  void SleepUntilShortlyBefore(Clock::time_point deadline) {
    const auto sleep = std::chrono::duration_cast<microseconds>(deadline - Clock::now()) - spin_;
    if (sleep <= microseconds::zero()) return;
    if (timer_) {
      LARGE_INTEGER due;
      due.QuadPart = -sleep.count() * 10;  // relative, in 100 ns units
      if (SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE) && AwaitTimer()) {
        return;
      }
    }
    // Without a usable timer: whole milliseconds of what is left, never more.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now() - spin_);
    if (left.count() > 0) Sleep(static_cast<DWORD>(left.count()));
  }

  Win32Handle timer_;
  bool coarse_ = false;  // no high-resolution timer here
  microseconds spin_ = kFineSpin;
};

}  // namespace

std::unique_ptr<PreciseWaiter> MakePreciseWaiter() {
  return std::make_unique<TimerWaiter>();
}
