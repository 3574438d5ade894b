#pragma once

// What the runner and the card check it starts agree on (Windows only): how
// the check ends, where it leaves its report, and how long it may take to
// put the card back once told to stop.

#include <windows.h>

namespace selftest {

// cardcheck.exe's exit codes.
enum CardCheckCode : int {
  kCardCheckPassed = 0,   // every check passed
  kCardCheckFailed = 1,   // a check failed, or an error
  kCardCheckRefused = 2,  // the operator did not agree: nothing was done
  // Stopped from outside (Ctrl+C, Ctrl+Break, a closed console, the
  // session's end): it put back what it had changed, and its report's last
  // line says so; without a report it was stopped before it began.
  kCardCheckStopped = 3
};

// The check's report, in the folder it is given.
inline constexpr wchar_t kCardCheckReportName[] = L"card-check.txt";

// How long the check may take, once told to stop, to finish the request under
// way, put the card back and end: after Ctrl+C or Ctrl+Break, and after a
// closed console or the session's end, where Windows ends the runner about 5 s
// after it told it.
inline constexpr DWORD kCardCheckStopWaitMs = 10000;
inline constexpr DWORD kCardCheckCloseWaitMs = 4000;

}  // namespace selftest
