#include "selftest/common/console_stop.h"

#include <atomic>

namespace selftest {

namespace {

// The handler gets no context: the one ConsoleStop of the process, set only
// while it exists.
std::atomic<ConsoleStop*> current{nullptr};

}  // namespace

ConsoleStop::ConsoleStop(DWORD patienceMs)
    : requested_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      finished_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      patienceMs_(patienceMs) {
  current = this;
  // Ctrl+C is heard even when the program that started this one chose to
  // ignore it (an attribute children inherit).
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(Handler, TRUE);
}

ConsoleStop::~ConsoleStop() {
  SetConsoleCtrlHandler(Handler, FALSE);
  current = nullptr;
}

BOOL WINAPI ConsoleStop::Handler(DWORD event) {
  ConsoleStop* const stop = current;
  if (stop == nullptr) return FALSE;
  switch (event) {
    case CTRL_CLOSE_EVENT:
      stop->closing_ = true;
      [[fallthrough]];
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      SetEvent(stop->requested_.Get());
      // Past its patience, the system's own handling ends the process.
      return WaitForSingleObject(stop->finished_.Get(), stop->patienceMs_) == WAIT_OBJECT_0 ? TRUE
                                                                                            : FALSE;
    default:
      return FALSE;
  }
}

}  // namespace selftest
