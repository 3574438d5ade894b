#include <windows.h>

#include <cstdint>
#include <utility>

#include "common/timer_resolution_win32.h"
#include "common/waiter.h"
#include "common/win32_handle.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

std::int64_t PerformanceCounter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

std::int64_t PerformanceFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

// Sleeps on a waitable timer for most of the time and spins through the
// rest against the performance counter: Sleep alone overshoots by up to a
// scheduler tick and a timer alone may fire a little early.
class PreciseWaiter final : public Waiter {
 public:
  explicit PreciseWaiter(std::function<void()> whileWaiting)
      : whileWaiting_(std::move(whileWaiting)), frequency_(PerformanceFrequency()) {
    timer_ = Win32Handle(CreateWaitableTimerExW(
        nullptr, nullptr,
        CREATE_WAITABLE_TIMER_MANUAL_RESET | CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
        TIMER_ALL_ACCESS));
    if (!timer_) {
      // Older systems: a normal timer at a raised system timer resolution.
      resolution_.RaiseToOneMillisecond();
      timer_ = Win32Handle(CreateWaitableTimerExW(
          nullptr, nullptr, CREATE_WAITABLE_TIMER_MANUAL_RESET, TIMER_ALL_ACCESS));
      spinMicros_ = kCoarseSpinMicros;
    }
  }
  PreciseWaiter(const PreciseWaiter&) = delete;
  PreciseWaiter& operator=(const PreciseWaiter&) = delete;

  void WaitMilliseconds(std::uint32_t ms) override {
    // Rounded up, so that the deadline is never before the time asked for.
    const std::int64_t ticks = (static_cast<std::int64_t>(ms) * frequency_ + 999) / 1000;
    const std::int64_t deadline = PerformanceCounter() + ticks;
    if (whileWaiting_) whileWaiting_();
    SleepUntilShortlyBefore(deadline);
    while (PerformanceCounter() < deadline) YieldProcessor();
  }

 private:
  static constexpr std::int64_t kFineSpinMicros = 1000;
  static constexpr std::int64_t kCoarseSpinMicros = 2000;

  std::int64_t MicrosUntil(std::int64_t deadline) const {
    return (deadline - PerformanceCounter()) * 1000000 / frequency_;
  }

  // Waits for the timer while answering messages that other threads and
  // processes send to this one (a window's text asked for, say): they would
  // otherwise wait with their sender for the whole wait. Posted messages and
  // input stay queued.
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

  void SleepUntilShortlyBefore(std::int64_t deadline) {
    const std::int64_t sleepMicros = MicrosUntil(deadline) - spinMicros_;
    if (sleepMicros <= 0) return;
    if (timer_) {
      LARGE_INTEGER due;
      due.QuadPart = -sleepMicros * 10;  // relative, in 100 ns units
      if (SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE) && AwaitTimer()) {
        return;
      }
    }
    // Without a usable timer: whole milliseconds of what is left, never more.
    const std::int64_t leftMicros = MicrosUntil(deadline) - spinMicros_;
    if (leftMicros >= 1000) Sleep(static_cast<DWORD>(leftMicros / 1000));
  }

  std::function<void()> whileWaiting_;
  std::int64_t frequency_;
  Win32Handle timer_;
  TimerResolution resolution_;
  std::int64_t spinMicros_ = kFineSpinMicros;
};

}  // namespace

std::unique_ptr<Waiter> MakePreciseWaiter(std::function<void()> whileWaiting) {
  return std::make_unique<PreciseWaiter>(std::move(whileWaiting));
}
