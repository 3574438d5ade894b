#include "card_check_launch.h"

#include <windows.h>

#include <fstream>
#include <string>

#include "selftest/common/card_check_contract.h"

namespace selftest {

int CardCheckLaunch::Run(RunStop& stop) {
  const std::filesystem::path program = kit_ / "cardcheck.exe";
  if (!std::filesystem::exists(program)) {
    report_.Say("This kit has no card check (cardcheck.exe is missing).");
    return kCardCheckFailed;
  }
  std::error_code ignored;
  std::filesystem::remove(kit_ / kCardCheckReportName, ignored);
  // The kit's own input and output, a pipe as much as a console: an answer
  // piped into selftest.cmd reaches the check.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  check_.emplace(program, CommandLine(program, {kit_.wstring()}), startup, ProgramKind::kCardCheck);
  if (!*check_) {
    report_.Say("The card check could not be started.");
    return kCardCheckFailed;
  }
  if (stop.WaitFor(*check_, INFINITE, true) == RunStop::Waited::kStopped) {
    check_->TellToStop();
    stop.WaitFor(*check_, stop.PatienceWithTheTold(), false);
  }
  check_->EndAll();
  KeepReport();
  const DWORD code = check_->ExitCode();
  return check_->EndedByKit() || code >= 0xC0000000 ? kCardCheckFailed : static_cast<int>(code);
}

void CardCheckLaunch::KeepReport() {
  if (kept_ || !check_ || !*check_) return;
  kept_ = true;
  std::ifstream checked(kit_ / kCardCheckReportName, std::ios::binary);
  const bool reported = checked.is_open();
  for (std::string line; std::getline(checked, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    report_.Record(line);
  }
  if (check_->EndedByKit()) {
    report_.Say(
        "The card check did not end in time after the stop and was ended: the channel decoder "
        "may still be switched. Restart the PC before using the card.");
  } else if (const DWORD code = check_->ExitCode(); code >= 0xC0000000) {
    report_.Say("The card check CRASHED.");
  } else if (code == kCardCheckStopped && !reported) {
    report_.Record("The card check was stopped before it began: nothing was done.");
  }
}

}  // namespace selftest
