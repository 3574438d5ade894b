// cardcheck.exe OUTDIR: reads the card's two EEPROMs twice each, after the
// operator typed "yes", and reports whether the reads agree and the channel
// decoder was put back. It never writes to an EEPROM.
//
// Its exit codes, report and stop waits are the runner's too
// (selftest/common/card_check_contract.h).

#include <windows.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "card_check.h"
#include "check_stop.h"
#include "claim/card_access.h"
#include "common/com_apartment_win32.h"
#include "common/system_library_win32.h"
#include "commands/command_view.h"
#include "machine/machine_card_lock.h"
#include "machine/system_power_guard.h"
#include "machine/timer_period.h"
#include "ostrel_version.h"
#include "selftest/common/card_check_contract.h"
#include "selftest/common/console_text.h"

namespace {

using namespace selftest;

// Windows ends processes of a higher level first at a log-off or shutdown:
// the check, which puts the card back then, before the runner that started
// it (at 0x280, every process's level) reports it.
constexpr DWORD kEndedBeforeTheRunner = 0x300;

bool OperatorAgrees(const FilePath& folder) {
  selftest::WriteText(STD_OUTPUT_HANDLE, ConsentRequest(folder));
  std::string answer;
  std::getline(std::cin, answer);
  // A piped answer is not echoed: the report goes on on a line of its own.
  selftest::Print("");
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return answer == "yes";
}

int Run(const FilePath& folder) {
  std::optional<StopBeforeTheCheck> notBegun(std::in_place);
  Report report(folder + L"\\" + kCardCheckReportName);
  const bool found = IdentifyCard(report);
  report.Say("Ostrel's card check, version " OSTREL_VERSION_TEXT);
  if (!found) return kCardCheckFailed;
  if (!OperatorAgrees(folder)) {
    selftest::Print("Nothing was done.");
    return kCardCheckRefused;
  }
  report.Say("The operator typed yes.");
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    report.Failure("Error: the folder for the results can't be made.");
    return kCardCheckFailed;
  }
  // Like Ostrel's commands: one program on the card at a time and the PC
  // kept awake. A console program cannot refuse the session's end, nor
  // outlast its console's closing: the check then puts back what it changed
  // before it goes.
  MachineCardLock lock;
  SystemPowerGuard power;
  const std::unique_ptr<PreciseWaiter> waiter = MakePreciseWaiter();
  TimerPeriod timer(waiter->NeedsRaisedSystemTimer());
  CardAccess access(lock, power, timer);
  const std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  CheckServices services{*files, *waiter, access.Undo(), nullptr};
  CheckStop stop(access, report, [&] { SaveReport(services, report); });
  notBegun.reset();
  services.stopPoint = [&] { stop.Point(); };
  StoppableWaiter pacing(*waiter, stop);
  ReportView reportView(report);
  CommandView view(reportView, access);
  const CardClaim claim = view.ClaimCard(CardUse::Reading);
  if (!claim) return kCardCheckFailed;
  try {
    CheckCard(services, pacing, folder, report);
  } catch (const CheckInterrupted&) {
    return kCardCheckStopped;
  }
  return report.Failed() ? kCardCheckFailed : kCardCheckPassed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  RestrictDllSearchToSystemFolder();
  SetProcessShutdownParameters(kEndedBeforeTheRunner, 0);
  if (argc != 2) {
    selftest::WriteText(STD_ERROR_HANDLE, "usage: cardcheck OUTDIR\r\n");
    return kCardCheckFailed;
  }
  const ComApartment com;
  if (!com) return kCardCheckFailed;
  return Run(argv[1]);
}
