#pragma once

// What stops a run of the kit before its end (Windows only): Ctrl+C,
// Ctrl+Break or a closed console, which the kit's thread carries out once
// told (ConsoleStop); and a log-off or shutdown, which a console program
// that loads user32 hears only as WM_QUERYENDSESSION and WM_ENDSESSION on a
// top-level window of its own (SessionEndWindow). Those are sent messages:
// the waits here answer them while the kit waits for its programs.

#include <windows.h>

#include "machine/console_stop.h"

namespace selftest {

class RunStop {
 public:
  RunStop();
  RunStop(const RunStop&) = delete;
  RunStop& operator=(const RunStop&) = delete;

  // Whether the console or the session asked the run to stop.
  bool Requested() const { return sessionEnding_ || console_.Requested(); }

  enum class Waited { kDone, kTimedOut, kStopped };
  // Waits for handle (a program of the kit), answering the messages sent to
  // the thread's windows meanwhile; with untilStop it gives up as soon as a
  // stop is asked for. A program waited for with endOnSessionEnd is ended
  // at once when the session ends.
  Waited WaitFor(HANDLE handle, DWORD timeoutMs, bool untilStop, bool endOnSessionEnd);

  // The session ends: the program waited for with endOnSessionEnd is ended
  // before this returns, and the run stops.
  void EndSession();
  // What a stop needs is done: a console's handler may return now (and,
  // for a closed console, the system end the kit).
  void Finished() { console_.Finished(); }

 private:
  ConsoleStop console_;
  bool sessionEnding_ = false;
  HANDLE waitedFor_ = nullptr;
  bool endWaitedFor_ = false;
};

}  // namespace selftest
