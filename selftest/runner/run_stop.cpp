#include "run_stop.h"

#include <utility>

#include "selftest/common/card_check_contract.h"

namespace selftest {

namespace {

// Long enough for the card check to finish its request and put the card
// back, and for the kit to put everything back then.
constexpr DWORD kConsolePatienceMs = kCardCheckStopWaitMs + 10000;

// The thread's windows get what was sent or posted to them.
void AnswerMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

RunStop::RunStop() : console_(kConsolePatienceMs) {}

DWORD RunStop::PatienceWithTheTold() const {
  return sessionEnding_ || console_.Closing() ? kCardCheckCloseWaitMs : kCardCheckStopWaitMs;
}

RunStop::Waited RunStop::WaitFor(StartedProgram& program, DWORD timeoutMs, bool untilStop) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  StartedProgram* const previous = std::exchange(waitedFor_, &program);
  Waited waited = Waited::kTimedOut;
  for (;;) {
    if (untilStop && Requested()) {
      waited = Waited::kStopped;
      break;
    }
    const ULONGLONG now = GetTickCount64();
    if (timeoutMs != INFINITE && now >= deadline) break;
    const DWORD left = timeoutMs == INFINITE ? INFINITE : static_cast<DWORD>(deadline - now);
    const HANDLE handles[] = {program.Process(), console_.RequestedEvent()};
    const DWORD count = untilStop ? 2 : 1;
    const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) {
      waited = Waited::kDone;
      break;
    }
    if (result == WAIT_OBJECT_0 + count) {
      AnswerMessages();
    } else if (result != WAIT_OBJECT_0 + 1) {
      break;  // timed out, or the handle is no longer one to wait on
    }
  }
  waitedFor_ = previous;
  return waited;
}

void RunStop::EndSession() {
  sessionEnding_ = true;
  if (waitedFor_ != nullptr) waitedFor_->EndBeforeTheSession();
}

}  // namespace selftest
