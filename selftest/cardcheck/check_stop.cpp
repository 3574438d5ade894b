#include "check_stop.h"

#include <utility>

#include "device/chdec_switch.h"
#include "selftest/common/card_check_contract.h"
#include "selftest/common/console_text.h"

namespace {

// The check is over: nothing is left to stop.
BOOL WINAPI StopAfterTheCheck(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

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

StopBeforeTheCheck::StopBeforeTheCheck() {
  // Heard in a process group of its own too, where Ctrl+C starts ignored (an
  // attribute children inherit; Wine then ignores every console event).
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(Handler, TRUE);
}

StopBeforeTheCheck::~StopBeforeTheCheck() {
  SetConsoleCtrlHandler(Handler, FALSE);
}

BOOL WINAPI StopBeforeTheCheck::Handler(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  selftest::Print("");
  selftest::Print("Stopped before the check began: nothing was done.");
  // Not ExitProcess: the program's thread may hold the console input's lock
  // while it waits for the answer, and the run-time's exit would wait for it.
  TerminateProcess(GetCurrentProcess(), selftest::kCardCheckStopped);
  return TRUE;
}

CheckStop::CheckStop(CardAccess& access, Report& report, std::function<void()> saveReport)
    : access_(access),
      report_(report),
      saveReport_(std::move(saveReport)),
      console_(selftest::kCardCheckStopWaitMs),
      // A console program, or one without a visible window, cannot refuse the
      // session's end: Windows ends it at once if it tries. The check agrees
      // and puts the card back in WM_ENDSESSION, before Windows may end it.
      session_([this] { Interrupt(); }) {}

CheckStop::~CheckStop() {
  // First: a handler waiting for it may hold the handlers' lock, which
  // SetConsoleCtrlHandler takes.
  console_.Finished();
  // A stop may come after the one the check carried out: Ctrl+C typed reaches
  // every program of the console, the runner's Ctrl+Break behind it, and the
  // session's end reaches the check before the runner that forwards it. From
  // here to the check's exit such a stop is taken, not left to the default
  // handling, which would end the check as if it had crashed.
  SetConsoleCtrlHandler(StopAfterTheCheck, TRUE);
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
