// The kit's programs stopped from outside at their worst moment, and what
// they leave: the card check in the middle of a DSP read, on its own (run by
// the CardCheck test) and started by the kit's runner (by the SelftestKit
// test, from the kit's folder), and a run of the kit stopped while a program
// that one of its tests started holds a file in the run's folder. Each runs
// in a console of its own: Wine hands console events only to programs on a
// terminal, and a stop sent here would stop whatever else runs in the one.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

#include "command_end_to_end.h"
#include "common/system_library_win32.h"
#include "selftest/common/card_check_contract.h"

namespace ostrel_commands {
namespace {

using ostrel_ui::OstrelProcess;
using ostrel_ui::WaitUntil;

constexpr char kPutBackLine[] =
    "Interrupted: the check was stopped before its end; the channel decoder was put back.";
// The 20th page of the first DSP read: 2 register reads and two board reads
// of 32 requests come first, and the 3 requests of the switch.
constexpr int kHeldRequest = 2 + 64 + 3 + 20;
// How long Windows lets a process's handlers of a closed console run.
constexpr DWORD kCloseHandlingMs = 5000;

std::wstring EnvironmentValue(const wchar_t* name) {
  std::array<wchar_t, MAX_PATH> value{};
  const DWORD length = GetEnvironmentVariableW(name, value.data(), value.size());
  return length == 0 || length >= value.size() ? std::wstring() : value.data();
}

// The console's events, taken by this test too, are not the test's end.
class ConsoleEventsIgnored {
 public:
  ConsoleEventsIgnored() { SetConsoleCtrlHandler(Handled, TRUE); }
  ~ConsoleEventsIgnored() { SetConsoleCtrlHandler(Handled, FALSE); }
  ConsoleEventsIgnored(const ConsoleEventsIgnored&) = delete;
  ConsoleEventsIgnored& operator=(const ConsoleEventsIgnored&) = delete;

 private:
  static BOOL WINAPI Handled(DWORD) { return TRUE; }
};

// A closed console as Windows closes it for one of its processes: the close
// event on a thread of the system's in the process, at the console's control
// routine, which calls the process's handlers (meanwhile runs then); the
// process ended once they returned, or after 5 s. (Wine sends no console
// event but Ctrl+C.)
bool CloseConsoleOf(DWORD processId, const std::function<void()>& meanwhile) {
  const Win32Handle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
  const SystemLibrary kernel(L"kernel32.dll");
  const LPTHREAD_START_ROUTINE routine = kernel.Find<DWORD WINAPI(void*)>("CtrlRoutine");
  const Win32Handle handlers(
      process && routine != nullptr
          ? CreateRemoteThread(process.Get(), nullptr, 0, routine,
                               reinterpret_cast<void*>(static_cast<ULONG_PTR>(CTRL_CLOSE_EVENT)), 0,
                               nullptr)
          : nullptr);
  if (!handlers) return false;
  meanwhile();
  WaitForSingleObject(handlers.Get(), kCloseHandlingMs);
  TerminateProcess(process.Get(), ERROR_PROCESS_ABORTED);
  return WaitForSingleObject(process.Get(), kCloseHandlingMs) == WAIT_OBJECT_0;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class StoppedFromOutside : public testing::Test {
 protected:
  void SetUp() override {
    if (checkExe_.empty() && runnerExe_.empty() && stopMark_.empty()) {
      GTEST_SKIP() << "run only by the build's CardCheck and SelftestKit tests";
    }
    card_.SetBoard(DistinctBytes(256, 80));
    card_.SetDsp(DistinctBytes(32768, 81));
    card_.SetChDec(ChDecAtRest());
    HoldTheRead();
  }

  // The card holds the 20th page of the first DSP read; with more, card.txt
  // says more.
  void HoldTheRead(const std::string& more = "") {
    card_.SetConfig("hold_event=" + hold_.Name() +
                    "\nhold_request=" + std::to_string(kHeldRequest) + "\n" + more);
  }

  // Starts exe with arguments on the card, its input a pipe that answers
  // yes, or nothing at all.
  std::unique_ptr<OstrelProcess> StartOnTheCard(const std::wstring& exe,
                                                const std::wstring& arguments, bool answer) {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherited, 0)) return nullptr;
    const Win32Handle input(read);
    answer_ = Win32Handle(write);
    SetHandleInformation(answer_.Get(), HANDLE_FLAG_INHERIT, 0);
    DWORD written = 0;
    if (answer) WriteFile(answer_.Get(), "yes\r\n", 5, &written, nullptr);
    auto process = std::make_unique<OstrelProcess>(
        exe, arguments, std::vector<std::wstring>{card_.EnvironmentEntry()}, input.Get());
    return process->Id() != 0 ? std::move(process) : nullptr;
  }

  // The check on its own, answering yes, its results in out_.
  void StartTheCheck() {
    check_ = StartOnTheCard(checkExe_, L"\"" + out_.path().wstring() + L"\"", true);
    ASSERT_NE(check_, nullptr) << "the check did not start";
  }

  // The kit's runner with /card; the check it starts writes its report into
  // the kit's folder.
  void StartTheKit(bool answer) {
    runner_ = StartOnTheCard(runnerExe_, L"/card", answer);
    ASSERT_NE(runner_, nullptr) << "the runner did not start";
  }
  std::vector<std::string> KitFile(const wchar_t* name) const {
    return ReadLines(std::filesystem::path(runnerExe_).parent_path() / name);
  }
  // The check's report in the kit's folder, once it holds line.
  bool WaitForTheChecksReport(const std::string& line) const {
    return WaitUntil([&] { return HasLine(KitFile(selftest::kCardCheckReportName), line); },
                     kTransferTimeoutMs);
  }

  // The card's log ends with the restore right after the last DSP page, at
  // least readsAtLeast requests in, and the decoder is as it was; the
  // report says so on its last line.
  void ExpectPutBackAndTold(std::size_t readsAtLeast, const std::vector<std::string>& report,
                            const Here& where = Here::current()) {
    const CallerTrace caller(where);
    const std::vector<LoggedTransaction> log = card_.Log();
    ASSERT_GE(log.size(), readsAtLeast + 2);
    const std::size_t restore = log.size() - 2;
    EXPECT_EQ(log[restore - 1].kind + log[restore - 1].device, "GETA2") << "a page last";
    EXPECT_TRUE(IsRestoreAt(log, restore));
    EXPECT_EQ(card_.ChDec(), ChDecAtRest());
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back(), kPutBackLine);
  }
  std::vector<std::string> OwnReport() const { return ReadLines(out_ / "card-check.txt"); }

  const std::wstring checkExe_ = EnvironmentValue(L"OSTREL_CARDCHECK");
  const std::wstring runnerExe_ = EnvironmentValue(L"OSTREL_KIT_RUNNER");
  const std::wstring stopMark_ = EnvironmentValue(L"OSTREL_KIT_STOP_MARK");
  const std::wstring heldFile_ = EnvironmentValue(L"OSTREL_HELD_FILE");
  CardFolder card_;
  TempFolder out_;
  simcard::com::RequestHold hold_;
  Win32Handle answer_;
  std::unique_ptr<OstrelProcess> check_;
  std::unique_ptr<OstrelProcess> runner_;
};

TEST_F(StoppedFromOutside, TheCheckByCtrlCWhileTheCardHoldsARead) {
  if (checkExe_.empty()) GTEST_SKIP() << "run by the CardCheck test";
  ASSERT_NO_FATAL_FAILURE(StartTheCheck());
  ASSERT_TRUE(hold_.WaitUntilHeld(kTransferTimeoutMs));
  {
    const ConsoleEventsIgnored ignored;
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    hold_.LetGo();
    ASSERT_TRUE(check_->WaitForExit(kTransferTimeoutMs));
  }
  EXPECT_EQ(check_->ExitCode(), selftest::kCardCheckStopped);
  ExpectPutBackAndTold(kHeldRequest, OwnReport());
  EXPECT_EQ(card_.Log().size(), static_cast<std::size_t>(kHeldRequest) + 2)
      << "the held request finished, then only the restore";
  EXPECT_EQ(out_.Names(), std::vector<std::string>{"card-check.txt"}) << "no scratch file left";
}

// A console program cannot refuse the session's end: it agrees, and puts the
// card back in WM_ENDSESSION, before Windows may end it.
TEST_F(StoppedFromOutside, TheCheckByTheSessionsEndOnItsHiddenWindow) {
  if (checkExe_.empty()) GTEST_SKIP() << "run by the CardCheck test";
  ASSERT_NO_FATAL_FAILURE(StartTheCheck());
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = check_->WindowOfClass(L"Ostrel.SessionEnd")); }));
  EXPECT_EQ(SendWhileHeld(window, hold_, WM_QUERYENDSESSION), TRUE) << "agreed while reading";
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                  kCloseHandlingMs, &answer));
  check_.reset();  // ended by the system
  ExpectPutBackAndTold(kHeldRequest, OwnReport());
  EXPECT_EQ(out_.Names(), std::vector<std::string>{"card-check.txt"}) << "no scratch file left";
}

TEST_F(StoppedFromOutside, TheKitByCtrlCAtTheChecksPrompt) {
  if (runnerExe_.empty()) GTEST_SKIP() << "run by the SelftestKit test, from the kit's folder";
  ASSERT_NO_FATAL_FAILURE(StartTheKit(false));
  // The check waits for the answer once it has looked the card up.
  ASSERT_TRUE(WaitUntil([&] { return !card_.ModuleNotes().empty(); }));
  {
    const ConsoleEventsIgnored ignored;
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    ASSERT_TRUE(runner_->WaitForExit(kTransferTimeoutMs));
  }
  EXPECT_EQ(runner_->ExitCode(), selftest::kCardCheckStopped);
  EXPECT_TRUE(HasLine(KitFile(L"selftest-results.txt"),
                      "The card check was stopped before it began: nothing was done."));
  EXPECT_TRUE(card_.Log().empty()) << "the card was asked something";
  EXPECT_TRUE(KitFile(selftest::kCardCheckReportName).empty());
}

// Windows tells the runner first, and ends it 5 s later; the runner tells
// the check, which has a process group of its own and no job to die with.
TEST_F(StoppedFromOutside, TheKitByItsConsoleClosedWhileTheCardHoldsARead) {
  if (runnerExe_.empty()) GTEST_SKIP() << "run by the SelftestKit test, from the kit's folder";
  ASSERT_NO_FATAL_FAILURE(StartTheKit(true));
  ASSERT_TRUE(hold_.WaitUntilHeld(kTransferTimeoutMs));
  ASSERT_TRUE(CloseConsoleOf(runner_->Id(), [&] { hold_.LetGo(); }));
  EXPECT_TRUE(HasLine(KitFile(L"selftest-results.txt"), kPutBackLine)) << "not in the results";
  ASSERT_TRUE(WaitForTheChecksReport(kPutBackLine));
  ExpectPutBackAndTold(kHeldRequest, KitFile(selftest::kCardCheckReportName));
}

// The check goes on without the kit; a request made to fail just after the
// held one ends it early, as any failure does.
TEST_F(StoppedFromOutside, TheKitKilledWhileTheCardHoldsARead) {
  if (runnerExe_.empty()) GTEST_SKIP() << "run by the SelftestKit test, from the kit's folder";
  HoldTheRead("fail_transaction=" + std::to_string(kHeldRequest + 1) + "\n");
  ASSERT_NO_FATAL_FAILURE(StartTheKit(true));
  ASSERT_TRUE(hold_.WaitUntilHeld(kTransferTimeoutMs));
  runner_.reset();  // killed
  hold_.LetGo();
  ASSERT_TRUE(WaitForTheChecksReport("Result: FAILED"));
  EXPECT_TRUE(
      HasLine(KitFile(selftest::kCardCheckReportName), "Channel decoder registers put back: yes"));
  const std::vector<LoggedTransaction> log = card_.Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_TRUE(IsRestoreAt(log, log.size() - 4)) << "restored, then the registers read again";
  EXPECT_EQ(card_.ChDec(), ChDecAtRest());
}

// Inside a run of the kit, which the SelftestKit test stops once the mark is
// made: a child of this program (itself, given the file) holds a file in the
// run's folder, as an Ostrel that a stopped test started holds the card's
// log. The kit must end both, and wait until they are gone, before it
// removes the folder.
TEST_F(StoppedFromOutside, ARunOfTheKitWhileAProgramOfItsTestHoldsAFile) {
  if (stopMark_.empty()) GTEST_SKIP() << "run by the SelftestKit test, inside the kit it stops";
  if (!heldFile_.empty()) {
    const Win32Handle file(CreateFileW(heldFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    Sleep(kTransferTimeoutMs);
    FAIL() << "the kit did not end the child";
  }
  const std::filesystem::path held = out_ / "held.bin";
  std::array<wchar_t, MAX_PATH> self{};
  GetModuleFileNameW(nullptr, self.data(), self.size());
  std::wstring commandLine =
      std::wstring(L"\"") + self.data() +
      L"\" --gtest_filter=StoppedFromOutside.ARunOfTheKitWhileAProgramOfItsTestHoldsAFile";
  SetEnvironmentVariableW(L"OSTREL_HELD_FILE", held.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Of no console, so that only the kit ends it.
  const BOOL started = CreateProcessW(self.data(), commandLine.data(), nullptr, nullptr, FALSE,
                                      DETACHED_PROCESS, nullptr, nullptr, &startup, &info);
  SetEnvironmentVariableW(L"OSTREL_HELD_FILE", nullptr);
  ASSERT_TRUE(started);
  const Win32Handle child(info.hProcess);
  const Win32Handle thread(info.hThread);
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(held); }));
  WriteWholeFile(stopMark_, {});
  WaitForSingleObject(child.Get(), kTransferTimeoutMs);
  FAIL() << "the kit did not end this program";
}

}  // namespace
}  // namespace ostrel_commands
