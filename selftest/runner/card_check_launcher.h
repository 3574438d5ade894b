#pragma once

// selftest.cmd /card: launches the read-only check of a real card,
// cardcheck.exe, in the kit's console and copies its report into the
// results (Windows only).

#include <filesystem>

#include "report.h"
#include "run_stop.h"

namespace selftest {

// The card check's exit codes.
enum CardCheckCode : int {
  kCardCheckPassed = 0,      // every check passed
  kCardCheckFailed = 1,      // a check failed, or an error
  kCardCheckRefused = 2,     // the operator did not agree: nothing was done
  kCardCheckInterrupted = 3  // stopped (Ctrl+C, a closed console, the session's end)
};

// Runs cardcheck.exe KIT, which asks the operator for "yes" and writes
// card-check.txt and the two EEPROMs' contents into the kit's folder;
// returns its exit code. A stop of the run is the check's own to carry out:
// it is waited for, up to 10 s, and what it reported is kept.
int LaunchCardCheck(const std::filesystem::path& kit, Report& report, RunStop& stop);

}  // namespace selftest
