#include "machine/timer_period.h"

namespace {

constexpr unsigned kOneMillisecond = 1;
constexpr unsigned kTimerNoError = 0;  // TIMERR_NOERROR

}  // namespace

void TimerPeriod::Raise() {
  if (!needed_ || end_ != nullptr) return;
  if (!winmm_) winmm_.emplace(L"winmm.dll");
  auto* begin = winmm_->Find<PeriodFunction>("timeBeginPeriod");
  auto* end = winmm_->Find<PeriodFunction>("timeEndPeriod");
  if (begin != nullptr && end != nullptr && begin(kOneMillisecond) == kTimerNoError) end_ = end;
}

void TimerPeriod::Lower() {
  if (end_ == nullptr) return;
  end_(kOneMillisecond);
  end_ = nullptr;
}
