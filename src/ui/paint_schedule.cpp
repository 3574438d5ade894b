#include "ui/paint_schedule.h"

#include <algorithm>

void PaintSchedule::RangeChanged(std::int32_t n) {
  ShowProgressPos();
  progressEnd_ = n;
  screen_.showProgressRange(n);
  PaintIfOlderThan(kOnChange);
}

void PaintSchedule::PositionChanged(std::int32_t p) {
  progressPos_ = std::clamp(p, std::min(0, progressEnd_), std::max(0, progressEnd_));
  PaintIfOlderThan(kOnChange);
}

void PaintSchedule::ShowProgressPos() {
  if (progressPos_ == shownProgressPos_) return;
  screen_.showProgressPos(progressPos_);
  shownProgressPos_ = progressPos_;
}

void PaintSchedule::PaintIfOlderThan(std::chrono::milliseconds age) {
  if (screen_.now() - lastPaint_ < age) return;
  ShowProgressPos();
  screen_.paint();
  lastPaint_ = screen_.now();
}
