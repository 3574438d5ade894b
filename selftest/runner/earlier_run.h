#pragma once

// What an earlier run of the kit left when it was ended before it put
// everything back (killed, or the PC lost power): its registration of the
// virtual card, marked with the run, and its folder (Windows only).

#include "report.h"

namespace selftest {

// Removes, before this run looks at the registry, the registration an
// earlier run marked as its own, the capture entries a test of it left
// aside and its folder, saying so; what it finds is never put back. False
// when its registration could not be removed (in the machine's classes,
// for a user who is no administrator).
bool RemoveWhatAnEarlierRunLeft(Report& report);

}  // namespace selftest
