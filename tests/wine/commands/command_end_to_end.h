#pragma once

// The real ostrel.exe on a simulated card of its own, driven like an
// operator: pick the settings, click a command, name the file in its dialog,
// watch the status line, answer the message boxes. Afterwards the test reads
// the files, the card's images and its transaction log.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "card_folder.h"
#include "ostrel_driver.h"
#include "resource.h"
#include "support/caller_trace.h"
#include "simcard/com/request_hold.h"
#include "support/temp_folder.h"

namespace ostrel_commands {

// Long enough for a DSP transfer (about 10 s at the real pacing) on a busy
// machine.
inline constexpr DWORD kTransferTimeoutMs = 90000;

// The helpers below report their failures at the calling test's line too.
class CommandEndToEnd : public testing::Test {
 protected:
  // Skipped where the program could reach another card than the virtual one.
  void SetUp() override;

  // Starts the program (exe) on card_; the card's folder may still be set up
  // afterwards, each connection reads it afresh.
  void StartProgram(const std::wstring& exe = ostrel_ui::OstrelExePath(),
                    const Here& where = Here::current());

  HWND Dialog() const { return program_->MainWindow(); }
  HWND Item(int id) const { return GetDlgItem(Dialog(), id); }
  std::wstring Status() const { return ostrel_ui::Text(Item(IDC_STATUS)); }
  int Progress() const { return ostrel_ui::ProgressPos(Item(IDC_PROGRESS)); }
  // The three buttons a command disables while it runs.
  bool CommandsEnabled() const;
  bool CommandsDisabled() const;

  void SelectChannelDecoder(const Here& where = Here::current());
  // Clicks the command's button and names path in its file dialog. The tick
  // at which the dialog's OK was clicked, nothing when the dialog did not
  // behave.
  std::optional<ULONGLONG> SaveTo(const std::filesystem::path& path);
  std::optional<ULONGLONG> WriteFrom(const std::filesystem::path& path);

  bool WaitForStatus(const std::wstring& text, DWORD timeoutMs = kTransferTimeoutMs) const;
  // A command sets its status, its progress and its buttons one after the
  // other, and the bar shows a position once the dialog paints: a check of
  // one after waiting for another waits too.
  bool WaitForProgress(int position) const;
  bool WaitForCommandsEnabled() const;
  // The tick at which the status line was seen to read text.
  std::optional<ULONGLONG> StatusShown(const std::wstring& text,
                                       DWORD timeoutMs = kTransferTimeoutMs) const;
  // Expects the box with caption, text and icon now or soon, and answers it.
  void AnswerBox(const std::wstring& caption, const std::wstring& text, ostrel_ui::BoxIcon icon,
                 const Here& where = Here::current());
  // No box, nor any other window, besides the main dialog.
  void ExpectNoOtherWindow(const Here& where = Here::current()) const;

  // The card's DLL has every object it handed out back: since the last call
  // one release note for each of the operation's connections to the card
  // (none when it was not to be touched), the last one with nothing alive.
  void ExpectCardReleasedEverything(std::size_t connections, const Here& where = Here::current());
  // No I2C traffic and no object of the card's DLL.
  void ExpectCardUntouched(const Here& where = Here::current());

  // A command's run on the wall clock: the file dialog's OK, the transfer's
  // first status, its final status. Wine's file dialog returns some time
  // after it has closed, so both spans are printed.
  struct Timing {
    ULONGLONG clicked = 0;
    ULONGLONG started = 0;
    ULONGLONG ended = 0;
  };
  // Follows a command from its file dialog's OK (clicked) through the
  // transfer's first status to its final one, calling whileRunning in
  // between; fails the test when a step does not come.
  void FollowTransfer(const std::optional<ULONGLONG>& clicked, const std::wstring& firstStatus,
                      const std::wstring& finalStatus, const std::function<void()>& whileRunning,
                      Timing& timing, const Here& where = Here::current()) const;
  static void PrintDuration(const std::string& what, const Timing& timing, double floorSeconds);

  CardFolder card_;
  TempFolder files_;
  // A test may set one program aside and start another on the same card.
  std::unique_ptr<ostrel_ui::OstrelProcess> program_;

 private:
  std::optional<ULONGLONG> RunCommand(int button, const std::filesystem::path& path);

  std::size_t notesSeen_ = 0;
};

// Sent while the card holds a request of the running program, the message
// waits in the program's queue until the card has let the request go, and is
// handled where the program next looks at its queue. The answer; nothing
// when the card did not hold a request in time or no answer came.
std::optional<LRESULT> SendWhileHeld(HWND window, const simcard::com::RequestHold& hold,
                                     UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

}  // namespace ostrel_commands
