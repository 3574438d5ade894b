// cardcheck.exe OUTDIR: reads the card's two EEPROMs twice each, after the
// operator typed "yes", and reports whether the reads agree and the channel
// decoder was put back. It never writes to an EEPROM.
//
// Exit code: 0 every check passed, 1 a check failed or an error, 2 the
// operator did not agree (nothing was done), 3 the check was stopped from
// outside (Ctrl+C, Ctrl+Break, its console closed, the session's end) and
// put back what it had changed; its report's last line says so.

#include <windows.h>

#include <iostream>
#include <memory>
#include <string>

#include "card_check.h"
#include "check_stop.h"
#include "claim/card_access.h"
#include "common/com_apartment_win32.h"
#include "common/system_library_win32.h"
#include "ostrel_version.h"
#include "selftest/console/console_text.h"
#include "commands/command_view.h"
#include "machine/machine_card_lock.h"
#include "machine/system_power_guard.h"
#include "machine/timer_period.h"

namespace {

constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kRefused = 2;
constexpr int kInterrupted = 3;

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
  CheckReport report;
  const bool found = IdentifyCard(report);
  report.Line("Ostrel's card check, version " OSTREL_VERSION_TEXT);
  if (!found) return kFailed;
  if (!OperatorAgrees(folder)) {
    selftest::Print("Nothing was done.");
    return kRefused;
  }
  report.Line("The operator typed yes.");
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    report.Failure("Error: the folder for the results can't be made.");
    return kFailed;
  }
  // Like Ostrel's commands: one program on the card at a time, the PC kept
  // awake and a shutdown asked for meanwhile refused. A console program can
  // still be stopped (Ctrl+C, its console closed) and the session can still
  // end (a forced log-off or shutdown): the check then puts back what it
  // changed before it goes.
  MachineCardLock lock;
  SystemPowerGuard power;
  const std::unique_ptr<PreciseWaiter> waiter = MakePreciseWaiter();
  TimerPeriod timer(waiter->NeedsRaisedSystemTimer());
  CardAccess access(lock, power, timer);
  const std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  CheckServices services{*files, *waiter, access.Undo(), nullptr};
  CheckStop stop(access, report, [&] { SaveReport(services, folder, report); });
  services.stopPoint = [&] { stop.Point(); };
  power.SetWindow(stop.Window());
  StoppableWaiter pacing(*waiter, stop);
  ReportView reportView(report);
  CommandView view(reportView, access);
  const CardClaim claim = view.ClaimCard(CardUse::Reading);
  if (!claim) return kFailed;
  try {
    CheckCard(services, pacing, folder, report);
  } catch (const CheckInterrupted&) {
    return kInterrupted;
  }
  return report.Failed() ? kFailed : kPassed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  RestrictDllSearchToSystemFolder();
  if (argc != 2) {
    selftest::WriteText(STD_ERROR_HANDLE, "usage: cardcheck OUTDIR\r\n");
    return kFailed;
  }
  const ComApartment com;
  if (!com) return kFailed;
  return Run(argv[1]);
}
