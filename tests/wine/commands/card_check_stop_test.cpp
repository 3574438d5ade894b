// The card check stopped from outside in the middle of a DSP read: Ctrl+C in
// its console, or the session's end heard on its hidden window. It lets the
// request under way finish, restores the channel decoder, leaves no scratch
// file and ends its report saying so. Run by the CardCheck test, in a console
// (Wine hands console events only to programs on a terminal).

#include <gtest/gtest.h>

#include <array>

#include "command_end_to_end.h"

namespace ostrel_commands {
namespace {

constexpr DWORD kInterrupted = 3;
// The 20th page of the first DSP read: 2 register reads and two board reads
// of 32 requests come first, and the 3 requests of the switch.
constexpr int kHeldRequest = 2 + 64 + 3 + 20;

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

class CardCheckStopped : public testing::Test {
 protected:
  void SetUp() override {
    std::array<wchar_t, MAX_PATH> exe{};
    const DWORD length = GetEnvironmentVariableW(L"OSTREL_CARDCHECK", exe.data(), exe.size());
    if (length == 0 || length >= exe.size()) {
      // A Ctrl+C sent here would stop whatever else runs in this console.
      GTEST_SKIP() << "run only by the build's CardCheck test, in a console of its own";
    }
    exe_ = exe.data();
    card_.SetBoard(DistinctBytes(256, 80));
    card_.SetDsp(DistinctBytes(32768, 81));
    card_.SetChDec(ChDecAtRest());
    card_.SetConfig("hold_event=" + hold_.Name() +
                    "\nhold_request=" + std::to_string(kHeldRequest) + "\n");
  }

  // Starts the check on the card, answering yes, with its results in out_.
  void Start() {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    ASSERT_TRUE(CreatePipe(&read, &write, &inherited, 0));
    const Win32Handle input(read);
    const Win32Handle answer(write);
    SetHandleInformation(answer.Get(), HANDLE_FLAG_INHERIT, 0);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(answer.Get(), "yes\r\n", 5, &written, nullptr));
    check_ = std::make_unique<ostrel_ui::OstrelProcess>(
        exe_, L"\"" + out_.path().wstring() + L"\"",
        std::vector<std::wstring>{card_.EnvironmentEntry()}, input.Get());
    ASSERT_NE(check_->Id(), 0u) << "the check did not start";
  }

  // The card's log ends with the restore right after the last DSP read, and
  // the card is as it was; the check kept nothing but its report, whose
  // last line says that it was stopped and the decoder put back.
  void ExpectPutBackAndTold(std::size_t readsAtLeast, const Here& where = Here::current()) {
    const CallerTrace caller(where);
    const std::vector<LoggedTransaction> log = card_.Log();
    ASSERT_GE(log.size(), readsAtLeast + 2);
    const std::size_t restore = log.size() - 2;
    EXPECT_EQ(log[restore - 1].kind + log[restore - 1].device, "GETA2") << "a page last";
    EXPECT_TRUE(IsRestoreAt(log, restore));
    EXPECT_EQ(card_.ChDec(), ChDecAtRest());
    EXPECT_EQ(out_.Names(), std::vector<std::string>{"card-check.txt"});
    const std::vector<std::string> report = ReadLines(out_ / "card-check.txt");
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back(),
              "Interrupted: the check was stopped before its end; the channel decoder was put "
              "back.");
  }

  std::wstring exe_;
  CardFolder card_;
  TempFolder out_;
  simcard::com::RequestHold hold_;
  std::unique_ptr<ostrel_ui::OstrelProcess> check_;
};

TEST_F(CardCheckStopped, ByCtrlCWhileTheCardHoldsARead) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(hold_.WaitUntilHeld(kTransferTimeoutMs));
  {
    const ConsoleEventsIgnored ignored;
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    hold_.LetGo();
    ASSERT_TRUE(check_->WaitForExit(kTransferTimeoutMs));
  }
  EXPECT_EQ(check_->ExitCode(), kInterrupted);
  ExpectPutBackAndTold(kHeldRequest);
  EXPECT_EQ(card_.Log().size(), static_cast<std::size_t>(kHeldRequest) + 2)
      << "the held request finished, then only the restore";
}

TEST_F(CardCheckStopped, ByTheSessionsEndOnItsHiddenWindow) {
  ASSERT_NO_FATAL_FAILURE(Start());
  HWND window = nullptr;
  ASSERT_TRUE(ostrel_ui::WaitUntil(
      [&] { return (window = check_->WindowOfClass(L"Ostrel.SessionEnd")) != nullptr; }));
  EXPECT_EQ(SendWhileHeld(window, hold_, WM_QUERYENDSESSION), FALSE) << "refused while reading";
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000,
                                  &answer));
  check_.reset();  // ended by the system
  ExpectPutBackAndTold(kHeldRequest);
}

}  // namespace
}  // namespace ostrel_commands
