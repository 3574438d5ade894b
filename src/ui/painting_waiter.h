#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "common/waiter.h"

// The wait the dialog hands its commands: each wait first paints what the
// command has left pending, then waits out only what is left of its time on
// the precise wait, so that it ends when it would have without painting
// (later only when painting itself outlasts it).
class PaintingWaiter final : public Waiter {
 public:
  PaintingWaiter(PreciseWaiter& wait, std::function<void()> paint)
      : wait_(wait), paint_(std::move(paint)) {}

  void WaitMilliseconds(std::uint32_t ms) override;

 private:
  PreciseWaiter& wait_;
  std::function<void()> paint_;
};
