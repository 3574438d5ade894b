#include "ostrel_driver.h"

#include <commctrl.h>
#include <dlgs.h>

#include <array>
#include <cstdint>

#include "common/module_path_win32.h"
#include "selftest/common/guarded_keys.h"

namespace ostrel_ui {

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 5000;
constexpr wchar_t kDialogClass[] = L"#32770";

// Sent with a timeout so that a busy program fails the test instead of
// blocking it; 0 when the program did not answer.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId && IsWindowVisible(window)) search.found.push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring EnvironmentWith(const std::vector<std::wstring>& extra) {
  std::wstring block;
  if (wchar_t* current = GetEnvironmentStringsW(); current != nullptr) {
    for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
      block.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(current);
  }
  for (const std::wstring& entry : extra) block.append(entry).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

LPARAM KeyData(UINT virtualKey, bool release) {
  const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  LPARAM data = 1 | static_cast<LPARAM>(scan) << 16;
  if (release) data |= static_cast<LPARAM>(0xC0000000u);
  return data;
}

// A 32-bit top-down bitmap the test can read pixel by pixel.
class Pixels {
 public:
  Pixels(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Pixels() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Pixels(const Pixels&) = delete;
  Pixels& operator=(const Pixels&) = delete;

  HDC Dc() const { return dc_; }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return static_cast<const std::uint32_t*>(bits_)[y * width_ + x] & 0xFFFFFFu;
  }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  void* bits_ = nullptr;
};

double Similarity(const Pixels& a, const Pixels& b) {
  int same = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) same += a.At(x, y) == b.At(x, y) ? 1 : 0;
  }
  return static_cast<double>(same) / (a.Width() * a.Height());
}

HWND IconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == L"Static" && (Style(child) & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

// The box has drawn itself: shown, nothing of it or its icon left to paint,
// and its process back waiting for input after painting, so that the screen
// holds what it drew. Reading the screen any earlier can catch a blank icon.
bool WaitUntilPainted(HWND box, HWND icon) {
  const bool painted = WaitUntil([&] {
    return IsWindowVisible(icon) && !GetUpdateRect(box, nullptr, FALSE) &&
           !GetUpdateRect(icon, nullptr, FALSE);
  });
  DWORD processId = 0;
  GetWindowThreadProcessId(box, &processId);
  const Win32Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
  return painted && process && WaitForInputIdle(process.Get(), kTimeoutMs) == 0;
}

// Checks the auto radio button and unchecks the others of its group, as the
// button itself does when it is clicked.
void CheckRadioInGroup(HWND dialog, HWND button) {
  HWND other = button;
  do {
    if (other != button && (Style(other) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
      Send(other, BM_SETCHECK, BST_UNCHECKED);
    }
    other = GetNextDlgGroupItem(dialog, other, FALSE);
  } while (other != nullptr && other != button);
  Send(button, BM_SETCHECK, BST_CHECKED);
}

bool WaitForClosed(HWND window, DWORD timeoutMs) {
  return WaitUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
}

std::wstring OstrelExePath() {
  std::array<wchar_t, 32768> buffer{};
  if (const DWORD n = GetEnvironmentVariableW(L"OSTREL_EXE", buffer.data(), buffer.size());
      n > 0 && n < buffer.size()) {
    return buffer.data();
  }
  return (ProgramFolder() / L"ostrel.exe").wstring();
}

OstrelProcess::OstrelProcess(const std::vector<std::wstring>& extraEnvironment,
                             const std::wstring& exe) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!Start(exe, L"\"" + exe + L"\"", extraEnvironment, startup, false)) return;
  WaitUntil([this] {
    for (HWND window : TopLevelWindowsOf(id_)) {
      if (Text(window) == L"Ostrel" && ClassName(window) == kDialogClass) {
        main_ = window;
        return true;
      }
    }
    return HasExited();
  });
}

OstrelProcess::OstrelProcess(const std::wstring& exe, const std::wstring& arguments,
                             const std::vector<std::wstring>& extraEnvironment, HANDLE input) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  Start(exe, L"\"" + exe + L"\" " + arguments, extraEnvironment, startup, true);
}

bool OstrelProcess::Start(const std::wstring& exe, std::wstring commandLine,
                          const std::vector<std::wstring>& extraEnvironment, STARTUPINFOW& startup,
                          bool inheritHandles) {
  std::wstring environment = EnvironmentWith(extraEnvironment);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr,
                      inheritHandles ? TRUE : FALSE, CREATE_UNICODE_ENVIRONMENT, environment.data(),
                      nullptr, &startup, &info)) {
    return false;
  }
  process_ = Win32Handle(info.hProcess);
  thread_ = Win32Handle(info.hThread);
  id_ = info.dwProcessId;
  return true;
}

OstrelProcess::~OstrelProcess() {
  if (process_ && !HasExited()) {
    TerminateProcess(process_.Get(), 1);
    WaitForExit();
  }
}

bool OstrelProcess::WaitForExit(DWORD timeoutMs) const {
  return !process_ || WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

std::optional<DWORD> OstrelProcess::ExitCode() const {
  DWORD code = 0;
  if (!process_ || !GetExitCodeProcess(process_.Get(), &code) || code == STILL_ACTIVE) {
    return std::nullopt;
  }
  return code;
}

std::vector<HWND> OstrelProcess::OtherWindows() const {
  std::vector<HWND> others;
  for (HWND window : TopLevelWindowsOf(id_)) {
    if (window != main_) others.push_back(window);
  }
  return others;
}

HWND OstrelProcess::WindowOfClass(const std::wstring& className) const {
  for (HWND window = FindWindowExW(nullptr, nullptr, className.c_str(), nullptr); window != nullptr;
       window = FindWindowExW(nullptr, window, className.c_str(), nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == id_) return window;
  }
  return nullptr;
}

HWND OstrelProcess::WaitForDialog(DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : OtherWindows()) {
          if (ClassName(window) == kDialogClass && IsWindowEnabled(window) &&
              GetWindow(window, GW_OWNER) == main_) {
            found = window;
          }
        }
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

std::wstring Text(HWND window) {
  const auto length = static_cast<std::size_t>(Send(window, WM_GETTEXTLENGTH));
  std::wstring text(length + 1, L'\0');
  const auto copied = static_cast<std::size_t>(
      Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(copied, length));
  return text;
}

std::wstring ClassName(HWND window) {
  std::array<wchar_t, 256> name{};
  const int n = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
  return std::wstring(name.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

LONG Style(HWND window) {
  return GetWindowLongW(window, GWL_STYLE);
}

LONG ExStyle(HWND window) {
  return GetWindowLongW(window, GWL_EXSTYLE);
}

int ControlId(HWND window) {
  return GetDlgCtrlID(window);
}

bool IsChecked(HWND button) {
  return Send(button, BM_GETCHECK) == BST_CHECKED;
}

int ListSelection(HWND list) {
  return static_cast<int>(Send(list, CB_GETCURSEL));
}

std::vector<std::wstring> ListEntries(HWND list) {
  std::vector<std::wstring> entries;
  const auto count = static_cast<int>(Send(list, CB_GETCOUNT));
  for (int i = 0; i < count; ++i) {
    const auto length = static_cast<std::size_t>(Send(list, CB_GETLBTEXTLEN, i));
    std::wstring text(length + 1, L'\0');
    Send(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    entries.push_back(text);
  }
  return entries;
}

int ProgressPos(HWND progress) {
  return static_cast<int>(Send(progress, PBM_GETPOS));
}

std::pair<int, int> ProgressRange(HWND progress) {
  return {static_cast<int>(Send(progress, PBM_GETRANGE, TRUE)),
          static_cast<int>(Send(progress, PBM_GETRANGE, FALSE))};
}

int DefaultButtonId(HWND dialog) {
  const LRESULT result = Send(dialog, DM_GETDEFID);
  return HIWORD(result) == DC_HASDEFID ? LOWORD(result) : 0;
}

HWND FocusedWindow(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

RECT ControlRect(HWND dialog, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool IsHung(HWND window) {
  return IsHungAppWindow(window) != FALSE;
}

void Click(HWND button) {
  if (!IsWindowEnabled(button) || !IsWindowVisible(button)) return;
  HWND parent = GetParent(button);
  // The check first: a radio button that gets the focus unchecked tells its
  // parent it was clicked.
  switch (Style(button) & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
      Send(button, BM_SETCHECK, IsChecked(button) ? BST_UNCHECKED : BST_CHECKED);
      break;
    case BS_AUTORADIOBUTTON:
      CheckRadioInGroup(parent, button);
      break;
    default:
      break;
  }
  // A click takes the focus, and the window that had it reads what was typed
  // into it as it loses it.
  Send(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

void SelectListIndex(HWND dialog, int listId, int index) {
  HWND list = GetDlgItem(dialog, listId);
  Send(list, CB_SETCURSEL, static_cast<WPARAM>(index));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

void SetText(HWND window, const std::wstring& text) {
  Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool TypeInto(HWND edit, const std::wstring& text) {
  PostMouseClick(edit);
  HWND dialog = GetParent(edit);
  if (!WaitUntil([&] { return FocusedWindow(dialog) == edit; }, 5000)) return false;
  SetText(edit, text);
  return true;
}

void PressKey(HWND target, UINT virtualKey) {
  PostMessageW(target, WM_KEYDOWN, virtualKey, KeyData(virtualKey, false));
  PostMessageW(target, WM_KEYUP, virtualKey, KeyData(virtualKey, true));
}

void PostMouseClick(HWND control) {
  RECT client{};
  GetClientRect(control, &client);
  const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageW(control, WM_LBUTTONUP, 0, middle);
}

void PostSysCommand(HWND window, WPARAM command) {
  PostMessageW(window, WM_SYSCOMMAND, command, 0);
}

HWND OpenSystemMenu(const OstrelProcess& process) {
  PostMessageW(process.MainWindow(), WM_SYSCOMMAND, SC_KEYMENU, VK_SPACE);
  HWND menu = nullptr;
  WaitUntil([&] {
    for (HWND window : process.OtherWindows()) {
      if (ClassName(window) == L"#32768") menu = window;
    }
    return menu != nullptr;
  });
  return menu;
}

std::optional<MessageBoxSeen> WaitForMessageBox(const OstrelProcess& process,
                                                const std::wstring& caption, DWORD timeoutMs) {
  HWND box = nullptr;
  const auto shown = [&] { return (box = process.WaitForDialog(0)) && Text(box) == caption; };
  if (!WaitUntil(shown, timeoutMs)) return std::nullopt;
  // The message text is the static with the id the system's template gives it.
  return MessageBoxSeen{box, caption, Text(GetDlgItem(box, 0xFFFF))};
}

namespace {

// Under Wine another process cannot draw into this one's device context, so
// PrintWindow of a window of the program draws nothing there.
bool UnderWine() {
  return !selftest::WineVersion().empty();
}

// What the icon control shows, icon-sized, from its top-left corner: the
// box's own drawing, whatever covers it on the screen or when the PC is
// locked; under Wine the screen, once the box has painted.
void CaptureIcon(HWND box, HWND control, const Pixels& shown) {
  RECT boxRect{};
  RECT controlRect{};
  GetWindowRect(box, &boxRect);
  GetWindowRect(control, &controlRect);
  if (UnderWine()) {
    HDC screen = GetDC(nullptr);
    BitBlt(shown.Dc(), 0, 0, shown.Width(), shown.Height(), screen, controlRect.left,
           controlRect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return;
  }
  const Pixels drawn(boxRect.right - boxRect.left, boxRect.bottom - boxRect.top);
  PrintWindow(box, drawn.Dc(), 0);
  BitBlt(shown.Dc(), 0, 0, shown.Width(), shown.Height(), drawn.Dc(),
         controlRect.left - boxRect.left, controlRect.top - boxRect.top, SRCCOPY);
}

// The system icon the control shows, matched against the system icons drawn
// on its background; Other when none matches (yet).
BoxIcon IconShown(HWND box, HWND control) {
  const int width = GetSystemMetrics(SM_CXICON);
  const int height = GetSystemMetrics(SM_CYICON);
  const Pixels shown(width, height);
  CaptureIcon(box, control, shown);

  // The system icons drawn on the box's own background, as the box draws them.
  const std::uint32_t background = shown.At(0, 0);
  const COLORREF backgroundColour =
      RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
  const std::pair<LPCWSTR, BoxIcon> candidates[] = {{IDI_HAND, BoxIcon::Stop},
                                                    {IDI_EXCLAMATION, BoxIcon::Exclamation},
                                                    {IDI_ASTERISK, BoxIcon::Other},
                                                    {IDI_QUESTION, BoxIcon::Other}};
  BoxIcon best = BoxIcon::Other;
  double bestSimilarity = 0.9;
  for (const auto& [name, kind] : candidates) {
    const Pixels drawn(width, height);
    HBRUSH brush = CreateSolidBrush(backgroundColour);
    const RECT all{0, 0, width, height};
    FillRect(drawn.Dc(), &all, brush);
    DeleteObject(brush);
    DrawIcon(drawn.Dc(), 0, 0, LoadIconW(nullptr, name));
    if (const double s = Similarity(shown, drawn); s > bestSimilarity) {
      bestSimilarity = s;
      best = kind;
    }
  }
  return best;
}

}  // namespace

BoxIcon MessageBoxIcon(HWND box) {
  HWND control = IconControl(box);
  if (control == nullptr || !IsWindowVisible(control)) return BoxIcon::None;
  if (UnderWine() && !WaitUntilPainted(box, control)) return BoxIcon::Other;
  // A box may not have drawn its icon yet, and Wine hands what a window
  // painted to the screen a moment later. Our boxes show a stop or an
  // exclamation icon, so wait until one shows.
  BoxIcon seen = BoxIcon::Other;
  WaitUntil([&] {
    seen = IconShown(box, control);
    return seen != BoxIcon::Other;
  });
  return seen;
}

bool AnswerMessageBox(HWND box, int buttonId) {
  Click(GetDlgItem(box, buttonId));
  return WaitForClosed(box, kTimeoutMs);
}

namespace {

struct Descendants {
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectDescendant(HWND window, LPARAM context) {
  reinterpret_cast<Descendants*>(context)->windows.push_back(window);
  return TRUE;
}

}  // namespace

HWND FileNameBox(HWND dialog) {
  Descendants all;
  EnumChildWindows(dialog, CollectDescendant, reinterpret_cast<LPARAM>(&all));
  const auto withId = [&](int id) -> HWND {
    for (HWND window : all.windows) {
      if (GetDlgCtrlID(window) == id) return window;
    }
    return nullptr;
  };
  if (HWND combo = withId(cmb13)) {
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    return edit != nullptr ? edit : combo;
  }
  if (HWND edit = withId(edt1)) return edit;
  for (HWND window : all.windows) {
    if (ClassName(window) == L"Edit") return window;
  }
  return nullptr;
}

bool AnswerFileDialog(const OstrelProcess& process, const std::wstring& path, DWORD timeoutMs) {
  HWND dialog = process.WaitForDialog(timeoutMs);
  if (dialog == nullptr) return false;
  HWND name = FileNameBox(dialog);
  if (name == nullptr) return false;
  SetText(name, path);
  Click(GetDlgItem(dialog, IDOK));
  return WaitForClosed(dialog, timeoutMs);
}

bool CancelFileDialog(const OstrelProcess& process, DWORD timeoutMs) {
  HWND dialog = process.WaitForDialog(timeoutMs);
  if (dialog == nullptr) return false;
  Click(GetDlgItem(dialog, IDCANCEL));
  return WaitForClosed(dialog, timeoutMs);
}

}  // namespace ostrel_ui
