#pragma once

// Drives a running ostrel.exe from another process the way an operator
// would, through window messages only, on a PC in any language and whatever
// else is on its desktop: dialogs and boxes are found by their owner, never
// by a caption (Windows titles its file dialogs in the PC's language), and
// nothing depends on the program being the active window or on the screen.
// Nothing here blocks on the program: clicks are posted and every sent
// message has a timeout, so a test fails instead of hanging when the program
// is busy or stuck.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/win32_handle.h"

namespace ostrel_ui {

inline constexpr DWORD kTimeoutMs = 15000;

// Polls done() until it holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kTimeoutMs);

// ostrel.exe beside the test program, or the one OSTREL_EXE names.
std::wstring OstrelExePath();

// A running ostrel.exe; still running when the object goes, it is ended.
class OstrelProcess {
 public:
  // Starts the program and waits for its main window; environment entries
  // ("NAME=value") are added to the test's own environment.
  explicit OstrelProcess(const std::vector<std::wstring>& extraEnvironment = {},
                         const std::wstring& exe = OstrelExePath());
  // Another program of the kit (the card check, the item-based save
  // dialog), started with arguments and no main window to wait for; a
  // console program runs in this program's console, its standard input read
  // from input.
  OstrelProcess(const std::wstring& exe, const std::wstring& arguments,
                const std::vector<std::wstring>& extraEnvironment, HANDLE input);
  ~OstrelProcess();
  OstrelProcess(const OstrelProcess&) = delete;
  OstrelProcess& operator=(const OstrelProcess&) = delete;

  // Null when the window did not show up in time.
  HWND MainWindow() const { return main_; }
  DWORD Id() const { return id_; }
  bool WaitForExit(DWORD timeoutMs = kTimeoutMs) const;
  bool HasExited() const { return WaitForExit(0); }
  std::optional<DWORD> ExitCode() const;

  // The dialog the program shows over its main window (a file dialog, a
  // message box, the About box): the enabled dialog-class window its main
  // window owns; for a program without a main window, its own enabled
  // top-level dialog-class window. Null when none showed up in time.
  HWND WaitForDialog(DWORD timeoutMs = kTimeoutMs) const;
  // The visible top-level windows of this process other than the main window.
  std::vector<HWND> OtherWindows() const;
  // Its top-level window of the class, shown or not; null when there is none.
  HWND WindowOfClass(const std::wstring& className) const;

 private:
  bool Start(const std::wstring& exe, std::wstring commandLine,
             const std::vector<std::wstring>& extraEnvironment, STARTUPINFOW& startup,
             bool inheritHandles);

  Win32Handle process_;
  Win32Handle thread_;
  DWORD id_ = 0;
  HWND main_ = nullptr;
};

// --- reading controls ---
std::wstring Text(HWND window);
std::wstring ClassName(HWND window);
LONG Style(HWND window);
LONG ExStyle(HWND window);
int ControlId(HWND window);
bool IsChecked(HWND button);
int ListSelection(HWND list);
std::vector<std::wstring> ListEntries(HWND list);
int ProgressPos(HWND progress);
// The range's low and high end.
std::pair<int, int> ProgressRange(HWND progress);
// The default button's id (DM_GETDEFID), 0 when there is none.
int DefaultButtonId(HWND dialog);
// The window of the dialog's thread that has the keyboard focus.
HWND FocusedWindow(HWND dialog);
// The control's rectangle in the client coordinates of its dialog.
RECT ControlRect(HWND dialog, HWND control);
// The system sees the program as hung ("Not Responding").
bool IsHung(HWND window);

// --- acting as the operator ---
// Clicks a button as the operator does, without the mouse: nothing when it
// is disabled or hidden; otherwise the focus moves to it, a check box or
// radio button changes its check as it does on a click, and its parent gets
// the button's WM_COMMAND (BN_CLICKED), posted. (A posted BM_CLICK may be
// lost where the dialog is not the active window.)
void Click(HWND button);
// Selects a list entry the way the operator's choice does: the selection,
// then the list's change notification to the dialog.
void SelectListIndex(HWND dialog, int listId, int index);
// Replaces a control's text without giving it the focus.
void SetText(HWND window, const std::wstring& text);
// Clicks into an edit box and replaces its text, as the operator typing
// does: the edit has the focus afterwards and loses it on the next click
// elsewhere. False when it did not get the focus.
bool TypeInto(HWND edit, const std::wstring& text);
// A key press and release aimed at a window of the dialog.
void PressKey(HWND target, UINT virtualKey);
// Posts a mouse click (button down and up) in the middle of a control, as
// the system queues a real one.
void PostMouseClick(HWND control);
void PostSysCommand(HWND window, WPARAM command);
// Opens the window's system menu from the keyboard (Alt+Space) and returns
// the menu's window, null when it did not open.
HWND OpenSystemMenu(const OstrelProcess& process);

// --- message boxes and file dialogs ---
enum class BoxIcon { None, Stop, Exclamation, Other };

struct MessageBoxSeen {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
};

// The message box the process shows over its main window (WaitForDialog),
// once it carries the caption, one of Ostrel's own; nothing when none did in
// time.
std::optional<MessageBoxSeen> WaitForMessageBox(const OstrelProcess& process,
                                                const std::wstring& caption,
                                                DWORD timeoutMs = kTimeoutMs);
// Which system icon the box shows, read from the box's own drawing
// (PrintWindow), whatever covers it on the screen.
BoxIcon MessageBoxIcon(HWND box);
// Presses the box's button (OK by default) and waits for the box to close.
bool AnswerMessageBox(HWND box, int buttonId = IDOK);

// The file name box, wherever the dialog keeps it: the combo box cmb13 (its
// edit, where it has one) or the edit edt1, direct children of the
// old-style dialog; in the item-based dialog of Windows 7 and later the
// edit of the combo box cmb13, deep among the dialog's descendants. Failing
// both, the dialog's first edit.
HWND FileNameBox(HWND dialog);
// Types path into the process's file dialog (WaitForDialog), old-style or
// item-based, and presses its OK button; false when no dialog with a name
// box showed up or it did not close.
bool AnswerFileDialog(const OstrelProcess& process, const std::wstring& path,
                      DWORD timeoutMs = kTimeoutMs);
// Cancels the process's file dialog.
bool CancelFileDialog(const OstrelProcess& process, DWORD timeoutMs = kTimeoutMs);

}  // namespace ostrel_ui
