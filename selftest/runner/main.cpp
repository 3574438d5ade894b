// The self-test kit's runner, started by selftest.cmd: registers the
// virtual card, checks that Windows lists it, runs every test program of the
// kit group by group, writes selftest-results.txt and puts everything back.
// With /card it runs the read-only check of a real card instead.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "card_check.h"
#include "card_registration.h"
#include "double_click.h"
#include "left_as_found.h"
#include "options.h"
#include "report.h"
#include "run_folder.h"
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

// Groups of /quick: the request record, the lookup through the system's
// device enumerator, the program's resources, and the real program refusing
// files it must not use; a few seconds each.
constexpr const char* kQuickGroups[] = {"I2CRecord", "FilterLookup", "OstrelResources",
                                        "RefusedFile"};

std::filesystem::path KitFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size())
      return std::filesystem::path(std::wstring(path.data(), length)).parent_path();
    path.resize(path.size() * 2);
  }
}

// Ctrl+C ends the test program that runs; the kit itself stops starting
// new ones and puts everything back. The system calls the handler on a
// thread of its own, without any context to hand it: hence the one flag.
std::atomic<bool>& Interrupted() {
  static std::atomic<bool> interrupted{false};
  return interrupted;
}

BOOL WINAPI OnInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  Interrupted() = true;
  return TRUE;
}

// The tests give the card a folder of their own for each case, under TEMP:
// the run's folder. They add OSTREL_SIMCARD_DIR to the program's
// environment, so it must not be set here too.
void SetTestEnvironment(RegistrationScope scope, const RunFolder& folder) {
  SetEnvironmentVariableW(L"OSTREL_SELFTEST_REGISTRATION",
                          scope == RegistrationScope::kUser ? L"user" : L"machine");
  SetEnvironmentVariableW(L"OSTREL_SIMCARD_DIR", nullptr);
  SetEnvironmentVariableW(L"TEMP", folder.Temp().c_str());
  SetEnvironmentVariableW(L"TMP", folder.Temp().c_str());
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

// Every group, one line each; the last line counts them.
Outcome RunTests(const std::filesystem::path& kit, const RunFolder& folder, bool quick,
                 Report& report) {
  const std::filesystem::path xml = kit / "selftest-xml";
  std::error_code ignored;
  std::filesystem::remove_all(xml, ignored);
  std::filesystem::create_directories(xml, ignored);
  int passed = 0;
  int failed = 0;
  for (const TestGroup& group : ListGroups(kit, folder.Path())) {
    if (quick && !IsQuickGroup(group)) continue;
    if (Interrupted()) {
      report.Say("Interrupted: the remaining groups did not run.");
      ++failed;
      break;
    }
    const GroupResult result = RunGroup(group, xml);
    Print(result.Line());
    report.Record(result.Details());
    ++(result.Passed() ? passed : failed);
  }
  report.Record("XML results of each group: " + Utf8(xml.wstring()));
  const std::string counts =
      std::to_string(passed) + " passed, " + std::to_string(failed) + " failed";
  report.Record(counts);
  return {failed == 0, counts};
}

// Registers the card, checks that Windows lists it, runs the tests and
// unregisters the card again. The first line answers whether it is listed.
Outcome RegisterAndTest(const std::filesystem::path& kit, RegistrationScope scope,
                        const RunFolder& folder, bool quick, Report& report) {
  const CardRegistration registration(kit / "simcard_com.dll", scope);
  if (FAILED(registration.Result())) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(registration.Result()));
    const std::string line =
        std::string("the virtual card could not be registered (error ") + code + ")";
    report.Say(line);
    return {false, line};
  }
  if (!EnumeratorListsVirtualCard()) {
    const std::string line =
        scope == RegistrationScope::kUser ? kNotListedForUser : kNotListedForMachine;
    report.Say(line);
    return {false, line};
  }
  report.Say("Windows' device enumerator lists the virtual card.");
  return RunTests(kit, folder, quick, report);
}

int Run(const Options& options) {
  const std::filesystem::path kit = KitFolder();
  Report report(kit / "selftest-results.txt");
  report.Record("Ostrel self-test kit " OSTREL_VERSION);
  report.Record(DescribeSystem());
  if (options.mode == Mode::kCard) {
    report.Record("Mode: /card, the read-only check of the card");
    const int status = RunCardCheck(kit, report);
    Print("Results: " + Utf8(report.ResultsFile().wstring()));
    if (!report.Write()) Print("COULD NOT write the results file");
    return status;
  }

  const bool underWine = !WineVersion().empty();
  const RegistrationScope scope =
      options.mode == Mode::kUser || (options.mode == Mode::kAutomatic && !IsAdministrator())
          ? RegistrationScope::kUser
          : RegistrationScope::kMachine;
  report.Record(std::string("Virtual card registered ") +
                (scope == RegistrationScope::kUser ? "for this user (HKCU\\Software\\Classes)"
                                                   : "for the whole machine (HKCR)") +
                (options.quick ? ", /quick" : ""));

  const std::vector<GuardedKey> keys = GuardRegistry(underWine);
  KeepCrashesQuiet(underWine);
  const RunFolder folder;
  Outcome outcome;
  if (!folder.Made()) {
    outcome.lastLine = "the kit cannot make its folder " + Utf8(folder.Path().wstring());
    report.Say(outcome.lastLine);
  } else {
    SetTestEnvironment(scope, folder);
    outcome = RegisterAndTest(kit, scope, folder, options.quick, report);
  }
  const bool clean = PutEverythingBack(keys, folder, report);
  Print("Results: " + Utf8(report.ResultsFile().wstring()));
  if (!report.Write()) Print("COULD NOT write the results file");
  Print(outcome.lastLine);
  return outcome.passed && clean ? 0 : 1;
}

}  // namespace
}  // namespace selftest

int wmain(int argc, wchar_t** argv) {
  using namespace selftest;
  SetConsoleCtrlHandler(OnInterrupt, TRUE);
  std::wstring error;
  const std::optional<Options> options =
      ParseOptions(std::vector<std::wstring>(argv + 1, argv + argc), error);
  if (!options) {
    Print(Utf8(error));
    Print(kUsage);
    return 2;
  }
  const int status = Run(*options);
  if (StartedByDoubleClick()) {
    Print("Press Enter to close this window.");
    WaitForEnter();
  }
  return status;
}
