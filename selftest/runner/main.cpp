// The self-test kit's runner, started by selftest.cmd: removes what an
// earlier run left, registers the virtual card, checks that Windows lists
// it, runs every test program of the kit group by group, writes
// selftest-results.txt and puts everything back, on every way out. With
// /card it runs the read-only check of a real card instead.

#include <windows.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "card_check_launcher.h"
#include "card_registration.h"
#include "common/com_apartment_win32.h"
#include "common/system_library_win32.h"
#include "double_click.h"
#include "earlier_run.h"
#include "kit_run.h"
#include "machine/session_end_window.h"
#include "options.h"
#include "report.h"
#include "run_folder.h"
#include "run_stop.h"
#include "selftest/console/console_text.h"
#include "selftest/console/quick_edit_off.h"
#include "simcard/com/module_path.h"
#include "system_description.h"
#include "test_groups.h"

namespace selftest {

namespace {

using simcard::com::RegistrationScope;

constexpr char kNotListedForUser[] =
    "the virtual card was registered for this user but Windows' device enumerator does not list "
    "it; try `selftest.cmd /machine` from an administrator's command prompt";
constexpr char kNotListedForMachine[] =
    "the virtual card was registered for the whole machine but Windows' device enumerator does "
    "not list it";
constexpr char kSessionEnds[] = "Interrupted: the session is ending.";

// Groups of /quick: the request record, the lookup through the system's
// device enumerator, the program's resources, and the real program refusing
// files it must not use; a few seconds each.
constexpr const char* kQuickGroups[] = {"I2CRecord", "FilterLookup", "OstrelResources",
                                        "RefusedFile"};

bool IsQuickGroup(const TestGroup& group) {
  return std::find(std::begin(kQuickGroups), std::end(kQuickGroups), group.suite) !=
         std::end(kQuickGroups);
}

// How the run ended: whether everything passed, and the line to end on.
struct Outcome {
  bool passed = false;
  std::string lastLine;
};

Outcome Failed(Report& report, const std::string& line) {
  report.Say(line);
  return {false, line};
}

// Every group, one line each; the last line counts them.
Outcome RunTests(const std::filesystem::path& kit, const RunFolder& folder, bool quick,
                 RunStop& stop, Report& report) {
  const std::filesystem::path xml = kit / "selftest-xml";
  RemoveWithoutFollowingLinks(xml);
  std::error_code ignored;
  std::filesystem::create_directories(xml, ignored);
  int counts[3] = {};  // by GroupResult::Verdict
  for (const TestGroup& group : ListGroups(kit, folder.Path(), stop)) {
    if (quick && !IsQuickGroup(group)) continue;
    if (stop.Requested()) {
      report.Say("Interrupted: the remaining groups did not run.");
      break;
    }
    const GroupResult result = RunGroup(group, xml, stop);
    Print(result.Line());
    report.Record(result.Details());
    ++counts[static_cast<int>(result.Result())];
  }
  report.Record("XML results of each group: " + Utf8(xml.wstring()));
  const int failed = counts[static_cast<int>(GroupResult::Verdict::kFailed)];
  std::string line = std::to_string(counts[static_cast<int>(GroupResult::Verdict::kPassed)]) +
                     " passed, " + std::to_string(failed) + " failed";
  if (const int skipped = counts[static_cast<int>(GroupResult::Verdict::kSkipped)]) {
    line += ", " + std::to_string(skipped) + " skipped";
  }
  report.Record(line);
  return {failed == 0, line};
}

// Registers the card, checks that Windows lists it and runs the tests. The
// first line answers whether it is listed.
Outcome RegisterAndTest(const std::filesystem::path& kit, RegistrationScope scope, KitRun& run,
                        bool quick, RunStop& stop, Report& report) {
  if (!run.FolderReady()) return {false, "the kit did not run its tests"};
  if (const HRESULT registered = run.RegisterCard(kit); FAILED(registered)) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(registered));
    return Failed(report,
                  std::string("the virtual card could not be registered (error ") + code + ")");
  }
  if (!EnumeratorListsVirtualCard()) {
    return Failed(report,
                  scope == RegistrationScope::kUser ? kNotListedForUser : kNotListedForMachine);
  }
  report.Say("Windows' device enumerator lists the virtual card.");
  return RunTests(kit, run.Folder(), quick, stop, report);
}

// The session's end: the run stops, the program it waits for is ended,
// putBack puts back what it changed and the results are written, all before
// the handler returns, since Windows may end the kit right after (or, past
// its patience, during it: the results say so first).
SessionEndWindow OnSessionEnd(RunStop& stop, Report& report, QuickEditOff& quickEdit,
                              std::function<void()> putBack) {
  return SessionEndWindow({[] { return true; },
                           [&stop, &report, &quickEdit, putBack] {
                             stop.EndSession();
                             report.Say(kSessionEnds);
                             report.Write();
                             putBack();
                             report.Write();
                             quickEdit.Restore();
                           }});
}

int CheckCard(const std::filesystem::path& kit, RunStop& stop, QuickEditOff& quickEdit,
              Report& report) {
  report.Record("Mode: /card, the read-only check of the card");
  // The check puts the card back on the session's end itself, told by
  // Windows or, where the kit hears of it first, by the kit.
  CardCheckLaunch check(kit, report);
  const SessionEndWindow sessionEnd =
      OnSessionEnd(stop, report, quickEdit, [&check] { check.KeepReport(); });
  const int status = check.Run(stop);
  Print("Results: " + Utf8(report.ResultsFile().wstring()));
  if (!report.Write()) Print("COULD NOT write the results file");
  return status;
}

int TestOnThisPc(const std::filesystem::path& kit, const Options& options, RunStop& stop,
                 QuickEditOff& quickEdit, Report& report) {
  const bool underWine = !WineVersion().empty();
  const RegistrationScope scope =
      options.mode == Mode::kUser || (options.mode == Mode::kAutomatic && !IsAdministrator())
          ? RegistrationScope::kUser
          : RegistrationScope::kMachine;
  report.Record(
      "Virtual card registered " +
      std::string(scope == RegistrationScope::kUser ? "for this user" : "for the whole machine") +
      " (" + Utf8(simcard::com::ClassesKeyName(scope)) + ")" + (options.quick ? ", /quick" : ""));

  KitRun run(scope, underWine, report);
  const SessionEndWindow sessionEnd =
      OnSessionEnd(stop, report, quickEdit, [&run] { run.Finish(); });
  Outcome outcome;
  try {
    outcome = RegisterAndTest(kit, scope, run, options.quick, stop, report);
  } catch (const std::exception& error) {
    outcome = Failed(report, std::string("the kit stopped on an error: ") + error.what());
  }
  if (stop.Requested() && outcome.passed) outcome = Failed(report, "Interrupted.");
  const bool clean = run.Finish();
  Print("Results: " + Utf8(report.ResultsFile().wstring()));
  if (!report.Write()) Print("COULD NOT write the results file");
  Print(outcome.lastLine);
  return outcome.passed && clean ? 0 : 1;
}

int Run(const Options& options, RunStop& stop, QuickEditOff& quickEdit) {
  const std::filesystem::path kit = simcard::com::ProgramFolder();
  Report report(kit / "selftest-results.txt");
  report.Record("Ostrel self-test kit " OSTREL_VERSION);
  const bool earlierRunRemoved = RemoveWhatAnEarlierRunLeft(report);
  report.Record(DescribeSystem());
  if (!earlierRunRemoved) {
    report.Say(
        "The kit does not run: an earlier run's registration is still there. Restart the "
        "PC, or run selftest.cmd /machine from an administrator's command prompt.");
    report.Write();
    return 1;
  }
  if (options.mode == Mode::kCard) return CheckCard(kit, stop, quickEdit, report);
  return TestOnThisPc(kit, options, stop, quickEdit, report);
}

}  // namespace
}  // namespace selftest

int wmain(int argc, wchar_t** argv) {
  // Before anything else loads: nothing from the kit's folder (Downloads,
  // typically, and the kit may run as an administrator).
  RestrictDllSearchToSystemFolder();
  // For the device enumerator's check; once, for the whole run.
  const ComApartment com;
  using namespace selftest;
  std::wstring error;
  const std::optional<Options> options =
      ParseOptions(std::vector<std::wstring>(argv + 1, argv + argc), error);
  if (!options) {
    Print(Utf8(error));
    Print(kUsage);
    return 2;
  }
  RunStop stop;
  QuickEditOff quickEdit;
  int status = 1;
  try {
    status = Run(*options, stop, quickEdit);
  } catch (const std::exception& failure) {
    Print(std::string("The kit stopped on an error: ") + failure.what());
  }
  // Before a closed console's handler may return and the system end the kit.
  quickEdit.Restore();
  stop.Finished();
  if (!stop.Requested() && StartedByDoubleClick()) {
    Print("Press Enter to close this window.");
    WaitForEnter();
  }
  return status;
}
