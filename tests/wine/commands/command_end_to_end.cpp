#include "command_end_to_end.h"

#include "capture_registry.h"

#include <iomanip>
#include <iostream>

namespace ostrel_commands {

using namespace ostrel_ui;

namespace {

constexpr char kReleasedEverything[] = "released objects=0 references=0";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

// A box without an icon still has the icon's static control under Wine; it
// holds no icon then.
bool HoldsAnIcon(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) != L"Static" || (Style(child) & SS_TYPEMASK) != SS_ICON ||
        !IsWindowVisible(child)) {
      continue;
    }
    DWORD_PTR icon = 0;
    if (SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_NORMAL, 5000, &icon) && icon != 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

void CommandEndToEnd::SetUp() {
  if (const std::string why = WhyTheSimulatedCardIsNotAlone(); !why.empty()) GTEST_SKIP() << why;
}

void CommandEndToEnd::StartProgram(const std::wstring& exe, const Here& where) {
  const CallerTrace caller(where);
  program_ =
      std::make_unique<OstrelProcess>(std::vector<std::wstring>{card_.EnvironmentEntry()}, exe);
  ASSERT_NE(program_->MainWindow(), nullptr) << "ostrel.exe showed no main window";
}

bool CommandEndToEnd::CommandsEnabled() const {
  for (const int id : {IDOK, IDC_WRITE_EEPROM, IDC_SAVE_TO_FILE}) {
    if (!IsWindowEnabled(Item(id))) return false;
  }
  return true;
}

bool CommandEndToEnd::CommandsDisabled() const {
  for (const int id : {IDOK, IDC_WRITE_EEPROM, IDC_SAVE_TO_FILE}) {
    if (IsWindowEnabled(Item(id))) return false;
  }
  return true;
}

void CommandEndToEnd::SelectChannelDecoder(const Here& where) {
  const CallerTrace caller(where);
  SelectListIndex(Dialog(), IDC_EEPROM_LIST, 1);
  // The list's handler disables the board options once it has seen the change.
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(Item(IDC_SIZE_TYPED)); }));
  ASSERT_EQ(Text(Item(IDC_EEPROM_LIST)), L"Channel Decoder");
}

std::optional<ULONGLONG> CommandEndToEnd::SaveTo(const std::filesystem::path& path) {
  return RunCommand(IDC_SAVE_TO_FILE, path);
}

std::optional<ULONGLONG> CommandEndToEnd::WriteFrom(const std::filesystem::path& path) {
  return RunCommand(IDC_WRITE_EEPROM, path);
}

std::optional<ULONGLONG> CommandEndToEnd::RunCommand(int button,
                                                     const std::filesystem::path& path) {
  Click(Item(button));
  if (program_->WaitForDialog() == nullptr) return std::nullopt;
  const ULONGLONG clicked = GetTickCount64();
  if (!AnswerFileDialog(*program_, path.wstring())) return std::nullopt;
  return clicked;
}

bool CommandEndToEnd::WaitForStatus(const std::wstring& text, DWORD timeoutMs) const {
  return StatusShown(text, timeoutMs).has_value();
}

bool CommandEndToEnd::WaitForProgress(int position) const {
  return WaitUntil([&] { return Progress() == position; });
}

bool CommandEndToEnd::WaitForCommandsEnabled() const {
  return WaitUntil([&] { return CommandsEnabled(); });
}

std::optional<ULONGLONG> CommandEndToEnd::StatusShown(const std::wstring& text,
                                                      DWORD timeoutMs) const {
  if (!WaitUntil([&] { return Status() == text; }, timeoutMs)) return std::nullopt;
  return GetTickCount64();
}

void CommandEndToEnd::AnswerBox(const std::wstring& caption, const std::wstring& text, BoxIcon icon,
                                const Here& where) {
  const CallerTrace caller(where);
  const std::optional<MessageBoxSeen> box = WaitForMessageBox(*program_, caption);
  ASSERT_TRUE(box) << "no message box captioned \"" << testing::PrintToString(caption) << "\"";
  EXPECT_EQ(box->text, text);
  if (icon == BoxIcon::None) {
    EXPECT_FALSE(HoldsAnIcon(box->window)) << "the box shows an icon";
  } else {
    EXPECT_EQ(MessageBoxIcon(box->window), icon);
  }
  ASSERT_TRUE(AnswerMessageBox(box->window));
}

void CommandEndToEnd::ExpectNoOtherWindow(const Here& where) const {
  const CallerTrace caller(where);
  // A box would show up straight after the status line changes.
  Sleep(500);
  for (HWND window : program_->OtherWindows()) {
    ADD_FAILURE() << "unexpected window \"" << testing::PrintToString(Text(window)) << "\" ("
                  << testing::PrintToString(ClassName(window)) << ")";
  }
}

void CommandEndToEnd::ExpectCardReleasedEverything(std::size_t connections, const Here& where) {
  const CallerTrace caller(where);
  const std::vector<std::string> notes = card_.ModuleNotes();
  const std::vector<std::string> fresh(notes.begin() + static_cast<std::ptrdiff_t>(notesSeen_),
                                       notes.end());
  notesSeen_ = notes.size();
  std::size_t released = 0;
  for (const std::string& note : fresh) released += StartsWith(note, "released ") ? 1 : 0;
  EXPECT_EQ(released, connections) << Joined(fresh);
  if (connections == 0) return;
  ASSERT_FALSE(fresh.empty());
  EXPECT_TRUE(StartsWith(fresh.back(), kReleasedEverything)) << Joined(fresh);

  // Once the command has ended the program holds nothing of the card's: no
  // object is created or let go while it sits idle.
  Sleep(300);
  EXPECT_EQ(card_.ModuleNotes().size(), notesSeen_) << Joined(card_.ModuleNotes());
}

void CommandEndToEnd::ExpectCardUntouched(const Here& where) {
  const CallerTrace caller(where);
  EXPECT_FALSE(card_.HasLog()) << "the card saw I2C traffic";
  ExpectCardReleasedEverything(0, where);
}

void CommandEndToEnd::FollowTransfer(const std::optional<ULONGLONG>& clicked,
                                     const std::wstring& firstStatus,
                                     const std::wstring& finalStatus,
                                     const std::function<void()>& whileRunning, Timing& timing,
                                     const Here& where) const {
  const CallerTrace caller(where);
  ASSERT_TRUE(clicked) << "the file dialog did not take the name";
  timing.clicked = *clicked;
  const std::optional<ULONGLONG> started = StatusShown(firstStatus);
  ASSERT_TRUE(started) << testing::PrintToString(Status());
  timing.started = *started;
  ASSERT_NO_FATAL_FAILURE(whileRunning());
  const std::optional<ULONGLONG> ended = StatusShown(finalStatus);
  ASSERT_TRUE(ended) << testing::PrintToString(Status());
  timing.ended = *ended;
}

void CommandEndToEnd::PrintDuration(const std::string& what, const Timing& timing,
                                    double floorSeconds) {
  const auto seconds = [](ULONGLONG from, ULONGLONG to) {
    return static_cast<double>(to - from) / 1000.0;
  };
  const double total = seconds(timing.clicked, timing.ended);
  const double transfer = seconds(timing.started, timing.ended);
  std::cout << std::fixed << std::setprecision(2) << "duration: " << what << ": " << total
            << " s, floor " << floorSeconds << " s, ratio " << total / floorSeconds
            << " (from the transfer's first status: " << transfer << " s, ratio "
            << transfer / floorSeconds << ")\n";
}

namespace {

void CALLBACK KeepAnswer(HWND, UINT, ULONG_PTR answer, LRESULT result) {
  *reinterpret_cast<std::optional<LRESULT>*>(answer) = result;
}

}  // namespace

std::optional<LRESULT> SendWhileHeld(HWND window, const simcard::com::RequestHold& hold,
                                     UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hold.WaitUntilHeld(kTransferTimeoutMs)) return std::nullopt;
  std::optional<LRESULT> answer;
  const BOOL sent = SendMessageCallbackW(window, message, wParam, lParam, &KeepAnswer,
                                         reinterpret_cast<ULONG_PTR>(&answer));
  hold.LetGo();
  // The answer comes back through this thread's queue.
  if (!sent || !ostrel_ui::WaitUntil([&] {
        MSG queued;
        PeekMessageW(&queued, nullptr, 0, 0, PM_NOREMOVE);
        return answer.has_value();
      })) {
    return std::nullopt;
  }
  return answer;
}

}  // namespace ostrel_commands
