#pragma once

// selftest.cmd /card: launches the read-only check of a real card,
// cardcheck.exe, in the kit's console and copies its report into the
// results (Windows only).

#include <filesystem>
#include <optional>

#include "selftest/common/report.h"
#include "started_programs.h"

namespace selftest {

class CardCheckLaunch {
 public:
  CardCheckLaunch(const std::filesystem::path& kit, Report& report) : kit_(kit), report_(report) {}

  // Runs cardcheck.exe KIT, which asks the operator for "yes" and writes its
  // report and the two EEPROMs' contents into the kit's folder; returns its
  // exit code. A stop of the run is forwarded to the check, which puts the
  // card back and ends; it is waited for (RunStop::PatienceWithTheTold) and
  // ended only past that.
  int Run(RunStop& stop);
  // Copies the check's report into the results and says how it ended; once,
  // at its end or when the session ends first.
  void KeepReport();

 private:
  std::filesystem::path kit_;
  Report& report_;
  std::optional<StartedProgram> check_;
  bool kept_ = false;
};

}  // namespace selftest
