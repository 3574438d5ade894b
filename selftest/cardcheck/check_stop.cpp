#include "check_stop.h"

#include <utility>

#include "device/chdec_switch.h"

namespace {

// As long as the runner waits for the check once it has been stopped: the
// request under way and the restore take a moment at most.
constexpr DWORD kStopPatienceMs = 10000;

}  // namespace

std::string InterruptedLine(const std::vector<UndoSteps::Undone>& undone) {
  const std::string stopped = "Interrupted: the check was stopped before its end; ";
  for (const UndoSteps::Undone& step : undone) {
    if (step.what != kChDecUndoName) continue;
    return stopped + (step.done ? "the channel decoder was put back."
                                : "the channel decoder could NOT be put back: restart the PC "
                                  "before the card is used again.");
  }
  return stopped + "the channel decoder was not switched at that moment.";
}

CheckStop::CheckStop(CardAccess& access, CheckReport& report, std::function<void()> saveReport)
    : access_(access),
      report_(report),
      saveReport_(std::move(saveReport)),
      console_(kStopPatienceMs),
      session_({[this] { return !access_.Guarding(); }, [this] { Interrupt(); }}) {}

CheckStop::~CheckStop() {
  console_.Finished();
}

void CheckStop::Point() {
  if (console_.Requested()) Interrupt();
  if (interrupted_) throw CheckInterrupted{};
}

void CheckStop::Interrupt() {
  if (interrupted_) return;
  interrupted_ = true;
  report_.Failure(InterruptedLine(access_.EndNow()));
  saveReport_();
}
