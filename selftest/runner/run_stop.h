#pragma once

// What stops a run of the kit before its end (Windows only): Ctrl+C,
// Ctrl+Break or a closed console, which the kit's thread carries out once
// told (ConsoleStop); and a log-off or shutdown, which a console program
// that loads user32 hears only as WM_QUERYENDSESSION and WM_ENDSESSION on a
// top-level window of its own (SessionEndWindow). Those are sent messages:
// the waits here answer them while the kit waits for its programs.

#include <windows.h>

#include "machine/console_stop.h"
#include "started_program.h"

namespace selftest {

class RunStop {
 public:
  RunStop();
  RunStop(const RunStop&) = delete;
  RunStop& operator=(const RunStop&) = delete;

  // Whether the console or the session asked the run to stop.
  bool Requested() const { return sessionEnding_ || console_.Requested(); }
  // How long a program told to stop may take: shorter when the console is
  // closing or the session ending, as Windows then ends the kit about 5 s
  // after it told it.
  DWORD PatienceWithTheTold() const;

  enum class Waited { kDone, kTimedOut, kStopped };
  // Waits for program to end, answering the messages sent to the thread's
  // windows meanwhile; with untilStop it gives up as soon as a stop is asked
  // for. The program waited for is the one the session's end ends.
  Waited WaitFor(StartedProgram& program, DWORD timeoutMs, bool untilStop);

  // The session ends: the program waited for is ended (the card check after
  // its time to put the card back) before this returns, and the run stops.
  void EndSession();
  // What a stop needs is done: a console's handler may return now (and,
  // for a closed console, the system end the kit).
  void Finished() { console_.Finished(); }

 private:
  ConsoleStop console_;
  bool sessionEnding_ = false;
  StartedProgram* waitedFor_ = nullptr;
};

}  // namespace selftest
