#pragma once

// selftest.cmd /card: the read-only check of a real card, cardcheck.exe,
// run in the kit's console with its report copied into the results.

#include <filesystem>

#include "report.h"

namespace selftest {

// Runs cardcheck.exe KIT, which asks the operator for "yes" and writes
// card-check.txt and the two EEPROMs' contents into the kit's folder;
// returns its exit code (0 all good, 1 a check failed, 2 not answered yes).
int RunCardCheck(const std::filesystem::path& kit, Report& report);

}  // namespace selftest
