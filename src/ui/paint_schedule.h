#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

// When the dialog paints what a running command changes. The command holds
// the thread, so nothing paints unless the dialog does it, and painting costs
// milliseconds: it paints only at the moments below, once the last paint is
// at least as old as the moment's age. The progress position is held back
// until then, since a new position makes the bar paint itself at once, which
// costs more than a pacing wait's worth of time per request on some systems.
class PaintSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  // What painting does on the screen.
  struct Screen {
    std::function<void(std::int32_t)> showProgressPos;    // hands the bar a position
    std::function<void(std::int32_t)> showProgressRange;  // and a range 0..n
    std::function<void()> paint;                          // paints all that is pending
    std::function<Clock::time_point()> now = Clock::now;
  };

  explicit PaintSchedule(Screen screen) : screen_(std::move(screen)) {}

  // The bar's range before any command, as the dialog made it.
  void StartWithRange(std::int32_t n) { progressEnd_ = n; }

  // A new step of the command: shown at once.
  void StatusChanged() { PaintIfOlderThan(std::chrono::milliseconds(0)); }
  // Hands the bar the new range, after any position set before it.
  void RangeChanged(std::int32_t n);
  // Kept back, within the range, until something paints.
  void PositionChanged(std::int32_t p);
  // A pacing wait starts: painting in it costs the transfer nothing, since
  // the wait still ends at its deadline.
  void Waiting() { PaintIfOlderThan(kInWait); }
  // Hands the bar the position last set, before anything else paints it (a
  // box's loop, the dialog once a command has ended).
  void ShowProgressPos();

 private:
  // Smooth progress, never outlasting a pacing wait.
  static constexpr std::chrono::milliseconds kInWait{40};
  // Any other change: the waits come first wherever there are any, so this
  // paints only for a command that does not wait (a board read), often
  // enough that the window never looks hung.
  static constexpr std::chrono::milliseconds kOnChange{100};

  void PaintIfOlderThan(std::chrono::milliseconds age);

  Screen screen_;
  std::int32_t progressEnd_ = 0;
  std::int32_t progressPos_ = 0;
  std::int32_t shownProgressPos_ = 0;
  Clock::time_point lastPaint_{};
};
