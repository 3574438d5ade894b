#include "common/undo_steps.h"

#include <algorithm>
#include <utility>

std::uint64_t UndoSteps::Add(std::string what, Undo undo) {
  steps_.push_back({next_, std::move(what), std::move(undo)});
  return next_++;
}

UndoSteps::Undo UndoSteps::Take(std::uint64_t number) {
  const auto step =
      std::find_if(steps_.begin(), steps_.end(), [&](const Step& s) { return s.number == number; });
  if (step == steps_.end()) return nullptr;
  Undo undo = std::move(step->undo);
  steps_.erase(step);
  return undo;
}

std::vector<UndoSteps::Undone> UndoSteps::RunAll() {
  std::vector<Undone> undone;
  while (!steps_.empty()) {
    // Taken out before it runs: a step is never run twice, even one that
    // registers or withdraws others.
    Step step = std::move(steps_.back());
    steps_.pop_back();
    undone.push_back({std::move(step.what), step.undo()});
  }
  return undone;
}
