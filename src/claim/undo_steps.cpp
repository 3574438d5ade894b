#include "claim/undo_steps.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "common/debug_report.h"

std::uint64_t UndoSteps::Add(std::string what, Undo undo) {
  steps_.push_back({next_, std::move(what), std::move(undo)});
  return next_++;
}

std::vector<UndoSteps::Step>::iterator UndoSteps::Find(std::uint64_t number) {
  return std::find_if(steps_.begin(), steps_.end(),
                      [&](const Step& s) { return s.number == number; });
}

void UndoSteps::Run(std::uint64_t number) {
  const auto found = Find(number);
  if (found == steps_.end()) return;
  const Step step = std::move(*found);
  steps_.erase(found);
  RunCaught(step);
}

bool UndoSteps::Withdraw(std::uint64_t number) {
  const auto found = Find(number);
  if (found == steps_.end()) return false;
  steps_.erase(found);
  return true;
}

std::vector<UndoSteps::Undone> UndoSteps::RunAll() {
  std::vector<Undone> undone;
  // Each taken out before it runs: a step never runs twice, even one that
  // registers or withdraws others.
  while (!steps_.empty()) {
    const Step step = std::move(steps_.back());
    steps_.pop_back();
    undone.push_back({step.what, RunCaught(step)});
  }
  return undone;
}

bool UndoSteps::RunCaught(const Step& step) noexcept {
  // Steps run where nothing may unwind: inside the system's message
  // dispatch, in destructors.
  try {
    return step.undo();
  } catch (const std::exception& error) {
    ReportToDebugger("Ostrel: putting back the " + step.what + " failed: " + error.what());
  } catch (...) {
    ReportToDebugger("Ostrel: putting back the " + step.what + " failed");
  }
  return false;
}
