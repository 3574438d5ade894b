#pragma once

// What the kit and the test programs may change on the PC, found before the
// run and put back after it, also when a test program crashed (Windows
// only).

#include <vector>

#include "registry_tree.h"
#include "report.h"
#include "run_folder.h"

namespace selftest {

// The keys the kit or a test program may change, as found before the run,
// each in its own hive.
std::vector<GuardedKey> GuardRegistry(bool underWine);

// Keeps a crashing test program from waiting on a dialog: the error mode
// the programs inherit, and under Wine its ShowCrashDialog (a guarded key),
// where the user has no WineDbg key of their own.
void KeepCrashesQuiet(bool underWine);

// Puts back the capture entries a test program that died left aside, then
// every guarded key that a test or the kit left changed, removes the run's
// folder once it was made, and says so; false when something could not be.
bool PutBackKeysAndRemoveRunFolder(const std::vector<GuardedKey>& keys, const RunFolder& folder,
                                   Report& report);

}  // namespace selftest
