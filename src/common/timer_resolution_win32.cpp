#include "common/timer_resolution_win32.h"

namespace {

constexpr unsigned kOneMillisecond = 1;
constexpr unsigned kTimerNoError = 0;  // TIMERR_NOERROR

}  // namespace

void TimerResolution::RaiseToOneMillisecond() {
  if (end_ != nullptr) return;
  if (!winmm_) winmm_.emplace(L"winmm.dll");
  auto* begin = winmm_->Find<PeriodFunction>("timeBeginPeriod");
  auto* end = winmm_->Find<PeriodFunction>("timeEndPeriod");
  if (begin != nullptr && end != nullptr && begin(kOneMillisecond) == kTimerNoError) end_ = end;
}

void TimerResolution::Lower() {
  if (end_ == nullptr) return;
  end_(kOneMillisecond);
  end_ = nullptr;
}
