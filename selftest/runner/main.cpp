// The self-test kit's runner, started by selftest.cmd: puts back what an
// earlier run left, registers the virtual card, checks that Windows lists
// it, runs every test program of the kit group by group, writes
// selftest-results.txt and puts back what the run changed, on every way
// out. With /card it runs the read-only check of a real card instead; with
// /keys it prints the registry keys it guards.

#include <windows.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "card_check_launch.h"
#include "common/com_apartment_win32.h"
#include "common/module_path_win32.h"
#include "common/system_library_win32.h"
#include "kit_run.h"
#include "run_folders.h"
#include "selftest/common/console_text.h"
#include "selftest/common/guarded_keys.h"
#include "selftest/common/process_token.h"
#include "selftest/common/quick_edit_off.h"
#include "selftest/common/session_end_window.h"
#include "started_programs.h"
#include "test_groups.h"
#include "this_pc.h"

namespace selftest {

namespace {

// What the person asked for on selftest.cmd's command line.
enum class Mode { kAutomatic, kUser, kMachine, kCard, kKeys };

struct Options {
  Mode mode = Mode::kAutomatic;
  bool quick = false;
};

constexpr char kUsage[] =
    "usage: selftest.cmd [/user | /machine | /card | /keys] [/quick]\n"
    "  /user     register the virtual card for this user only\n"
    "  /machine  register it for the whole machine (administrator)\n"
    "  /quick    run a few groups of tests only\n"
    "  /card     check a real card, read-only; the virtual card is not registered\n"
    "  /keys     print the registry keys the kit guards, and do nothing else\n";

constexpr char kNotListedForUser[] =
    "the virtual card was registered for this user but Windows' device enumerator does not list "
    "it; try `selftest.cmd /machine` from an administrator's command prompt";
constexpr char kNotListedForMachine[] =
    "the virtual card was registered for the whole machine but Windows' device enumerator does "
    "not list it";
constexpr char kUserWithFullRights[] =
    "selftest.cmd /user does not run with an administrator's full rights (an elevated command "
    "prompt, or User Account Control switched off): Windows then ignores classes registered for "
    "the user alone, so no test could reach the virtual card. Nothing was registered. Use "
    "selftest.cmd /machine instead.";
constexpr char kSessionEnds[] = "Interrupted: the session is ending.";

// Groups of /quick: the request record, the lookup through the system's
// device enumerator, the program's resources, the real program refusing
// files it must not use, and the kit's own registry journal; a few seconds
// each.
constexpr const char* kQuickGroups[] = {"I2CRecord", "FilterLookup", "OstrelResources",
                                        "RefusedFile", "RegistryJournal"};

// Nothing, and why in error, for an argument the kit does not know.
std::optional<Options> ParseOptions(const std::vector<std::wstring>& arguments,
                                    std::wstring& error) {
  Options options;
  for (const std::wstring& argument : arguments) {
    const auto is = [&](const wchar_t* name) {
      return _wcsicmp(argument.c_str(), (std::wstring(L"/") + name).c_str()) == 0 ||
             _wcsicmp(argument.c_str(), (std::wstring(L"-") + name).c_str()) == 0;
    };
    std::optional<Mode> mode;
    if (is(L"quick")) {
      options.quick = true;
    } else if (is(L"user")) {
      mode = Mode::kUser;
    } else if (is(L"machine")) {
      mode = Mode::kMachine;
    } else if (is(L"card")) {
      mode = Mode::kCard;
    } else if (is(L"keys")) {
      mode = Mode::kKeys;
    } else {
      error = L"unknown option " + argument;
      return std::nullopt;
    }
    if (mode) {
      if (options.mode != Mode::kAutomatic && options.mode != *mode) {
        error = L"choose one of /user, /machine, /card and /keys";
        return std::nullopt;
      }
      options.mode = *mode;
    }
  }
  return options;
}

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

// Every group, one line each; the last line counts them. What a test
// program left changed is put back right after it.
Outcome RunTests(const std::filesystem::path& kit, KitRun& run, bool quick, RunStop& stop,
                 Report& report) {
  const std::filesystem::path xml = kit / "selftest-xml";
  RemoveWithoutFollowingLinks(xml);
  std::error_code ignored;
  std::filesystem::create_directories(xml, ignored);
  int counts[3] = {};  // by GroupResult::Verdict
  for (const TestGroup& group : ListGroups(kit, run.Temp(), stop)) {
    if (quick && !IsQuickGroup(group)) continue;
    if (stop.Requested()) {
      report.Say("Interrupted: the remaining groups did not run.");
      break;
    }
    const GroupResult result = RunGroup(group, xml, stop);
    Print(result.Line());
    report.Record(result.Details());
    run.PutBackWhatTheTestLeft();
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
  if (!run.RegisterCard(kit)) return {false, "the virtual card could not be registered"};
  if (!EnumeratorListsVirtualCard()) {
    return Failed(report,
                  scope == RegistrationScope::kUser ? kNotListedForUser : kNotListedForMachine);
  }
  report.Say("Windows' device enumerator lists the virtual card.");
  return RunTests(kit, run, quick, stop, report);
}

// The session's end: the run stops, the program it waits for is ended,
// putBack puts back what it changed and the results are saved, all before
// the handler returns, since Windows may end the kit right after (or, past
// its patience, during it: the results say so first).
SessionEndWindow OnSessionEnd(RunStop& stop, Report& report, QuickEditOff& quickEdit,
                              std::function<void()> putBack) {
  return SessionEndWindow([&stop, &report, &quickEdit, putBack] {
    stop.EndSession();
    report.Say(kSessionEnds);
    report.Save();
    putBack();
    report.Save();
    quickEdit.Restore();
  });
}

void SaveResults(const Report& report) {
  Print("Results: " + Utf8(report.File()));
  if (!report.Save()) Print("COULD NOT write the results file");
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
  SaveResults(report);
  return status;
}

int TestOnThisPc(const std::filesystem::path& kit, const Options& options, RunStop& stop,
                 QuickEditOff& quickEdit, Report& report) {
  const RegistrationScope scope =
      options.mode == Mode::kUser || (options.mode == Mode::kAutomatic && !IsAdministrator())
          ? RegistrationScope::kUser
          : RegistrationScope::kMachine;
  // COM ignores the user's own classes in a process above medium integrity.
  if (scope == RegistrationScope::kUser && AboveMediumIntegrity()) {
    const Outcome refused = Failed(report, kUserWithFullRights);
    SaveResults(report);
    Print(refused.lastLine);
    return 1;
  }
  report.Record(
      "Virtual card registered " +
      std::string(scope == RegistrationScope::kUser ? "for this user" : "for the whole machine") +
      " (" + Utf8(simcard::com::ClassesKeyName(scope)) + ")" + (options.quick ? ", /quick" : ""));

  KitRun run(scope, report);
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
  SaveResults(report);
  Print(outcome.lastLine);
  return outcome.passed && clean ? 0 : 1;
}

int Run(const Options& options, RunStop& stop, QuickEditOff& quickEdit) {
  const std::filesystem::path kit = ProgramFolder();
  Report report((kit / "selftest-results.txt").wstring());
  report.Record("Ostrel self-test kit " OSTREL_VERSION);
  const Win32Handle oneRun = HoldOneRunAtATime();
  if (!oneRun) {
    report.Say(
        "Another run of the self-test kit is under way on this PC; run it again once that "
        "one has ended.");
    return 1;
  }
  const bool earlierRunsPutBack = PutBackWhatEarlierRunsLeft(report);
  report.Record(DescribeSystem());
  if (!earlierRunsPutBack) {
    report.Say(
        "The kit does not run: what an earlier run left could not all be put back. Restart the "
        "PC, or run selftest.cmd /machine from an administrator's command prompt.");
    report.Save();
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
  if (options->mode == Mode::kKeys) {
    for (const GuardedKey& key : GuardedKeys()) Print(Utf8(key.place.Name()));
    return 0;
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
